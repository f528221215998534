#include "FlexGridModel.h"

#include <algorithm>
#include <charconv>
#include <cstring>
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
//
// A sort builds one entry per data row holding its main key, sorts the entries and
// reorders the row ids; no cell text is copied into the model. At a million rows
// what costs is fetching cell text from all over memory, so text keys carry their
// first sixteen bytes packed into two numbers and are sorted sixteen bytes at a
// time (each text is read once per step, never once per comparison). The entries
// are built in row-id order, which reads the bound rows front to back, and equal
// keys are ordered by their place before the sort: the sort is stable both ways.

namespace {

constexpr std::uint32_t kNumber = 0xffffffffu; // the length mark of a numeric key
constexpr std::size_t kChunk = 16;             // text bytes compared per step

// Folded text and written cells live here for the length of a sort; blocks never
// move, so pointers into them stay valid.
class Arena {
  public:
    char* take(std::size_t n) {
        if (n > kBlock / 4) {
            big_.push_back(std::make_unique<char[]>(n));
            return big_.back().get();
        }
        if (blocks_.empty() || used_ + n > kBlock) {
            blocks_.push_back(std::make_unique<char[]>(kBlock));
            used_ = 0;
        }
        char* p = blocks_.back().get() + used_;
        used_ += n;
        return p;
    }

  private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_, big_;
    std::size_t used_ = 0;
};

inline unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Case-folds UTF-8 text that is not plain ASCII, code point by code point, into the
// arena. Bytes that are not valid UTF-8 are kept as they are.
std::string_view foldUtf8(std::string_view v, Arena& arena) {
    char* out = arena.take(v.size() * 2 + 4); // a folded character needs at most 2x
    std::size_t o = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(v.data());
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[o++] = static_cast<char>(lowerAscii(b));
            ++i;
            continue;
        }
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        bool ok = extra > 0 && b < 0xF8 && i + static_cast<std::size_t>(extra) < n + 0;
        char32_t cp = ok ? (b & (0x3F >> extra)) : 0;
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char c = p[i + static_cast<std::size_t>(k)];
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out[o++] = static_cast<char>(b);
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        const char32_t f = QChar::toCaseFolded(cp);
        if (f < 0x80) {
            out[o++] = static_cast<char>(f);
        } else if (f < 0x800) {
            out[o++] = static_cast<char>(0xC0 | (f >> 6));
            out[o++] = static_cast<char>(0x80 | (f & 0x3F));
        } else if (f < 0x10000) {
            out[o++] = static_cast<char>(0xE0 | (f >> 12));
            out[o++] = static_cast<char>(0x80 | ((f >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (f & 0x3F));
        } else {
            out[o++] = static_cast<char>(0xF0 | (f >> 18));
            out[o++] = static_cast<char>(0x80 | ((f >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((f >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (f & 0x3F));
        }
    }
    return std::string_view(out, o);
}

// One cell's key: a number, or UTF-8 text (case-folded for the generic sort).
struct Key {
    union {
        double num;
        const char* text;
    };
    std::uint32_t len; // kNumber for a number
};

struct Entry {
    union {
        double num;
        std::uint64_t hi; // text bytes [at, at+8), big-endian, zero-padded
    };
    std::uint64_t lo; // text bytes [at+8, at+16)
    const char* text;
    std::uint32_t len;
    std::uint32_t pos; // display position before the sort
};

enum class Kind { Generic, Numeric, Text };

std::uint64_t pack8(const char* text, std::size_t len) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = (v << 8) | (i < len ? static_cast<unsigned char>(text[i]) : 0u);
    return v;
}

// Packs the chunk of text that starts at `at` (the text is already folded).
inline void packChunk(Entry& e, std::size_t at) {
    const std::size_t rest = e.len - at;
    e.hi = pack8(e.text + at, rest);
    e.lo = rest > 8 ? pack8(e.text + at + 8, rest - 8) : 0;
}

inline int compareNumbers(double a, double b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Generic order: every number before every text; numbers by value, texts by their
// case-folded characters in code-point order. Text order: code points.
template <Kind K> inline int compareKeys(const Key& a, const Key& b) {
    if constexpr (K == Kind::Numeric) {
        return compareNumbers(a.num, b.num);
    } else {
        if constexpr (K == Kind::Generic) {
            const bool an = a.len == kNumber, bn = b.len == kNumber;
            if (an && bn) return compareNumbers(a.num, b.num);
            if (an != bn) return an ? -1 : 1;
        }
        const std::size_t n = std::min(a.len, b.len);
        const int r = n ? std::memcmp(a.text, b.text, n) : 0; // unsigned bytes
        if (r != 0) return r < 0 ? -1 : 1;
        return a.len < b.len ? -1 : (a.len > b.len ? 1 : 0);
    }
}

using EntryIt = std::vector<Entry>::iterator;

// Orders a run of entries whose main keys are equal by the further key columns
// (in the same direction), then by position.
template <Kind K>
void breakTies(EntryIt first, EntryIt last, const std::vector<std::vector<Key>>& more,
               bool descending) {
    if (more.empty() || last - first < 2) return;
    std::sort(first, last, [&](const Entry& a, const Entry& b) {
        for (const auto& keys : more) {
            const int r = compareKeys<K>(keys[a.pos], keys[b.pos]);
            if (r != 0) return descending ? r > 0 : r < 0;
        }
        return a.pos < b.pos;
    });
}

template <Kind K>
void sortNumbers(EntryIt first, EntryIt last, const std::vector<std::vector<Key>>& more,
                 bool descending) {
    std::sort(first, last, [descending](const Entry& a, const Entry& b) {
        if (a.num != b.num) return descending ? a.num > b.num : a.num < b.num;
        return a.pos < b.pos;
    });
    for (EntryIt run = first; run != last;) {
        EntryIt end = run + 1;
        while (end != last && !(end->num != run->num))
            ++end;
        breakTies<K>(run, end, more, descending);
        run = end;
    }
}

// Sorts text entries by the chunk at byte `at` and by whether the text ends within
// it; each run that is equal so far and goes on is repacked from its next chunk and
// sorted again. Runs of one text throughout go to the further key columns.
template <Kind K>
void sortText(EntryIt first, EntryIt last, std::size_t at,
              const std::vector<std::vector<Key>>& more, bool descending) {
    auto rest = [at](const Entry& e) {
        return static_cast<std::uint32_t>(std::min<std::size_t>(e.len - at, kChunk + 1));
    };
    if (at > 0)
        for (EntryIt it = first; it != last; ++it)
            packChunk(*it, at);
    std::sort(first, last, [&](const Entry& a, const Entry& b) {
        if (a.hi != b.hi) return descending ? a.hi > b.hi : a.hi < b.hi;
        if (a.lo != b.lo) return descending ? a.lo > b.lo : a.lo < b.lo;
        const std::uint32_t ra = rest(a), rb = rest(b);
        if (ra != rb) return descending ? ra > rb : ra < rb;
        return a.pos < b.pos;
    });
    for (EntryIt run = first; run != last;) {
        EntryIt end = run + 1;
        while (end != last && end->hi == run->hi && end->lo == run->lo && rest(*end) == rest(*run))
            ++end;
        if (end - run > 1) {
            if (rest(*run) > kChunk)
                sortText<K>(run, end, at + kChunk, more, descending);
            else
                breakTies<K>(run, end, more, descending);
        }
        run = end;
    }
}

template <Kind K>
void sortEntries(std::vector<Entry>& entries, const std::vector<std::vector<Key>>& more,
                 bool descending) {
    if constexpr (K == Kind::Numeric) {
        sortNumbers<K>(entries.begin(), entries.end(), more, descending);
    } else if constexpr (K == Kind::Text) {
        sortText<K>(entries.begin(), entries.end(), 0, more, descending);
    } else {
        // Numbers come before texts, and after them when descending.
        auto isNumber = [](const Entry& e) { return e.len == kNumber; };
        if (descending) {
            const EntryIt mid = std::partition(entries.begin(), entries.end(),
                                               [&](const Entry& e) { return !isNumber(e); });
            sortText<K>(entries.begin(), mid, 0, more, descending);
            sortNumbers<K>(mid, entries.end(), more, descending);
        } else {
            const EntryIt mid = std::partition(entries.begin(), entries.end(), isNumber);
            sortNumbers<K>(entries.begin(), mid, more, descending);
            sortText<K>(mid, entries.end(), 0, more, descending);
        }
    }
}

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

    Arena arena;
    auto makeKey = [&](std::uint32_t id, int col) {
        Key k;
        std::string_view v;
        if (const QString* o = overrideFor(id, col)) {
            const QByteArray utf8 = o->toUtf8();
            char* p = arena.take(static_cast<std::size_t>(utf8.size()) + 1);
            std::memcpy(p, utf8.constData(), static_cast<std::size_t>(utf8.size()));
            v = std::string_view(p, static_cast<std::size_t>(utf8.size()));
        } else {
            v = boundUtf8(id, col);
        }
        double d = 0;
        const bool number = kind != Kind::Text && parseNumber(v, &d);
        if (kind == Kind::Numeric || (kind == Kind::Generic && number)) {
            k.num = number ? d : 0; // numeric sort: what is not a number counts as 0
            k.len = kNumber;
            return k;
        }
        if (kind == Kind::Generic) {
            const bool ascii = std::all_of(v.begin(), v.end(), [](char ch) {
                return (static_cast<unsigned char>(ch) & 0x80) == 0;
            });
            if (ascii) {
                char* p = nullptr;
                for (std::size_t i = 0; i < v.size(); ++i) {
                    const auto c = static_cast<unsigned char>(v[i]);
                    if (lowerAscii(c) == c) continue;
                    if (!p) { // a capital: fold a copy
                        p = arena.take(v.size());
                        std::memcpy(p, v.data(), v.size());
                    }
                    p[i] = static_cast<char>(lowerAscii(c));
                }
                if (p) v = std::string_view(p, v.size());
            } else {
                v = foldUtf8(v, arena);
            }
        }
        k.text = v.data() ? v.data() : "";
        k.len = static_cast<std::uint32_t>(std::min<std::size_t>(v.size(), kNumber - 1));
        return k;
    };

    // Visit the rows in id order: the bound text is then read front to back.
    std::vector<std::uint32_t> posOf(nextId_, kNumber);
    for (int i = 0; i < n; ++i)
        posOf[order_[static_cast<std::size_t>(i)]] = static_cast<std::uint32_t>(i);

    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(n));
    std::vector<std::vector<Key>> more(static_cast<std::size_t>(lastCol - firstCol));
    for (auto& keys : more)
        keys.resize(static_cast<std::size_t>(n));
    for (std::uint32_t id = 0; id < nextId_; ++id) {
        const std::uint32_t pos = posOf[id];
        if (pos == kNumber) continue;
        const Key k = makeKey(id, firstCol);
        Entry e;
        e.len = k.len;
        e.pos = pos;
        if (k.len == kNumber) {
            e.num = k.num;
            e.lo = 0;
            e.text = nullptr;
        } else {
            e.text = k.text;
            packChunk(e, 0);
        }
        entries.push_back(e);
        for (int c = firstCol + 1; c <= lastCol; ++c)
            more[static_cast<std::size_t>(c - firstCol - 1)][pos] = makeKey(id, c);
    }
    posOf = {};

    switch (kind) {
    case Kind::Generic:
        sortEntries<Kind::Generic>(entries, more, descending);
        break;
    case Kind::Numeric:
        sortEntries<Kind::Numeric>(entries, more, descending);
        break;
    case Kind::Text:
        sortEntries<Kind::Text>(entries, more, descending);
        break;
    }

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
