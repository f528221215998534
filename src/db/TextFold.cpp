#include "db/TextFold.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sqlite3.h>
#include <string>

namespace krvs::db::text {

namespace {

constexpr char32_t kBad = 0xFFFD;

inline unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

} // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return kBad;
    }
    if (i + len > s.size()) {
        ++i;
        return kBad;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kBad;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) return lowerAscii(static_cast<unsigned char>(c));
    return QChar::toCaseFolded(c);
}

namespace {

inline char32_t decode(std::string_view s, std::size_t& i) {
    return decodeUtf8(s, i);
}

inline char32_t fold(char32_t c) {
    return foldCase(c);
}

// Base letters of the Latin letters with accents (U+00C0 to U+024F), folded.
struct BaseTable {
    std::array<char32_t, 0x250 - 0xC0> base{};
    BaseTable() {
        for (char32_t c = 0xC0; c < 0x250; ++c) {
            char32_t b = c;
            for (int depth = 0; depth < 4; ++depth) {
                const QString d = QChar::decomposition(b);
                if (d.isEmpty() || QChar::decompositionTag(b) != QChar::Canonical) break;
                const char32_t first = d.at(0).unicode();
                if (first == b) break;
                b = first;
            }
            base[c - 0xC0] = fold(b);
        }
    }
};

} // namespace

char32_t baseLetter(char32_t folded) {
    static const BaseTable table;
    if (folded >= 0xC0 && folded < 0x250) return table.base[folded - 0xC0];
    return folded;
}

namespace {

bool isAscii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

void decodeFolded(std::string_view s, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size();)
        out.push_back(fold(decode(s, i)));
}

// Wildcard matching with backtracking to the last %, which is enough for % and _.
// P and T are already folded.
template <class C>
bool match(const C* p, std::size_t pn, const C* t, std::size_t tn, char32_t esc) {
    constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t pi = 0, ti = 0, starP = npos, starT = 0;
    while (ti < tn) {
        if (pi < pn) {
            const char32_t c = static_cast<char32_t>(p[pi]);
            if (esc && c == esc) {
                if (pi + 1 >= pn) return false;
                if (p[pi + 1] == t[ti]) {
                    pi += 2;
                    ++ti;
                    continue;
                }
            } else if (c == U'%') {
                while (pi < pn && static_cast<char32_t>(p[pi]) == U'%')
                    ++pi;
                if (pi == pn) return true;
                starP = pi;
                starT = ti;
                continue;
            } else if (c == U'_' || p[pi] == t[ti]) {
                ++pi;
                ++ti;
                continue;
            }
        }
        if (starP == npos) return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < pn && static_cast<char32_t>(p[pi]) == U'%')
        ++pi;
    return pi == pn;
}

// The shapes of ASCII patterns that need no character counting: a literal alone,
// or with % before, after or on both sides of it.
enum class Shape { General, Exact, Prefix, Suffix, Contains };

// Only two characters outside ASCII fold into it: U+017F (long s, UTF-8 C5 BF) to
// s and U+212A (Kelvin sign, E2 84 AA) to k. A text without their lead bytes
// matches an ASCII pattern exactly when its bytes do.
bool mayFoldIntoAscii(std::string_view t) {
    return std::memchr(t.data(), 0xC5, t.size()) || std::memchr(t.data(), 0xE2, t.size());
}

inline bool equalFoldedAscii(const char* text, const char* folded, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (lowerAscii(static_cast<unsigned char>(text[i])) !=
            static_cast<unsigned char>(folded[i]))
            return false;
    return true;
}

// What a byte-wise search found: the literal, or not and that is final, or not but
// the text holds a lead byte of a character that folds into ASCII.
enum class Found { Yes, No, Maybe };

inline bool mayFoldIntoAscii(unsigned char b) {
    return b == 0xC5 || b == 0xE2;
}

// A folded ASCII literal searched for in texts of any letter case.
struct Needle {
    std::string lit;
    unsigned char first = 0, last = 0;         // its first and last bytes, folded
    unsigned char firstCase = 0, lastCase = 0; // 0x20 for a letter: (b | 0x20) == letter
};

Needle makeNeedle(const std::string& lit) {
    Needle k;
    k.lit = lit;
    if (lit.empty()) return k;
    const auto caseBit = [](unsigned char c) -> unsigned char {
        return c >= 'a' && c <= 'z' ? 0x20 : 0;
    };
    k.first = static_cast<unsigned char>(lit.front());
    k.last = static_cast<unsigned char>(lit.back());
    k.firstCase = caseBit(k.first);
    k.lastCase = caseBit(k.last);
    return k;
}

// Byte-wise search over the places in order, looking at every byte for the lead bytes.
Found findFoldedAsciiBytes(const unsigned char* s, std::size_t n, const Needle& k) {
    const std::size_t m = k.lit.size(), last = n - m;
    const auto firstUp = static_cast<unsigned char>(k.first & ~k.firstCase);
    bool risky = false;
    std::size_t p = 0;
    for (; p <= last; ++p) {
        const unsigned char c = s[p];
        risky = risky || mayFoldIntoAscii(c);
        if ((c == k.first || c == firstUp) &&
            equalFoldedAscii(reinterpret_cast<const char*>(s) + p, k.lit.data(), m))
            return Found::Yes;
    }
    for (; p < n; ++p)
        risky = risky || mayFoldIntoAscii(s[p]);
    return risky ? Found::Maybe : Found::No;
}

#if defined(__SSE2__)
// Sixteen places at a time: a place is looked at closely only when its first and
// last bytes both fit.
struct Blocks {
    const Needle& k;
    const __m128i first = _mm_set1_epi8(static_cast<char>(k.first));
    const __m128i firstCase = _mm_set1_epi8(static_cast<char>(k.firstCase));
    const __m128i last = _mm_set1_epi8(static_cast<char>(k.last));
    const __m128i lastCase = _mm_set1_epi8(static_cast<char>(k.lastCase));
    const __m128i c5 = _mm_set1_epi8(static_cast<char>(0xC5));
    const __m128i e2 = _mm_set1_epi8(static_cast<char>(0xE2));
    __m128i leads = _mm_setzero_si128();

    static __m128i load(const unsigned char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }
    // The n bytes at at in the low lanes and zeros above, built in registers from
    // loads that stay inside the n bytes (a copy through memory would stall the load).
    static __m128i loadShort(const unsigned char* at, std::size_t n) {
        if (n >= 16) return load(at);
        std::uint64_t lo = 0, hi = 0;
        if (n >= 8) {
            std::memcpy(&lo, at, 8);
            if (n > 8) {
                std::memcpy(&hi, at + n - 8, 8);
                hi >>= (16 - n) * 8; // bytes 8..n-1 to the bottom
            }
        } else if (n >= 4) {
            std::uint32_t a = 0, b = 0;
            std::memcpy(&a, at, 4);
            std::memcpy(&b, at + n - 4, 4);
            lo = a | (static_cast<std::uint64_t>(b) >> ((8 - n) * 8)) << 32;
        } else {
            for (std::size_t i = 0; i < n; ++i)
                lo |= static_cast<std::uint64_t>(at[i]) << (8 * i);
        }
        return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
    }
    void lookForLeads(__m128i bytes) {
        leads =
            _mm_or_si128(leads, _mm_or_si128(_mm_cmpeq_epi8(bytes, c5), _mm_cmpeq_epi8(bytes, e2)));
    }
    bool risky() const { return _mm_movemask_epi8(leads) != 0; }
    unsigned firstFits(__m128i bytes) const {
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(bytes, firstCase), first)));
    }
    unsigned lastFits(__m128i bytes) const {
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(bytes, lastCase), last)));
    }
    // True when a place whose bit is in candidates, counted from at, holds the literal.
    bool verify(const unsigned char* at, unsigned candidates) const {
        for (; candidates; candidates &= candidates - 1) {
            const auto bit = static_cast<std::size_t>(__builtin_ctz(candidates));
            if (equalFoldedAscii(reinterpret_cast<const char*>(at) + bit, k.lit.data(),
                                 k.lit.size()))
                return true;
        }
        return false;
    }
    // The places at..at+15; reads at..at+15+m-1. Notes the lead bytes of at..at+15.
    bool holds(const unsigned char* at) {
        const __m128i a = load(at);
        lookForLeads(a);
        return verify(at, firstFits(a) & lastFits(load(at + k.lit.size() - 1)));
    }
};
#endif

// Searches t byte-wise for the literal of k in any letter case and, in the same pass,
// for the lead bytes of the characters that fold into ASCII.
Found findFoldedAscii(std::string_view t, const Needle& k) {
    const std::size_t m = k.lit.size(), n = t.size();
    if (m == 0) return Found::Yes;
    if (n < m) return Found::No; // fewer characters than the literal, however folded
    const auto* s = reinterpret_cast<const unsigned char*>(t.data());
#if defined(__SSE2__)
    const std::size_t last = n - m; // the last place the literal can start
    if (last >= 15) {
        Blocks blocks{k};
        // blocks of sixteen places; the last one ends at the last place and may
        // overlap the one before it
        for (std::size_t q = 0; q + 15 < last; q += 16)
            if (blocks.holds(s + q)) return Found::Yes;
        if (blocks.holds(s + last - 15)) return Found::Yes;
        for (std::size_t p = last + 1; p < n; p += 16) // the bytes after the last place
            blocks.lookForLeads(Blocks::load(s + std::min(p, n - 16)));
        return blocks.risky() ? Found::Maybe : Found::No;
    }
    if (n <= 32) {
        // a short text: its places fit one block and its bytes two
        Blocks blocks{k};
        const __m128i low = Blocks::loadShort(s, n);
        const __m128i high = n > 16 ? Blocks::loadShort(s + 16, n - 16) : _mm_setzero_si128();
        blocks.lookForLeads(low);
        blocks.lookForLeads(high);
        const unsigned lastFits = blocks.lastFits(low) | blocks.lastFits(high) << 16;
        if (blocks.verify(s, blocks.firstFits(low) & (lastFits >> (m - 1)) & ((2u << last) - 1)))
            return Found::Yes;
        return blocks.risky() ? Found::Maybe : Found::No;
    }
#endif
    return findFoldedAsciiBytes(s, n, k);
}

// A pattern prepared once per statement and kept by SQLite between rows.
struct Pattern {
    bool ascii = true;
    Shape shape = Shape::General;
    std::string literal; // the folded literal of a shaped pattern
    Needle contained;    // the literal of Contains, or an ASCII run that every text
                         // matching a general pattern holds (empty: none)
    std::string asciiFolded;
    std::u32string folded;
    char32_t escape = 0;
};

// Byte-wise match of a shaped pattern (never a false match; a miss is final unless
// the text may fold into ASCII).
bool matchShape(const Pattern& p, std::string_view t) {
    const std::string& lit = p.literal;
    const std::size_t m = lit.size(), n = t.size();
    switch (p.shape) {
    case Shape::Exact:
        return n == m && equalFoldedAscii(t.data(), lit.data(), m);
    case Shape::Prefix:
        return n >= m && equalFoldedAscii(t.data(), lit.data(), m);
    case Shape::Suffix:
        return n >= m && equalFoldedAscii(t.data() + n - m, lit.data(), m);
    case Shape::Contains:
        break; // searched by findFoldedAscii
    case Shape::General:
        break;
    }
    return false;
}

Pattern* compile(std::string_view pattern, char32_t escape) {
    auto* p = new Pattern;
    p->escape = fold(escape);
    p->ascii = isAscii(pattern);
    if (p->ascii) {
        p->asciiFolded.resize(pattern.size());
        for (std::size_t i = 0; i < pattern.size(); ++i)
            p->asciiFolded[i] =
                static_cast<char>(lowerAscii(static_cast<unsigned char>(pattern[i])));
    }
    decodeFolded(pattern, p->folded);
    // a pattern using its escape character is matched the general way
    if (p->ascii && (p->escape == 0 || p->escape >= 0x80 ||
                     p->asciiFolded.find(static_cast<char>(p->escape)) == std::string::npos)) {
        const std::string& f = p->asciiFolded;
        std::size_t b = 0, e = f.size();
        while (b < e && f[b] == '%')
            ++b;
        while (e > b && f[e - 1] == '%')
            --e;
        const std::string_view mid(f.data() + b, e - b);
        if (mid.find_first_of("%_") == std::string_view::npos) {
            const bool lead = b > 0, tail = e < f.size();
            p->shape = lead && tail ? Shape::Contains
                       : lead       ? Shape::Suffix
                       : tail       ? Shape::Prefix
                                    : Shape::Exact;
            p->literal = std::string(mid);
            if (p->shape == Shape::Contains) p->contained = makeNeedle(p->literal);
        }
    }
    if (p->shape == Shape::General) {
        // the longest run of plain ASCII characters between wildcards
        std::string run, required;
        const std::u32string& f = p->folded;
        for (std::size_t i = 0; i <= f.size(); ++i) {
            const char32_t c = i < f.size() ? f[i] : U'%';
            if (c == U'%' || c == U'_' || c >= 0x80 || (p->escape && c == p->escape)) {
                if (run.size() > required.size()) required = run;
                run.clear();
                if (p->escape && c == p->escape) ++i; // the escaped character too
            } else {
                run += static_cast<char>(c);
            }
        }
        p->contained = makeNeedle(required);
    }
    return p;
}

// Matches a text against a prepared pattern: shaped ASCII patterns byte-wise, other
// ASCII patterns on an ASCII text on folded bytes, everything else on folded
// characters.
bool matchCompiled(const Pattern& p, std::string_view text) {
    if (p.shape == Shape::Contains) {
        const Found f = findFoldedAscii(text, p.contained);
        if (f != Found::Maybe) return f == Found::Yes;
    } else if (p.shape != Shape::General) {
        if (matchShape(p, text)) return true;
        if (!mayFoldIntoAscii(text)) return false;
    } else if (!p.contained.lit.empty() && findFoldedAscii(text, p.contained) == Found::No) {
        return false;
    } else if (p.ascii && isAscii(text)) {
        thread_local std::string buf;
        // fold the text in place of a per-byte comparison table
        if (buf.size() < text.size()) buf.resize(text.size() * 2);
        for (std::size_t i = 0; i < text.size(); ++i)
            buf[i] = static_cast<char>(lowerAscii(static_cast<unsigned char>(text[i])));
        return match(p.asciiFolded.data(), p.asciiFolded.size(), buf.data(), text.size(), p.escape);
    }
    thread_local std::u32string buf32;
    decodeFolded(text, buf32);
    return match(p.folded.data(), p.folded.size(), buf32.data(), buf32.size(), p.escape);
}

std::string_view valueText(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

void deletePattern(void* p) {
    delete static_cast<Pattern*>(p);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // SQLite keeps the aux data only while the pattern stays the same (a constant), so
    // a pattern compiled on an earlier row needs neither reading nor checking again.
    if (argc == 2) {
        if (const auto* compiled = static_cast<const Pattern*>(sqlite3_get_auxdata(ctx, 0))) {
            if (const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]))) {
                const std::string_view text(t,
                                            static_cast<std::size_t>(sqlite3_value_bytes(argv[1])));
                sqlite3_result_int(ctx, matchCompiled(*compiled, text) ? 1 : 0);
                return;
            }
        }
    }
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
    char32_t escape = 0;
    if (argc == 3) {
        const std::string_view e = valueText(argv[2]);
        std::size_t i = 0;
        if (!e.empty()) escape = decode(e, i);
        if (e.empty() || i != e.size()) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    const std::string_view pattern = valueText(argv[0]);
    if (pattern.size() > 50000) {
        sqlite3_result_error(ctx, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    auto* compiled = static_cast<Pattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!compiled || (argc == 3 && compiled->escape != fold(escape))) {
        compiled = compile(pattern, escape);
        sqlite3_set_auxdata(ctx, 0, compiled, deletePattern);
        // SQLite may drop the aux data at once; then use it for this row only
        compiled = static_cast<Pattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!compiled) {
            Pattern* once = ::krvs::db::text::compile(pattern, escape);
            const bool r = matchCompiled(*once, valueText(argv[1]));
            delete once;
            sqlite3_result_int(ctx, r ? 1 : 0);
            return;
        }
    }
    sqlite3_result_int(ctx, matchCompiled(*compiled, valueText(argv[1])) ? 1 : 0);
}

int collate(void*, int na, const void* a, int nb, const void* b) {
    return compareNoCase(
        std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(na)),
        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(nb)));
}

} // namespace

bool likeMatch(std::string_view pattern, std::string_view text, char32_t escape) {
    const Pattern* p = compile(pattern, escape);
    const bool r = matchCompiled(*p, text);
    delete p;
    return r;
}

int compareNoCase(std::string_view a, std::string_view b) {
    // ASCII fast path: stops at the first non-ASCII byte of either text
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) >= 0x80) break;
        const int d = lowerAscii(ca) - lowerAscii(cb);
        if (d) return d;
    }
    if (i == n) {
        if (a.size() == b.size()) return 0;
        return a.size() < b.size() ? -1 : 1;
    }
    // The texts agree on their first i ASCII characters: compare the rest by base
    // letters, then by folded characters.
    for (int level = 0; level < 2; ++level) {
        std::size_t ia = i, ib = i;
        while (ia < a.size() && ib < b.size()) {
            char32_t ca = fold(decode(a, ia));
            char32_t cb = fold(decode(b, ib));
            if (level == 0) {
                ca = baseLetter(ca);
                cb = baseLetter(cb);
            }
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        const bool endA = ia >= a.size(), endB = ib >= b.size();
        if (endA != endB) return endA ? -1 : 1;
    }
    return 0;
}

int registerFunctions(sqlite3* db) {
    int rc = sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, collate);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                     likeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                     likeFunction, nullptr, nullptr);
    return rc;
}

} // namespace krvs::db::text
