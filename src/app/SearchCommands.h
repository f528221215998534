#pragma once
#include "app/WindowOps.h"
#include "search/PanelBoxes.h"
#include "search/SqlBuilder.h"

#include <QString>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QRadioButton;

namespace krvs {

class FlexGrid;

// The controls of the search panel the commands read and write.
struct SearchControls {
    QComboBox* cboSearch = nullptr;
    QCheckBox* chkTitle = nullptr;
    QCheckBox* chkComm = nullptr;
    std::array<QCheckBox*, kSeriesCount> chkSeries{};
    std::array<QCheckBox*, kCategoryCount> chkCategory{};
    QRadioButton* optYesOwn = nullptr;
    QRadioButton* optNoOwn = nullptr;
    QRadioButton* optBothOwn = nullptr;
    QAction* mnuAutoAst = nullptr;
    QPlainTextEdit* txtSQL = nullptr;
    FlexGrid* fgdCards = nullptr; // its row count goes into the caption
};

// The search panel's commands: Query, Generate, the two Select All buttons, the auto
// asterisks and the key-word history.
class SearchCommands {
  public:
    SearchCommands(const SearchControls& controls, WindowOps window);

    void query();
    void generate();
    void toggleAllSeries();
    void toggleAllCategories();
    void toggleAutoAsterisks();
    // Every card in the grid: the load-all statement as the statement and in the SQL box.
    void showAllCards();

    // The key words as typed, tidied and shown so in the search box; when none are
    // left, the "Empty Entry" box has been shown and the result is empty.
    QString typedKeyWords();
    // Puts keyWords at the top of the history, unless it is there already.
    void addToList(QString& keyWords);
    // The panel as the SQL builder reads it.
    SearchPanel panel() const;
    // The statement built or run last.
    const QString& statement() const { return statement_; }

  private:
    void setCaption(const QString& text);
    // Runs request; one without rows shows the search shown before again.
    void runRequest(const SearchRequest& request);

    SearchControls c_;
    WindowOps window_;
    QString statement_;
    // Each Select All button alternates between ticking and clearing its whole group,
    // whatever the boxes show; the first press ticks.
    bool allSeries_ = false;
    bool allCategories_ = false;
};

} // namespace krvs
