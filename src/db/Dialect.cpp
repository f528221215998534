#include "db/Dialect.h"

#include "db/SqlReader.h"

#include <QList>
#include <algorithm>
#include <array>

namespace krvs::db::dialect {

namespace {

const QLatin1StringView kCardTable("tblKRVS101");

// SQLite's keywords; any of them after a dot is quoted as a column name.
constexpr std::array<const char*, 124> kKeywords = {
    "ABORT",      "ACTION",    "ADD",         "AFTER",        "ALL",          "ALTER",
    "ANALYZE",    "AND",       "AS",          "ASC",          "ATTACH",       "AUTOINCREMENT",
    "BEFORE",     "BEGIN",     "BETWEEN",     "BY",           "CASCADE",      "CASE",
    "CAST",       "CHECK",     "COLLATE",     "COLUMN",       "COMMIT",       "CONFLICT",
    "CONSTRAINT", "CREATE",    "CROSS",       "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
    "DATABASE",   "DEFAULT",   "DEFERRABLE",  "DEFERRED",     "DELETE",       "DESC",
    "DETACH",     "DISTINCT",  "DROP",        "EACH",         "ELSE",         "END",
    "ESCAPE",     "EXCEPT",    "EXCLUSIVE",   "EXISTS",       "EXPLAIN",      "FAIL",
    "FOR",        "FOREIGN",   "FROM",        "FULL",         "GLOB",         "GROUP",
    "HAVING",     "IF",        "IGNORE",      "IMMEDIATE",    "IN",           "INDEX",
    "INDEXED",    "INITIALLY", "INNER",       "INSERT",       "INSTEAD",      "INTERSECT",
    "INTO",       "IS",        "ISNULL",      "JOIN",         "KEY",          "LEFT",
    "LIKE",       "LIMIT",     "MATCH",       "NATURAL",      "NO",           "NOT",
    "NOTNULL",    "NULL",      "OF",          "OFFSET",       "ON",           "OR",
    "ORDER",      "OUTER",     "PLAN",        "PRAGMA",       "PRIMARY",      "QUERY",
    "RAISE",      "RECURSIVE", "REFERENCES",  "REGEXP",       "REINDEX",      "RELEASE",
    "RENAME",     "REPLACE",   "RESTRICT",    "RIGHT",        "ROLLBACK",     "ROW",
    "SAVEPOINT",  "SELECT",    "SET",         "TABLE",        "TEMP",         "TEMPORARY",
    "THEN",       "TO",        "TRANSACTION", "TRIGGER",      "UNION",        "UNIQUE",
    "UPDATE",     "USING",     "VACUUM",      "VALUES",       "VIEW",         "VIRTUAL",
    "WHEN",       "WHERE",     "WITH",        "WITHOUT",
};

// "..." in the old dialect is a text: the same text in single quotes.
QString singleQuoted(QStringView inner) {
    QString out;
    out.reserve(inner.size() + 2);
    out += u'\'';
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const QChar c = inner[i];
        if (c == u'"' && i + 1 < inner.size() && inner[i + 1] == u'"') {
            out += u'"';
            ++i;
        } else if (c == u'\'') {
            out += QStringLiteral("''");
        } else {
            out += c;
        }
    }
    out += u'\'';
    return out;
}

// True when the statement whose significant tokens are sig drops or alters the card
// table: "DROP TABLE [IF EXISTS] [schema.]name" or "ALTER TABLE [schema.]name ...".
bool changesCardTable(const SqlReader& rd, const QList<int>& sig) {
    const QList<SqlToken>& toks = rd.tokens();
    const auto is = [&](qsizetype i, const char* w) {
        return i < sig.size() && rd.isWord(toks[sig[i]], QLatin1StringView(w));
    };
    qsizetype k = 2;
    if (is(0, "DROP") && is(1, "TABLE")) {
        if (is(2, "IF") && is(3, "EXISTS")) k = 4;
    } else if (!(is(0, "ALTER") && is(1, "TABLE"))) {
        return false;
    }
    if (k + 1 < sig.size() && rd.isPunct(toks[sig[k + 1]], u'.')) k += 2; // main.name
    return k < sig.size() && rd.name(toks[sig[k]]).compare(kCardTable, Qt::CaseInsensitive) == 0;
}

// The old dialect's "SELECT TOP n" waiting for its LIMIT at the end of that SELECT.
struct TopClause {
    int depth;                // parenthesis depth of the SELECT
    QString count;            // n
    bool percent = false;     // TOP n PERCENT
    QString quantifier;       // "DISTINCT " or "ALL " when the SELECT has one, for PERCENT
    qsizetype bodyStart = -1; // where the SELECT's columns begin in the output
    qsizetype orderCut = -1;  // where its ORDER BY begins in the output (before blanks)
};

bool isDigits(QStringView t) {
    return !t.isEmpty() &&
           std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

const QString kTopInCompound =
    QStringLiteral("The TOP clause cannot be used in a SELECT joined to another by UNION, "
                   "EXCEPT or INTERSECT.");

const QString kPasswordSyntax = QStringLiteral(
    "Syntax error in ALTER DATABASE PASSWORD statement: it takes the new and the old password "
    "separated by one blank, and a password cannot contain blanks.");

} // namespace

bool isSqliteKeyword(const QString& word) {
    const QByteArray up = word.toUpper().toLatin1();
    return std::any_of(kKeywords.begin(), kKeywords.end(), [&](const char* k) { return up == k; });
}

Translation parsePasswordStatement(const QString& text) {
    Translation r;
    QString rest = text;
    while (!rest.isEmpty() && rest.back().isSpace())
        rest.chop(1);
    if (rest.endsWith(u';')) rest.chop(1);
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = rest.size();
    while (i < n) {
        // exactly one blank before each word: a second blank means a password
        // that starts or ends with one
        if (!rest[i].isSpace() || (i + 1 < n && rest[i + 1].isSpace()) || i + 1 == n) {
            r.error = kPasswordSyntax;
            return r;
        }
        ++i;
        // A word is a password exactly as typed: brackets and quotes are part of it.
        qsizetype end = i;
        while (end < n && !rest[end].isSpace())
            ++end;
        QString word = rest.mid(i, end - i);
        if (word == QLatin1StringView("``")) word.clear();
        words << word;
        i = end;
    }
    if (words.size() != 2) {
        r.error = kPasswordSyntax;
        return r;
    }
    r.password = PasswordChange{words[0], words[1]};
    return r;
}

Translation translate(const QString& s) {
    Translation r;
    // The engine stops reading at a NUL character, so it would run only the part
    // before it: "DELETE FROM t\0 WHERE ..." would empty the table.
    if (s.contains(QChar(0))) {
        r.error = QStringLiteral("Invalid character in SQL statement: it holds a NUL character.");
        return r;
    }
    const SqlReader rd(s);
    const QList<SqlToken>& toks = rd.tokens();

    // Every statement of the text, also those after the first that are never run.
    {
        QList<int> sig;
        for (int i = 0; i <= toks.size() && !r.changesCardTable; ++i) {
            if (i == toks.size() || rd.isPunct(toks[i], u';')) {
                r.changesCardTable = changesCardTable(rd, sig);
                sig.clear();
            } else if (significant(toks[i])) {
                sig << i;
            }
        }
    }

    // ALTER DATABASE PASSWORD: the engine's own statement
    {
        QList<int> sig;
        for (int i = 0; i < toks.size() && sig.size() < 3; ++i)
            if (significant(toks[i])) sig << i;
        if (sig.size() == 3 && rd.isWord(toks[sig[0]], QLatin1StringView("ALTER")) &&
            rd.isWord(toks[sig[1]], QLatin1StringView("DATABASE")) &&
            rd.isWord(toks[sig[2]], QLatin1StringView("PASSWORD"))) {
            Translation p = parsePasswordStatement(s.mid(toks[sig[2]].end));
            p.changesCardTable = r.changesCardTable;
            return p;
        }
    }

    const auto nextSignificant = [&](int i) {
        for (++i; i < toks.size(); ++i)
            if (significant(toks[i])) return i;
        return -1;
    };
    const auto fail = [&r](const QString& error) {
        r.error = error;
        r.sql.clear();
        return r;
    };

    QString& out = r.sql;
    out.reserve(s.size() + 16);
    const SqlToken* prev = nullptr; // previous significant token
    int depth = 0;                  // of parentheses
    qsizetype lastEnd = 0;          // the output's end after its last significant token
    QList<TopClause> tops;          // the SELECTs with a TOP whose end is still to come
    // Ends the TOP clauses at depth d: the LIMIT goes after the last significant token.
    const auto endTops = [&](int d) {
        while (!tops.isEmpty() && tops.back().depth >= d) {
            const TopClause t = tops.takeLast();
            QString limit = QStringLiteral(" LIMIT ") + t.count;
            if (t.percent) {
                // n per cent of the rows the SELECT gives without its ORDER BY, rounded up
                const qsizetype bodyEnd = t.orderCut >= 0 ? t.orderCut : lastEnd;
                limit =
                    QStringLiteral(" LIMIT (SELECT (count(*) * %1 + 99) / 100 FROM (SELECT "
                                   "%2%3\n))")
                        .arg(t.count, t.quantifier, out.mid(t.bodyStart, bodyEnd - t.bodyStart));
            }
            out.insert(lastEnd, limit);
            lastEnd += limit.size();
        }
    };
    // The tokens of a TOP clause, and a blank after it, are left out of the output.
    int skipFrom = -1, skipTo = -1;
    QList<bool> compound{false}; // per depth: a UNION, EXCEPT or INTERSECT was seen
    for (int i = 0; i < toks.size(); ++i) {
        const SqlToken& t = toks[i];
        const QStringView text = rd.text(t);
        if ((i >= skipFrom && i <= skipTo) || (i == skipTo + 1 && t.kind == SqlToken::Space))
            continue;
        if (i > skipTo && !tops.isEmpty() && tops.back().bodyStart < 0)
            tops.back().bodyStart = out.size();
        if (rd.isPunct(t, u';')) {
            endTops(0);
            out += text;
            for (int j = i + 1; j < toks.size(); ++j) {
                if (significant(toks[j]) && !rd.isPunct(toks[j], u';'))
                    return fail(QStringLiteral("Characters found after end of SQL statement."));
            }
            return r;
        }
        if (rd.isPunct(t, u'(')) {
            ++depth;
            compound.resize(depth + 1);
            compound[depth] = false;
        } else if (rd.isPunct(t, u')')) {
            endTops(depth);
            depth = std::max(0, depth - 1);
        }
        const bool compoundWord = rd.isWord(t, QLatin1StringView("UNION")) ||
                                  rd.isWord(t, QLatin1StringView("EXCEPT")) ||
                                  rd.isWord(t, QLatin1StringView("INTERSECT"));
        if (compoundWord) compound[depth] = true;
        if (t.kind == SqlToken::Word && !tops.isEmpty() && tops.back().depth == depth) {
            if (compoundWord) return fail(kTopInCompound);
            const int next = nextSignificant(i);
            if (rd.isWord(t, QLatin1StringView("ORDER")) && next >= 0 &&
                rd.isWord(toks[next], QLatin1StringView("BY")) && tops.back().orderCut < 0)
                tops.back().orderCut = lastEnd;
        }

        if (rd.isPunct(t, u'&')) {
            out += QStringLiteral("||"); // the old dialect joins texts with &
        } else if (t.kind == SqlToken::DoubleQuoted && t.closed) {
            out += singleQuoted(text.mid(1, text.size() - 2));
        } else if (t.kind == SqlToken::Word) {
            const int nextIndex = nextSignificant(i);
            const SqlToken* next = nextIndex >= 0 ? &toks[nextIndex] : nullptr;
            const QString up = text.toString().toUpper();
            const bool afterDot = prev && rd.isPunct(*prev, u'.');
            const bool beforeDot = next && rd.isPunct(*next, u'.');
            const bool afterAs = prev && rd.isWord(*prev, QLatin1StringView("AS"));
            if (afterDot) {
                if (isSqliteKeyword(up))
                    out += u'"' + text.toString() + u'"';
                else
                    out += text;
            } else if ((up == QLatin1StringView("LEFT") || up == QLatin1StringView("RIGHT")) &&
                       next && rd.isPunct(*next, u'(')) {
                out += u'"' + text.toString() + u'"'; // the functions, not the joins
            } else if (beforeDot || afterAs) {
                out += text;
            } else if (up == QLatin1StringView("TRUE") || up == QLatin1StringView("YES")) {
                out += u'1';
            } else if (up == QLatin1StringView("FALSE") || up == QLatin1StringView("NO")) {
                out += u'0';
            } else if (up == QLatin1StringView("INDEX") &&
                       !(prev && (rd.isWord(*prev, QLatin1StringView("CREATE")) ||
                                  rd.isWord(*prev, QLatin1StringView("UNIQUE")) ||
                                  rd.isWord(*prev, QLatin1StringView("DROP")) ||
                                  rd.isWord(*prev, QLatin1StringView("REINDEX"))))) {
                out += u'"' + text.toString() + u'"';
            } else {
                out += text;
            }
            // SELECT [DISTINCT|ALL] TOP n [PERCENT]: the clause is left out here and
            // its LIMIT added at the SELECT's end.
            const bool select = up == QLatin1StringView("SELECT");
            const bool quantifier =
                (up == QLatin1StringView("DISTINCT") || up == QLatin1StringView("ALL")) && prev &&
                rd.isWord(*prev, QLatin1StringView("SELECT"));
            const int count = next ? nextSignificant(nextIndex) : -1;
            if ((select || quantifier) && next && rd.isWord(*next, QLatin1StringView("TOP")) &&
                count >= 0 && toks[count].kind == SqlToken::Number &&
                isDigits(rd.text(toks[count]))) {
                TopClause top;
                top.depth = depth;
                top.count = rd.text(toks[count]).toString();
                skipTo = count;
                const int after = nextSignificant(count);
                if (after >= 0 && rd.isWord(toks[after], QLatin1StringView("PERCENT"))) {
                    if (depth > 0)
                        return fail(QStringLiteral("TOP n PERCENT can only be used in the "
                                                   "outermost SELECT."));
                    top.percent = true;
                    skipTo = after;
                }
                if (depth < compound.size() && compound[depth]) return fail(kTopInCompound);
                if (quantifier) top.quantifier = up + u' ';
                skipFrom = nextIndex;
                tops << top;
            }
        } else {
            out += text;
        }
        if (significant(t)) {
            prev = &t;
            lastEnd = out.size();
        }
    }
    endTops(0);
    return r;
}

} // namespace krvs::db::dialect
