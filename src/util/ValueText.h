#pragma once
#include <QString>
#include <QtGlobal>

namespace krvs {

// How the program's texts turn into numbers and Booleans: the settings file's
// values and the grid's cells alike. The leading-number reading never fails (a
// damaged text reads as a number anyway); the strict readings raise AppError.

// The number at the start of text, blanks (spaces, tabs, line breaks) anywhere
// ignored: an optional sign, digits with an optional decimal point and an
// optional exponent (E or D). Text with no number reads as 0: "abc" -> 0,
// "12abc" -> 12, " - 1 2.5x" -> -12.5.
double leadingNumber(const QString& text);

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// value rounded (halves to even) and held in a 32-bit integer; values beyond its
// range, infinities included, are held at its ends.
qint32 wholeNumber(double value);

// leadingNumber rounded, held in a 32-bit integer; values beyond its range are
// held at its ends, so a damaged placement or counter never raises an error.
qint32 leadingWhole(const QString& text);

// leadingNumber rounded to a 16-bit integer; a value beyond its range raises
// err::Overflow.
qint16 leadingInt16(const QString& text);

// The strict text-to-number conversion: blanks around the number are allowed,
// anything else that is not part of it (the empty text included) raises AppError
// 13 "Type mismatch".
double strictNumber(const QString& text);

// strictNumber rounded (halves to even) to a 32-bit integer; out of range raises
// err::Overflow. Column widths are read this way.
qint32 strictWhole(const QString& text);

// strictWhole for a text written as a whole number only: an optional sign and
// digits, blanks around them allowed. A decimal point or an exponent is a type
// mismatch, so that "17.5" never names card 18. A card's DbId is read this way.
qint32 strictInteger(const QString& text);

// The strict text-to-Boolean conversion: "True" or "False" in any letter case,
// or a number (0 is false, anything else true). Anything else, the empty text
// included, raises err::TypeMismatch.
bool strictBool(const QString& text);

// The text a Boolean is stored as.
inline QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace krvs
