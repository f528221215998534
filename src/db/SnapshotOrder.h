#pragma once
#include "db/RowSet.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

struct sqlite3;

namespace krvs::db {

// The search statements end in an ORDER BY on text columns of the card table. The
// engine's sorter is slow at a million rows, so the program runs such a statement
// without its ORDER BY and orders the snapshot itself, exactly as the engine would:
// NULL before text before blobs, text by the connection's NOCASE collation, blobs
// by their bytes, the whole order reversed for DESC, and rows that compare equal
// in the order the engine read them (its sorter is stable).
struct SnapshotOrder {
    QString unordered;            // the statement without its ORDER BY
    QStringList columns;          // the ordering columns, the main key first
    std::vector<bool> descending; // one per column
};

// Recognises "SELECT * FROM tblKRVS101 [WHERE condition] ORDER BY column [ASC|DESC],
// ... [;]" in the engine's dialect, where each ordering column is a plain column
// (bare, quoted or qualified by the table's name) and the condition holds no
// sub-query, join, grouping or limit: its rows come from the same scan with or
// without the ORDER BY. Anything else gives nothing and goes to the engine whole.
std::optional<SnapshotOrder> snapshotOrder(const QString& sql);

// True when the catalogue lets the program order these columns itself: each is a
// text column of the card table declared with NOCASE, the table has no index of the
// user's (an index could give the engine another scan order) and no temporary table
// of the user's hides it.
bool canOrderSnapshot(sqlite3* db, const QStringList& columns);

// An ordering column of a snapshot being read: its place among the fields, its
// direction and the engine's storage class of each row's cell as read.
struct OrderColumn {
    enum Storage : std::uint8_t { Null = 0, Number = 1, Text = 2, Blob = 3 };
    int field = 0;
    bool descending = false;
    std::vector<std::uint8_t> storage;
};

// The order of the snapshot's rows as the engine's sorter gives them (see above).
// A number in an ordering column (a text column holds none) is not handled:
// the caller lets the engine sort instead.
std::vector<std::uint32_t> engineOrder(const RowSet& rows, const std::vector<OrderColumn>& by);

} // namespace krvs::db
