#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace krvs {

// How the grid's header sort compares cells: generic (blank cells, then numbers by
// value, then texts by the locale's collation with case ignored), numeric (what is
// not a number counts as 0) or text (case-sensitive, by code points).
enum class SortKind { Generic, Numeric, Text };
enum class SortDirection { Ascending, Descending };

// The column a header click sorted last and its direction: that column's caption
// shows " ^" (ascending) or " v" (descending) after its text.
struct SortMark {
    int col = 0;
    SortDirection direction = SortDirection::Ascending;
};

// A cell's text for the sort: UTF-8 that stays where it is while the sort runs, or
// (transient) text the sort copies before the next cell is asked for.
struct SortCell {
    std::string_view utf8;
    bool transient = false;
};

// Sorts the rows at positions 0..n-1 (n = visit.size()) by the columns firstCol..
// lastCol, the first being the main key; rows with equal keys keep their order, in
// either direction. visit lists every position once, in the order their cells lie in
// memory; cell(k, col) gives the cell of the row at position visit[k], and is asked
// for each cell once, k going up. Returns the old position of each new position.
std::vector<std::uint32_t> sortRows(SortKind kind, SortDirection direction, int firstCol,
                                    int lastCol, const std::vector<std::uint32_t>& visit,
                                    const std::function<SortCell(std::size_t k, int col)>& cell);

// Reads a cell as a number the way the generic and numeric sorts do: optional
// blanks, an optional sign, digits with an optional decimal point and exponent.
bool parseNumber(std::string_view text, double* value);

} // namespace krvs
