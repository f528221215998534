#pragma once
#include <QString>
#include <QtGlobal>

namespace krvs {

// How the settings file's texts turn into values. A damaged placement, counter,
// history count or check box reads as a number anyway (the leading-number
// reading); the Booleans and the column widths are strict and raise AppError.

namespace valerr {
constexpr int Overflow = 6;
constexpr int TypeMismatch = 13;
constexpr int InvalidPropertyValue = 380;
} // namespace valerr

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
// AppError 6 "Overflow".
qint16 leadingInt16(const QString& text);

// The strict text-to-number conversion: blanks around the number are allowed,
// anything else that is not part of it (the empty text included) raises AppError
// 13 "Type mismatch".
double strictNumber(const QString& text);

// strictNumber rounded (halves to even) to a 32-bit integer; out of range raises
// AppError 6 "Overflow". Column widths are read this way.
qint32 strictWhole(const QString& text);

// The strict text-to-Boolean conversion: "True" or "False" in any letter case,
// or a number (0 is false, anything else true). Anything else, the empty text
// included, raises AppError 13 "Type mismatch".
bool strictBool(const QString& text);

// The text a Boolean is stored as.
inline QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A check box holds 0 (clear), 1 (ticked) or 2 (greyed); anything else raises
// AppError 380 "Invalid property value".
int checkBoxValue(qint32 value);

// The window rectangle in twips as the settings restore it.
struct WindowRect {
    qint32 left = 0;
    qint32 top = 0;
    qint32 width = 0;
    qint32 height = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// Fits a restored window rectangle into the whole screen (not the work area),
// all in twips: the width is at least minWidth and at most the screen width; the
// left edge is moved so that the window starts on the screen and does not pass
// its right edge; the height is between 0 and the screen height; the top edge is
// fitted like the left one.
WindowRect fitWindowToScreen(WindowRect r, qint32 minWidth, qint32 screenWidth,
                             qint32 screenHeight);

} // namespace krvs
