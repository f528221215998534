#pragma once
#include "catalogue/Catalogue.h"
#include "search/SearchMode.h"
#include "search/SearchRequest.h"
#include "search/SqlBuilder.h"
#include "settings/SettingValues.h"
#include "state/Globals.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QString>
#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLockFile;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace krvs {

class EarlyRead;
class ExportCommands;
class CollectionCommands;
class FileCommands;
class FlexGrid;
class GridCommands;
class QueryWatch;
class SearchCommands;
class WindowSettings;

// The main window: the results grid on top, the search panel below it, the menu
// bar above. Creating it and calling Form_Load is the start-up; closing it is the
// shutdown. The program folder and executable name are inputs so that tests run
// in a folder of their own.
class frmKRVS : public QMainWindow {
    Q_OBJECT
  public:
    explicit frmKRVS(QString programFolder = QString(), QString exeName = QString(),
                     QWidget* parent = nullptr);
    ~frmKRVS() override;
    // The catalogue's first read, started before the window: Form_Load takes it in place
    // of opening the catalogue and reading every card itself (when it read that file).
    void setEarlyRead(std::unique_ptr<EarlyRead> early);

    // ---- program-wide state and members -------------------------------------------
    Globals g;
    qint32 mMinWidth = 10875;
    qint32 mMinHeight = 5625;
    std::unique_ptr<SearchCommands> searchCommands;
    std::unique_ptr<GridCommands> gridCommands;

    const QString& programFolder() const { return programFolder_; }
    const QString& exeName() const { return exeName_; }
    // The folder with a separator only when it has none at its end.
    QString programFolderWithSep() const;

    // ---- controls (objectName = member name) --------------------------------------
    FlexGrid* fgdCards = nullptr;
    QFrame* Line1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QComboBox* cboSearch = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* chkTitle = nullptr;
    QCheckBox* chkComm = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* cmdAllSeries = nullptr;
    // The Series boxes, in the order of kSeriesBoxes (named "chk" + key).
    std::array<QCheckBox*, kSeriesCount> chkSeries{};
    QGroupBox* Frame4 = nullptr;
    QWidget* Picture1 = nullptr;
    QRadioButton* optYesOwn = nullptr;
    QRadioButton* optNoOwn = nullptr;
    QRadioButton* optBothOwn = nullptr;
    QGroupBox* Frame3 = nullptr;
    QPushButton* cmdAllCat = nullptr;
    // The Category boxes, in the order of kCategoryBoxes (named "chk" + key).
    std::array<QCheckBox*, kCategoryCount> chkCategory{};
    QPushButton* cmdQuery = nullptr;
    QPushButton* cmdAdv = nullptr;
    QPushButton* cmdExit = nullptr;
    QPlainTextEdit* txtSQL = nullptr;
    QPushButton* cmdGen = nullptr;

    // ---- menus --------------------------------------------------------------------
    QMenu* mnuFile = nullptr;
    QAction* mnuCompact = nullptr;
    QAction* mnuBakDB = nullptr;
    QAction* mnuMerge = nullptr;
    QMenu* mnuSaveAs = nullptr;
    QAction* mnuSaveIt[2] = {};
    QAction* mnuExit = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuAutoAst = nullptr;
    QAction* mnuPass = nullptr;
    QAction* mnuSummary = nullptr;
    QAction* mnuOpts = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuUpdate = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuPopUp1 = nullptr;
    QAction* mnuStuff[6] = {};
    QMenu* mnuFile2Menu = nullptr;
    QAction* mnuFile2[2] = {};

    // ---- window operations --------------------------------------------------------
    // pointer::Default or pointer::Hourglass (ui/MousePointer.h).
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int code);
    // Lets pending window events run once.
    static void DoEvents();
    // Check-box values 0, 1, 2 (clear, ticked, greyed).
    static int chkValue(const QCheckBox* box);
    static void setChkValue(QCheckBox* box, int value);
    // Outer geometry and inner height in twips.
    int outerWidthTw() const;
    int outerHeightTw() const;
    int clientHeightTw() const;

    // The catalogue the window works on.
    Catalogue& catalogue() { return catalogue_; }
    // Runs a search and shows its rows in the grid. A statement the user typed may
    // return no rows: it has then done its work, the grid is cleared and the result
    // is false.
    bool bindGrid(const SearchRequest& request);
    // The search the grid shows (gCurSQL is its text), run again after an update.
    const SearchRequest& shownSearch() const { return shown_; }
    void setShownSearch(const SearchRequest& request);
    // Every card in the grid: the load-all statement as the search's and in the SQL box.
    void showAllCards();
    // The rows the grid was last given, null when none.
    const std::shared_ptr<const db::RowSet>& rows() const { return rows_; }
    // Lets go of the rows read last (the grid keeps what it shows).
    void releaseRows() { rows_.reset(); }
    // The password menu item's caption follows the catalogue's password.
    void showPasswordCommand();

    // The geometry the layout gave a control, in twips (relative to its parent).
    QRect twipsGeometry(const QWidget* control) const;

  public slots:
    // start-up and shutdown
    void Form_Load();
    void Form_Unload();
    void cmdExit_Click();
    void mnuExit_Click();
    // layout and search modes
    void Form_Resize();
    void cmdAdv_Click();
    void cboSearch_GotFocus();
    void txtSQL_GotFocus();
    // search
    void cmdGen_Click();
    void cmdAllSeries_Click();
    void cmdAllCat_Click();
    void mnuAutoAst_Click();
    void cmdQuery_Click();
    // grid
    void fgdCards_Click();
    void fgdCards_DblClick();
    void fgdCards_MouseDown(int button, int shift, int x, int y);
    void mnuStuff_Click(int index);
    void mnuFile2_Click(int index);
    // export
    void mnuSaveIt_Click(int index);
    // maintenance
    void mnuBakDB_Click();
    void mnuCompact_Click();
    void mnuPass_Click();
    // help
    void mnuUpdate_Click();
    void mnuAbout_Click();

  public:
    // The search mode, shown by cmdAdv's caption, the SQL box and the panel height.
    SearchMode searchMode() const { return searchMode_; }
    void setSearchMode(SearchMode mode);
    // search helpers that read the panel
    void AddToList(QString& keyWords);
    void UpdateOwnBulk(QList<qint32>& ids, bool& own);
    // export
    void DumpToText(int format, const QString& fileName);
    // settings
    void LoadINI();
    void SaveINI();
    QString ReadINI(const QString& section, const QString& key, const QString& def);
    long WriteINI(const QString& section, const QString& key, const QString& value);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void placeTw(QWidget* control, int left, int top, int width, int height);
    void createControls();
    void createKeyWordsFrame(QWidget* client);
    void widenCategoryColumns();
    void createOwnFrame(QWidget* client);
    void createButtons(QWidget* client);
    void connectControls();
    template <class List, class Boxes>
    void createBoxFrame(QGroupBox*& frame, const char* name, const char* title, int left, int width,
                        QPushButton*& selectAll, const char* selectAllName, const List& list,
                        Boxes& boxes);
    void createMenus();
    void loadFailed(const AppError& e);
    void openCatalogue(const QString& password);
    void setCatalogueCommandsEnabled(bool enabled);

    Catalogue catalogue_;
    SearchRequest shown_;
    std::shared_ptr<const db::RowSet> rows_;
    std::unique_ptr<EarlyRead> early_;
    std::shared_ptr<const db::RowSet> earlyRows_; // the early read's cards, until shown
    QueryWatch* watch_ = nullptr;
    QHash<const QWidget*, QRect> twips_;
    std::unique_ptr<QLockFile> namedLock_;
    std::unique_ptr<WindowSettings> settings_;
    std::unique_ptr<ExportCommands> export_;
    std::unique_ptr<FileCommands> fileCommands_;
    std::unique_ptr<CollectionCommands> collectionCommands_;
    QString programFolder_;
    QString exeName_;
    int mousePointer_ = 0;
    SearchMode searchMode_ = SearchMode::Simple;
    bool unloaded_ = false;
};

} // namespace krvs
