#pragma once
#include "search/PanelBoxes.h"
#include "search/SearchMode.h"
#include "settings/SettingValues.h"

#include <QString>
#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QRadioButton;
class QWidget;

namespace krvs {

class FlexGrid;

// The controls whose values the settings file keeps.
struct SettingsControls {
    FlexGrid* grid = nullptr;
    QAction* autoAsterisks = nullptr;
    QComboBox* search = nullptr;
    QCheckBox* title = nullptr;
    QCheckBox* comments = nullptr;
    std::array<QCheckBox*, kSeriesCount> series{};
    std::array<QRadioButton*, 3> owns{}; // yes, no, both
    std::array<QCheckBox*, kCategoryCount> categories{};
};

// The search mode belongs to the window; the settings read and restore it.
struct SettingsModeOps {
    std::function<SearchMode()> searchMode;
    std::function<void(SearchMode)> setSearchMode;
};

// The settings file of one window: its placement, the grid's column widths, the
// search panel, and the count of starts (the first one warns about backups).
class WindowSettings {
  public:
    // minWidthTw is the smallest outer width the window takes, in twips.
    WindowSettings(QString iniFile, QWidget* window, int minWidthTw,
                   const SettingsControls& controls, SettingsModeOps mode);

    const QString& iniFile() const { return iniFile_; }
    // The start count as the last load left it: 1 at the first start.
    int runCount() const { return runCount_; }
    // The value read last, for the report of one that cannot be used.
    const SettingRead& lastRead() const { return lastRead_; }

    QString read(const QString& section, const QString& key, const QString& def);
    long write(const QString& section, const QString& key, const QString& value);

    // Restores the window and the panel; a value that cannot be used raises AppError
    // and leaves what follows it as it stands.
    void load();
    // Stores them, replacing the file in one step.
    void save() const;

  private:
    void restorePlacement();

    QString iniFile_;
    QWidget* window_;
    int minWidthTw_;
    SettingsControls c_;
    SettingsModeOps mode_;
    int runCount_ = 0;
    SettingRead lastRead_;
};

} // namespace krvs
