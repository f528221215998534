#include "app/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace krvs {

DataFolder prepareUserDataFolder(const QString& starterCatalogue) {
    DataFolder out;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // Without a home folder the location would fall back to the file system's root,
    // which is no user's folder.
    if (folder.isEmpty() || QDir::homePath() == QDir::rootPath() ||
        QFileInfo(folder).isRelative()) {
        out.error = QStringLiteral("There is no data folder for this user (is HOME set?).");
        return out;
    }
    if (!QDir().mkpath(folder)) {
        out.error = QStringLiteral("The data folder %1 cannot be created.")
                        .arg(QDir::toNativeSeparators(folder));
        return out;
    }
    out.path = folder;

    // The first start: the starter catalogue becomes the user's own, writable copy.
    const QString catalogue = QDir(folder).filePath(QStringLiteral("KRVS.krv"));
    const QFileInfo existing(catalogue);
    if (existing.exists() || existing.isSymLink() || !QFileInfo(starterCatalogue).isFile())
        return out;
    // QFile::copy never replaces a file that is there.
    if (QFile::copy(starterCatalogue, catalogue))
        QFile::setPermissions(catalogue, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return out;
}

} // namespace krvs
