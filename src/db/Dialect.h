#pragma once
#include <QString>
#include <optional>

// The program's statements are written in the dialect of the engine it was first
// built on. These plain functions turn one such statement into SQLite's dialect.
namespace krvs::db::dialect {

// "ALTER DATABASE PASSWORD new old": handled by the engine itself, never sent to
// SQLite. Each word is a password exactly as written (nothing is unquoted); the
// no-password token alone gives an empty password.
struct PasswordChange {
    QString newPassword;
    QString oldPassword;
};

struct Translation {
    QString sql;                            // the statement in SQLite's dialect
    std::optional<PasswordChange> password; // set for ALTER DATABASE PASSWORD
    QString error;                          // non-empty: the statement is rejected
    // The text drops, renames or alters the card table (in any of its statements):
    // the program cannot read a catalogue without it, so a typed one is refused.
    bool changesCardTable = false;
};

// Translates one statement:
// - True/Yes become 1 and False/No 0 (bare words, any letter case);
// - a reserved word used as a column name after a dot, and the bare word Index,
//   are quoted as identifiers;
// - "double-quoted" texts are string literals and become 'single-quoted' ones;
// - & (joining texts) becomes ||;
// - 'string literals', [bracketed] and `grave-quoted` names and comments are kept;
// - "SELECT [DISTINCT|ALL] TOP n" becomes "SELECT [DISTINCT|ALL] ... LIMIT n", the
//   LIMIT at the end of that SELECT (before its closing parenthesis in a sub-query);
//   "TOP n PERCENT" of the outermost SELECT becomes a LIMIT of n per cent of its rows,
//   rounded up. A TOP in a SELECT joined by UNION, EXCEPT or INTERSECT is rejected;
// - text after the first ';' other than blanks is rejected, and so is a NUL
//   character anywhere.
Translation translate(const QString& statement);

// Parses the words after "ALTER DATABASE PASSWORD" (used by translate).
Translation parsePasswordStatement(const QString& rest);

// True when word (any case) is a keyword of SQLite that must be quoted to be
// used as a column name.
bool isSqliteKeyword(const QString& word);

} // namespace krvs::db::dialect
