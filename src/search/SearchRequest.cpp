#include "search/SearchRequest.h"

namespace krvs {

namespace {
const QString kAllCards = QStringLiteral("SELECT * FROM tblKRVS101 ");

db::SnapshotOrder orderBy(const QString& unordered, const QStringList& columns) {
    db::SnapshotOrder o;
    o.unordered = unordered;
    o.columns = columns;
    o.descending.assign(static_cast<std::size_t>(columns.size()), false);
    return o;
}
} // namespace

SearchRequest loadAllRequest() {
    return {QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;"), db::Origin::Program,
            orderBy(kAllCards, {QStringLiteral("DbId")})};
}

SearchRequest panelRequest(QString& keyWords, const SearchPanel& panel) {
    const QString unordered = kAllCards + buildWhere(keyWords, panel);
    return {unordered + sqlOrder(), db::Origin::Typed,
            orderBy(unordered, {QStringLiteral("Index"), QStringLiteral("Title")})};
}

SearchRequest typedRequest(const QString& text) {
    return {text, db::Origin::Typed, std::nullopt};
}

} // namespace krvs
