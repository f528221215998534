#pragma once
#include "app/WindowOps.h"

#include <QString>
#include <optional>

class QAction;

namespace krvs {

class AppError;
class Catalogue;

// File > Backup Database, File > Compact Database and Tools > password: the work
// that closes the catalogue (or rewrites it beside itself) and opens it again.
class FileCommands {
  public:
    // passCommand is the password menu item the password form renames.
    FileCommands(Catalogue& catalogue, QString programFolder, QAction* passCommand,
                 WindowOps window);

    void backup();
    void compact();
    void password();

  private:
    void removeScratchWhileHeld();
    void closeForFileWork();
    void finishFileWork(const std::optional<AppError>& pending, bool silentCancel,
                        const QString& errorTitle);
    void reopenAndReload();
    void copyWithProgress(const QString& target);
    bool compactWithProgress();

    Catalogue& catalogue_;
    QString programFolder_;
    QAction* passCommand_;
    WindowOps window_;
};

} // namespace krvs
