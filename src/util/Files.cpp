#include "util/Files.h"

#include "util/CrashPoint.h"
#include "util/ScopeGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krvs {

namespace {

// The six characters after the file's name and a dot that mark replaceWhole's
// temporary file.
constexpr int kTempSuffixLength = 6;

QString randomSuffix() {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < kTempSuffixLength; ++i)
        s += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(62)]);
    return s;
}

// The file a path ends at, following symbolic links; the path itself when there
// is none yet.
QString resolved(const QString& path) {
    const QFileInfo fi(path);
    if (fi.isSymLink()) {
        QString target = fi.canonicalFilePath();
        if (!target.isEmpty()) return target;
    }
    return path;
}

} // namespace

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0) return false;
    if (::stat(QFile::encodeName(b).constData(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool syncPath(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

namespace {

// Writes bytes over the file itself, for a folder that takes no new file while the
// file stays writable (a user's read-only program folder). The room is reserved
// before the first byte is overwritten, so a full disk leaves the old file whole.
int overwriteInPlace(const QByteArray& target, const QByteArray& bytes) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    ScopeGuard closeIt([&] { ::close(fd); });
    if (!bytes.isEmpty()) {
        const int reserved = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) return reserved;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put =
            ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += put;
    }
    if (::ftruncate(fd, off_t(bytes.size())) != 0) return errno;
    if (::fsync(fd) != 0) return errno;
    return 0;
}

} // namespace

int replaceWhole(const QString& path, const QByteArray& bytes, const char* crashStep) {
    const QString file = resolved(path);
    const QByteArray target = QFile::encodeName(file);

    // Plain system calls: every write and the flush report a full disk here, before
    // anything is renamed (a buffered writer may meet it only at the end).
    QByteArray temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = QFile::encodeName(file + QLatin1Char('.') + randomSuffix());
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno == EACCES || errno == EPERM) &&
            ::access(target.constData(), W_OK) == 0)
            return overwriteInPlace(target, bytes);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    bool named = true;
    ScopeGuard cleanUp([&] {
        if (fd >= 0) ::close(fd);
        if (named) ::unlink(temp.constData());
    });

    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        return errno;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += put;
    }
    if (::fsync(fd) != 0) return errno;
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return errno;
    // The new file is whole on the disk: check it before it takes the old one's place.
    struct stat st {};
    if (::stat(temp.constData(), &st) != 0) return errno;
    if (st.st_size != bytes.size()) return EIO;
    crashPoint(crashStep);
    if (::rename(temp.constData(), target.constData()) != 0) return errno;
    named = false;
    // The rename is made durable; a folder that cannot be flushed is not an error.
    syncPath(QFileInfo(file).absolutePath());
    return 0;
}

bool removeReplaceLeftovers(const QString& path) {
    if (path.isEmpty()) return true;
    const QFileInfo fi(resolved(path));
    const QDir dir = fi.absoluteDir();
    QString pattern = fi.fileName() + QLatin1Char('.');
    for (int i = 0; i < kTempSuffixLength; ++i)
        pattern += QLatin1Char('?');
    bool ok = true;
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        ok = QFile::remove(dir.filePath(name)) && ok;
    return ok;
}

} // namespace krvs
