#include "grid/GridSort.h"

#include "db/TextFold.h"
#include "util/ScopeGuard.h"

#include <QLocale>

#include <unicode/ucol.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace krvs {

// A sort reads each cell once, in the caller's visiting order (front to back through
// the snapshot's text), and gives it a code: a number, a blank cell (generic sort), or
// the number of its text among the column's distinct texts. Cells of a column repeat
// a lot (titles, series, categories), so only the distinct texts get keys (the
// locale's collation keys with case ignored for the generic sort, the UTF-8 bytes for
// the text sort); the texts are ranked once by their keys, and the rows are put in
// order of rank by counting, in order of position within a rank: the sort is stable
// both ways. What costs at a million rows is touching memory, so the sort holds one
// code per row and the new order, nothing per row bigger than that (numbers: the
// number and the row). The cells are asked for on the calling thread only; from a few
// thousand rows on, a second thread classifies some blocks of them meanwhile.

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool blankText(std::string_view v) {
    return std::all_of(v.begin(), v.end(), [](char c) { return isBlank(c); });
}

// A cell's code when it is no text: a number, or a blank cell (generic sort). Any
// other code is the number of the cell's text among the column's distinct texts.
constexpr std::uint32_t kNumberCode = 0xffffffffu;
constexpr std::uint32_t kBlankCode = 0xfffffffeu;

// Texts and keys live here for the length of a sort; blocks never move, so views
// into them stay valid.
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
    std::string_view copy(std::string_view v) {
        if (v.empty()) return {};
        char* p = take(v.size());
        std::memcpy(p, v.data(), v.size());
        return std::string_view(p, v.size());
    }

  private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_, big_;
    std::size_t used_ = 0;
};

// A quick hash of a short text, eight bytes at a time.
inline std::uint64_t hashText(std::string_view t) {
    constexpr std::uint64_t kMul = 0xff51afd7ed558ccdull;
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ (t.size() * 0xc2b2ae3d27d4eb4full);
    const char* p = t.data();
    std::size_t n = t.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    if (n > 0) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * kMul;
    }
    h ^= h >> 32;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 29);
}

// The texts the second thread meets are numbered with this bit set, so that both
// threads' codes can lie in one array.
constexpr std::uint32_t kSecondTag = 0x40000000u;
constexpr std::size_t kMaxTexts = kSecondTag / 2;

// The distinct texts of one column, numbered in the order they are met. Each is
// copied once, close to the others, so looking a cell up touches little memory, and
// a transient cell needs no copy of its own.
class DistinctTexts {
  public:
    std::uint32_t idOf(std::string_view t) {
        if ((texts_.size() + 1) * 2 > slots_.size()) grow();
        const std::uint64_t h = hashText(t);
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.id1 == 0) { // a text not met before
                texts_.push_back(arena_.copy(t));
                slot = {tag, static_cast<std::uint32_t>(texts_.size())};
                return slot.id1 - 1;
            }
            if (slot.tag == tag && texts_[slot.id1 - 1] == t) return slot.id1 - 1;
        }
    }
    const std::vector<std::string_view>& texts() const { return texts_; }

  private:
    // Open addressing, at most half full: part of the text's hash, and its number + 1
    // (0: an empty slot).
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t id1 = 0;
    };
    void grow() {
        // Text numbers stay below the bit that marks the second thread's texts.
        if (texts_.size() >= kMaxTexts) throw std::bad_alloc();
        slots_.assign(std::max<std::size_t>(slots_.size() * 2, 1024), Slot{});
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t id = 0; id < texts_.size(); ++id) {
            const std::uint64_t h = hashText(texts_[id]);
            std::size_t i = h & mask;
            while (slots_[i].id1)
                i = (i + 1) & mask;
            slots_[i] = {static_cast<std::uint32_t>(h >> 32), id + 1};
        }
    }

    Arena arena_;
    std::vector<std::string_view> texts_;
    std::vector<Slot> slots_;
};

// The locale's collation with case ignored, as the program's QCollator would compare:
// the same collation, canonical equivalence on, differences of case not counted. A
// collator serves one thread; clone() gives another one the same collation.
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
    explicit Collation(UCollator* coll) : coll_(coll) {}
    ~Collation() {
        if (coll_) ucol_close(coll_);
    }
    Collation(const Collation&) = delete;
    Collation& operator=(const Collation&) = delete;

    bool valid() const { return coll_ != nullptr; }
    // Another collator with the same settings for another thread; none when ICU fails.
    std::unique_ptr<Collation> clone() const {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = coll_ ? ucol_clone(coll_, &status) : nullptr;
        if (U_FAILURE(status) && c) {
            ucol_close(c);
            c = nullptr;
        }
        return c ? std::make_unique<Collation>(c) : nullptr;
    }

    // The collation key of UTF-8 text, without its closing zero byte, in the arena.
    // Keys compare by their unsigned bytes (a key that is the start of another is
    // the smaller one) as the texts compare by the collation.
    std::string_view key(std::string_view utf8, Arena& arena) {
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
        return arena.copy(std::string_view(reinterpret_cast<const char*>(key_.data()), bytes));
    }

  private:
    UCollator* coll_ = nullptr;
    std::vector<UChar> text_;
    std::vector<uint8_t> key_;
};

// From this many distinct texts on, the collation keys are made on two threads,
// each with its own collator, the second thread taking the second half.
constexpr std::size_t kTwoThreadKeys = 2048;

// The rank of each distinct text: the order of their keys by unsigned bytes, a key
// that starts another first; texts with equal keys (the same but for case, in the
// generic sort) share a rank. Returns the number of ranks.
std::uint32_t rankTexts(const std::vector<std::string_view>& texts, Collation* collation,
                        std::vector<std::uint32_t>& rank) {
    const std::size_t n = texts.size();
    std::vector<std::string_view> keys(texts);
    Arena arena, arena2;
    if (collation && collation->valid()) {
        auto makeKeys = [&](Collation& c, Arena& a, std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i)
                keys[i] = c.key(texts[i], a);
        };
        std::unique_ptr<Collation> second = n >= kTwoThreadKeys ? collation->clone() : nullptr;
        std::size_t split = n; // this thread makes the keys before split
        std::exception_ptr failed;
        std::thread other;
        if (second) {
            split = n / 2;
            try {
                other = std::thread([&] {
                    try {
                        makeKeys(*second, arena2, split, n);
                    } catch (...) {
                        failed = std::current_exception();
                    }
                });
            } catch (const std::system_error&) { // no second thread: all on this one
                split = n;
            }
        }
        {
            ScopeGuard join([&] {
                if (other.joinable()) other.join();
            });
            makeKeys(*collation, arena, 0, split);
        }
        if (failed) std::rethrow_exception(failed);
    }
    std::vector<std::uint32_t> byKey(n);
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    rank.assign(n, 0);
    std::uint32_t ranks = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (k > 0 && keys[byKey[k - 1]] != keys[byKey[k]]) ++ranks;
        rank[byKey[k]] = ranks;
    }
    return n ? ranks + 1 : 0;
}

// A cell of a further key column: a number, or a code that becomes the text's rank.
struct MoreKey {
    double num;
    std::uint32_t code;
};

inline int compareNumbers(double a, double b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Generic order: blank cells, then numbers by value, then texts by rank.
inline int genericClass(std::uint32_t code) {
    return code == kBlankCode ? 0 : code == kNumberCode ? 1 : 2;
}

int compareMore(SortKind kind, const MoreKey& a, const MoreKey& b) {
    if (kind == SortKind::Numeric) return compareNumbers(a.num, b.num);
    if (kind == SortKind::Generic) {
        const int ca = genericClass(a.code), cb = genericClass(b.code);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
        if (ca == 1) return compareNumbers(a.num, b.num);
    }
    return a.code < b.code ? -1 : (a.code > b.code ? 1 : 0);
}

// A number cell and its row: twelve bytes, for a column of a million numbers.
#pragma pack(push, 4)
struct Number {
    double num;
    std::uint32_t pos;
};
#pragma pack(pop)
static_assert(sizeof(Number) == 12);

// One thread's share of the cells. It puts each cell it is given into the shared codes
// (by position), the shared numbers (numeric sort, by visiting index) or its own numbers
// (generic sort), and numbers the texts it meets among its own distinct texts.
struct CellReader {
    CellReader(SortKind kind, std::uint32_t tag, std::size_t n, std::size_t cols,
               std::uint32_t* codes, Number* numbersAt, std::vector<std::vector<MoreKey>>& more)
        : kind(kind), tag(tag), n(n), cols(cols), codes(codes), numbersAt(numbersAt), more(more),
          texts(kind == SortKind::Numeric ? 0 : cols) {}

    void read(std::size_t at, std::uint32_t pos, std::size_t c, std::string_view v) {
        double num = 0;
        std::uint32_t code = kNumberCode;
        if (kind == SortKind::Generic) {
            if (!parseNumber(v, &num)) code = blankText(v) ? kBlankCode : texts[c].idOf(v) | tag;
        } else if (kind == SortKind::Numeric) {
            if (!parseNumber(v, &num)) num = 0; // what is not a number counts as 0
        } else {
            code = texts[c].idOf(v) | tag;
        }
        if (c > 0) {
            more[c - 1][pos] = {num, code};
        } else if (kind == SortKind::Numeric) {
            numbersAt[at] = {num, pos};
        } else {
            codes[pos] = code;
            // A column that starts with a number is mostly numbers: room for this
            // thread's share of them.
            if (!seen && code == kNumberCode) numbers.reserve((n - at) / share + 1);
            seen = true;
            if (code == kNumberCode) numbers.push_back({num, pos});
        }
    }

    const SortKind kind;
    const std::uint32_t tag;
    const std::size_t n, cols;
    std::uint32_t* const codes;
    Number* const numbersAt;
    std::vector<std::vector<MoreKey>>& more;
    std::vector<DistinctTexts> texts; // by column
    std::vector<Number> numbers;      // the generic sort's
    std::size_t share = 1;            // of the rows this thread reads: one in share
    bool seen = false;                // a cell of the main column
};

// Rows are read in blocks; from this many rows on, a second thread reads some of them.
constexpr std::size_t kBlockRows = 2048;
constexpr std::size_t kTwoThreadRows = 4 * kBlockRows;

// The cells of a block of rows handed to the second thread, transient ones copied.
struct Block {
    std::size_t from = 0, to = 0; // visiting indices
    std::vector<std::string_view> cells;
    std::string copies;
    std::vector<std::pair<std::size_t, std::size_t>> copied; // cell, offset in copies
};

// Reads every cell into here and there. This thread asks for each cell, one at a time in
// the caller's order; it hands the texts of a block of rows to a second thread whenever
// that one keeps up, and reads the other blocks itself, so a busy second core costs
// little.
void readCells(const std::vector<std::uint32_t>& visit,
               const std::function<SortCell(std::size_t, int)>& cell, int firstCol,
               CellReader& here, CellReader& there) {
    const std::size_t n = visit.size(), cols = here.cols;
    auto readHere = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; ++at)
            for (std::size_t c = 0; c < cols; ++c)
                here.read(at, visit[at], c, cell(at, firstCol + static_cast<int>(c)).utf8);
    };
    if (n < kTwoThreadRows) {
        readHere(0, n);
        return;
    }
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::unique_ptr<Block>> blocks;
    std::vector<Block*> idle;
    std::deque<Block*> ready;
    bool done = false;
    for (int i = 0; i < 4; ++i) {
        blocks.push_back(std::make_unique<Block>());
        idle.push_back(blocks.back().get());
    }
    std::exception_ptr failed;
    auto work = [&] {
        try {
            for (;;) {
                Block* b = nullptr;
                {
                    std::unique_lock lock(mutex);
                    wake.wait(lock, [&] { return done || !ready.empty(); });
                    if (ready.empty()) return;
                    b = ready.front();
                    ready.pop_front();
                }
                std::size_t i = 0;
                for (std::size_t at = b->from; at < b->to; ++at)
                    for (std::size_t c = 0; c < cols; ++c)
                        there.read(at, visit[at], c, b->cells[i++]);
                std::lock_guard lock(mutex);
                idle.push_back(b);
            }
        } catch (...) { // no more blocks taken; the sort fails once this thread is joined
            failed = std::current_exception();
        }
    };
    here.share = there.share = 2;
    std::thread second;
    try {
        second = std::thread(work);
    } catch (const std::system_error&) { // no second thread: all on this one
        here.share = 1;
        readHere(0, n);
        return;
    }
    auto stop = [&] {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        wake.notify_all();
        second.join();
    };
    ScopeGuard stopOnThrow(stop);
    for (std::size_t from = 0; from < n; from += kBlockRows) {
        const std::size_t to = std::min(n, from + kBlockRows);
        Block* b = nullptr;
        {
            std::lock_guard lock(mutex);
            if (!idle.empty() && ready.size() < 2) {
                b = idle.back();
                idle.pop_back();
            }
        }
        if (!b) {
            readHere(from, to);
            continue;
        }
        b->from = from;
        b->to = to;
        b->cells.clear();
        b->copies.clear();
        b->copied.clear();
        for (std::size_t at = from; at < to; ++at) {
            for (std::size_t c = 0; c < cols; ++c) {
                const SortCell sc = cell(at, firstCol + static_cast<int>(c));
                if (sc.transient && !sc.utf8.empty()) {
                    b->copied.emplace_back(b->cells.size(), b->copies.size());
                    b->copies.append(sc.utf8);
                }
                b->cells.push_back(sc.utf8);
            }
        }
        for (const auto& [i, offset] : b->copied)
            b->cells[i] = std::string_view(b->copies.data() + offset, b->cells[i].size());
        {
            std::lock_guard lock(mutex);
            ready.push_back(b);
        }
        wake.notify_one();
    }
    stopOnThrow.dismiss();
    stop();
    if (failed) std::rethrow_exception(failed);
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
    const std::size_t cols = static_cast<std::size_t>(std::max(lastCol - firstCol + 1, 1));
    std::optional<Collation> collation;
    if (kind == SortKind::Generic) collation.emplace();

    // Each cell once, row by row in the visiting order; a second thread classifies
    // the cells of some blocks of rows (below).
    std::vector<std::uint32_t> codes(kind == SortKind::Numeric ? 0 : n); // by position
    std::vector<Number> numbers(kind == SortKind::Numeric ? n : 0);      // numeric sort
    std::vector<std::vector<MoreKey>> more(cols - 1);
    for (auto& keys : more)
        keys.resize(n);
    CellReader here{kind, 0, n, cols, codes.data(), numbers.data(), more};
    CellReader there{kind, kSecondTag, n, cols, codes.data(), numbers.data(), more};
    readCells(visit, cell, firstCol, here, there);

    // The distinct texts' ranks, both threads' together (a text both met gets one rank);
    // the further columns' text codes become ranks.
    std::vector<std::uint32_t> rank;
    std::uint32_t ranks = 0, hereTexts = 0;
    // A text's place in rank: the second thread's texts follow the first thread's.
    auto textIndex = [&](std::uint32_t code) {
        return (code & ~kSecondTag) + ((code & kSecondTag) ? hereTexts : 0u);
    };
    auto rankColumn = [&](std::size_t c) {
        // The second thread's texts are found among the first's (or added to them), so
        // that each distinct text gets one key.
        DistinctTexts& texts = here.texts[c];
        const std::vector<std::string_view>& second = there.texts[c].texts();
        std::vector<std::uint32_t> same(second.size());
        for (std::size_t i = 0; i < second.size(); ++i)
            same[i] = texts.idOf(second[i]);
        const std::uint32_t r = rankTexts(texts.texts(), collation ? &*collation : nullptr, rank);
        hereTexts = static_cast<std::uint32_t>(rank.size());
        for (const std::uint32_t id : same)
            rank.push_back(rank[id]);
        here.texts[c] = DistinctTexts();
        there.texts[c] = DistinctTexts();
        return r;
    };
    for (std::size_t c = 1; kind != SortKind::Numeric && c < cols; ++c) {
        rankColumn(c);
        for (MoreKey& k : more[c - 1])
            if (k.code < kBlankCode) k.code = rank[textIndex(k.code)];
    }
    if (kind != SortKind::Numeric) ranks = rankColumn(0);
    collation.reset();

    // Rows with equal main keys go by the further columns (in the same direction),
    // then by position.
    auto breakTies = [&](std::uint32_t* first, std::uint32_t* last) {
        if (more.empty() || last - first < 2) return;
        std::sort(first, last, [&](std::uint32_t a, std::uint32_t b) {
            for (const auto& keys : more) {
                const int r = compareMore(kind, keys[a], keys[b]);
                if (r != 0) return descending ? r > 0 : r < 0;
            }
            return a < b;
        });
    };

    // Places: blank cells, numbers, texts; the other way round when descending (the
    // blank cells stay in the order of their positions either way).
    std::size_t blanks = 0;
    std::vector<std::uint32_t> count(static_cast<std::size_t>(ranks) + 1, 0);
    for (const std::uint32_t code : codes) {
        if (code < kBlankCode)
            ++count[descending ? ranks - rank[textIndex(code)] : rank[textIndex(code)] + 1];
        else if (code == kBlankCode)
            ++blanks;
    }
    // The numbers, each thread's sorted alone (then merged into their places).
    auto before = [descending](const Number& a, const Number& b) {
        if (a.num != b.num) return descending ? a.num > b.num : a.num < b.num;
        return a.pos < b.pos;
    };
    std::vector<Number>& first = kind == SortKind::Numeric ? numbers : here.numbers;
    std::vector<Number>& second = there.numbers;
    std::sort(first.begin(), first.end(), before);
    std::sort(second.begin(), second.end(), before);
    const std::size_t numberCount = first.size() + second.size();
    const std::size_t textCount = codes.empty() ? 0 : n - blanks - numberCount;
    const std::size_t blankAt = descending ? n - blanks : 0;
    const std::size_t numberAt = descending ? textCount : blanks;
    const std::size_t textAt = descending ? 0 : blanks + numberCount;
    for (std::uint32_t r = 0; r < ranks; ++r)
        count[r + 1] += count[r];
    for (std::uint32_t& r : rank)
        if (descending) r = ranks - 1 - r;

    std::vector<std::uint32_t> sorted(n);
    std::uint32_t* const out = sorted.data();
    std::size_t nextBlank = blankAt;
    for (std::uint32_t pos = 0; pos < codes.size(); ++pos) {
        const std::uint32_t code = codes[pos];
        if (code < kBlankCode)
            out[textAt + count[rank[textIndex(code)]]++] = pos;
        else if (code == kBlankCode)
            out[nextBlank++] = pos;
    }
    codes = {};
    if (!more.empty()) {
        breakTies(out + blankAt, out + blankAt + blanks);
        // count[r] is now where rank r + 1 starts.
        for (std::uint32_t r = 0; r < ranks; ++r)
            breakTies(out + textAt + (r ? count[r - 1] : 0), out + textAt + count[r]);
    }

    // The two threads' numbers merged into their places; rows with equal numbers go by
    // the further columns.
    std::size_t at = numberAt, runStart = numberAt;
    double runNum = 0;
    for (std::size_t i = 0, j = 0; i < first.size() || j < second.size();) {
        const bool takeFirst =
            j == second.size() || (i < first.size() && before(first[i], second[j]));
        const Number& x = takeFirst ? first[i++] : second[j++];
        if (at > runStart && x.num != runNum) {
            breakTies(out + runStart, out + at);
            runStart = at;
        }
        runNum = x.num;
        out[at++] = x.pos;
    }
    breakTies(out + runStart, out + at);
    return sorted;
}

} // namespace krvs
