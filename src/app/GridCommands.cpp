#include "app/GridCommands.h"

#include "app/BusyProgress.h"
#include "app/QueryWatch.h"

#include "catalogue/Catalogue.h"
#include "details/CardUpdate.h"
#include "details/frmDetails.h"
#include "grid/FlexGrid.h"
#include "grid/HeaderSort.h"
#include "ui/MousePointer.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"
#include "util/ValueText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>

namespace krvs {

namespace {
const QString kOwnTitle = QStringLiteral("Own field update");

void errorBox(const AppError& e, const char* title) {
    ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, QLatin1String(title));
}
} // namespace

GridCommands::GridCommands(Catalogue& catalogue, const GridControls& controls, WindowOps window)
    : catalogue_(catalogue), c_(controls), window_(std::move(window)) {}

void GridCommands::click() {
    try {
        FlexGrid* grid = c_.fgdCards;
        grid->Refresh();
        if (grid->MouseRow() == 0) {
            const int col = grid->MouseCol();
            SortFlexP(window_.window, grid, col, col, sortKindForColumn(col),
                      window_.setMousePointer);
        }
    } catch (const AppError& e) {
        errorBox(e, "Cards Click Error");
    }
}

void GridCommands::mouseDown(int button, int x, int y) {
    try {
        downRow_ = c_.fgdCards->MouseRow();
        downRowSel_ = c_.fgdCards->RowSel();
        // At the press, or at the current cell for the Menu key.
        if (button == 2)
            c_.mnuPopUp1->popup(c_.fgdCards->mapToGlobal(QPoint(twipsToPx(x), twipsToPx(y))));
    } catch (const AppError& e) {
        errorBox(e, "Grid MouseDown Error");
    }
}

void GridCommands::doubleClick() {
    try {
        FlexGrid* grid = c_.fgdCards;
        const int r = grid->RowSel();
        if (r == 0) return;
        if (!c_.cmdQuery->isEnabled()) return;

        card_.DbId = strictInteger(grid->TextMatrix(r, 0));
        card_.Index = grid->TextMatrix(r, 1);
        card_.CardType = grid->TextMatrix(r, 2);
        card_.Title = grid->TextMatrix(r, 3);
        card_.Category = grid->TextMatrix(r, 4);
        card_.Series = grid->TextMatrix(r, 5);
        card_.Season = grid->TextMatrix(r, 6);
        card_.Own = strictBool(grid->TextMatrix(r, 7));
        card_.DBComments = grid->TextMatrix(r, 8);
        card_.UserComments = grid->TextMatrix(r, 9);

        frmDetails details(
            catalogue_, card_, [this] { window_.bindGrid(window_.shownSearch()); }, window_.window);
        ui().showModal(details);
    } catch (const AppError& e) {
        errorBox(e, "DblClick Error");
    }
}

void GridCommands::popUpItem(int index) {
    FlexGrid* grid = c_.fgdCards;
    switch (index) {
    case 0: {
        // Opened over the header row (or below the last row): nothing to show.
        if (downRowSel_ == 0 || downRow_ <= 0 || downRow_ >= grid->Rows()) return;
        grid->setRow(downRow_);
        grid->setRowSel(downRow_);
        grid->setCol(0);
        grid->setColSel(grid->Cols() - 1);
        doubleClick();
        break;
    }
    case 2:
    case 3: {
        if (grid->Rows() <= 1) return;
        const int first = qMax(1, qMin(grid->Row(), grid->RowSel()));
        const int last = qMin(grid->Rows() - 1, qMax(grid->Row(), grid->RowSel()));
        // A row without a whole-number DbId (the empty row of a cleared grid, or
        // a typed statement with other columns) names no card and is left out.
        QList<qint32> ids;
        for (int r = first; r <= last; ++r) {
            try {
                ids.append(strictInteger(grid->TextMatrix(r, 0)));
            } catch (const AppError&) {
            }
        }
        if (ids.isEmpty()) {
            ui().msgBox(QStringLiteral("The selected rows hold no card to update."),
                        mb::OKOnly | mb::Information, kOwnTitle);
            return;
        }
        bool own = index == 2;
        updateOwnBulk(ids, own);
        break;
    }
    default:
        break; // separators and the sub-menu's parent
    }
}

void GridCommands::updateOwnBulk(QList<qint32>& ids, bool& own) {
    const QString v = boolText(own);
    const QString text =
        QStringLiteral("This will update all selected Own fields in the database") +
        QStringLiteral("\r\n") + QStringLiteral("to ") + v +
        QStringLiteral(".  Do you want to continue?");
    if (ui().msgBox(text, mb::YesNo | mb::Information | mb::DefaultButton2, kOwnTitle) !=
        mb::AnsYes)
        return;

    QWidget* window = window_.window;
    window->setEnabled(false);
    window_.setMousePointer(pointer::Hourglass);
    ScopeGuard restore([this, window] {
        window->setEnabled(true);
        window_.setMousePointer(pointer::Default);
    });
    const int count = static_cast<int>(ids.size());
    BusyProgress progress(window, kOwnTitle,
                          QStringLiteral("Updating the Own field of %1 cards...").arg(count),
                          count);
    auto* watch = window->findChild<QueryWatch*>();
    const LongWorkTiming& timing = longWorkTiming();
    QElapsedTimer since;
    since.start();
    try {
        // One statement per card, kept in groups of a fraction of a second each: a
        // failure, a kill or a stop part-way leaves a clean run of updated cards, and
        // the window paints and offers Stop between two groups.
        const db::GroupedRun run = catalogue_.setOwn(
            ids, own,
            [&](int done) {
                if (since.elapsed() >= timing.showAfterMs) progress.showOver();
                progress.setDone(done);
                const bool asked = watch ? watch->runEvents(&progress)
                                         : (QCoreApplication::processEvents(), false);
                return asked || progress.stopRequested();
            },
            timing.groups);
        progress.hide();
        if (run.stopped) {
            ui().msgBox(QStringLiteral("The update was stopped: %1 of %2 cards were updated.")
                            .arg(run.done)
                            .arg(count),
                        mb::OKOnly | mb::Information, QStringLiteral("Own field update stopped"));
        } else {
            ui().msgBox(QStringLiteral("The update was successful."), mb::OKOnly | mb::Information,
                        kOwnTitle);
        }
        window_.bindGrid(window_.shownSearch());
    } catch (const AppError& e) {
        progress.hide();
        errorBox(e, "Error in updating Own field");
    }
}

} // namespace krvs
