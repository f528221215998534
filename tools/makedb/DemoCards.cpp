#include "makedb/DemoCards.h"

#include <array>
#include <string_view>

namespace krvs::makedb {

namespace {

template <std::size_t N> std::string_view pick(Rng& r, const std::array<std::string_view, N>& a) {
    return a[r.below(static_cast<std::uint32_t>(N))];
}

constexpr std::array<std::string_view, 9> kCategories = {
    "Beyond The Scenes", "Character", "Crew", "Culture",   "Episode",
    "Film Synopsis",     "Race",      "Ship", "Technology"};

constexpr std::array<std::string_view, 8> kCardTypes = {
    "Base", "Foil", "Promo", "Autograph", "Costume", "Chase", "Sketch", "Case Topper"};

// Names; Vellan and Qorth are picked far more often than the rest.
constexpr std::array<std::string_view, 24> kNames = {
    "Vellan",  "Qorth",   "Tarsk",  "Imriel", "Zhadek", "Orvana",  "Kessrin", "Durmaak",
    "Séleth",  "Brønvik", "Ülvar",  "Pakhet", "Yorin",  "Maroq",   "Ilvanne", "Corvath",
    "Jendari", "Xalvor",  "Éverin", "Nødra",  "Ashkel", "Tüvenna", "Rellik",  "Ombrae"};

constexpr std::array<std::string_view, 20> kNouns = {
    "Ship",  "Accord", "Gambit",  "Relic",  "Station", "Council", "Envoy",
    "Drift", "Signal", "Outpost", "Armada", "Beacon",  "Cipher",  "Harbor",
    "Vault", "Rift",   "Citadel", "Exile",  "Pact",    "Engine"};

constexpr std::array<std::string_view, 12> kAdjectives = {
    "Silent", "Crimson", "Last",      "Broken", "Hidden", "Distant",
    "Golden", "Fallen",  "Shattered", "Hollow", "Quiet",  "Burning"};

// Invented words for the comments.
constexpr std::array<std::string_view, 32> kWords = {
    "tovar",   "kelmish", "drenna", "ostrik", "valun",  "peshka", "morrow",  "ilthe",
    "quenra",  "zastov",  "brillo", "fenwa",  "garask", "holmé",  "ivrent",  "jussa",
    "krandel", "lüthor",  "mavren", "nost",   "orrel",  "praxa",  "rønde",   "sivvel",
    "tharn",   "uvrel",   "wistan", "yllic",  "zeffra", "cauld",  "dwemmer", "ebrix"};

std::string_view name(Rng& r) {
    const auto k = r.below(100);
    if (k < 14) return "Vellan";
    if (k < 24) return "Qorth";
    return pick(r, kNames);
}

void title(Rng& r, std::string_view category, std::string& t) {
    t.clear();
    switch (r.below(category == "Character" || category == "Crew" ? 3 : 8)) {
    case 0:
        t += name(r);
        break;
    case 1:
        t += name(r);
        t += ' ';
        t += name(r);
        break;
    case 2:
        t += name(r);
        t += "'s ";
        t += pick(r, kNouns);
        break;
    case 3:
        t += "The ";
        t += pick(r, kAdjectives);
        t += ' ';
        t += pick(r, kNouns);
        break;
    case 4:
        t += pick(r, kNouns);
        t += " of ";
        t += name(r);
        break;
    case 5:
        t += '"';
        t += pick(r, kAdjectives);
        t += ' ';
        t += pick(r, kNouns);
        t += '"';
        break;
    case 6:
        t += name(r);
        t += ", ";
        t += name(r);
        t += " and ";
        t += name(r);
        break;
    default:
        t += name(r);
        t += "'s ";
        t += pick(r, kAdjectives);
        t += ' ';
        t += pick(r, kNouns);
        break;
    }
}

void sentence(Rng& r, std::string& s, int minWords, int spread) {
    const int n = minWords + static_cast<int>(r.below(static_cast<std::uint32_t>(spread)));
    for (int w = 0; w < n; ++w) {
        if (w) s += r.chance(8) ? ", " : " ";
        const auto k = r.below(100);
        if (k < 8) {
            s += name(r);
            if (r.chance(20)) s += "'s";
        } else if (k < 12) {
            s += '"';
            s += pick(r, kWords);
            s += '"';
        } else if (k < 18) {
            s += pick(r, kNouns);
        } else {
            std::string_view word = pick(r, kWords);
            if (w == 0) {
                s += static_cast<char>(word[0] - 'a' + 'A');
                word.remove_prefix(1);
            }
            s += word;
        }
    }
    s += '.';
}

} // namespace

void DemoCards::make(std::int64_t n, Card& c) {
    Rng r(0x4B5256530000ull ^ static_cast<std::uint64_t>(n) * 0x100000001B3ull);
    c.dbId = n;

    // index: mostly card numbers, some specials and promos, so text order differs
    // from number order
    const auto k = r.below(100);
    c.index.clear();
    if (k < 80) {
        c.index = std::to_string(1 + r.below(250));
    } else if (k < 90) {
        c.index = "S" + std::to_string(1 + r.below(12));
    } else if (k < 96) {
        c.index = "P" + std::to_string(1 + r.below(40));
    } else {
        c.index = "R" + std::to_string(1 + r.below(9));
    }

    const auto s = r.below(100);
    c.series = s < 35 ? "VEX" : s < 60 ? "NOR" : s < 85 ? "DR7" : "ZYN";
    c.season = std::to_string(1 + r.below(7));
    c.category = pick(r, kCategories);
    const auto t = r.below(100);
    c.cardType =
        std::string(t < 70 ? kCardTypes[0] : kCardTypes[1 + r.below(kCardTypes.size() - 1)]);
    title(r, c.category, c.title);
    c.own = r.chance(30);

    c.dbComments.clear();
    sentence(r, c.dbComments, 6, 10);
    if (r.chance(40)) {
        c.dbComments += ' ';
        sentence(r, c.dbComments, 4, 8);
    }
    c.userComments.clear();
    if (r.chance(25)) sentence(r, c.userComments, 2, 6);
}

} // namespace krvs::makedb
