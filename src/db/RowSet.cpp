#include "db/RowSet.h"

#include "util/AppError.h"

namespace krvs::db {

void RowSet::toText(Column& c) {
    c.kind = Kind::Text;
    c.offsets.push_back(0);
    CellBuffer buffer;
    for (std::size_t r = 0; r < c.small.size(); ++r)
        appendText(c, integerText(c.small[r], buffer));
    for (std::size_t r = 0; r < c.integers.size(); ++r)
        appendText(c, integerText(c.integers[r], buffer));
    for (std::size_t r = 0; r < c.booleans.size(); ++r)
        appendText(c, c.booleans[r] ? kTrue : kFalse);
    c.small.release();
    c.integers.release();
    c.booleans.release();
}

void RowSet::widen(Column& c) {
    for (std::size_t r = 0; r < c.small.size(); ++r)
        c.integers.push_back(c.small[r]);
    c.small.release();
    c.kind = Kind::Integer;
}

void RowSet::tooMuchText(const Column& c) const {
    const auto col = static_cast<qsizetype>(&c - columns_.data());
    throw AppError::of(
        err::OutOfMemory,
        QStringLiteral("the field '%1' of the result holds more than %2 bytes of text")
            .arg(col < fields.size() ? fields[col] : QString::number(col + 1))
            .arg(textLimit_));
}

} // namespace krvs::db
