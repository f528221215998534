#pragma once
#include <algorithm>
#include <array>
#include <cstddef>

namespace krvs {

// A box of the search panel's Series or Category frame. Everything the program
// knows of a box is its one entry below: its control is named "chk" + key, its
// value is kept under key in the settings' [Checks] section, and a ticked box
// selects the cards whose field holds value. A new box is one more entry.
struct PanelBox {
    const char* key;
    const char* caption;  // with its access key
    int initial;          // 1 ticked, 0 clear: in a new window and without a setting
    const char* value;    // the stored Series or Category text it selects
    int left, top, width; // its place in its frame, in twips
};

// In the order the search statement names them. On screen the boxes stand in
// columns; the tab order and the settings go down each column, left to right.
inline constexpr PanelBox kSeriesBoxes[] = {
    {"VEX", "V&EX", 0, "VEX", 120, 360, 735},
    {"NOR", "NO&R", 1, "NOR", 120, 600, 735},
    {"DR7", "DR&7", 0, "DR7", 960, 600, 700},
    {"ZYN", "ZY&N", 1, "ZYN", 960, 360, 700},
};

inline constexpr PanelBox kCategoryBoxes[] = {
    {"BTS", "Behin&d The Scenes", 0, "Beyond The Scenes", 120, 360, 1785},
    {"Char", "Characte&r", 1, "Character", 120, 600, 1065},
    {"Crew", "Cre&w", 1, "Crew", 120, 840, 945},
    {"Culture", "C&ulture", 0, "Culture", 2040, 360, 945},
    {"Episode", "E&pisode", 1, "Episode", 2040, 600, 945},
    {"FilmSyn", "Film Synopsis", 0, "Film Synopsis", 2040, 840, 1305},
    {"Race", "Ra&ce", 0, "Race", 3360, 360, 945},
    {"Ship", "&Ship", 0, "Ship", 3360, 600, 945},
    {"Tech", "Technology", 0, "Technology", 3360, 840, 1185},
};

inline constexpr std::size_t kSeriesCount = std::size(kSeriesBoxes);
inline constexpr std::size_t kCategoryCount = std::size(kCategoryBoxes);

// The boxes' initial values, in the order of the list.
template <std::size_t N> constexpr std::array<int, N> initialTicks(const PanelBox (&boxes)[N]) {
    std::array<int, N> v{};
    for (std::size_t i = 0; i < N; ++i)
        v[i] = boxes[i].initial;
    return v;
}

// The indexes of the list in tab and settings order: down each column, left to right.
template <std::size_t N> std::array<std::size_t, N> panelOrder(const PanelBox (&boxes)[N]) {
    std::array<std::size_t, N> order{};
    for (std::size_t i = 0; i < N; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&boxes](std::size_t a, std::size_t b) {
        if (boxes[a].left != boxes[b].left) return boxes[a].left < boxes[b].left;
        return boxes[a].top < boxes[b].top;
    });
    return order;
}

} // namespace krvs
