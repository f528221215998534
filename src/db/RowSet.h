#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string_view>
#include <vector>

namespace krvs::db {

// A client-side snapshot of a statement's result: field names and every cell as
// text, stored compactly as one UTF-8 buffer with offsets (no object per cell), in
// the order the rows were read; a row order, when set, says which stored row each
// row shows.
class RowSet {
  public:
    QStringList fields;

    int rowCount() const { return rows_; }
    int colCount() const { return static_cast<int>(fields.size()); }
    std::string_view cellUtf8(int row, int col) const {
        return storedCellUtf8(order_.empty() ? static_cast<std::size_t>(row)
                                             : order_[static_cast<std::size_t>(row)],
                              col);
    }
    // A cell of the row stored at this place, whatever the row order.
    std::string_view storedCellUtf8(std::size_t row, int col) const {
        const std::size_t i = row * static_cast<std::size_t>(colCount()) + col;
        return std::string_view(text_.data() + offsets_[i], offsets_[i + 1] - offsets_[i]);
    }
    // The row that shows the row stored at this place.
    std::uint32_t rowOfStored(std::uint32_t stored) const {
        if (order_.empty()) return stored;
        if (inverse_.empty()) {
            inverse_.resize(order_.size());
            for (std::uint32_t i = 0; i < order_.size(); ++i)
                inverse_[order_[i]] = i;
        }
        return inverse_[stored];
    }
    // Row i shows the stored row order[i]; order holds each stored row once.
    void setOrder(std::vector<std::uint32_t> order) { order_ = std::move(order); }
    QString cell(int row, int col) const {
        const auto v = cellUtf8(row, col);
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    }

    // Building: append the cells of one row in field order, then endRow().
    void reserve(std::size_t rows, std::size_t bytes) {
        offsets_.reserve(rows * fields.size() + 1);
        text_.reserve(bytes);
    }
    void appendCell(std::string_view utf8) {
        text_.insert(text_.end(), utf8.begin(), utf8.end());
        offsets_.push_back(static_cast<std::uint64_t>(text_.size()));
    }
    void endRow() { ++rows_; }
    std::size_t bytes() const {
        return text_.capacity() + offsets_.capacity() * sizeof(std::uint64_t) +
               order_.capacity() * sizeof(std::uint32_t);
    }

  private:
    int rows_ = 0;
    std::vector<std::uint32_t> order_;
    mutable std::vector<std::uint32_t> inverse_; // made when first asked for
    std::vector<char> text_;
    std::vector<std::uint64_t> offsets_{0};
};

} // namespace krvs::db
