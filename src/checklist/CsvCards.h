#pragma once
#include "checklist/Card.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

namespace krvs::checklist {

// The fields of a card in table order.
enum Field {
    fDbId,
    fIndex,
    fCardType,
    fTitle,
    fCategory,
    fSeries,
    fSeason,
    fOwn,
    fDBComments,
    fUserComments,
    fCount
};
inline constexpr std::array<const char*, fCount> kFieldNames = {
    "DbId",   "Index",  "CardType", "Title",      "Category",
    "Series", "Season", "Own",      "DBComments", "UserComments"};

struct CsvCards {
    std::vector<Card> cards;
    std::array<bool, fCount> present{}; // which fields the header row names
    QString error;                      // "line N: what is wrong"; empty when the text was read
};

// Reads a checklist in CSV (RFC 4180: quoted fields, doubled quotes, commas and
// line breaks inside quotes; CR LF or LF line ends; UTF-8, an optional BOM).
// The first row names the fields, in any order and letter case. DbId may be left
// out (the cards are then numbered from 1) unless requireDbId, and so may Own
// (not owned); Own takes True, False, Yes, No, 1 or 0. Every other missing field
// is empty.
CsvCards readCardsCsv(const QByteArray& text, bool requireDbId = false);

} // namespace krvs::checklist
