#include "summary/CollectionCounts.h"

#include "db/Connection.h"
#include "db/RowSet.h"

#include <QHash>
#include <algorithm>

namespace krvs::summary {

namespace {

// Joins the groups whose texts differ only in letter case, each named as most of
// its cards spell it, in name order.
class Grouping {
  public:
    explicit Grouping(QString group) : group_(std::move(group)) {}
    void add(const QString& name, qint64 total, qint64 owned) {
        const QString key = name.toCaseFolded();
        auto it = at_.find(key);
        if (it == at_.end()) {
            it = at_.insert(key, rows_.size());
            rows_.push_back({group_, name, 0, 0, true});
        }
        CountRow& row = rows_[*it];
        Spellings& s = spellings_[key];
        // the same text comes in several rows of the statement (one per other field)
        if ((s[name] += total) > s.value(row.name)) row.name = name;
        row.total += total;
        row.owned += owned;
    }
    std::vector<CountRow> rows() const {
        std::vector<CountRow> out = rows_;
        std::sort(out.begin(), out.end(), [](const CountRow& a, const CountRow& b) {
            return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
        });
        return out;
    }

  private:
    using Spellings = QHash<QString, qint64>;
    QString group_;
    std::vector<CountRow> rows_;
    QHash<QString, std::size_t> at_;
    QHash<QString, Spellings> spellings_;
};

// A name holding a tab or a line break would break the table's lines.
QString cellText(QString s) {
    for (QChar& c : s)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return s;
}

} // namespace

CollectionCounts countCollection(db::Connection& connection) {
    // One pass over the cards: grouped by both fields at once (a few dozen groups), by
    // their exact bytes, the engine's fastest grouping.
    const auto rows = connection.execute(QStringLiteral(
        "SELECT Series COLLATE BINARY, Category COLLATE BINARY, Count(*), Total(Own) FROM "
        "tblKRVS101 GROUP BY Series COLLATE BINARY, Category COLLATE BINARY;"));
    Grouping series(QStringLiteral("Series")), categories(QStringLiteral("Category"));
    CollectionCounts c;
    c.all = {QStringLiteral("All cards"), QString(), 0, 0, true};
    for (int r = 0; r < rows->rowCount(); ++r) {
        const qint64 total = rows->cell(r, 2).toLongLong();
        const auto owned = static_cast<qint64>(rows->cell(r, 3).toDouble());
        series.add(rows->cell(r, 0), total, owned);
        categories.add(rows->cell(r, 1), total, owned);
        c.all.total += total;
        c.all.owned += owned;
    }
    c.series = series.rows();
    c.categories = categories.rows();
    return c;
}

CountRow countShown(const db::RowSet& rows) {
    CountRow shown{QStringLiteral("Shown in the grid"), QString(), 0, rows.rowCount(), false};
    for (int col = 0; col < rows.colCount(); ++col) {
        if (rows.fields[col].compare(QLatin1String("Own"), Qt::CaseInsensitive) != 0) continue;
        shown.ownKnown = true;
        db::RowSet::CellBuffer number;
        for (int r = 0; r < rows.rowCount(); ++r) {
            const std::string_view v = rows.cellUtf8(r, col, number);
            if (v == "True" ||
                (!v.empty() && v != "False" && v != "0" &&
                 QByteArray(v.data(), static_cast<qsizetype>(v.size())).toDouble() != 0))
                ++shown.owned;
        }
        break;
    }
    return shown;
}

double percentOwned(const CountRow& row) {
    return row.total > 0 ? 100.0 * static_cast<double>(row.owned) / static_cast<double>(row.total)
                         : 0.0;
}

QString countsAsText(const std::vector<CountRow>& rows) {
    QString t = QStringLiteral("Group\tName\tOwned\tTotal\tPercent\r\n");
    for (const CountRow& r : rows) {
        t += cellText(r.group) + u'\t' + cellText(r.name) + u'\t' +
             (r.ownKnown ? QString::number(r.owned) : QString()) + u'\t' +
             QString::number(r.total) + u'\t' +
             (r.ownKnown ? QString::number(percentOwned(r), 'f', 1) : QString()) +
             QStringLiteral("\r\n");
    }
    return t;
}

} // namespace krvs::summary
