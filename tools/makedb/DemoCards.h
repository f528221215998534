#pragma once
#include "checklist/Card.h"

#include <cstdint>

namespace krvs::makedb {

using checklist::Card;

// Invented demo cards. Card n depends on n alone (its own seeded generator), so
// the same count always gives the same cards, on every platform and library.
class DemoCards {
  public:
    // Fills card with demo card number n (1-based; its DbId is n).
    static void make(std::int64_t n, Card& card);
};

// A small fixed pseudo-random generator (splitmix64): the same on every platform.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
    bool chance(std::uint32_t percent) { return below(100) < percent; }

  private:
    std::uint64_t state_;
};

} // namespace krvs::makedb
