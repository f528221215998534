#pragma once
#include "makedb/Card.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace krvs::makedb {

struct CsvCards {
    std::vector<Card> cards;
    QString error; // "line N: what is wrong"; empty when the text was read
};

// Reads a checklist in CSV (RFC 4180: quoted fields, doubled quotes, commas and
// line breaks inside quotes; CR LF or LF line ends; UTF-8, an optional BOM).
// The first row names the fields, in any order and letter case. DbId may be left
// out (the cards are then numbered from 1), and so may Own (not owned); Own takes
// True, False, Yes, No, 1 or 0. Every other missing field is empty.
CsvCards readCardsCsv(const QByteArray& text);

} // namespace krvs::makedb
