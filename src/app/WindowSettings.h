#pragma once
#include "app/SearchCommands.h"
#include "settings/SettingValues.h"

#include <QString>

class QWidget;

namespace krvs {

// The settings file of one window: its placement, the grid's column widths, the
// search panel, and the count of starts (the first one warns about backups).
class WindowSettings {
  public:
    // minWidthTw is the smallest outer width the window takes, in twips. The panel's
    // controls are the ones the search commands use; the search mode is the window's.
    WindowSettings(QString iniFile, int minWidthTw, const SearchControls& controls,
                   WindowOps window);

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
    int minWidthTw_;
    SearchControls c_;
    WindowOps window_;
    int runCount_ = 0;
    SettingRead lastRead_;
};

} // namespace krvs
