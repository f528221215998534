#include "util/ValueText.h"

#include "util/AppError.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace krvs {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads the longest number at the start of s (no blanks in it): sign, digits,
// decimal point, exponent. Returns how many characters it used (0: no number).
qsizetype scanNumber(const QString& s, double* value) {
    QByteArray text;
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        text += char(s[i++].unicode());
    bool digits = false;
    while (i < n && isDigit(s[i])) {
        text += char(s[i++].unicode());
        digits = true;
    }
    if (i < n && s[i] == QLatin1Char('.')) {
        text += '.';
        ++i;
        while (i < n && isDigit(s[i])) {
            text += char(s[i++].unicode());
            digits = true;
        }
    }
    if (!digits) {
        *value = 0;
        return 0;
    }
    // An exponent counts only when digits follow it.
    if (i < n && QStringLiteral("EeDd").contains(s[i])) {
        qsizetype j = i + 1;
        QByteArray exp = "e";
        if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exp += char(s[j++].unicode());
        if (j < n && isDigit(s[j])) {
            while (j < n && isDigit(s[j]))
                exp += char(s[j++].unicode());
            text += exp;
            i = j;
        }
    }
    *value = std::strtod(text.constData(), nullptr);
    return i;
}

qint32 saturate32(double v) {
    if (v >= double(std::numeric_limits<qint32>::max())) return std::numeric_limits<qint32>::max();
    if (v <= double(std::numeric_limits<qint32>::min())) return std::numeric_limits<qint32>::min();
    return qint32(v);
}

[[noreturn]] void typeMismatch() {
    throw AppError::typeMismatch();
}
[[noreturn]] void overflow() {
    throw AppError::overflow();
}

// value rounded (halves to even) into Int; beyond its range raises overflow.
template <class Int> Int roundedInto(double value) {
    const double r = roundHalfEven(value);
    if (r < std::numeric_limits<Int>::min() || r > std::numeric_limits<Int>::max()) overflow();
    return Int(r);
}

} // namespace

double leadingNumber(const QString& text) {
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c)) compact += c;
    double v = 0;
    scanNumber(compact, &v);
    return v; // may be infinite; the whole-number readings hold it at their ends
}

double roundHalfEven(double value) {
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(mode);
    return r;
}

qint32 wholeNumber(double value) {
    return saturate32(roundHalfEven(value));
}

qint32 leadingWhole(const QString& text) {
    return wholeNumber(leadingNumber(text));
}

qint16 leadingInt16(const QString& text) {
    return roundedInto<qint16>(leadingNumber(text));
}

double strictNumber(const QString& text) {
    const QString t = text.trimmed();
    double v = 0;
    const qsizetype used = scanNumber(t, &v);
    if (used == 0 || used != t.size()) typeMismatch();
    if (!std::isfinite(v)) overflow();
    return v;
}

qint32 strictWhole(const QString& text) {
    return roundedInto<qint32>(strictNumber(text));
}

qint32 strictInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (; i < t.size(); ++i)
        if (!isDigit(t[i])) typeMismatch();
    return strictWhole(t);
}

bool strictBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    return strictNumber(t) != 0.0;
}

} // namespace krvs
