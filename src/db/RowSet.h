#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string_view>
#include <vector>

namespace krvs::db {

// A client-side snapshot of a statement's result: field names and every cell as
// text, stored compactly as one UTF-8 buffer with offsets (no object per cell).
class RowSet {
  public:
    QStringList fields;

    int rowCount() const { return rows_; }
    int colCount() const { return static_cast<int>(fields.size()); }
    std::string_view cellUtf8(int row, int col) const {
        const std::size_t i = static_cast<std::size_t>(row) * colCount() + col;
        return std::string_view(text_.data() + offsets_[i], offsets_[i + 1] - offsets_[i]);
    }
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
        return text_.capacity() + offsets_.capacity() * sizeof(std::uint64_t);
    }

  private:
    int rows_ = 0;
    std::vector<char> text_;
    std::vector<std::uint64_t> offsets_{0};
};

} // namespace krvs::db
