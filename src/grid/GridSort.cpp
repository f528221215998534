#include "grid/GridSort.h"

#include "db/TextFold.h"

#include <QLocale>

#include <unicode/ucol.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <string>

namespace krvs {

// A sort builds one entry per data row holding its main key, sorts the entries and
// returns the new order of positions; no cell text is copied. At a million rows
// what costs is fetching keys from all over memory, so text keys are ranked once
// among the distinct texts and the entries sorted on their ranks (each key is read
// once, never once per comparison). The generic sort's text
// keys are the locale's collation keys (case ignored), made once per cell: byte
// order of the keys is the collation order of the texts. The cells are read in the
// caller's visiting order (front to back through the snapshot's text), and equal
// keys are ordered by their place before the sort: the sort is stable both ways.

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr std::uint32_t kNumber = 0xffffffffu; // the length mark of a numeric key
constexpr std::uint32_t kBlank = 0xfffffffeu;  // the length mark of a blank cell (generic)

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

// The locale's collation with case ignored, as the program's QCollator would compare:
// the same collation, canonical equivalence on, differences of case not counted.
class Collation {
  public:
    Collation() {
        const QByteArray name =
            QLocale().bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
        UErrorCode status = U_ZERO_ERROR;
        coll_ = ucol_open(name.constData(), &status);
        if (U_FAILURE(status) || !coll_) {
            status = U_ZERO_ERROR;
            coll_ = ucol_open("", &status); // the root collation
        }
        if (!coll_) return;
        status = U_ZERO_ERROR;
        ucol_setAttribute(coll_, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(coll_, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    }
    ~Collation() {
        if (coll_) ucol_close(coll_);
    }
    Collation(const Collation&) = delete;
    Collation& operator=(const Collation&) = delete;

    // The collation key of UTF-8 text, without its closing zero byte, in the arena.
    // Keys compare by their unsigned bytes (a key that is the start of another is
    // the smaller one) as the texts compare by the collation. The text must stay
    // where it is while the collation lives: a text met again (cells of a column
    // repeat a lot) gets the key made the first time.
    std::string_view key(std::string_view utf8, Arena& arena) {
        if (used_ * 2 >= slots_.size()) grow();
        const std::size_t hash = std::hash<std::string_view>{}(utf8);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (!slot.text.data()) { // a text not met before
                slot = {hash, utf8, makeKey(utf8, arena)};
                ++used_;
                return slot.key;
            }
            if (slot.hash == hash && slot.text == utf8) return slot.key;
        }
    }

  private:
    // The texts met so far and their keys: open addressing, at most half full.
    struct Slot {
        std::size_t hash = 0;
        std::string_view text; // no data: an empty slot
        std::string_view key;
    };
    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(slots_.size() * 2, 1024));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (!s.text.data()) continue;
            std::size_t i = s.hash & mask;
            while (slots_[i].text.data())
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::string_view makeKey(std::string_view utf8, Arena& arena) {
        if (!coll_) { // no collation at all: the UTF-8 bytes
            char* p = arena.take(utf8.size());
            std::memcpy(p, utf8.data(), utf8.size());
            return std::string_view(p, utf8.size());
        }
        // UTF-16 needs no more units than UTF-8 has bytes.
        text_.resize(utf8.size() + 1);
        int32_t len = 0;
        for (std::size_t i = 0; i < utf8.size();) {
            char32_t c = db::text::decodeUtf8(utf8, i);
            if (c > 0x10FFFF) c = 0xFFFD;
            if (c >= 0x10000) {
                text_[len++] = static_cast<UChar>(0xD7C0 + (c >> 10));
                text_[len++] = static_cast<UChar>(0xDC00 | (c & 0x3FF));
            } else {
                text_[len++] = static_cast<UChar>(c);
            }
        }
        if (key_.size() < static_cast<std::size_t>(len) * 4 + 16)
            key_.resize(static_cast<std::size_t>(len) * 4 + 16);
        int32_t size = ucol_getSortKey(coll_, text_.data(), len, key_.data(),
                                       static_cast<int32_t>(key_.size()));
        if (size > static_cast<int32_t>(key_.size())) {
            key_.resize(static_cast<std::size_t>(size));
            size = ucol_getSortKey(coll_, text_.data(), len, key_.data(), size);
        }
        const std::size_t bytes = size > 0 ? static_cast<std::size_t>(size) - 1 : 0;
        char* p = arena.take(bytes);
        std::memcpy(p, key_.data(), bytes);
        return std::string_view(p, bytes);
    }

    UCollator* coll_ = nullptr;
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    std::vector<UChar> text_;
    std::vector<uint8_t> key_;
};

bool blankText(std::string_view v) {
    return std::all_of(v.begin(), v.end(), [](char c) { return isBlank(c); });
}

// One cell's key: a number, a blank cell (generic sort), UTF-8 text (case-sensitive
// sort) or a collation key (generic sort).
struct Key {
    union {
        double num;
        const char* text;
    };
    std::uint32_t len; // kNumber for a number, kBlank for a blank cell
};

struct Entry {
    union {
        double num;
        std::uint64_t hi; // a text's rank among the texts sorted
    };
    const char* text;
    std::uint32_t len;
    std::uint32_t pos; // display position before the sort
};

using Kind = SortKind;

inline int compareNumbers(double a, double b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Generic order: blank cells, then numbers by value, then texts by their collation
// keys. Text order: code points.
inline int genericRank(std::uint32_t len) {
    return len == kBlank ? 0 : len == kNumber ? 1 : 2;
}

template <Kind K> inline int compareKeys(const Key& a, const Key& b) {
    if constexpr (K == Kind::Numeric) {
        return compareNumbers(a.num, b.num);
    } else {
        if constexpr (K == Kind::Generic) {
            const int ra = genericRank(a.len), rb = genericRank(b.len);
            if (ra != rb) return ra < rb ? -1 : 1;
            if (ra == 0) return 0;
            if (ra == 1) return compareNumbers(a.num, b.num);
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

// Sorts text entries. Cells of a column repeat a lot (titles, series, categories), so
// each distinct text is ordered once, and the entries are put in order of rank, then
// position, by counting; entries of one text go to the further key columns. The
// generic sort's keys come from the collation's cache, one per distinct text, so
// there a key is known by its address.
template <Kind K>
void sortText(EntryIt first, EntryIt last, const std::vector<std::vector<Key>>& more,
              bool descending) {
    const auto n = static_cast<std::size_t>(last - first);
    if (n == 0) return;
    constexpr bool byAddress = K == Kind::Generic;
    auto hashOf = [](std::string_view t) -> std::size_t {
        if constexpr (byAddress)
            return static_cast<std::size_t>(
                (reinterpret_cast<std::uintptr_t>(t.data()) * 0x9E3779B97F4A7C15ull) >> 20);
        else
            return std::hash<std::string_view>{}(t);
    };
    auto same = [](std::string_view a, std::string_view b) {
        if constexpr (byAddress)
            return a.data() == b.data();
        else
            return a == b;
    };
    // The distinct keys, found through an open-addressed table at most half full.
    std::vector<std::string_view> distinct;
    std::vector<std::uint32_t> table(1024, 0), which(n); // table: distinct index + 1
    std::uint32_t lastPos = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (distinct.size() * 2 >= table.size()) {
            std::vector<std::uint32_t> grown(table.size() * 2, 0);
            for (std::uint32_t k = 0; k < distinct.size(); ++k) {
                std::size_t j = hashOf(distinct[k]) & (grown.size() - 1);
                while (grown[j])
                    j = (j + 1) & (grown.size() - 1);
                grown[j] = k + 1;
            }
            table.swap(grown);
        }
        const std::string_view t(first[i].text, first[i].len);
        const std::size_t mask = table.size() - 1;
        std::size_t j = hashOf(t) & mask;
        while (table[j] && !same(distinct[table[j] - 1], t))
            j = (j + 1) & mask;
        if (!table[j]) {
            distinct.push_back(t);
            table[j] = static_cast<std::uint32_t>(distinct.size());
        }
        which[i] = table[j] - 1;
        lastPos = std::max(lastPos, first[i].pos);
    }
    table = {};
    // Ranks by unsigned bytes, a key that starts another first; equal keys share one.
    std::vector<std::uint32_t> byKey(distinct.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](std::uint32_t a, std::uint32_t b) { return distinct[a] < distinct[b]; });
    std::vector<std::uint32_t> rank(distinct.size());
    std::uint32_t ranks = 0;
    for (std::size_t k = 0; k < byKey.size(); ++k) {
        if (k > 0 && distinct[byKey[k - 1]] != distinct[byKey[k]]) ++ranks;
        rank[byKey[k]] = ranks;
    }
    ++ranks;
    // Counting: the entries are taken in order of position, each goes to the next
    // place of its rank.
    std::vector<std::uint32_t> next(ranks + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t r = rank[which[i]];
        if (descending) r = ranks - 1 - r;
        first[i].hi = r;
        ++next[r + 1];
    }
    which = {};
    for (std::uint32_t r = 0; r < ranks; ++r)
        next[r + 1] += next[r];
    constexpr std::uint32_t kNone = 0xffffffffu;
    std::vector<std::uint32_t> atPos(static_cast<std::size_t>(lastPos) + 1, kNone);
    for (std::size_t i = 0; i < n; ++i)
        atPos[first[i].pos] = static_cast<std::uint32_t>(i);
    std::vector<Entry> sorted(n);
    for (const std::uint32_t i : atPos)
        if (i != kNone) sorted[next[first[i].hi]++] = first[i];
    atPos = {};
    std::copy(sorted.begin(), sorted.end(), first);
    sorted = {};
    for (EntryIt run = first; run != last;) {
        EntryIt end = run + 1;
        while (end != last && end->hi == run->hi)
            ++end;
        breakTies<K>(run, end, more, descending);
        run = end;
    }
}

template <Kind K>
void sortEntries(std::vector<Entry>& entries, const std::vector<std::vector<Key>>& more,
                 bool descending) {
    if constexpr (K == Kind::Numeric) {
        sortNumbers<K>(entries.begin(), entries.end(), more, descending);
    } else if constexpr (K == Kind::Text) {
        sortText<K>(entries.begin(), entries.end(), more, descending);
    } else {
        // Blank cells, numbers, texts; the other way round when descending.
        const EntryIt first = entries.begin(), last = entries.end();
        auto goesBefore = [descending](int rank) {
            return [=](const Entry& e) {
                const int r = genericRank(e.len);
                return descending ? r > rank : r < rank;
            };
        };
        const EntryIt mid1 = std::partition(first, last, goesBefore(1));
        const EntryIt mid2 = std::partition(mid1, last, goesBefore(descending ? 0 : 2));
        // The blank cells keep their order (or go by the further columns).
        const EntryIt blanksFirst = descending ? mid2 : first;
        const EntryIt blanksLast = descending ? last : mid1;
        std::sort(blanksFirst, blanksLast,
                  [](const Entry& a, const Entry& b) { return a.pos < b.pos; });
        breakTies<K>(blanksFirst, blanksLast, more, descending);
        if (descending) {
            sortText<K>(first, mid1, more, descending);
            sortNumbers<K>(mid1, mid2, more, descending);
        } else {
            sortNumbers<K>(mid1, mid2, more, descending);
            sortText<K>(mid2, last, more, descending);
        }
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

std::vector<std::uint32_t> sortRows(SortKind kind, SortDirection direction, int firstCol,
                                    int lastCol, const std::vector<std::uint32_t>& visit,
                                    const std::function<SortCell(std::size_t, int)>& cell) {
    const bool descending = direction == SortDirection::Descending;
    const std::size_t n = visit.size();
    Arena arena;
    std::optional<Collation> collation;
    if (kind == Kind::Generic) collation.emplace();
    auto makeKey = [&](std::size_t at, int col) {
        Key k;
        const SortCell c = cell(at, col);
        std::string_view v = c.utf8;
        if (c.transient && !v.empty()) {
            char* p = arena.take(v.size());
            std::memcpy(p, v.data(), v.size());
            v = std::string_view(p, v.size());
        }
        double d = 0;
        const bool number = kind != Kind::Text && parseNumber(v, &d);
        if (kind == Kind::Numeric || (kind == Kind::Generic && number)) {
            k.num = number ? d : 0; // numeric sort: what is not a number counts as 0
            k.len = kNumber;
            return k;
        }
        if (kind == Kind::Generic) {
            if (blankText(v)) {
                k.num = 0;
                k.len = kBlank;
                return k;
            }
            v = collation->key(v, arena);
        }
        k.text = v.data() ? v.data() : "";
        k.len = static_cast<std::uint32_t>(std::min<std::size_t>(v.size(), kBlank - 1));
        return k;
    };

    std::vector<Entry> entries;
    entries.reserve(n);
    std::vector<std::vector<Key>> more(static_cast<std::size_t>(lastCol - firstCol));
    for (auto& keys : more)
        keys.resize(n);
    for (std::size_t at = 0; at < n; ++at) {
        const std::uint32_t pos = visit[at];
        const Key k = makeKey(at, firstCol);
        Entry e;
        e.len = k.len;
        e.pos = pos;
        if (k.len == kNumber || k.len == kBlank) {
            e.num = k.num;
            e.text = nullptr;
        } else {
            e.text = k.text;
            e.hi = 0;
        }
        entries.push_back(e);
        for (int c = firstCol + 1; c <= lastCol; ++c)
            more[static_cast<std::size_t>(c - firstCol - 1)][pos] = makeKey(at, c);
    }

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
    std::vector<std::uint32_t> sorted(n);
    for (std::size_t i = 0; i < n; ++i)
        sorted[i] = entries[i].pos;
    return sorted;
}

} // namespace krvs
