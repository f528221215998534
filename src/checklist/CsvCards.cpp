#include "checklist/CsvCards.h"

#include <QHash>
#include <QStringList>
#include <QUtf8StringView>
#include <array>
#include <optional>

namespace krvs::checklist {

namespace {

struct Record {
    int line = 0; // line on which the record starts
    std::vector<std::string> fields;
};

// Splits the text into records; returns an error text or nothing.
std::optional<QString> splitRecords(const QByteArray& data, std::vector<Record>& out) {
    qsizetype i = 0;
    const qsizetype n = data.size();
    if (data.startsWith("\xEF\xBB\xBF")) i = 3;
    int line = 1;
    while (i < n) {
        // a line with nothing on it is no record
        if (data[i] == '\n' || data[i] == '\r') {
            if (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n') ++i;
            ++i;
            ++line;
            continue;
        }
        Record rec;
        rec.line = line;
        std::string field;
        bool endOfRecord = false;
        while (!endOfRecord) {
            field.clear();
            if (i < n && data[i] == '"') {
                const int openedOn = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = data[i];
                    if (c == '"') {
                        if (i + 1 < n && data[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (c == '\n') ++line;
                    if (c == '\r' && !(i + 1 < n && data[i + 1] == '\n')) ++line;
                    field += c;
                    ++i;
                }
                if (!closed)
                    return QStringLiteral("line %1: a quoted field is not closed").arg(openedOn);
                if (i < n && data[i] != ',' && data[i] != '\n' && data[i] != '\r')
                    return QStringLiteral("line %1: text after the closing quote of a field")
                        .arg(line);
            } else {
                while (i < n && data[i] != ',' && data[i] != '\n' && data[i] != '\r')
                    field += data[i++];
            }
            if (!QUtf8StringView(field).isValidUtf8())
                return QStringLiteral("line %1: the text is not UTF-8").arg(line);
            rec.fields.push_back(field);
            if (i >= n) {
                endOfRecord = true;
            } else if (data[i] == ',') {
                ++i;
            } else {
                if (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n') ++i;
                ++i;
                ++line;
                endOfRecord = true;
            }
        }
        out.push_back(std::move(rec));
    }
    return std::nullopt;
}

std::optional<bool> parseOwn(const std::string& s) {
    const QString v = QString::fromUtf8(s).trimmed().toLower();
    if (v.isEmpty() || v == u"false" || v == u"no" || v == u"0") return false;
    if (v == u"true" || v == u"yes" || v == u"1") return true;
    return std::nullopt;
}

// Which field each column of the header row holds.
std::optional<QString> readHeader(const Record& header, std::vector<int>& columnField,
                                  std::array<bool, fCount>& present) {
    for (const std::string& name : header.fields) {
        const QString h = QString::fromUtf8(name).trimmed();
        int f = -1;
        for (int k = 0; k < fCount; ++k)
            if (h.compare(QLatin1StringView(kFieldNames[k]), Qt::CaseInsensitive) == 0) f = k;
        if (f < 0)
            return QStringLiteral("line %1: unknown column \"%2\" (the columns are %3)")
                .arg(header.line)
                .arg(h, QStringLiteral("DbId, Index, CardType, Title, Category, Series, Season, "
                                       "Own, DBComments, UserComments"));
        if (present[f])
            return QStringLiteral("line %1: the column %2 appears twice")
                .arg(header.line)
                .arg(QLatin1StringView(kFieldNames[f]));
        present[f] = true;
        columnField.push_back(f);
    }
    return std::nullopt;
}

// One card from a record; its DbId stays as given when the file has no DbId column.
std::optional<QString> readCard(const Record& rec, const std::vector<int>& columnField, Card& c) {
    if (rec.fields.size() != columnField.size())
        return QStringLiteral("line %1: %2 fields where the header row has %3")
            .arg(rec.line)
            .arg(rec.fields.size())
            .arg(columnField.size());
    for (std::size_t k = 0; k < columnField.size(); ++k) {
        const std::string& v = rec.fields[k];
        switch (columnField[k]) {
        case fDbId: {
            bool ok = false;
            const QString t = QString::fromUtf8(v).trimmed();
            const qint64 id = t.toLongLong(&ok);
            if (!ok || id < 1 || id > 2147483647)
                return QStringLiteral("line %1: DbId \"%2\" is not a whole number from 1 to "
                                      "2147483647")
                    .arg(rec.line)
                    .arg(t);
            c.dbId = id;
            break;
        }
        case fOwn: {
            const auto own = parseOwn(v);
            if (!own)
                return QStringLiteral("line %1: Own \"%2\" is not True, False, Yes, No, 1 or 0")
                    .arg(rec.line)
                    .arg(QString::fromUtf8(v));
            c.own = *own;
            break;
        }
        case fIndex:
            c.index = v;
            break;
        case fCardType:
            c.cardType = v;
            break;
        case fTitle:
            c.title = v;
            break;
        case fCategory:
            c.category = v;
            break;
        case fSeries:
            c.series = v;
            break;
        case fSeason:
            c.season = v;
            break;
        case fDBComments:
            c.dbComments = v;
            break;
        case fUserComments:
            c.userComments = v;
            break;
        }
    }
    return std::nullopt;
}

} // namespace

CsvCards readCardsCsv(const QByteArray& text, bool requireDbId) {
    CsvCards result;
    std::vector<Record> records;
    const auto failed = [&result](QString error) {
        result.error = std::move(error);
        result.cards.clear();
        return result;
    };
    if (auto e = splitRecords(text, records)) return failed(*e);
    if (records.empty())
        return failed(QStringLiteral("line 1: the header row of field names is missing"));
    std::vector<int> columnField;
    if (auto e = readHeader(records.front(), columnField, result.present)) return failed(*e);
    // Cards are matched by DbId: numbering them by their place would match strangers.
    if (requireDbId && !result.present[fDbId])
        return failed(QStringLiteral("line %1: the DbId column is missing (the cards are matched "
                                     "by their DbId)")
                          .arg(records.front().line));

    QHash<qint64, int> seen; // DbId -> line
    result.cards.reserve(records.size() - 1);
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& rec = records[r];
        Card c;
        c.dbId = static_cast<std::int64_t>(r);
        if (auto e = readCard(rec, columnField, c)) return failed(*e);
        const auto prev = seen.constFind(c.dbId);
        if (prev != seen.constEnd())
            return failed(QStringLiteral("line %1: DbId %2 is used twice (first on line %3)")
                              .arg(rec.line)
                              .arg(c.dbId)
                              .arg(prev.value()));
        seen.insert(c.dbId, rec.line);
        result.cards.push_back(std::move(c));
    }
    return result;
}

} // namespace krvs::checklist
