#pragma once
#include "support/ScriptedUi.h"
#include "support/TestCatalogue.h"

#include <QTemporaryDir>
#include <memory>

namespace krvs::test {

// A temporary program folder for one test: where its catalogue and settings file
// lie. The test writes the catalogue there and starts the main window itself.
struct AppFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString catalogue() const { return dir.filePath(QStringLiteral("KRVS.krv")); }
    QString iniFile() const { return dir.filePath(QStringLiteral("KRVS.ini")); }
    // Marks the folder as started before, so that no first-start warning appears.
    void skipFirstStartWarning() const;
};

} // namespace krvs::test
