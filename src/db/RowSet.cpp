#include "db/RowSet.h"

#include "util/AppError.h"

#include <functional>

namespace krvs::db {

namespace {
std::size_t hashText(std::string_view utf8) {
    return std::hash<std::string_view>{}(utf8);
}
} // namespace

bool RowSet::appendCoded(Column& c, std::string_view utf8) {
    if (utf8.size() > kCodedLength) return false;
    const std::size_t rows = c.codes.size();
    if (rows >= kCodedSample && (rows & (rows - 1)) == 0 &&
        c.distinctText.size() * 2 > c.codedBytes)
        return false; // the texts differ too much for the codes to save
    c.codedBytes += utf8.size();
    if (c.table.empty()) {
        c.table.assign(1024, 0);
        c.distinctAt.push_back(0);
    }
    const std::size_t mask = c.table.size() - 1;
    std::size_t i = hashText(utf8) & mask;
    for (; c.table[i]; i = (i + 1) & mask) {
        const std::uint32_t code = c.table[i] - 1;
        if (c.distinct(code) == utf8) {
            c.codes.push_back(code);
            return true;
        }
    }
    const auto count = static_cast<std::uint32_t>(c.distinctAt.size() - 1);
    if (count >= kMostDistinct) return false;
    c.distinctText.append(utf8.data(), utf8.size());
    c.distinctAt.push_back(static_cast<std::uint32_t>(c.distinctText.size()));
    c.table[i] = count + 1;
    c.codes.push_back(count);
    if (std::size_t{count + 1} * 2 > c.table.size()) { // at most half full
        std::vector<std::uint32_t> grown(c.table.size() * 2, 0);
        for (std::uint32_t code = 0; code <= count; ++code) {
            std::size_t j = hashText(c.distinct(code)) & (grown.size() - 1);
            while (grown[j])
                j = (j + 1) & (grown.size() - 1);
            grown[j] = code + 1;
        }
        c.table.swap(grown);
    }
    return true;
}

void RowSet::toText(Column& c) {
    const bool coded = c.kind == Kind::Coded;
    c.kind = Kind::Text;
    c.offsets.push_back(0);
    if (coded) {
        for (std::size_t r = 0; r < c.codes.size(); ++r)
            appendText(c, c.distinct(c.codes[r]));
        c.codes.release();
        c.distinctText.release();
        c.distinctAt.release();
        c.table = {};
    }
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
