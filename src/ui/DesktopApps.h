#pragma once
#include <QList>
#include <QString>
#include <memory>

namespace krvs {

// One program the desktop knows for a type of file.
struct DesktopApp {
    QString id;                 // the desktop entry's name, "viewer.desktop"
    QString name;               // what the user reads, "Text Viewer"
    std::shared_ptr<void> info; // the desktop's own record of it
};

// The programs the desktop's application registry lists for the type of the file
// (guessed from its name, and from its first bytes when the name says too little),
// the recommended ones first, each once.
QList<DesktopApp> desktopAppsFor(const QString& file);

// Starts the program with the file. Throws AppError err::FileNotFound when it cannot be started.
void launchDesktopApp(const DesktopApp& app, const QString& file);

} // namespace krvs
