#include "db/SnapshotOrder.h"

#include "db/SqlReader.h"
#include "db/TextFold.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <sqlite3.h>

namespace krvs::db {

namespace {

const QString kTable = QStringLiteral("tblKRVS101");

// A word that in a condition would bring another scan, a sub-query or another
// shape of result.
bool changesScan(const SqlReader& r, const SqlToken& t) {
    static const char* const words[] = {"SELECT", "FROM",  "JOIN",   "UNION",   "INTERSECT",
                                        "EXCEPT", "ORDER", "GROUP",  "HAVING",  "LIMIT",
                                        "WINDOW", "OVER",  "VALUES", "INDEXED", "OFFSET"};
    if (t.kind != SqlToken::Word) return r.isPunct(t, u';');
    for (const char* w : words)
        if (r.isWord(t, QLatin1StringView(w))) return true;
    return false;
}

// A word or a quoted name (not a text).
bool isName(const SqlToken& t) {
    return t.kind == SqlToken::Word || t.kind == SqlToken::DoubleQuoted ||
           t.kind == SqlToken::Bracketed || t.kind == SqlToken::Graved;
}

// Reads one ordering term at tokens[i]: [tblKRVS101 .] column [ASC | DESC]. A number
// (a column's place in the result) is left to the engine.
bool readTerm(const SqlReader& r, const QList<SqlToken>& tokens, qsizetype& i, QString& column,
              bool& descending) {
    const auto name = [&](qsizetype k) { return k < tokens.size() && isName(tokens[k]); };
    if (!name(i)) return false;
    if (i + 2 < tokens.size() && r.isPunct(tokens[i + 1], u'.')) {
        if (r.name(tokens[i]).compare(kTable, Qt::CaseInsensitive) != 0 || !name(i + 2))
            return false;
        i += 2;
    }
    column = r.name(tokens[i++]);
    descending = false;
    if (i < tokens.size() && r.isWord(tokens[i], QLatin1StringView("ASC"))) {
        ++i;
    } else if (i < tokens.size() && r.isWord(tokens[i], QLatin1StringView("DESC"))) {
        descending = true;
        ++i;
    }
    return true;
}

} // namespace

std::optional<SnapshotOrder> snapshotOrder(const QString& sql) {
    // Only a statement that begins with SELECT can be one; the writes of a long bulk
    // update are not read word by word.
    qsizetype first = 0;
    while (first < sql.size() && sql[first].isSpace())
        ++first;
    if (QStringView(sql).sliced(first).left(6).compare(QLatin1StringView("SELECT"),
                                                       Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // A comment, an unclosed quote or a blank beyond ASCII (part of a name to the
    // engine: the statement may not even be one) leaves the statement to the engine.
    const SqlReader r(sql);
    QList<SqlToken> tokens;
    for (const SqlToken& t : r.tokens()) {
        if (t.kind == SqlToken::Comment || !t.closed) return std::nullopt;
        if (t.kind != SqlToken::Space) {
            tokens << t;
        } else if (std::any_of(r.text(t).begin(), r.text(t).end(),
                               [](QChar c) { return c.unicode() > 0x7f; })) {
            return std::nullopt;
        }
    }
    const auto is = [&](qsizetype k, const char* word) {
        return r.isWord(tokens[k], QLatin1StringView(word));
    };
    if (tokens.size() < 7) return std::nullopt;
    if (!is(0, "SELECT") || !r.isPunct(tokens[1], u'*') || !is(2, "FROM") ||
        tokens[3].kind != SqlToken::Word ||
        r.text(tokens[3]).compare(kTable, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // The condition, if any, up to the ORDER BY.
    qsizetype i = 4;
    if (is(i, "WHERE")) {
        for (++i; i < tokens.size() && !is(i, "ORDER"); ++i)
            if (changesScan(r, tokens[i])) return std::nullopt;
    }
    if (i + 2 >= tokens.size() || !is(i, "ORDER") || !is(i + 1, "BY")) return std::nullopt;
    SnapshotOrder order;
    // Cut between tokens: a name may end in what QString::trimmed() takes for a blank.
    order.unordered =
        sql.mid(tokens[0].begin, tokens[i - 1].end - tokens[0].begin) + QLatin1Char(';');
    for (i += 2;;) {
        QString column;
        bool descending = false;
        if (!readTerm(r, tokens, i, column, descending)) return std::nullopt;
        order.columns << column;
        order.descending.push_back(descending);
        if (i < tokens.size() && r.isPunct(tokens[i], u',')) {
            ++i;
            continue;
        }
        break;
    }
    while (i < tokens.size() && r.isPunct(tokens[i], u';'))
        ++i;
    if (i != tokens.size()) return std::nullopt;
    return order;
}

bool canOrderSnapshot(sqlite3* db, const QStringList& columns) {
    for (const QString& column : columns) {
        const QByteArray name = column.toUtf8();
        const char* type = nullptr;
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db, "main", "tblKRVS101", name.constData(), &type,
                                          &collation, nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        // Text affinity (the engine stores no number in such a column) and NOCASE.
        const QByteArray t = QByteArray(type ? type : "").toUpper();
        const bool textAffinity =
            !t.contains("INT") && (t.contains("CHAR") || t.contains("CLOB") || t.contains("TEXT"));
        if (!textAffinity || QByteArray(collation ? collation : "").toUpper() != "NOCASE")
            return false;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT 1 FROM sqlite_master WHERE type = 'index' AND "
                           "tbl_name = 'tblKRVS101' COLLATE NOCASE UNION ALL "
                           "SELECT 1 FROM sqlite_temp_master WHERE "
                           "tbl_name = 'tblKRVS101' COLLATE NOCASE LIMIT 1;",
                           -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE; // no index on the table, no temporary table in its place
}

// ---- ordering ----------------------------------------------------------------------
//
// The ordering columns of a search repeat a lot (a few hundred numbers in Index, some
// thousands of titles among a million cards), so each column's distinct cells are
// ordered once and every row gets its cell's rank: rows are then sorted on whole
// numbers. The distinct cells are sorted on the first sixteen bytes of their key (for
// text the UTF-8 of its base letters, the first level of the NOCASE order; for a blob
// its bytes; zeros after the end), and on the full comparison where those are equal.

namespace {

struct Distinct {
    std::uint64_t hi, lo;
    std::string_view cell;
    std::uint8_t storage;
    std::uint32_t id;
};

void putUtf8(char32_t c, unsigned char* out, std::size_t& n, std::size_t cap) {
    unsigned char b[4];
    std::size_t k = 0;
    if (c < 0x80) {
        b[k++] = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        b[k++] = static_cast<unsigned char>(0xC0 | (c >> 6));
        b[k++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        b[k++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        b[k++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        b[k++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        b[k++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        b[k++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        b[k++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        b[k++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    for (std::size_t j = 0; j < k && n < cap; ++j)
        out[n++] = b[j];
}

std::uint64_t bigEndian(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

void prefix(Distinct& d) {
    unsigned char buf[16] = {};
    std::size_t n = 0;
    const std::string_view v = d.cell;
    if (d.storage == OrderColumn::Blob) {
        n = std::min<std::size_t>(v.size(), 16);
        std::memcpy(buf, v.data(), n);
    } else if (d.storage == OrderColumn::Text) {
        for (std::size_t i = 0; i < v.size() && n < 16;) {
            const auto b = static_cast<unsigned char>(v[i]);
            if (b < 0x80) {
                buf[n++] = (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
                ++i;
            } else {
                putUtf8(text::baseLetter(text::foldCase(text::decodeUtf8(v, i))), buf, n, 16);
            }
        }
    }
    d.hi = bigEndian(buf);
    d.lo = bigEndian(buf + 8);
}

int compareCells(const Distinct& a, const Distinct& b) {
    if (a.storage != b.storage) return a.storage < b.storage ? -1 : 1;
    if (a.hi != b.hi) return a.hi < b.hi ? -1 : 1;
    if (a.lo != b.lo) return a.lo < b.lo ? -1 : 1;
    if (a.storage == OrderColumn::Text) return text::compareNoCase(a.cell, b.cell);
    if (a.storage == OrderColumn::Blob) {
        const std::size_t n = std::min(a.cell.size(), b.cell.size());
        const int r = n ? std::memcmp(a.cell.data(), b.cell.data(), n) : 0;
        if (r != 0) return r;
        return a.cell.size() < b.cell.size() ? -1 : (a.cell.size() > b.cell.size() ? 1 : 0);
    }
    return 0; // NULL
}

// The rank of each row's cell in one ordering column: equal cells (under the
// engine's comparison) share a rank; a descending column counts down.
std::vector<std::uint32_t> ranks(const RowSet& rows, const OrderColumn& by) {
    const auto n = static_cast<std::size_t>(rows.rowCount());
    std::vector<std::uint32_t> rowRank(n);
    // The distinct cells, found through an open-addressed table at most half full.
    std::vector<Distinct> distinct;
    std::vector<std::uint32_t> table(1024, 0); // distinct index + 1; 0 is free
    std::hash<std::string_view> hash;
    RowSet::CellBuffer number; // an ordering column holds no numbers: never used
    for (std::size_t r = 0; r < n; ++r) {
        const std::string_view cell = rows.storedCellUtf8(r, by.field, number);
        const std::uint8_t storage = by.storage[r];
        if (distinct.size() * 2 >= table.size()) {
            std::vector<std::uint32_t> grown(table.size() * 2, 0);
            for (std::uint32_t k = 0; k < distinct.size(); ++k) {
                std::size_t i = (hash(distinct[k].cell) + distinct[k].storage) & (grown.size() - 1);
                while (grown[i])
                    i = (i + 1) & (grown.size() - 1);
                grown[i] = k + 1;
            }
            table.swap(grown);
        }
        const std::size_t mask = table.size() - 1;
        std::size_t i = (hash(cell) + storage) & mask;
        for (;; i = (i + 1) & mask) {
            if (!table[i]) {
                Distinct d{0, 0, cell, storage, static_cast<std::uint32_t>(distinct.size())};
                prefix(d);
                distinct.push_back(d);
                table[i] = static_cast<std::uint32_t>(distinct.size());
                break;
            }
            const Distinct& d = distinct[table[i] - 1];
            if (d.storage == storage && d.cell == cell) break;
        }
        rowRank[r] = table[i] - 1; // the distinct cell's index for now
    }
    table = {};
    std::sort(distinct.begin(), distinct.end(),
              [](const Distinct& a, const Distinct& b) { return compareCells(a, b) < 0; });
    std::vector<std::uint32_t> rankOf(distinct.size());
    std::uint32_t rank = 0;
    for (std::size_t k = 0; k < distinct.size(); ++k) {
        if (k > 0 && compareCells(distinct[k - 1], distinct[k]) != 0) ++rank;
        rankOf[distinct[k].id] = rank;
    }
    for (std::uint32_t& r : rowRank)
        r = by.descending ? rank - rankOf[r] : rankOf[r];
    return rowRank;
}

// How many bits hold the numbers 0..most.
int bitsFor(std::uint64_t most) {
    int bits = 0;
    while (most >> bits)
        ++bits;
    return bits;
}

std::uint32_t maxOf(const std::vector<std::uint32_t>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

} // namespace

std::vector<std::uint32_t> engineOrder(const RowSet& rows, const std::vector<OrderColumn>& by) {
    const auto n = static_cast<std::size_t>(rows.rowCount());
    std::vector<std::uint32_t> order;
    if (by.empty() || n < 2) {
        order.resize(n);
        std::iota(order.begin(), order.end(), 0u);
        return order;
    }
    const int rowBits = bitsFor(n - 1);
    // Mostly one or two columns whose ranks and the row's place fit one number: sorting
    // it sorts stably, and takes half the memory of a key beside its row.
    if (by.size() <= 2) {
        // Built a column at a time: at most the keys and one column's ranks at once.
        std::vector<std::uint64_t> keys(n);
        int shift = rowBits;
        for (std::size_t r = 0; r < n; ++r)
            keys[r] = r;
        bool fits = true;
        for (std::size_t k = by.size(); fits && k-- > 0;) {
            const std::vector<std::uint32_t> rank = ranks(rows, by[k]);
            const int bits = bitsFor(maxOf(rank));
            fits = shift + bits <= 64;
            for (std::size_t r = 0; fits && bits && r < n; ++r)
                keys[r] |= std::uint64_t{rank[r]} << shift;
            shift += bits;
        }
        if (fits) {
            std::sort(keys.begin(), keys.end());
            const std::uint64_t rowMask = (std::uint64_t{1} << rowBits) - 1;
            order.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                order[i] = static_cast<std::uint32_t>(keys[i] & rowMask);
            return order;
        }
    }
    // Ranks of the first two columns packed in one number; further columns, rarely
    // met, break the remaining ties; then the place the row was read.
    std::vector<std::vector<std::uint32_t>> rank;
    rank.reserve(by.size());
    for (const OrderColumn& c : by)
        rank.push_back(ranks(rows, c));
    struct Entry {
        std::uint64_t key;
        std::uint32_t row;
    };
    std::vector<Entry> entries(n);
    for (std::size_t r = 0; r < n; ++r)
        entries[r] = {(static_cast<std::uint64_t>(rank[0][r]) << 32) |
                          (rank.size() > 1 ? rank[1][r] : 0u),
                      static_cast<std::uint32_t>(r)};
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.key != b.key) return a.key < b.key;
        for (std::size_t k = 2; k < rank.size(); ++k)
            if (rank[k][a.row] != rank[k][b.row]) return rank[k][a.row] < rank[k][b.row];
        return a.row < b.row;
    });
    order.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = entries[i].row;
    return order;
}

} // namespace krvs::db
