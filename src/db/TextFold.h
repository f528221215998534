#pragma once
#include <string_view>

struct sqlite3;

// Case-insensitive text matching across Unicode (simple case folding), with a
// fast path for ASCII text that allocates nothing.
namespace krvs::db::text {

// Decodes the UTF-8 character at s[i] and advances i past it; a malformed byte
// reads as U+FFFD and is skipped alone. i must be less than s.size().
char32_t decodeUtf8(std::string_view s, std::size_t& i);

// Simple case folding of one character.
char32_t foldCase(char32_t c);

// The base letter of a folded character: the letters with accents of the Latin
// blocks give their letter without the accent; other characters stay as they are.
char32_t baseLetter(char32_t folded);

// SQL LIKE: % any run of characters, _ one character; escape (0 = none) makes the
// next pattern character literal. Both texts are UTF-8.
bool likeMatch(std::string_view pattern, std::string_view text, char32_t escape = 0);

// Orders texts ignoring letter case: first by base letters (accents set aside, so
// "Éclair" sorts among the E's), then by the case-folded characters, so that only
// texts that differ in letter case alone compare equal. Returns <0, 0 or >0.
int compareNoCase(std::string_view a, std::string_view b);

// Installs compareNoCase as the collation NOCASE (the one the card table's text
// columns are declared with) and likeMatch as like() on a connection. Returns an
// SQLite result code.
int registerFunctions(sqlite3* db);

} // namespace krvs::db::text
