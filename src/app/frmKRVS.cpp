#include "app/frmKRVS.h"
#include "catalogue/EarlyRead.h"

#include "app/CollectionCommands.h"
#include "app/ExportCommands.h"
#include "app/FileCommands.h"
#include "app/GridCommands.h"
#include "app/QueryWatch.h"
#include "app/SearchCommands.h"
#include "app/WindowSettings.h"
#include "grid/FlexGrid.h"
#include "ui/CheckBoxValue.h"
#include "ui/FocusHook.h"
#include "ui/FormGeometry.h"
#include "ui/LabelFit.h"
#include "ui/MousePointer.h"
#include "ui/SelectAllText.h"
#include "ui/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <map>

namespace krvs {

namespace {
constexpr int kDesignClientWidth = 10755;
constexpr int kDesignClientHeight = 5625;

// A check box or option button grows from its design width to its caption's natural
// width, up to the next control on its row or its frame's edge; where even that is too
// narrow for the desktop's font, the caption's type gets a little smaller.
void fitChoiceCaption(QAbstractButton* box) {
    QWidget* parent = box->parentWidget();
    const QRect own = box->geometry();
    const bool framed = qobject_cast<QGroupBox*>(parent) != nullptr;
    int limit = parent->width() - (framed ? twipsToPx(60) : 0);
    for (QWidget* s : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = s->geometry();
        if (s == box || g.left() <= own.left()) continue;
        if (g.top() < own.bottom() && g.bottom() > own.top())
            limit = qMin(limit, g.left() - twipsToPx(45));
    }
    const int room = qMax(own.width(), limit - own.left());
    shrinkToFit(box->font(), room, [box](const QFont& f) {
        if (f != box->font()) box->setFont(f);
        return box->sizeHint().width();
    });
    box->resize(qMin(qMax(own.width(), box->sizeHint().width()), room), own.height());
}
// A check box of the search panel: a click always leaves a plain ticked or cleared
// box, as the old boxes did.
QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption) {
    auto* c = named(new QCheckBox(QString::fromUtf8(caption), parent), name);
    QObject::connect(c, &QCheckBox::clicked, c, [c] { c->setTristate(false); });
    return c;
}

QPushButton* pushButton(QWidget* parent, const char* name, const char* caption) {
    return named(new QPushButton(QString::fromUtf8(caption), parent), name);
}

// cmdAdv offers the other mode.
const char* modeButtonCaption(SearchMode mode) {
    return mode == SearchMode::Simple ? "Go To &Advanced" : "Go To S&imple";
}

} // namespace

frmKRVS::frmKRVS(QString programFolder, QString exeName, QWidget* parent)
    : QMainWindow(parent), programFolder_(std::move(programFolder)), exeName_(std::move(exeName)) {
    if (programFolder_.isEmpty()) programFolder_ = QCoreApplication::applicationDirPath();
    if (exeName_.isEmpty())
        exeName_ = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    setObjectName(QStringLiteral("frmKRVS"));
    setWindowTitle(QStringLiteral("Korvessa Database"));
    setStyleSheet(QStringLiteral("QCheckBox, QRadioButton { spacing: 3px; }"));
    createControls();
    createMenus();
    WindowOps ops;
    ops.window = this;
    ops.setMousePointer = [this](int code) { setMousePointer(code); };
    ops.bindGrid = [this](const SearchRequest& request) { return bindGrid(request); };
    ops.shownSearch = [this] { return shownSearch(); };
    ops.setShownSearch = [this](const SearchRequest& request) { setShownSearch(request); };
    ops.searchMode = [this] { return searchMode_; };
    ops.setSearchMode = [this](SearchMode mode) { setSearchMode(mode); };
    ops.grid = fgdCards;
    ops.showAllCards = [this] { showAllCards(); };
    ops.releaseRows = [this] { releaseRows(); };
    ops.rows = [this] { return rows(); };
    const SearchControls panel{cboSearch, chkTitle,   chkComm,    chkSeries, chkCategory, optYesOwn,
                               optNoOwn,  optBothOwn, mnuAutoAst, txtSQL,    fgdCards};
    searchCommands = std::make_unique<SearchCommands>(panel, ops);
    gridCommands = std::make_unique<GridCommands>(catalogue_,
                                                  GridControls{fgdCards, mnuPopUp1, cmdQuery}, ops);
    fileCommands_ = std::make_unique<FileCommands>(catalogue_, programFolder_, mnuPass, ops);
    collectionCommands_ = std::make_unique<CollectionCommands>(catalogue_, programFolder_, ops);
    watch_ = new QueryWatch(this); // Esc or a close stops a long statement
    // The design client area; the menu bar lies above it.
    resize(twipsToPx(kDesignClientWidth),
           twipsToPx(kDesignClientHeight) + menuBar()->sizeHint().height());

    settings_ = std::make_unique<WindowSettings>(
        programFolderWithSep() + exeName_ + QStringLiteral(".ini"), mMinWidth, panel, ops);
    export_ = std::make_unique<ExportCommands>(this, fgdCards, catalogue_, programFolder_,
                                               [this](int code) { setMousePointer(code); });
}

frmKRVS::~frmKRVS() {
    if (!unloaded_) Form_Unload();
}

void frmKRVS::setEarlyRead(std::unique_ptr<EarlyRead> early) {
    early_ = std::move(early);
}

QString frmKRVS::programFolderWithSep() const {
    return programFolder_.endsWith(QLatin1Char('/')) ? programFolder_
                                                     : programFolder_ + QLatin1Char('/');
}

void frmKRVS::placeTw(QWidget* control, int left, int top, int width, int height) {
    twips_[control] = QRect(left, top, width, height);
    QRect r = twipsRect(left, top, width, height);
    // Check boxes and option buttons were drawn for a smaller font: they take the
    // height of their caption, centred on the design row (the width is settled by
    // fitChoiceCaption once the whole row is in place).
    if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
        const QSize hint = control->sizeHint();
        if (hint.height() > r.height()) r.adjust(0, -(hint.height() - r.height()) / 2, 0, 0);
        r.setHeight(qMax(r.height(), hint.height()));
    }
    control->setGeometry(r);
}

QRect frmKRVS::twipsGeometry(const QWidget* control) const {
    return twips_.value(control);
}

// A frame of Series or Category boxes with its select-all button at its top right;
// the boxes are made in their tab order.
template <class List, class Boxes>
void frmKRVS::createBoxFrame(QGroupBox*& frame, const char* name, const char* title, int left,
                             int width, QPushButton*& selectAll, const char* selectAllName,
                             const List& list, Boxes& boxes) {
    frame = named(new QGroupBox(QString::fromUtf8(title), centralWidget()), name);
    placeTw(frame, left, 3840, width, 1215);
    selectAll = pushButton(frame, selectAllName, "*");
    selectAll->setToolTip(QStringLiteral("Select All"));
    placeTw(selectAll, width - 235, 120, 200, 200);
    for (std::size_t i : panelOrder(list)) {
        const PanelBox& b = list[i];
        boxes[i] = checkBox(frame, (QByteArray("chk") + b.key).constData(), b.caption);
        placeTw(boxes[i], b.left, b.top, b.width, 195);
    }
}

void frmKRVS::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    fgdCards = named(new FlexGrid(client), "fgdCards");
    placeTw(fgdCards, 120, 120, 10575, 3615);

    Line1 = named(new QFrame(client), "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    placeTw(Line1, 0, 0, 10800, 30);

    createKeyWordsFrame(client);
    createBoxFrame(Frame1, "Frame1", "Series", 3480, 1695, cmdAllSeries, "cmdAllSeries",
                   kSeriesBoxes, chkSeries);
    createOwnFrame(client);
    createBoxFrame(Frame3, "Frame3", "Category", 6120, 4575, cmdAllCat, "cmdAllCat", kCategoryBoxes,
                   chkCategory);
    createButtons(client);
    widenCategoryColumns();

    for (QWidget* frame : std::initializer_list<QWidget*>{Frame2, Frame1, Picture1, Frame3})
        for (QWidget* c : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (auto* b = qobject_cast<QAbstractButton*>(c); b && !qobject_cast<QPushButton*>(c))
                fitChoiceCaption(b);

    // The design state of the search panel.
    setChkValue(chkTitle, 1);
    for (std::size_t i = 0; i < kSeriesCount; ++i)
        setChkValue(chkSeries[i], kSeriesBoxes[i].initial);
    for (std::size_t i = 0; i < kCategoryCount; ++i)
        setChkValue(chkCategory[i], kCategoryBoxes[i].initial);

    QList<QWidget*> tabOrder{cboSearch, chkTitle, chkComm};
    for (std::size_t i : panelOrder(kSeriesBoxes))
        tabOrder << chkSeries[i];
    tabOrder << cmdAllSeries << optYesOwn << optNoOwn << optBothOwn;
    for (std::size_t i : panelOrder(kCategoryBoxes))
        tabOrder << chkCategory[i];
    tabOrder << cmdAllCat << cmdQuery << cmdAdv << cmdExit << txtSQL << cmdGen;
    for (int i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);

    connectControls();
}

// The Category boxes stand in three columns. Each column takes the width of its widest
// caption (with the desktop's font it may need more than drawn), and the columns move
// right as far as the one before needs. The room they need past the frame comes from
// the key words frame, as far as its own row allows (the Series, Own and Category
// frames move left by as much); only what is still missing after that is left to a
// smaller type (fitChoiceCaption).
void frmKRVS::widenCategoryColumns() {
    constexpr int kGap = 45, kEdge = 60;
    const auto need = [](QWidget* c) { return pxToTwips(c->sizeHint().width() + 1); };
    std::map<int, int> columns; // design left -> widest caption
    for (std::size_t i = 0; i < kCategoryCount; ++i)
        columns[kCategoryBoxes[i].left] =
            qMax(columns[kCategoryBoxes[i].left], need(chkCategory[i]));
    std::map<int, int> lefts; // design left -> new left
    int end = 0;
    for (const auto& [left, width] : columns) {
        lefts[left] = qMax(left, end == 0 ? left : end + kGap);
        end = lefts[left] + width;
    }
    const QRect category = twips_.value(Frame3);
    const int deficit = qMax(0, end + kEdge - category.width());

    // The key words frame can give what its "Search In" row does not use.
    const QRect keyWords = twips_.value(Frame2);
    const QRect comment = twips_.value(chkComm);
    const int rowEnd = qMax(comment.right() + 1, comment.left() + need(chkComm)) + kEdge;
    const int take = qMin(deficit, qMax(0, keyWords.width() - rowEnd));
    if (take > 0) {
        placeTw(Frame2, keyWords.left(), keyWords.top(), keyWords.width() - take,
                keyWords.height());
        const QRect box = twips_.value(cboSearch);
        placeTw(cboSearch, box.left(), box.top(), box.width() - take, box.height());
        for (QWidget* f : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame4)}) {
            const QRect r = twips_.value(f);
            placeTw(f, r.left() - take, r.top(), r.width(), r.height());
        }
        placeTw(Frame3, category.left() - take, category.top(), category.width() + take,
                category.height());
        const QRect all = twips_.value(cmdAllCat);
        placeTw(cmdAllCat, all.left() + take, all.top(), all.width(), all.height());
    }
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
        const PanelBox& b = kCategoryBoxes[i];
        placeTw(chkCategory[i], lefts[b.left], b.top, b.width, 195);
    }
}

// The key words box and where they are looked for.
void frmKRVS::createKeyWordsFrame(QWidget* client) {
    Frame2 = named(new QGroupBox(QStringLiteral("Key Word(s)"), client), "Frame2");
    placeTw(Frame2, 120, 3840, 3375, 1215);
    cboSearch = named(new QComboBox(Frame2), "cboSearch");
    cboSearch->setEditable(true);
    // The history is the program's own (AddToList): Enter adds nothing by itself, and
    // no completer rewrites the typed text (inline completion, or a history item that
    // differs only in case taking the text's place when the box loses the focus).
    cboSearch->setInsertPolicy(QComboBox::NoInsert);
    cboSearch->setCompleter(nullptr);
    cboSearch->setDuplicatesEnabled(true);
    cboSearch->setToolTip(QStringLiteral("The search parameters"));
    cboSearch->setEditText(QStringLiteral("Vellan,Qorth"));
    placeTw(cboSearch, 120, 275, 3135, 360);
    Label1 = named(new QLabel(QStringLiteral("Search In:"), Frame2), "Label1");
    placeTw(Label1, 120, 720, 975, 255);
    chkTitle = checkBox(Frame2, "chkTitle", "Tit&le");
    placeTw(chkTitle, 1080, 720, 615, 195);
    chkComm = checkBox(Frame2, "chkComm", "Co&mment");
    placeTw(chkComm, 1800, 720, 975, 195);
}

// The three Own options, of which the settings may leave none selected.
void frmKRVS::createOwnFrame(QWidget* client) {
    Frame4 = named(new QGroupBox(QStringLiteral("Own"), client), "Frame4");
    placeTw(Frame4, 5160, 3840, 975, 1215);
    Picture1 = named(new QWidget(Frame4), "Picture1");
    placeTw(Picture1, 120, 360, 735, 735);
    auto option = [this](const char* name, const char* caption) {
        auto* o = named(new QRadioButton(QString::fromUtf8(caption), Picture1), name);
        // Managed by hand so that the settings can leave none of the three selected.
        o->setAutoExclusive(false);
        return o;
    };
    optYesOwn = option("optYesOwn", "&Yes");
    placeTw(optYesOwn, 0, 0, 615, 195);
    optNoOwn = option("optNoOwn", "&No");
    placeTw(optNoOwn, 0, 240, 615, 195);
    optBothOwn = option("optBothOwn", "&Both");
    placeTw(optBothOwn, 0, 480, 735, 195);
    const QList<QRadioButton*> owns{optYesOwn, optNoOwn, optBothOwn};
    for (QRadioButton* o : owns) {
        connect(o, &QRadioButton::toggled, this, [o, owns](bool on) {
            if (!on) return;
            for (QRadioButton* other : owns)
                if (other != o) other->setChecked(false);
        });
        // A click on the selected option keeps it selected.
        connect(o, &QRadioButton::clicked, this, [o](bool on) {
            if (!on) o->setChecked(true);
        });
    }
    optBothOwn->setChecked(true);
}

// The command buttons and the SQL box of the advanced mode.
void frmKRVS::createButtons(QWidget* client) {
    cmdQuery = pushButton(client, "cmdQuery", "&Query");
    placeTw(cmdQuery, 7080, 5160, 975, 375);
    cmdAdv = pushButton(client, "cmdAdv", modeButtonCaption(searchMode_));
    placeTw(cmdAdv, 8160, 5160, 1455, 375);
    cmdExit = pushButton(client, "cmdExit", "&Exit");
    placeTw(cmdExit, 9720, 5160, 975, 375);
    txtSQL = named(new QPlainTextEdit(client), "txtSQL");
    txtSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab and Shift+Tab move the focus along the window's tab order; they type nothing.
    txtSQL->setTabChangesFocus(true);
    txtSQL->setEnabled(false);
    placeTw(txtSQL, 120, 5640, 9495, 855);
    cmdGen = pushButton(client, "cmdGen", "Generate");
    cmdGen->setEnabled(false);
    placeTw(cmdGen, 9720, 6120, 975, 375);
}

void frmKRVS::connectControls() {
    connect(cmdExit, &QPushButton::clicked, this, &frmKRVS::cmdExit_Click);
    connect(cmdAdv, &QPushButton::clicked, this, &frmKRVS::cmdAdv_Click);
    connect(cmdQuery, &QPushButton::clicked, this, &frmKRVS::cmdQuery_Click);
    connect(cmdGen, &QPushButton::clicked, this, &frmKRVS::cmdGen_Click);
    connect(cmdAllSeries, &QPushButton::clicked, this, &frmKRVS::cmdAllSeries_Click);
    connect(cmdAllCat, &QPushButton::clicked, this, &frmKRVS::cmdAllCat_Click);
    connect(fgdCards, &FlexGrid::Click, this, &frmKRVS::fgdCards_Click);
    connect(fgdCards, &FlexGrid::DblClick, this, &frmKRVS::fgdCards_DblClick);
    connect(fgdCards, &FlexGrid::MouseDown, this, &frmKRVS::fgdCards_MouseDown);
    onGotFocus(cboSearch, [this] { cboSearch_GotFocus(); });
    onGotFocus(txtSQL, [this] { txtSQL_GotFocus(); });
}

void frmKRVS::createMenus() {
    auto action = [](QMenu* menu, const char* name, const char* caption) {
        auto* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto* bar = menuBar();

    mnuFile = named(bar->addMenu(QStringLiteral("&File")), "mnuFile");
    mnuCompact = action(mnuFile, "mnuCompact", "&Compact Database");
    mnuBakDB = action(mnuFile, "mnuBakDB", "&Backup Database");
    mnuMerge = action(mnuFile, "mnuMerge", "&Merge Checklist...");
    mnuFile->addSeparator();
    mnuSaveAs = named(mnuFile->addMenu(QStringLiteral("&Save Results As")), "mnuSaveAs");
    mnuSaveIt[0] = action(mnuSaveAs, "mnuSaveIt_0", "&Text File");
    mnuSaveIt[1] = action(mnuSaveAs, "mnuSaveIt_1", "&CSV File");
    mnuFile->addSeparator();
    mnuExit = action(mnuFile, "mnuExit", "&Exit");

    mnuTools = named(bar->addMenu(QStringLiteral("&Tools")), "mnuTools");
    mnuAutoAst = action(mnuTools, "mnuAutoAst", "&Auto Asterisks On Key Words");
    mnuAutoAst->setCheckable(true);
    mnuAutoAst->setChecked(true);
    mnuPass = action(mnuTools, "mnuPass", "Add &Password To Database...");
    mnuSummary = action(mnuTools, "mnuSummary", "&Collection Summary...");
    mnuOpts = action(mnuTools, "mnuOpts", "&Options");
    mnuOpts->setVisible(false);
    mnuOpts->setEnabled(false);

    mnuHelp = named(bar->addMenu(QStringLiteral("&Help")), "mnuHelp");
    mnuContents = action(mnuHelp, "mnuContents", "&Contents");
    mnuContents->setVisible(false);
    mnuContents->setEnabled(false);
    mnuUpdate = action(mnuHelp, "mnuUpdate", "Check For &Update...");
    mnuHelp->addSeparator();
    mnuAbout = action(mnuHelp, "mnuAbout", "&About...");

    // The grid's pop-up menu: not on the menu bar.
    mnuPopUp1 = named(new QMenu(QStringLiteral("Menu"), this), "mnuPopUp1");
    mnuStuff[0] = action(mnuPopUp1, "mnuStuff_0", "View Details");
    mnuStuff[1] = mnuPopUp1->addSeparator();
    mnuStuff[1]->setObjectName(QStringLiteral("mnuStuff_1"));
    mnuStuff[2] = action(mnuPopUp1, "mnuStuff_2", "Set Selected to Own=YES");
    mnuStuff[3] = action(mnuPopUp1, "mnuStuff_3", "Set Selected to Own=NO");
    mnuStuff[4] = mnuPopUp1->addSeparator();
    mnuStuff[4]->setObjectName(QStringLiteral("mnuStuff_4"));
    mnuFile2Menu = named(new QMenu(QStringLiteral("Save Results As"), mnuPopUp1), "mnuFile2Menu");
    mnuStuff[5] = mnuPopUp1->addMenu(mnuFile2Menu);
    mnuStuff[5]->setObjectName(QStringLiteral("mnuStuff_5"));
    mnuFile2[0] = action(mnuFile2Menu, "mnuFile2_0", "Text File");
    mnuFile2[1] = action(mnuFile2Menu, "mnuFile2_1", "CSV File");

    connect(mnuCompact, &QAction::triggered, this, &frmKRVS::mnuCompact_Click);
    connect(mnuBakDB, &QAction::triggered, this, &frmKRVS::mnuBakDB_Click);
    for (int i = 0; i < 2; ++i) {
        connect(mnuSaveIt[i], &QAction::triggered, this, [this, i] { mnuSaveIt_Click(i); });
        connect(mnuFile2[i], &QAction::triggered, this, [this, i] { mnuFile2_Click(i); });
    }
    connect(mnuExit, &QAction::triggered, this, &frmKRVS::mnuExit_Click);
    // The check mark is inverted by the handler: undo the action's own toggle first.
    connect(mnuAutoAst, &QAction::triggered, this, [this](bool checked) {
        mnuAutoAst->setChecked(!checked);
        mnuAutoAst_Click();
    });
    connect(mnuPass, &QAction::triggered, this, &frmKRVS::mnuPass_Click);
    connect(mnuMerge, &QAction::triggered, this, [this] { collectionCommands_->merge(); });
    connect(mnuSummary, &QAction::triggered, this, [this] { collectionCommands_->summary(); });
    connect(mnuUpdate, &QAction::triggered, this, &frmKRVS::mnuUpdate_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmKRVS::mnuAbout_Click);
    for (int i : {0, 2, 3})
        connect(mnuStuff[i], &QAction::triggered, this, [this, i] { mnuStuff_Click(i); });
}

// ---- window operations -------------------------------------------------------------

void frmKRVS::setMousePointer(int code) {
    mousePointer_ = code;
    showMousePointer(this, code);
}

void frmKRVS::mnuBakDB_Click() {
    fileCommands_->backup();
}

void frmKRVS::mnuCompact_Click() {
    fileCommands_->compact();
}

void frmKRVS::mnuPass_Click() {
    fileCommands_->password();
}

void frmKRVS::DoEvents() {
    QCoreApplication::processEvents();
}

int frmKRVS::chkValue(const QCheckBox* box) {
    return checkBoxState(box);
}

void frmKRVS::setChkValue(QCheckBox* box, int value) {
    setCheckBoxState(box, value);
}

// ---- the settings file and the export ------------------------------------------

void frmKRVS::LoadINI() {
    settings_->load();
}
void frmKRVS::SaveINI() {
    settings_->save();
}
QString frmKRVS::ReadINI(const QString& section, const QString& key, const QString& def) {
    return settings_->read(section, key, def);
}
long frmKRVS::WriteINI(const QString& section, const QString& key, const QString& value) {
    return settings_->write(section, key, value);
}
void frmKRVS::mnuSaveIt_Click(int index) {
    export_->saveList(index);
}
void frmKRVS::DumpToText(int format, const QString& fileName) {
    export_->dumpToText(format, fileName);
}

int frmKRVS::outerWidthTw() const {
    return pxToTwips(frameGeometry().width());
}
int frmKRVS::outerHeightTw() const {
    return pxToTwips(frameGeometry().height());
}
int frmKRVS::clientHeightTw() const {
    return pxToTwips(centralWidget()->height());
}

bool frmKRVS::bindGrid(const SearchRequest& request) {
    if (!catalogue_.isOpen()) throw AppError::objectClosed();
    // The rows shown go before the new ones are read: never two results at once.
    fgdCards->Clear();
    rows_.reset();
    if (earlyRows_ && request.text == loadAllRequest().text)
        rows_ = std::exchange(earlyRows_, nullptr); // read while the window started
    else
        rows_ = catalogue_.search(request);
    if (!rows_) return false;
    fgdCards->setDataSource(rows_);
    return true;
}

void frmKRVS::setShownSearch(const SearchRequest& request) {
    shown_ = request;
    g.gCurSQL = request.text;
}

// ---- search panel and grid: their command classes --------------------------------

void frmKRVS::cmdQuery_Click() {
    searchCommands->query();
}
void frmKRVS::cmdGen_Click() {
    searchCommands->generate();
}
void frmKRVS::cmdAllSeries_Click() {
    searchCommands->toggleAllSeries();
}
void frmKRVS::cmdAllCat_Click() {
    searchCommands->toggleAllCategories();
}
void frmKRVS::mnuAutoAst_Click() {
    searchCommands->toggleAutoAsterisks();
}
void frmKRVS::AddToList(QString& keyWords) {
    searchCommands->addToList(keyWords);
}
void frmKRVS::showAllCards() {
    searchCommands->showAllCards();
}

void frmKRVS::fgdCards_Click() {
    gridCommands->click();
}
void frmKRVS::fgdCards_DblClick() {
    gridCommands->doubleClick();
}
void frmKRVS::fgdCards_MouseDown(int button, int, int x, int y) {
    gridCommands->mouseDown(button, x, y);
}
void frmKRVS::mnuStuff_Click(int index) {
    gridCommands->popUpItem(index);
}
void frmKRVS::mnuFile2_Click(int index) {
    mnuSaveIt_Click(index); // the same export as File > Save Results As
}
void frmKRVS::UpdateOwnBulk(QList<qint32>& ids, bool& own) {
    gridCommands->updateOwnBulk(ids, own);
}

// ---- layout and search modes -------------------------------------------------------

void frmKRVS::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Form_Resize();
}

void frmKRVS::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) Form_Resize();
}

void frmKRVS::Form_Resize() {
    if (!centralWidget()) return;
    if (!isMinimized()) {
        // Snap back to the smallest size; the frame is the window system's.
        const QSize frame = frameGeometry().size() - geometry().size();
        if (outerWidthTw() < mMinWidth) resize(twipsToPx(mMinWidth) - frame.width(), height());
        if (outerHeightTw() < mMinHeight) resize(width(), twipsToPx(mMinHeight) - frame.height());

        const QRect grid = twips_.value(fgdCards);
        const int outerWidth = outerWidthTw();
        const int gridHeight = clientHeightTw() - g.gPanelHeight;
        const int frameTop = grid.top() + gridHeight + 105;
        const int exitTop = frameTop + 1320;
        const int sqlTop = exitTop + 480;
        const int genTop = sqlTop + 480;
        auto moveTop = [this](QWidget* w, int top) {
            const QRect r = twips_.value(w);
            placeTw(w, r.left(), top, r.width(), r.height());
        };
        placeTw(fgdCards, grid.left(), grid.top(), qMax(0, outerWidth - 315), qMax(0, gridHeight));
        for (QWidget* f : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                           static_cast<QWidget*>(Frame3), static_cast<QWidget*>(Frame4)})
            moveTop(f, frameTop);
        moveTop(cmdExit, exitTop);
        moveTop(cmdQuery, exitTop);
        moveTop(cmdAdv, exitTop);
        moveTop(txtSQL, sqlTop);
        moveTop(cmdGen, genTop);
        const QRect line = twips_.value(Line1);
        placeTw(Line1, line.left(), line.top(), outerWidth, line.height());
    }
    update();
}

void frmKRVS::cmdAdv_Click() {
    setSearchMode(searchMode_ == SearchMode::Simple ? SearchMode::Advanced : SearchMode::Simple);
}

void frmKRVS::setSearchMode(SearchMode mode) {
    searchMode_ = mode;
    const bool advanced = mode == SearchMode::Advanced;
    g.gPanelHeight = advanced ? 2950 : 2000;
    cmdAdv->setText(QString::fromUtf8(modeButtonCaption(mode)));
    txtSQL->setEnabled(advanced);
    cmdGen->setEnabled(advanced);
    Form_Resize();
}

void frmKRVS::cboSearch_GotFocus() {
    SelectAllText(cboSearch);
}

void frmKRVS::txtSQL_GotFocus() {
    SelectAllText(txtSQL);
}

} // namespace krvs
