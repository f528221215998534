#include "support/AppFixture.h"

#include <QFile>

namespace krvs::test {

void AppFolder::skipFirstStartWarning() const {
    QFile f(iniFile());
    if (f.exists()) return;
    if (f.open(QIODevice::WriteOnly)) f.write("[Main]\r\nBackup_Warn=5\r\n");
}

} // namespace krvs::test
