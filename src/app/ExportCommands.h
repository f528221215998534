#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace krvs {

class Catalogue;
class FlexGrid;

// File > Save List As: the grid as shown, written to a text report or a CSV file.
class ExportCommands {
  public:
    // window is disabled while the list is written and titles the report; the
    // pointer is shown through setMousePointer (ui/MousePointer.h codes); the save
    // dialog opens in programFolder.
    ExportCommands(QWidget* window, const FlexGrid* grid, const Catalogue& catalogue,
                   QString programFolder, std::function<void(int)> setMousePointer);

    // Asks for the file (index 0 text, 1 CSV), whether to replace one that exists,
    // and whether to view the result.
    void saveList(int index);
    // Writes the grid to fileName: format 1 the text report, any other the CSV file.
    // A failure is reported in a box; lines written before it stay in the file.
    void dumpToText(int format, const QString& fileName);

  private:
    QWidget* window_;
    const FlexGrid* grid_;
    const Catalogue& catalogue_;
    QString programFolder_;
    std::function<void(int)> setMousePointer_;
};

} // namespace krvs
