#pragma once
#include <QtGlobal>
#include <functional>

class QWidget;

namespace krvs {

class FlexGrid;

// Sort type of a header click by column: 2 (numeric) for column 0, 1 (text,
// case-sensitive) for column 1, 0 (generic) for every other column.
qint16 sortTypeForColumn(int col);

// The grid's ascending and descending Sort codes for a sort type: 1 -> 7/8,
// 2 -> 3/4, anything else -> 1/2.
void sortCodesForType(qint16 sortType, int* ascending, int* descending);

// Sorts the grid by sortCol and turns the header markers round: the clicked column
// gets " ^" (ascending) or, when it already had " ^", " v" (descending); every other
// header loses its marker. The form shows the hourglass meanwhile: setPointer is
// called with 11 and then 0 when given, otherwise the form's own cursor is set and
// unset. A failure puts the pointer back and shows a "Sort error" box.
void SortFlexP(QWidget* form, FlexGrid* grid, qint16& sortCol, qint16& clickCol, qint16& sortType,
               const std::function<void(int)>& setPointer = {});

} // namespace krvs
