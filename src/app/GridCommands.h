#pragma once
#include "app/WindowOps.h"
#include "state/Card.h"

#include <QList>

class QMenu;
class QPushButton;

namespace krvs {

class Catalogue;
class FlexGrid;

// The controls the grid's commands use.
struct GridControls {
    FlexGrid* fgdCards = nullptr;
    QMenu* mnuPopUp1 = nullptr;      // the grid's pop-up menu
    QPushButton* cmdQuery = nullptr; // disabled while no catalogue is open
};

// The results grid's commands: the header sort, the card's details, the pop-up menu
// and the Own field of the selected cards set in one go.
class GridCommands {
  public:
    GridCommands(Catalogue& catalogue, const GridControls& controls, WindowOps window);

    void click();
    void doubleClick();
    // x and y in twips from the grid's top left.
    void mouseDown(int button, int x, int y);
    // The pop-up menu's items by index (0 View Details, 2 Own=YES, 3 Own=NO).
    void popUpItem(int index);
    void updateOwnBulk(QList<qint32>& ids, bool& own);

    // The card the details were last shown for.
    const Card& card() const { return card_; }

  private:
    Catalogue& catalogue_;
    GridControls c_;
    WindowOps window_;
    Card card_;
    // The grid's MouseRow and RowSel at the last press of any button on it.
    qint32 downRow_ = 0;
    qint32 downRowSel_ = 0;
};

} // namespace krvs
