#pragma once
#include <cstdint>
#include <string>

namespace krvs::checklist {

// One row of the card table, texts in UTF-8: what a checklist holds per card.
struct Card {
    std::int64_t dbId = 0;
    std::string index;
    std::string cardType;
    std::string title;
    std::string category;
    std::string series;
    std::string season;
    bool own = false;
    std::string dbComments;
    std::string userComments;
};

} // namespace krvs::checklist
