#include "checklist/Merge.h"

#include "db/Connection.h"
#include "db/RowSet.h"
#include "search/PanelBoxes.h"
#include "util/CrashPoint.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace krvs::checklist {

namespace {

const std::string& fieldOf(const Card& c, Field f) {
    switch (f) {
    case fIndex:
        return c.index;
    case fCardType:
        return c.cardType;
    case fTitle:
        return c.title;
    case fCategory:
        return c.category;
    case fSeries:
        return c.series;
    case fSeason:
        return c.season;
    case fDBComments:
        return c.dbComments;
    default:
        return c.userComments;
    }
}

constexpr Field kPublisherFields[] = {fIndex,  fCardType, fTitle,     fCategory,
                                      fSeries, fSeason,   fDBComments};

// The panel's LIKE without wildcards: the same text in any letter case.
template <std::size_t N> bool hasBox(const PanelBox (&boxes)[N], const std::string& value) {
    const QString v = QString::fromUtf8(value);
    return std::any_of(std::begin(boxes), std::end(boxes), [&v](const PanelBox& b) {
        return v.compare(QString::fromUtf8(b.value), Qt::CaseInsensitive) == 0;
    });
}

void noteUnboxed(MergePlan& plan, const Card& c) {
    if (hasBox(kSeriesBoxes, c.series) && hasBox(kCategoryBoxes, c.category)) return;
    plan.unboxed.push_back({c.dbId, QString::fromStdString(c.title),
                            QString::fromStdString(c.series), QString::fromStdString(c.category)});
}

void appendLiteral(QString& sql, const std::string& text) {
    sql += u'\'';
    sql += QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
               .replace(u'\'', QStringLiteral("''"));
    sql += u'\'';
}

void appendRow(QString& sql, const Card& c, bool withUserFields) {
    sql += u'(';
    sql += QString::number(c.dbId);
    for (Field f : kPublisherFields) {
        sql += u',';
        if (f == fDBComments) sql += withUserFields && c.own ? u"1," : u"0,";
        appendLiteral(sql, fieldOf(c, f));
    }
    sql += u',';
    appendLiteral(sql, withUserFields ? c.userComments : std::string());
    sql += u')';
}

} // namespace

bool isPublisherField(Field f) {
    return std::find(std::begin(kPublisherFields), std::end(kPublisherFields), f) !=
           std::end(kPublisherFields);
}

QString catalogueStatement() {
    return QStringLiteral("SELECT DbId, Index, CardType, Title, Category, Series, Season, "
                          "DBComments FROM tblKRVS101;");
}

MergePlan planMerge(const db::RowSet& catalogue, const Checklist& list) {
    MergePlan plan;
    plan.present = list.present;
    std::array<int, fCount> column{};
    for (int f = 0; f < fCount; ++f) {
        column[f] = -1;
        for (int k = 0; k < catalogue.colCount(); ++k)
            if (catalogue.fields[k].compare(QLatin1String(kFieldNames[f]), Qt::CaseInsensitive) ==
                0)
                column[f] = k;
        if (column[f] < 0 && (f == fDbId || isPublisherField(static_cast<Field>(f)))) {
            plan.error = QStringLiteral("the catalogue has no field %1").arg(kFieldNames[f]);
            return plan;
        }
    }
    QHash<qint64, int> rowOf;
    rowOf.reserve(catalogue.rowCount());
    db::RowSet::CellBuffer number;
    for (int r = 0; r < catalogue.rowCount(); ++r) {
        const auto id = catalogue.cellUtf8(r, column[fDbId], number);
        rowOf.insert(QByteArray(id.data(), static_cast<qsizetype>(id.size())).toLongLong(), r);
    }
    qint64 matched = 0;
    for (const Card& c : list.cards) {
        // The engine takes no NUL inside a statement's text.
        for (Field f :
             {fIndex, fCardType, fTitle, fCategory, fSeries, fSeason, fDBComments, fUserComments})
            if (fieldOf(c, f).find('\0') != std::string::npos) {
                plan = MergePlan{};
                plan.error = QStringLiteral("card %1: its %2 holds a NUL character")
                                 .arg(c.dbId)
                                 .arg(kFieldNames[f]);
                return plan;
            }
        const auto at = rowOf.constFind(c.dbId);
        if (at == rowOf.constEnd()) {
            plan.added.push_back(c);
            noteUnboxed(plan, c);
            continue;
        }
        ++matched;
        CardChange change{c.dbId, QString::fromStdString(c.title), {}};
        for (Field f : kPublisherFields) {
            if (!list.present[f]) continue;
            const auto old = catalogue.cellUtf8(*at, column[f], number);
            const std::string& now = fieldOf(c, f);
            if (old != std::string_view(now))
                change.fields.push_back(
                    {f, QString::fromUtf8(old.data(), static_cast<qsizetype>(old.size())),
                     QString::fromStdString(now)});
        }
        if (change.fields.empty()) {
            ++plan.unchanged;
            continue;
        }
        // What the card holds after the merge, for the panel's boxes.
        Card after = c;
        for (Field f : {fCategory, fSeries})
            if (!list.present[f]) {
                const auto old = catalogue.cellUtf8(*at, column[f], number);
                (f == fCategory ? after.category : after.series) = std::string(old);
            }
        noteUnboxed(plan, after);
        plan.changed.push_back(c);
        plan.changes.push_back(std::move(change));
    }
    plan.missing = catalogue.rowCount() - matched;
    return plan;
}

QString countsLine(const MergePlan& plan) {
    return QStringLiteral("new %1, changed %2, unchanged %3, missing %4")
        .arg(plan.added.size())
        .arg(plan.changed.size())
        .arg(plan.unchanged)
        .arg(plan.missing);
}

QString mergeStatement(const MergePlan& plan) {
    if (plan.changesNothing()) return {};
    // The engine of the program has no upsert: each row of the list replaces its card
    // whole, so a card the catalogue holds takes its own Own and UserComments, and
    // the fields the checklist does not give, from its old row (o).
    QString sql = QStringLiteral("WITH v(column1, column2, column3, column4, column5, column6, "
                                 "column7, column8, column9, column10) AS (VALUES ");
    sql.reserve(sql.size() + static_cast<qsizetype>(plan.added.size() + plan.changed.size()) * 200);
    bool first = true;
    for (const Card& c : plan.added) {
        if (!first) sql += u',';
        first = false;
        appendRow(sql, c, true);
    }
    for (const Card& c : plan.changed) {
        if (!first) sql += u',';
        first = false;
        appendRow(sql, c, false);
    }
    sql += QStringLiteral(") INSERT OR REPLACE INTO tblKRVS101 (DbId, Index, CardType, Title, "
                          "Category, Series, Season, Own, DBComments, UserComments) "
                          "SELECT v.column1");
    for (int f = fIndex; f < fCount; ++f) {
        const auto field = static_cast<Field>(f);
        const QString fromList = QStringLiteral("v.column%1").arg(f + 1);
        if (isPublisherField(field) && plan.present[f])
            sql += QStringLiteral(", ") + fromList;
        else
            sql += QStringLiteral(", CASE WHEN o.DbId IS NULL THEN %1 ELSE o.%2 END")
                       .arg(fromList, QLatin1String(kFieldNames[f]));
    }
    sql += QStringLiteral(" FROM v LEFT JOIN tblKRVS101 AS o ON o.DbId = v.column1;");
    return sql;
}

void applyMerge(db::Connection& connection, const MergePlan& plan) {
    if (plan.changesNothing()) return;
    const QString sql = mergeStatement(plan);
    // The crash trials kill the program while the statement runs.
    auto previous = db::Connection::setProgressHook(nullptr);
    db::Connection::setProgressHook([previous] {
        crashPoint("merge-write");
        return previous && previous();
    });
    struct Restore {
        db::Connection::ProgressHook hook;
        ~Restore() { db::Connection::setProgressHook(std::move(hook)); }
    } restore{previous};
    connection.execute(sql);
}

QString mergeBackupPath(const QString& folder, const QString& datedBackupName) {
    const QFileInfo name(datedBackupName);
    const QString stem = name.completeBaseName() + QStringLiteral("-before-merge");
    const QString suffix = name.suffix().isEmpty() ? QString() : u'.' + name.suffix();
    const QDir dir(folder);
    QString path = dir.filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix));
    return path;
}

} // namespace krvs::checklist
