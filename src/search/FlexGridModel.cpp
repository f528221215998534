#include "FlexGridModel.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <numeric>
#include <string>

namespace krvs {

namespace {

constexpr int kGeneralAlign = 9;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

Qt::Alignment alignmentFor(int code, bool number) {
    switch (code) {
    case 0:
        return Qt::AlignLeft | Qt::AlignTop;
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 2:
        return Qt::AlignLeft | Qt::AlignBottom;
    case 3:
        return Qt::AlignHCenter | Qt::AlignTop;
    case 4:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case 5:
        return Qt::AlignHCenter | Qt::AlignBottom;
    case 6:
        return Qt::AlignRight | Qt::AlignTop;
    case 7:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 8:
        return Qt::AlignRight | Qt::AlignBottom;
    default:
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

} // namespace

bool parseNumber(std::string_view text, double* value) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    if (b == e) return false;
    bool negative = false;
    if (text[b] == '+' || text[b] == '-') {
        negative = text[b] == '-';
        ++b;
    }
    if (b == e) return false;
    // A digit, or a decimal point followed by one, must come first: this keeps
    // "inf", "nan" and hexadecimal forms out.
    const char c = text[b];
    const bool digitFirst = c >= '0' && c <= '9';
    const bool pointFirst = c == '.' && b + 1 < e && text[b + 1] >= '0' && text[b + 1] <= '9';
    if (!digitFirst && !pointFirst) return false;
    double v = 0;
    const auto r = std::from_chars(text.data() + b, text.data() + e, v);
    if (r.ec != std::errc() || r.ptr != text.data() + e) return false;
    *value = negative ? -v : v;
    return true;
}

FlexGridModel::FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

// ---- shape ------------------------------------------------------------------------

void FlexGridModel::setDataRows(int n) {
    n = std::max(n, 0);
    const int cur = dataRows();
    if (n > cur) {
        beginInsertRows(QModelIndex(), cur, n - 1);
        order_.reserve(static_cast<std::size_t>(n));
        for (int i = cur; i < n; ++i)
            order_.push_back(nextId_++);
        endInsertRows();
    } else if (n < cur) {
        beginRemoveRows(QModelIndex(), n, cur - 1);
        if (!overrides_.isEmpty()) {
            for (int i = n; i < cur; ++i) {
                const std::uint32_t id = order_[static_cast<std::size_t>(i)];
                for (int c = 0; c < cols(); ++c)
                    overrides_.remove(key(id, c));
            }
        }
        order_.resize(static_cast<std::size_t>(n));
        order_.shrink_to_fit();
        endRemoveRows();
    }
}

void FlexGridModel::setCols(int n) {
    n = std::clamp(n, 0, 0xffff);
    const int cur = cols();
    if (n > cur) {
        beginInsertColumns(QModelIndex(), cur, n - 1);
        header_.resize(n);
        align_.resize(n);
        for (int c = cur; c < n; ++c)
            align_[c] = kGeneralAlign;
        endInsertColumns();
    } else if (n < cur) {
        beginRemoveColumns(QModelIndex(), n, cur - 1);
        if (!overrides_.isEmpty()) {
            for (auto it = overrides_.begin(); it != overrides_.end();) {
                if (static_cast<int>(it.key() & 0xffff) >= n)
                    it = overrides_.erase(it);
                else
                    ++it;
            }
        }
        header_.resize(n);
        align_.resize(n);
        endRemoveColumns();
    }
}

// ---- cells ------------------------------------------------------------------------

const QString* FlexGridModel::overrideFor(std::uint32_t id, int col) const {
    if (overrides_.isEmpty()) return nullptr;
    auto it = overrides_.constFind(key(id, col));
    return it == overrides_.constEnd() ? nullptr : &it.value();
}

std::string_view FlexGridModel::boundUtf8(std::uint32_t id, int col) const {
    if (!rows_ || id >= static_cast<std::uint32_t>(rows_->rowCount()) || col >= rows_->colCount())
        return {};
    return rows_->cellUtf8(static_cast<int>(id), col);
}

QString FlexGridModel::cellText(int row, int col) const {
    if (row < 0 || row >= dataRows() || col < 0 || col >= cols()) return QString();
    const std::uint32_t id = order_[static_cast<std::size_t>(row)];
    if (const QString* o = overrideFor(id, col)) return *o;
    const auto v = boundUtf8(id, col);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

void FlexGridModel::setCellText(int row, int col, const QString& text) {
    if (row < 0 || row >= dataRows() || col < 0 || col >= cols()) return;
    const std::uint32_t id = order_[static_cast<std::size_t>(row)];
    overrides_.insert(key(id, col), text);
    const QModelIndex i = index(row, col);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

QString FlexGridModel::headerText(int col) const {
    return col >= 0 && col < cols() ? header_[col] : QString();
}

void FlexGridModel::setHeaderText(int col, const QString& text) {
    if (col < 0 || col >= cols()) return;
    header_[col] = text;
    emit headerDataChanged(Qt::Horizontal, col, col);
}

void FlexGridModel::setColAlignment(int col, int code) {
    if (col < 0 || col >= cols()) return;
    align_[col] = (code >= 0 && code <= 8) ? code : kGeneralAlign;
    if (dataRows() > 0) emit dataChanged(index(0, col), index(dataRows() - 1, col));
}

int FlexGridModel::colAlignment(int col) const {
    return col >= 0 && col < cols() ? align_[col] : kGeneralAlign;
}

void FlexGridModel::clear() {
    rows_.reset();
    overrides_.clear();
    for (auto& h : header_)
        h.clear();
    if (cols() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, cols() - 1);
        if (dataRows() > 0) emit dataChanged(index(0, 0), index(dataRows() - 1, cols() - 1));
    }
}

void FlexGridModel::bind(std::shared_ptr<const db::RowSet> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    overrides_.clear();
    const int n = rows_ ? rows_->rowCount() : 0;
    order_.assign(static_cast<std::size_t>(n), 0);
    order_.shrink_to_fit();
    std::iota(order_.begin(), order_.end(), 0u);
    nextId_ = static_cast<std::uint32_t>(n);
    if (rows_) {
        const int c = std::min<int>(rows_->colCount(), 0xffff);
        const int old = cols();
        header_.resize(c);
        align_.resize(c);
        for (int i = old; i < c; ++i)
            align_[i] = kGeneralAlign;
        for (int i = 0; i < c; ++i)
            header_[i] = rows_->fields.at(i);
    } else {
        for (auto& h : header_)
            h.clear();
    }
    endResetModel();
}

// ---- sorting ----------------------------------------------------------------------

namespace {

constexpr std::uint32_t kNumber = 0xffffffffu; // the length mark of a numeric key

// One cell's sort key: a number, or text bytes (UTF-8; folded for the
// case-insensitive comparison).
struct Key {
    union {
        double num;
        const char* text;
    };
    std::uint32_t len;
};

struct Entry {
    Key key;
    std::uint32_t pos; // display position before the sort
};

inline unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

inline int compareBytes(const Key& a, const Key& b) {
    const std::size_t n = std::min(a.len, b.len);
    if (n > 0) {
        const int r = std::memcmp(a.text, b.text, n); // unsigned bytes: code-point order
        if (r != 0) return r < 0 ? -1 : 1;
    }
    return a.len < b.len ? -1 : (a.len > b.len ? 1 : 0);
}

inline int compareFolded(const Key& a, const Key& b) {
    const std::size_t n = std::min(a.len, b.len);
    const auto* pa = reinterpret_cast<const unsigned char*>(a.text);
    const auto* pb = reinterpret_cast<const unsigned char*>(b.text);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = lowerAscii(pa[i]), cb = lowerAscii(pb[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.len < b.len ? -1 : (a.len > b.len ? 1 : 0);
}

inline int compareNumbers(const Key& a, const Key& b) {
    return a.num < b.num ? -1 : (b.num < a.num ? 1 : 0);
}

// Generic order: every number before every text; numbers by value, texts by
// their case-folded characters.
inline int compareGeneric(const Key& a, const Key& b) {
    const bool an = a.len == kNumber, bn = b.len == kNumber;
    if (an && bn) return compareNumbers(a, b);
    if (an != bn) return an ? -1 : 1;
    return compareFolded(a, b);
}

enum class Kind { Generic, Numeric, Text };

} // namespace

bool FlexGridModel::sort(int code, int firstCol, int lastCol) {
    Kind kind;
    bool descending;
    switch (code) {
    case 1:
        kind = Kind::Generic, descending = false;
        break;
    case 2:
        kind = Kind::Generic, descending = true;
        break;
    case 3:
        kind = Kind::Numeric, descending = false;
        break;
    case 4:
        kind = Kind::Numeric, descending = true;
        break;
    case 7:
        kind = Kind::Text, descending = false;
        break;
    case 8:
        kind = Kind::Text, descending = true;
        break;
    default:
        return false;
    }
    const int n = dataRows();
    if (firstCol > lastCol) std::swap(firstCol, lastCol);
    firstCol = std::max(firstCol, 0);
    lastCol = std::min(lastCol, cols() - 1);
    if (n < 2 || firstCol > lastCol) return true;

    // Text that is not in the RowSet (written cells, folded non-ASCII text) lives
    // here for the length of the sort; a deque never moves what it holds.
    std::deque<std::string> side;
    auto keep = [&side](std::string s) -> const std::string& {
        side.push_back(std::move(s));
        return side.back();
    };

    auto makeKey = [&](std::uint32_t id, int col) {
        Key k;
        std::string_view v;
        if (const QString* o = overrideFor(id, col)) {
            const std::string& s = keep(o->toStdString());
            v = s;
        } else {
            v = boundUtf8(id, col);
        }
        if (kind == Kind::Numeric) {
            double d = 0;
            if (!parseNumber(v, &d)) d = 0;
            k.num = d;
            k.len = kNumber;
            return k;
        }
        if (kind == Kind::Generic) {
            double d = 0;
            if (parseNumber(v, &d)) {
                k.num = d;
                k.len = kNumber;
                return k;
            }
            const bool ascii = std::all_of(v.begin(), v.end(), [](char ch) {
                return (static_cast<unsigned char>(ch) & 0x80) == 0;
            });
            if (!ascii) {
                const QString folded =
                    QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size())).toCaseFolded();
                const std::string& s = keep(folded.toStdString());
                v = s;
            }
        }
        k.text = v.data() ? v.data() : "";
        k.len = static_cast<std::uint32_t>(std::min<std::size_t>(v.size(), kNumber - 1));
        return k;
    };

    auto compare = [kind](const Key& a, const Key& b) {
        switch (kind) {
        case Kind::Numeric:
            return compareNumbers(a, b);
        case Kind::Text:
            return compareBytes(a, b);
        case Kind::Generic:
            break;
        }
        return compareGeneric(a, b);
    };

    std::vector<Entry> entries(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        entries[static_cast<std::size_t>(i)] = {
            makeKey(order_[static_cast<std::size_t>(i)], firstCol), static_cast<std::uint32_t>(i)};
    }
    // Further key columns, consulted only when the main keys are equal.
    std::vector<std::vector<Key>> more;
    for (int c = firstCol + 1; c <= lastCol; ++c) {
        std::vector<Key> keys(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            keys[static_cast<std::size_t>(i)] = makeKey(order_[static_cast<std::size_t>(i)], c);
        more.push_back(std::move(keys));
    }

    auto order = [&](const Entry& a, const Entry& b) {
        int r = compare(a.key, b.key);
        for (std::size_t c = 0; r == 0 && c < more.size(); ++c)
            r = compare(more[c][a.pos], more[c][b.pos]);
        return r;
    };
    if (descending)
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const Entry& a, const Entry& b) { return order(b, a) < 0; });
    else
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const Entry& a, const Entry& b) { return order(a, b) < 0; });

    std::vector<std::uint32_t> sorted(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        sorted[static_cast<std::size_t>(i)] = order_[entries[static_cast<std::size_t>(i)].pos];
    order_.swap(sorted);
    emit dataChanged(index(0, 0), index(n - 1, cols() - 1), {Qt::DisplayRole});
    return true;
}

// ---- QAbstractTableModel ----------------------------------------------------------

int FlexGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : dataRows();
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols();
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const int code = colAlignment(index.column());
        bool number = false;
        if (code == kGeneralAlign) {
            const std::uint32_t id = order_[static_cast<std::size_t>(index.row())];
            double d = 0;
            if (const QString* o = overrideFor(id, index.column()))
                number = parseNumber(o->toStdString(), &d);
            else
                number = parseNumber(boundUtf8(id, index.column()), &d);
        }
        return QVariant::fromValue(alignmentFor(code, number));
    }
    return QVariant();
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        if (role == Qt::DisplayRole) return section + 1;
        return QVariant();
    }
    if (role == Qt::DisplayRole) return headerText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace krvs
