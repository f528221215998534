#pragma once
#include "grid/GridSort.h"

#include <functional>

class QWidget;

namespace krvs {

class FlexGrid;

// How a header click sorts a column: numbers for column 0, case-sensitive text for
// column 1, the generic sort for every other column.
SortKind sortKindForColumn(int col);

// Sorts the grid by sortCol and moves the header mark to clickCol: ascending, or
// descending when clickCol is marked ascending now; every other caption shows no
// mark. The form shows the hourglass meanwhile: setPointer is called with 11 and
// then 0 when given, otherwise the form's own cursor is set and unset. A failure
// puts the pointer back and shows a "Sort error" box.
void sortByHeader(QWidget* form, FlexGrid* grid, int sortCol, int clickCol, SortKind kind,
                  const std::function<void(int)>& setPointer = {});

// The header sort under the name the grid's click handler knows it by.
void SortFlexP(QWidget* form, FlexGrid* grid, int sortCol, int clickCol, SortKind kind,
               const std::function<void(int)>& setPointer = {});

} // namespace krvs
