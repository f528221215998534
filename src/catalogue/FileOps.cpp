#include "catalogue/FileOps.h"

#include "db/Connection.h"
#include "db/Engine.h"
#include "util/AppError.h"
#include "util/CrashPoint.h"
#include "util/Files.h"
#include "util/ScopeGuard.h"
#include "util/WriteBudget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace krvs::maint {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The runtime's error for a system error number.
int errorNumber(int errnum) {
    switch (errnum) {
    case ENOENT:
        return err::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return err::PermissionDenied;
    case EEXIST:
    case EISDIR:
    case ENOTEMPTY:
        return err::FileAlreadyExists;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case ENOTDIR:
        return err::PathNotFound;
    default:
        return err::PathFileAccess;
    }
}

// The error's text is followed by the path and the system's reason.
AppError pathError(int number, int errnum, const QString& path) {
    return AppError::of(number, QDir::toNativeSeparators(path) + QStringLiteral(" (") +
                                    QString::fromLocal8Bit(std::strerror(errnum)) +
                                    QStringLiteral(")"));
}

AppError fileError(int errnum, const QString& path) {
    return pathError(errorNumber(errnum), errnum, path);
}

// A missing folder while creating a file in it is a missing path, not a missing file.
AppError folderError(int errnum, const QString& folder) {
    if (errnum == ENOENT || errnum == ENOTDIR) return pathError(err::PathNotFound, errnum, folder);
    return fileError(errnum, folder);
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result (a deferred write error shows up here).
    int close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

  private:
    int fd_;
};

// The temporary copy of a backup: this prefix and six characters of mkstemp.
const QString kCopyPrefix = QStringLiteral(".krvs-copy-");

} // namespace

QString backupFolder(const QString& programFolder) {
    return programFolder + QStringLiteral("/backup/");
}

QString defaultBackupName(const QDateTime& when) {
    // The month abbreviation is always the English one, whatever the user's locale.
    return QLocale::c().toString(when.date(), QStringLiteral("MMMdd-yyyy")).toUpper() +
           QStringLiteral(".krv");
}

bool blankFileName(const QString& path, const QString& suffix) {
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!suffix.isEmpty() && name.endsWith(suffix)) name.chop(suffix.size());
    return name.trimmed().isEmpty();
}

QString scratchPath(const QString& folder) {
    if (folder.endsWith(QLatin1Char('/'))) return folder + QStringLiteral("backup.qmx");
    return folder + QStringLiteral("/backup.qmx");
}

QString folderOf(const QString& filePath) {
    const qsizetype slash = filePath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    if (slash == 0) return QStringLiteral("/");
    return filePath.left(slash);
}

void requireWritableFolder(const QString& folder) {
    const QByteArray path = native(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) throw folderError(errno, folder);
    if (!S_ISDIR(st.st_mode)) throw folderError(ENOTDIR, folder);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.constData(), W_OK) != 0)
        throw fileError(EACCES, folder);
}

void makeFolder(const QString& folder) {
    requireWritableFolder(QFileInfo(QDir::cleanPath(folder)).path());
    if (::mkdir(native(folder).constData(), 0777) != 0) throw folderError(errno, folder);
}

bool removeScratchFiles(const QString& programFolder, const QString& catalogue) {
    bool ok = db::engine::removeDatabaseFiles(db::passwordScratchPath(catalogue));
    // The compaction's copy: part-written, or whole but not yet renamed over the
    // catalogue (the catalogue itself was not touched then).
    const QString compacted = scratchPath(folderOf(catalogue));
    ok = db::engine::removeDatabaseFiles(db::compactScratchPath(compacted)) && ok;
    if (QFileInfo(compacted).isFile()) ok = db::engine::removeDatabaseFiles(compacted) && ok;
    const QDir backups(backupFolder(programFolder));
    const QStringList copies =
        backups.entryList({kCopyPrefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString& name : copies)
        ok = QFile::remove(backups.filePath(name)) && ok;
    return ok;
}

namespace {

// Writes the whole of in to out, flushed to the disk, with the source's permission bits.
void copyData(int in, int out, const struct stat& st, const QString& source, const QString& target,
              const CopySteps& steps) {
    std::vector<char> buffer(size_t(qMax<qint64>(4096, steps.blockSize)));
    qint64 copied = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno, source);
        }
        if (got == 0) break;
        // the write budget stands for the disk's free space in tests
        if (!takeFromWriteBudget(got)) throw fileError(ENOSPC, target);
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                throw fileError(errno, target);
            }
            done += put;
        }
        crashPoint("copy-written");
        copied += got;
        if (steps.afterBlock) steps.afterBlock(copied, qint64(st.st_size));
    }
    // The copy gets the source's permission bits, as a plain copy would.
    if (::fchmod(out, st.st_mode & 0777) != 0) throw fileError(errno, target);
    if (::fsync(out) != 0) throw fileError(errno, target);
}

// Gives the unnamed file fd the name path; false with errno set when that fails.
bool linkUnnamed(int fd, const QByteArray& path) {
    if (::linkat(fd, "", AT_FDCWD, path.constData(), AT_EMPTY_PATH) == 0) return true;
    if (errno != ENOENT && errno != EPERM) return false;
    // Without the right to link by descriptor, the same file through /proc.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0;
}

// A free name for a temporary copy in folder.
QByteArray tempName(const QString& folder) {
    QByteArray name = native(folder + QLatin1Char('/') + kCopyPrefix + QStringLiteral("XXXXXX"));
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw folderError(errno, folder);
    ::close(fd);
    ::unlink(name.constData());
    return name;
}

} // namespace

void safeCopy(const QString& source, const QString& target, const CopySteps& steps) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) throw fileError(errno, source);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) throw fileError(errno, source);

    // The copy is written into a file without a name in the target's folder, so that
    // a kill part-way leaves nothing behind there, whatever folder the user chose;
    // it gets its name only once it is complete. (A named temporary file would
    // outlive a kill in a folder no later start looks into.)
    const QString folder = folderOf(target);
    requireWritableFolder(folder);
    const QByteArray to = native(target);
    Fd out(::open(native(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (out.get() < 0) {
        // Some file systems have no unnamed files: a named one, removed on failure.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw folderError(errno, folder);
        QByteArray tmpName =
            native(folder + QLatin1Char('/') + kCopyPrefix + QStringLiteral("XXXXXX"));
        Fd named(::mkstemp(tmpName.data()));
        if (named.get() < 0) throw folderError(errno, folder);
        ScopeGuard removeTemp([&] { ::unlink(tmpName.constData()); });
        copyData(in.get(), named.get(), st, source, target, steps);
        if (named.close() != 0) throw fileError(errno, target);
        crashPoint("copy-before-rename");
        if (::rename(tmpName.constData(), to.constData()) != 0) throw fileError(errno, target);
        removeTemp.dismiss(); // it is the target now
        crashPoint("copy-after-rename");
        syncPath(folder);
        return;
    }

    copyData(in.get(), out.get(), st, source, target, steps);
    crashPoint("copy-before-rename");
    if (!linkUnnamed(out.get(), to)) {
        if (errno != EEXIST) throw fileError(errno, target);
        // A file the user agreed to replace: the complete copy is named beside it and
        // renamed over it in one step, so a failure keeps the old file.
        const QByteArray tmpName = tempName(folder);
        if (!linkUnnamed(out.get(), tmpName)) throw fileError(errno, target);
        if (::rename(tmpName.constData(), to.constData()) != 0) {
            const int e = errno;
            ::unlink(tmpName.constData());
            throw fileError(e, target);
        }
    }
    if (out.close() != 0) throw fileError(errno, target);
    crashPoint("copy-after-rename");
    // The new name is made durable; a folder that cannot be flushed (some file
    // systems refuse) is not an error: the data itself was flushed.
    syncPath(folder);
}

} // namespace krvs::maint
