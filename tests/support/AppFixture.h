#pragma once
#include "support/ScriptedUi.h"
#include "support/TestCatalogue.h"

#include <QTemporaryDir>
#include <memory>

namespace krvs {
class frmKRVS;
}

namespace krvs::test {

// A program folder of its own with a real catalogue, and a main window started on it
// the way the program starts. Header-only so that tests of lower areas need not link
// the main window.
struct AppFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString catalogue() const { return dir.filePath(QStringLiteral("KRVS.krv")); }
    QString iniFile() const { return dir.filePath(QStringLiteral("KRVS.ini")); }
    // Marks the folder as started before, so that no first-start warning appears.
    void skipFirstStartWarning() const;
};

} // namespace krvs::test
