#pragma once
#include "search/SearchMode.h"
#include "search/SearchRequest.h"

#include <functional>

class QWidget;

namespace krvs {

// The few things the search panel's and the grid's commands ask of the main window
// around them. The window is the parent of their boxes and progress; its title is
// the caption that reports a result.
struct WindowOps {
    QWidget* window = nullptr;
    std::function<void(int)> setMousePointer; // pointer::Default or pointer::Hourglass
    // Runs a search into the grid; false for a typed statement without rows.
    std::function<bool(const SearchRequest&)> bindGrid;
    std::function<SearchRequest()> shownSearch;
    std::function<void(const SearchRequest&)> setShownSearch;
    std::function<SearchMode()> searchMode;
};

} // namespace krvs
