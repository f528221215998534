#pragma once
#include "db/RowSet.h"
#include "search/SearchMode.h"
#include "search/SearchRequest.h"

#include <functional>
#include <memory>

class QWidget;

namespace krvs {

class FlexGrid;

// The few things the commands of the search panel, the grid, the file menu and the
// collection ask of the main window around them. The window is the parent of their
// boxes, forms and progress; its title is the caption that reports a result; the grid
// is emptied while the catalogue is closed and its row count goes into the caption.
struct WindowOps {
    QWidget* window = nullptr;
    std::function<void(int)> setMousePointer; // pointer::Default or pointer::Hourglass
    // Runs a search into the grid; false for a typed statement without rows.
    std::function<bool(const SearchRequest&)> bindGrid;
    std::function<SearchRequest()> shownSearch;
    std::function<void(const SearchRequest&)> setShownSearch;
    std::function<SearchMode()> searchMode;
    std::function<void(SearchMode)> setSearchMode;
    FlexGrid* grid = nullptr;
    // Every card in the grid.
    std::function<void()> showAllCards;
    // Lets go of the rows read last, before the catalogue closes.
    std::function<void()> releaseRows;
    // The rows the grid was last given, null when none.
    std::function<std::shared_ptr<const db::RowSet>()> rows;

    // Lets pending window events run once.
    static void doEvents();
    // "Korvessa Database - (Total records=N)" for the grid's rows.
    void showRecordCount() const;
    // The bare title, when the count cannot be trusted.
    void showBareCaption() const;
};

} // namespace krvs
