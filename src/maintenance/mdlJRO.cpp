#include "maintenance/mdlJRO.h"

#include "db/Connection.h"
#include "maintenance/FileOps.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/SizeText.h"

#include <QCoreApplication>

namespace krvs {

namespace {
void doEvents() {
    QCoreApplication::processEvents();
}
} // namespace

bool CompactDB(const std::function<void(int)>& setMousePointer, QString& dbPath, QString& pwd) {
    QString source;
    QString before;
    QString after;
    try {
        source = dbPath;
        // The scratch file lies beside the catalogue, so the swap below is one
        // rename within one folder.
        const QString scratch = maint::scratchPath(maint::folderOf(source));
        before = FileSizeText(source);
        // The engine writes a fresh scratch file, replacing one left behind by an
        // interrupted compaction; the catalogue itself is only read.
        db::CompactDatabase(
            db::connectionString(db::ConnectionUse::CompactSource, source, pwd),
            db::connectionString(db::ConnectionUse::CompactDestination, scratch, pwd));
        doEvents();
        // Rename over the catalogue: at every moment its path holds a whole file.
        db::ReplaceDatabaseFile(scratch, source);
        after = FileSizeText(source);
    } catch (const AppError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
    if (setMousePointer) setMousePointer(pointer::Default);
    doEvents();
    ui().msgBox(source.toUpper() + QStringLiteral(" compacted successfully.") +
                    QStringLiteral("\r\n\r\n") + QStringLiteral("Size before compacting:") +
                    QLatin1Char('\t') + before + QStringLiteral("\r\n") +
                    QStringLiteral("Size after compacting:") + QLatin1Char('\t') + after,
                mb::Information, QStringLiteral("Compact successful"));
    return true;
}

} // namespace krvs
