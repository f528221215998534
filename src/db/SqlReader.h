#pragma once
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace krvs::db {

// One piece of a statement's text.
struct SqlToken {
    enum Kind : std::uint8_t {
        Space,        // a run of blanks and line breaks
        Comment,      // -- up to the line break, or /* */
        Text,         // 'a text'
        DoubleQuoted, // "a name" (a text in the old dialect)
        Bracketed,    // [a name]
        Graved,       // `a name`
        Word,         // a letter, _ or a character above ASCII, then also digits and $
        Number,       // a digit, then letters, digits and dots
        Punct,        // any other single character
    };
    Kind kind;
    qsizetype begin;
    qsizetype end;      // one past the last character
    bool closed = true; // false for a quote or a /* comment that the text ends inside
};

// The one reader of statement texts in the program: the old dialect's translation,
// the check of what a typed statement may do and the ORDER BY the program carries
// out itself all see the same words, quotes and comments.
// - A doubled quote inside '', "" and `` stands for itself; ] ends a bracketed name.
// - An unclosed quote or /* comment runs to the end of the text.
// - The tokens cover the text, one after the other, with nothing left out.
class SqlReader {
  public:
    explicit SqlReader(const QString& sql);

    const QString& sql() const { return sql_; }
    const QList<SqlToken>& tokens() const { return tokens_; }

    QStringView text(const SqlToken& t) const {
        return QStringView(sql_).mid(t.begin, t.end - t.begin);
    }
    // True when t is the word w in any letter case.
    bool isWord(const SqlToken& t, QLatin1StringView w) const;
    bool isPunct(const SqlToken& t, char16_t c) const {
        return t.kind == SqlToken::Punct && sql_[t.begin] == c;
    }
    // The name t gives: a word as written; a quoted name or text without its quotes,
    // doubled quotes made single. Empty for an unclosed quote or another token.
    QString name(const SqlToken& t) const;

  private:
    QString sql_;
    QList<SqlToken> tokens_;
};

// Neither a blank nor a comment.
inline bool significant(const SqlToken& t) {
    return t.kind != SqlToken::Space && t.kind != SqlToken::Comment;
}

// True for "VACUUM ... INTO file", which writes a copy of the catalogue into another
// file (the engine has no authorizer step for it). Words inside quotes, brackets and
// comments do not count.
bool vacuumInto(const QString& sql);

} // namespace krvs::db
