#pragma once
#include "db/Connection.h"
#include "db/SnapshotOrder.h"
#include "search/SqlBuilder.h"

#include <QString>
#include <optional>

namespace krvs {

// What the grid shows: a statement as the user sees it (in the SQL box and the
// history), who wrote it, and for a statement the program builds its order as data,
// so that nothing reads the order back out of the text.
struct SearchRequest {
    QString text;
    db::Origin origin = db::Origin::Program;
    std::optional<db::SnapshotOrder> order; // empty: an ORDER BY is read from the text
};

// Every card by DbId: the grid at start-up and after a backup or compaction.
SearchRequest loadAllRequest();

// The search of the panel: buildSearchStatement's text, with the order by Index and
// Title as data. The user's words are in it, so it counts as typed.
SearchRequest panelRequest(QString& keyWords, const SearchPanel& panel);

// A statement typed in the SQL box, run as it stands.
SearchRequest typedRequest(const QString& text);

} // namespace krvs
