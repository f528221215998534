#include "app/frmKRVS.h"

#include "app/BusyProgress.h"
#include "app/QueryWatch.h"

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
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>

#include <memory>
#include <optional>

namespace krvs {

namespace {
const QString kOwnTitle = QStringLiteral("Own field update");

void errorBox(const AppError& e, const char* title) {
    ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, QLatin1String(title));
}
} // namespace

void frmKRVS::fgdCards_Click() {
    try {
        fgdCards->Refresh();
        if (fgdCards->MouseRow() == 0) {
            const int col = fgdCards->MouseCol();
            SortFlexP(this, fgdCards, col, col, sortKindForColumn(col),
                      [this](int code) { setMousePointer(code); });
        }
    } catch (const AppError& e) {
        errorBox(e, "Cards Click Error");
    }
}

void frmKRVS::fgdCards_MouseDown(int button, int, int x, int y) {
    try {
        mDownRow = fgdCards->MouseRow();
        mDownRowSel = fgdCards->RowSel();
        // At the press, or at the current cell for the Menu key.
        if (button == 2)
            mnuPopUp1->popup(fgdCards->mapToGlobal(QPoint(twipsToPx(x), twipsToPx(y))));
    } catch (const AppError& e) {
        errorBox(e, "Grid MouseDown Error");
    }
}

void frmKRVS::fgdCards_DblClick() {
    try {
        const int r = fgdCards->RowSel();
        if (r == 0) return;
        if (!cmdQuery->isEnabled()) return;

        Card& c = g.gCard;
        c.DbId = strictInteger(fgdCards->TextMatrix(r, 0));
        c.Index = fgdCards->TextMatrix(r, 1);
        c.CardType = fgdCards->TextMatrix(r, 2);
        c.Title = fgdCards->TextMatrix(r, 3);
        c.Category = fgdCards->TextMatrix(r, 4);
        c.Series = fgdCards->TextMatrix(r, 5);
        c.Season = fgdCards->TextMatrix(r, 6);
        c.Own = strictBool(fgdCards->TextMatrix(r, 7));
        c.DBComments = fgdCards->TextMatrix(r, 8);
        c.UserComments = fgdCards->TextMatrix(r, 9);

        frmDetails details(
            catalogue_, c, [this] { bindGrid(shownSearch()); }, this);
        ui().showModal(details);
    } catch (const AppError& e) {
        errorBox(e, "DblClick Error");
    }
}

void frmKRVS::mnuStuff_Click(int index) {
    switch (index) {
    case 0: {
        // Opened over the header row (or below the last row): nothing to show.
        if (mDownRowSel == 0 || mDownRow <= 0 || mDownRow >= fgdCards->Rows()) return;
        fgdCards->setRow(mDownRow);
        fgdCards->setRowSel(mDownRow);
        fgdCards->setCol(0);
        fgdCards->setColSel(fgdCards->Cols() - 1);
        fgdCards_DblClick();
        break;
    }
    case 2:
    case 3: {
        if (fgdCards->Rows() <= 1) return;
        const int first = qMax(1, qMin(fgdCards->Row(), fgdCards->RowSel()));
        const int last = qMin(fgdCards->Rows() - 1, qMax(fgdCards->Row(), fgdCards->RowSel()));
        // A row without a whole-number DbId (the empty row of a cleared grid, or
        // a typed statement with other columns) names no card and is left out.
        QList<qint32> ids;
        for (int r = first; r <= last; ++r) {
            try {
                ids.append(strictInteger(fgdCards->TextMatrix(r, 0)));
            } catch (const AppError&) {
            }
        }
        if (ids.isEmpty()) {
            ui().msgBox(QStringLiteral("The selected rows hold no card to update."),
                        mb::OKOnly | mb::Information, kOwnTitle);
            return;
        }
        bool own = index == 2;
        UpdateOwnBulk(ids, own);
        break;
    }
    default:
        break; // separators and the sub-menu's parent
    }
}

void frmKRVS::mnuFile2_Click(int index) {
    mnuSaveIt_Click(index);
}

void frmKRVS::UpdateOwnBulk(QList<qint32>& ids, bool& own) {
    const QString v = boolText(own);
    const QString text =
        QStringLiteral("This will update all selected Own fields in the database") +
        QStringLiteral("\r\n") + QStringLiteral("to ") + v +
        QStringLiteral(".  Do you want to continue?");
    if (ui().msgBox(text, mb::YesNo | mb::Information | mb::DefaultButton2, kOwnTitle) !=
        mb::AnsYes)
        return;

    setEnabled(false);
    setMousePointer(pointer::Hourglass);
    ScopeGuard restore([this] {
        setEnabled(true);
        setMousePointer(pointer::Default);
    });
    const int count = static_cast<int>(ids.size());
    BusyProgress progress(
        this, kOwnTitle, QStringLiteral("Updating the Own field of %1 cards...").arg(count), count);
    auto* watch = findChild<QueryWatch*>();
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
        bindGrid(shownSearch());
    } catch (const AppError& e) {
        progress.hide();
        errorBox(e, "Error in updating Own field");
    }
}

} // namespace krvs
