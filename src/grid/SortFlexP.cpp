#include "grid/SortFlexP.h"

#include "grid/FlexGrid.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"

#include <QWidget>
#include <exception>
#include <new>

namespace krvs {

namespace {
const QString kUp = QStringLiteral(" ^");
const QString kDown = QStringLiteral(" v");
} // namespace

qint16 sortTypeForColumn(int col) {
    if (col == 0) return 2;
    if (col == 1) return 1;
    return 0;
}

void sortCodesForType(qint16 sortType, int* ascending, int* descending) {
    switch (sortType) {
    case 1:
        *ascending = 7, *descending = 8;
        break;
    case 2:
        *ascending = 3, *descending = 4;
        break;
    default:
        *ascending = 1, *descending = 2;
        break;
    }
}

void SortFlexP(QWidget* form, FlexGrid* grid, qint16& sortCol, qint16& clickCol, qint16& sortType,
               const std::function<void(int)>& setPointer) {
    auto showPointer = [&](int code) {
        if (setPointer) {
            setPointer(code);
        } else if (form) {
            showMousePointer(form, code);
        }
    };
    try {
        showPointer(pointer::Hourglass);
        ScopeGuard restore([&] { showPointer(pointer::Default); });
        if (!grid) throw AppError::of(err::ObjectNotSet);
        if (sortCol < 0 || sortCol >= grid->Cols()) throw AppError::of(err::SubscriptOutOfRange);
        grid->setCol(sortCol);
        grid->setColSel(sortCol);
        int ascending = 1, descending = 2;
        sortCodesForType(sortType, &ascending, &descending);
        for (int c = 0; c < grid->Cols(); ++c) {
            QString h = grid->TextMatrix(0, c);
            const bool up = h.endsWith(kUp);
            const bool down = h.endsWith(kDown);
            if (up || down) h.chop(2);
            if (c == clickCol) {
                if (up) {
                    grid->setTextMatrix(0, c, h + kDown);
                    grid->setSort(descending);
                } else {
                    grid->setTextMatrix(0, c, h + kUp);
                    grid->setSort(ascending);
                }
            } else {
                grid->setTextMatrix(0, c, h);
            }
        }
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, QStringLiteral("Sort error"));
    } catch (const std::bad_alloc&) {
        ui().msgBox(errorBoxText(AppError::of(err::OutOfMemory)), mb::OKOnly | mb::Critical,
                    QStringLiteral("Sort error"));
    }
}

} // namespace krvs
