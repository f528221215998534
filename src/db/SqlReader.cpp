#include "db/SqlReader.h"

namespace krvs::db {

namespace {

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

QList<SqlToken> tokenize(const QString& s) {
    QList<SqlToken> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        SqlToken t{SqlToken::Punct, i, i + 1};
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < n && s[j].isSpace())
                ++j;
            t = {SqlToken::Space, i, j};
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            qsizetype j = i;
            while (j < n && s[j] != u'\n')
                ++j;
            t = {SqlToken::Comment, i, j};
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const qsizetype e = s.indexOf(QStringLiteral("*/"), i + 2);
            t = {SqlToken::Comment, i, e < 0 ? n : e + 2, e >= 0};
        } else if (c == u'\'') {
            t.kind = SqlToken::Text;
            t.end = quotedEnd(s, i, u'\'', true, &t.closed);
        } else if (c == u'"') {
            t.kind = SqlToken::DoubleQuoted;
            t.end = quotedEnd(s, i, u'"', true, &t.closed);
        } else if (c == u'[') {
            t.kind = SqlToken::Bracketed;
            t.end = quotedEnd(s, i, u']', false, &t.closed);
        } else if (c == u'`') {
            t.kind = SqlToken::Graved;
            t.end = quotedEnd(s, i, u'`', true, &t.closed);
        } else if (c.isDigit()) {
            qsizetype j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == u'.'))
                ++j;
            t = {SqlToken::Number, i, j};
        } else if (isWordStart(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(s[j]))
                ++j;
            t = {SqlToken::Word, i, j};
        }
        out.push_back(t);
        i = t.end;
    }
    return out;
}

} // namespace

SqlReader::SqlReader(const QString& sql) : sql_(sql), tokens_(tokenize(sql)) {}

bool SqlReader::isWord(const SqlToken& t, QLatin1StringView w) const {
    return t.kind == SqlToken::Word && text(t).compare(w, Qt::CaseInsensitive) == 0;
}

QString SqlReader::name(const SqlToken& t) const {
    const QStringView s = text(t);
    if (t.kind == SqlToken::Word) return s.toString();
    if (!t.closed || s.size() < 2) return {};
    QString inner = s.mid(1, s.size() - 2).toString();
    switch (t.kind) {
    case SqlToken::Bracketed:
        return inner;
    case SqlToken::Graved:
    case SqlToken::DoubleQuoted:
    case SqlToken::Text:
        return inner.replace(QString(2, s[0]), QString(s[0]));
    default:
        return {};
    }
}

bool vacuumInto(const QString& sql) {
    if (!sql.contains(QLatin1StringView("VACUUM"), Qt::CaseInsensitive)) return false;
    const SqlReader r(sql);
    bool first = true;
    for (const SqlToken& t : r.tokens()) {
        // Numbers count as words here: a statement that begins with one is no VACUUM.
        if (t.kind != SqlToken::Word && t.kind != SqlToken::Number) continue;
        if (first) {
            if (!r.isWord(t, QLatin1StringView("VACUUM"))) return false;
            first = false;
        } else if (r.isWord(t, QLatin1StringView("INTO"))) {
            return true;
        }
    }
    return false;
}

} // namespace krvs::db
