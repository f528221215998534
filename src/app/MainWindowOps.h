#pragma once
#include "db/RowSet.h"

#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace krvs {

class FlexGrid;

// The few things the file and collection commands ask of the main window. The
// window is the parent of the boxes and forms they show; the grid is emptied while
// the catalogue is closed and its row count goes into the caption.
struct MainWindowOps {
    QWidget* window = nullptr;
    FlexGrid* grid = nullptr;
    // pointer::Default or pointer::Hourglass (ui/MousePointer.h).
    std::function<void(int)> setMousePointer;
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
