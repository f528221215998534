#include "db/Dialect.h"

#include <QList>
#include <algorithm>
#include <array>

namespace krvs::db::dialect {

namespace {

enum class Tok { Space, Comment, SString, DString, Bracket, Grave, Word, Number, Dot, Semi, Other };

struct Token {
    Tok kind;
    qsizetype begin;
    qsizetype end; // one past the last character
    bool closed = true;
};

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_' || c.unicode() >= 0x80;
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;
}

// Reads to the closing quote q; a doubled quote stays inside the text.
qsizetype quotedEnd(const QString& s, qsizetype i, QChar q, bool doubling, bool* closed) {
    const qsizetype n = s.size();
    for (++i; i < n; ++i) {
        if (s[i] == q) {
            if (doubling && i + 1 < n && s[i + 1] == q) {
                ++i;
                continue;
            }
            *closed = true;
            return i + 1;
        }
    }
    *closed = false;
    return n;
}

QList<Token> tokenize(const QString& s) {
    QList<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        Token t{Tok::Other, i, i + 1};
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < n && s[j].isSpace())
                ++j;
            t = {Tok::Space, i, j};
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            qsizetype j = i;
            while (j < n && s[j] != u'\n')
                ++j;
            t = {Tok::Comment, i, j};
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const qsizetype e = s.indexOf(QStringLiteral("*/"), i + 2);
            t = {Tok::Comment, i, e < 0 ? n : e + 2};
        } else if (c == u'\'') {
            t.kind = Tok::SString;
            t.end = quotedEnd(s, i, u'\'', true, &t.closed);
        } else if (c == u'"') {
            t.kind = Tok::DString;
            t.end = quotedEnd(s, i, u'"', true, &t.closed);
        } else if (c == u'[') {
            t.kind = Tok::Bracket;
            t.end = quotedEnd(s, i, u']', false, &t.closed);
        } else if (c == u'`') {
            t.kind = Tok::Grave;
            t.end = quotedEnd(s, i, u'`', true, &t.closed);
        } else if (c.isDigit()) {
            qsizetype j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == u'.'))
                ++j;
            t = {Tok::Number, i, j};
        } else if (isWordStart(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(s[j]))
                ++j;
            t = {Tok::Word, i, j};
        } else if (c == u'.') {
            t.kind = Tok::Dot;
        } else if (c == u';') {
            t.kind = Tok::Semi;
        }
        out.push_back(t);
        i = t.end;
    }
    return out;
}

bool significant(const Token& t) {
    return t.kind != Tok::Space && t.kind != Tok::Comment;
}

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

bool wordIs(const QString& s, const Token& t, QLatin1StringView w) {
    return t.kind == Tok::Word &&
           QStringView(s).mid(t.begin, t.end - t.begin).compare(w, Qt::CaseInsensitive) == 0;
}

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
    const QList<Token> toks = tokenize(s);

    // ALTER DATABASE PASSWORD: the engine's own statement
    {
        QList<int> sig;
        for (int i = 0; i < toks.size() && sig.size() < 3; ++i)
            if (significant(toks[i])) sig << i;
        if (sig.size() == 3 && wordIs(s, toks[sig[0]], QLatin1StringView("ALTER")) &&
            wordIs(s, toks[sig[1]], QLatin1StringView("DATABASE")) &&
            wordIs(s, toks[sig[2]], QLatin1StringView("PASSWORD")))
            return parsePasswordStatement(s.mid(toks[sig[2]].end));
    }

    QString& out = r.sql;
    out.reserve(s.size() + 16);
    const Token* prev = nullptr; // previous significant token
    for (int i = 0; i < toks.size(); ++i) {
        const Token& t = toks[i];
        const QStringView text = QStringView(s).mid(t.begin, t.end - t.begin);
        if (t.kind == Tok::Semi) {
            out += text;
            for (int j = i + 1; j < toks.size(); ++j) {
                if (significant(toks[j]) && toks[j].kind != Tok::Semi) {
                    r.error = QStringLiteral("Characters found after end of SQL statement.");
                    r.sql.clear();
                    return r;
                }
            }
            break;
        }
        if (t.kind == Tok::Other && text == u"&") {
            out += QStringLiteral("||"); // the old dialect joins texts with &
        } else if (t.kind == Tok::DString && t.closed) {
            out += singleQuoted(text.mid(1, text.size() - 2));
        } else if (t.kind == Tok::Word) {
            const Token* next = nullptr;
            for (int j = i + 1; j < toks.size() && !next; ++j)
                if (significant(toks[j])) next = &toks[j];
            const QString up = text.toString().toUpper();
            const bool afterDot = prev && prev->kind == Tok::Dot;
            const bool beforeDot = next && next->kind == Tok::Dot;
            const bool afterAs = prev && wordIs(s, *prev, QLatin1StringView("AS"));
            if (afterDot) {
                if (isSqliteKeyword(up))
                    out += u'"' + text.toString() + u'"';
                else
                    out += text;
            } else if ((up == QLatin1StringView("LEFT") || up == QLatin1StringView("RIGHT")) &&
                       next && next->kind == Tok::Other && s[next->begin] == u'(') {
                out += u'"' + text.toString() + u'"'; // the functions, not the joins
            } else if (beforeDot || afterAs) {
                out += text;
            } else if (up == QLatin1StringView("TRUE") || up == QLatin1StringView("YES")) {
                out += u'1';
            } else if (up == QLatin1StringView("FALSE") || up == QLatin1StringView("NO")) {
                out += u'0';
            } else if (up == QLatin1StringView("INDEX") &&
                       !(prev && (wordIs(s, *prev, QLatin1StringView("CREATE")) ||
                                  wordIs(s, *prev, QLatin1StringView("UNIQUE")) ||
                                  wordIs(s, *prev, QLatin1StringView("DROP")) ||
                                  wordIs(s, *prev, QLatin1StringView("REINDEX"))))) {
                out += u'"' + text.toString() + u'"';
            } else {
                out += text;
            }
        } else {
            out += text;
        }
        if (significant(t)) prev = &t;
    }
    return r;
}

} // namespace krvs::db::dialect
