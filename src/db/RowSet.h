#pragma once
#include "db/GrowBuffer.h"

#include <QString>
#include <QStringList>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace krvs::db {

// A client-side snapshot of a statement's result: field names and every cell, in the
// order the rows were read; a row order, when set, says which stored row each row
// shows. Each column is stored on its own, as compactly as its values allow: a column
// of integers only as numbers, a column of Booleans only (a field declared Boolean) as
// one byte each, a column of short texts that repeat (series, categories, titles) as a
// 32-bit code per cell into its distinct texts, any other as one UTF-8 buffer with
// 32-bit offsets. Every cell reads
// back as the text the engine gives for it, a Boolean as "True" or "False", NULL as
// empty.
class RowSet {
  public:
    // Room for the text of a cell stored as a number.
    using CellBuffer = std::array<char, 24>;
    // How many bytes of text one column may hold: its offsets are 32-bit.
    static constexpr std::uint64_t kColumnTextLimit = std::numeric_limits<std::uint32_t>::max();

    // A smaller textLimit only serves to test the limit.
    explicit RowSet(std::uint64_t textLimit = kColumnTextLimit)
        : textLimit_(std::min(textLimit, kColumnTextLimit)) {}

    QStringList fields;

    int rowCount() const { return rows_; }
    int colCount() const { return static_cast<int>(fields.size()); }
    // A cell's text; one stored as a number is written into buffer, which the text
    // then lies in.
    std::string_view cellUtf8(int row, int col, CellBuffer& buffer) const {
        return storedCellUtf8(order_.empty() ? static_cast<std::size_t>(row)
                                             : order_[static_cast<std::size_t>(row)],
                              col, buffer);
    }
    // A cell of the row stored at this place, whatever the row order.
    std::string_view storedCellUtf8(std::size_t row, int col, CellBuffer& buffer) const {
        const Column& c = columns_[static_cast<std::size_t>(col)];
        switch (c.kind) {
        case Kind::Text: {
            const std::uint32_t* at = c.offsets.data() + row;
            return std::string_view(c.text.data() + at[0], at[1] - at[0]);
        }
        case Kind::Small:
            return integerText(c.small[row], buffer);
        case Kind::Integer:
            return integerText(c.integers[row], buffer);
        case Kind::Boolean:
            return c.booleans[row] ? kTrue : kFalse;
        case Kind::Coded:
            return c.distinct(c.codes[row]);
        case Kind::None:
            break;
        }
        return {};
    }
    QString cell(int row, int col) const {
        CellBuffer buffer;
        const auto v = cellUtf8(row, col, buffer);
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    }

    // The place where row is stored.
    std::uint32_t storedRow(std::uint32_t row) const { return order_.empty() ? row : order_[row]; }
    // Row i shows the stored row order[i]; order holds each stored row once.
    void setOrder(std::vector<std::uint32_t> order) { order_ = std::move(order); }

    // Building: append the cells of one row in field order, then endRow(). A column
    // that meets a value it cannot store as it stores the others turns to text.
    void appendCell(std::string_view utf8) {
        Column& c = next();
        if (c.kind == Kind::None && utf8.size() <= kCodedLength) c.kind = Kind::Coded;
        if (c.kind == Kind::Coded && appendCoded(c, utf8)) return;
        if (c.kind != Kind::Text) toText(c);
        appendText(c, utf8);
    }
    void appendInteger(std::int64_t value) {
        Column& c = next();
        const bool small = value >= std::numeric_limits<std::int32_t>::min() &&
                           value <= std::numeric_limits<std::int32_t>::max();
        if (c.kind == Kind::Small && small) {
            c.small.push_back(static_cast<std::int32_t>(value));
            return;
        }
        if (c.kind == Kind::None) c.kind = small ? Kind::Small : Kind::Integer;
        if (c.kind == Kind::Small) {
            if (small) {
                c.small.push_back(static_cast<std::int32_t>(value));
                return;
            }
            widen(c);
        }
        if (c.kind == Kind::Integer) {
            c.integers.push_back(value);
            return;
        }
        if (c.kind != Kind::Text) toText(c);
        CellBuffer buffer;
        appendText(c, integerText(value, buffer));
    }
    void appendBoolean(bool value) {
        Column& c = next();
        if (c.kind == Kind::Boolean || c.kind == Kind::None) {
            c.kind = Kind::Boolean;
            c.booleans.push_back(value ? 1 : 0);
            return;
        }
        if (c.kind != Kind::Text) toText(c);
        appendText(c, value ? kTrue : kFalse);
    }
    void endRow() {
        ++rows_;
        next_ = 0;
    }

  private:
    static constexpr std::string_view kTrue = "True", kFalse = "False";
    // Small: integers that all fit 32 bits (most: ids, counts). Coded: texts of at most
    // kCodedLength bytes, of which few differ.
    enum class Kind : std::uint8_t { None, Small, Integer, Boolean, Coded, Text };
    static constexpr std::size_t kCodedLength = 64;
    // A coded column holds at most kMostDistinct distinct texts; it turns to text too
    // when, looked at after kCodedSample rows (and each time their count doubles), its
    // distinct texts are more than half the bytes of all its texts.
    static constexpr std::uint32_t kMostDistinct = 1u << 20;
    static constexpr std::size_t kCodedSample = 1u << 16;
    struct Column {
        Kind kind = Kind::None;
        GrowBuffer<std::int32_t> small;
        GrowBuffer<std::int64_t> integers;
        GrowBuffer<std::uint8_t> booleans;
        GrowBuffer<char> text;
        GrowBuffer<std::uint32_t> offsets; // where each row's text starts, then the end
        // Coded: each row's code, the distinct texts (where each starts, then the end)
        // and an open-addressed table of code + 1 by the texts' hashes.
        GrowBuffer<std::uint32_t> codes;
        GrowBuffer<char> distinctText;
        GrowBuffer<std::uint32_t> distinctAt;
        std::vector<std::uint32_t> table;
        std::uint64_t codedBytes = 0; // of every text appended
        std::string_view distinct(std::uint32_t code) const {
            const std::uint32_t* at = distinctAt.data() + code;
            return std::string_view(distinctText.data() + at[0], at[1] - at[0]);
        }
    };

    // An integer in decimal, as the engine writes it.
    static std::string_view integerText(std::int64_t value, CellBuffer& buffer) {
        const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
        return std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    }
    Column& next() {
        if (next_ == columns_.size()) columns_.emplace_back();
        return columns_[next_++];
    }
    void appendText(Column& c, std::string_view utf8) {
        if (utf8.size() > textLimit_ - c.text.size()) tooMuchText(c);
        c.text.append(utf8.data(), utf8.size());
        c.offsets.push_back(static_cast<std::uint32_t>(c.text.size()));
    }
    // Appends a text to a coded column; false when the column must turn to text for it.
    bool appendCoded(Column& c, std::string_view utf8);
    // Stores the column's 32-bit integers as 64-bit ones.
    void widen(Column& c);
    // Writes the column's stored values as text, as they read back.
    void toText(Column& c);
    [[noreturn]] void tooMuchText(const Column& c) const;

    int rows_ = 0;
    std::size_t next_ = 0; // the column the next appended cell goes to
    std::uint64_t textLimit_;
    std::vector<Column> columns_;
    std::vector<std::uint32_t> order_;
};

} // namespace krvs::db
