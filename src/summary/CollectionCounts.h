#pragma once
#include <QString>
#include <optional>
#include <vector>

namespace krvs::db {
class Connection;
class RowSet;
} // namespace krvs::db

namespace krvs::summary {

// Owned against total for one group of cards.
struct CountRow {
    QString group; // "Series", "Category", "All cards", "Shown in the grid"
    QString name;  // the series code or category; empty for the totals
    qint64 owned = 0;
    qint64 total = 0;
    bool ownKnown = true; // false for grid rows without an Own column
};

struct CollectionCounts {
    std::vector<CountRow> series;
    std::vector<CountRow> categories;
    CountRow all;
};

// Counted by the engine in one grouped statement. Values that differ only
// in letter case are one group, as the search panel's boxes treat them, named as
// most of its cards spell it.
CollectionCounts countCollection(db::Connection& connection);

// The cards a result shows (the grid's rows): owned counted from its Own column.
CountRow countShown(const db::RowSet& rows);

// owned / total in percent, 0 for no cards.
double percentOwned(const CountRow& row);

// Every row as tab-separated text with a header line, CR LF after each line.
QString countsAsText(const std::vector<CountRow>& rows);

} // namespace krvs::summary
