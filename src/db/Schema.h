#pragma once

namespace krvs::db {

// The card table. Text columns use NOCASE, which every connection of this
// program replaces by a Unicode case-insensitive order (other SQLite tools see
// their own ASCII NOCASE and can still read and sort the file). Own holds 0 or 1
// and reads back as "True" or "False".
inline constexpr const char* kCardTableSql = "CREATE TABLE tblKRVS101 ("
                                             "DbId INTEGER PRIMARY KEY, "
                                             "\"Index\" TEXT COLLATE NOCASE, "
                                             "CardType TEXT COLLATE NOCASE, "
                                             "Title TEXT COLLATE NOCASE, "
                                             "Category TEXT COLLATE NOCASE, "
                                             "Series TEXT COLLATE NOCASE, "
                                             "Season TEXT COLLATE NOCASE, "
                                             "Own BOOLEAN NOT NULL DEFAULT 0, "
                                             "DBComments TEXT COLLATE NOCASE, "
                                             "UserComments TEXT COLLATE NOCASE);";

inline constexpr const char* kCardInsertSql =
    "INSERT INTO tblKRVS101 (DbId, \"Index\", CardType, Title, Category, Series, Season, Own, "
    "DBComments, UserComments) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10);";

} // namespace krvs::db
