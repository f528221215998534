#include "summary/CollectionCounts.h"

#include "db/Connection.h"
#include "db/RowSet.h"

#include <QHash>
#include <algorithm>

namespace krvs::summary {

namespace {

// Groups by the field's exact bytes (the engine's fastest grouping), then joins the
// groups whose texts differ only in letter case, in the order of their first text.
std::vector<CountRow> countBy(db::Connection& connection, const QString& field,
                              const QString& group) {
    const auto rows = connection.execute(
        QStringLiteral("SELECT %1 COLLATE BINARY, Count(*), Total(Own) FROM tblKRVS101 GROUP BY "
                       "%1 COLLATE BINARY;")
            .arg(field));
    std::vector<CountRow> out;
    std::vector<qint64> largest; // the cards of the spelling a row is named by
    QHash<QString, std::size_t> at;
    for (int r = 0; r < rows->rowCount(); ++r) {
        const QString name = rows->cell(r, 0);
        const qint64 total = rows->cell(r, 1).toLongLong();
        const QString key = name.toCaseFolded();
        auto it = at.find(key);
        if (it == at.end()) {
            it = at.insert(key, out.size());
            out.push_back({group, name, 0, 0, true});
            largest.push_back(0);
        }
        CountRow& row = out[*it];
        // a group is named as most of its cards spell it
        if (total > largest[*it]) {
            largest[*it] = total;
            row.name = name;
        }
        row.total += total;
        row.owned += static_cast<qint64>(rows->cell(r, 2).toDouble());
    }
    std::sort(out.begin(), out.end(), [](const CountRow& a, const CountRow& b) {
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    return out;
}

// A name holding a tab or a line break would break the table's lines.
QString cellText(QString s) {
    for (QChar& c : s)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return s;
}

} // namespace

CollectionCounts countCollection(db::Connection& connection) {
    CollectionCounts c;
    c.series = countBy(connection, QStringLiteral("Series"), QStringLiteral("Series"));
    c.categories = countBy(connection, QStringLiteral("Category"), QStringLiteral("Category"));
    c.all = {QStringLiteral("All cards"), QString(), 0, 0, true};
    for (const CountRow& r : c.series) {
        c.all.owned += r.owned;
        c.all.total += r.total;
    }
    return c;
}

CountRow countShown(const db::RowSet& rows) {
    CountRow shown{QStringLiteral("Shown in the grid"), QString(), 0, rows.rowCount(), false};
    for (int col = 0; col < rows.colCount(); ++col) {
        if (rows.fields[col].compare(QLatin1String("Own"), Qt::CaseInsensitive) != 0) continue;
        shown.ownKnown = true;
        for (int r = 0; r < rows.rowCount(); ++r) {
            const std::string_view v = rows.cellUtf8(r, col);
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
