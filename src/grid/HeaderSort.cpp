#include "grid/HeaderSort.h"

#include "grid/FlexGrid.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"

#include <QWidget>
#include <exception>
#include <new>

namespace krvs {

SortKind sortKindForColumn(int col) {
    if (col == 0) return SortKind::Numeric;
    if (col == 1) return SortKind::Text;
    return SortKind::Generic;
}

void sortByHeader(QWidget* form, FlexGrid* grid, int sortCol, int clickCol, SortKind kind,
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
        const auto& mark = grid->sortMark();
        const bool up =
            mark && mark->col == clickCol && mark->direction == SortDirection::Ascending;
        const SortDirection direction = up ? SortDirection::Descending : SortDirection::Ascending;
        grid->setSortMark(SortMark{clickCol, direction}); // none when clickCol is no column
        if (clickCol >= 0 && clickCol < grid->Cols()) grid->sort(kind, direction);
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, QStringLiteral("Sort error"));
    } catch (const std::bad_alloc&) {
        ui().msgBox(errorBoxText(AppError::of(err::OutOfMemory)), mb::OKOnly | mb::Critical,
                    QStringLiteral("Sort error"));
    }
}

void SortFlexP(QWidget* form, FlexGrid* grid, int sortCol, int clickCol, SortKind kind,
               const std::function<void(int)>& setPointer) {
    sortByHeader(form, grid, sortCol, clickCol, kind, setPointer);
}

} // namespace krvs
