#include "maintenance/FileOps.h"

#include "db/Connection.h"
#include "db/Engine.h"
#include "db/WriteBudget.h"
#include "util/AppError.h"
#include "util/CrashPoint.h"
#include "util/Files.h"
#include "util/ScopeGuard.h"

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

void safeCopy(const QString& source, const QString& target) {
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) throw fileError(errno, source);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) throw fileError(errno, source);

    // The temporary file lies in the target's folder, so the rename below never
    // crosses file systems and the target is replaced in one step.
    const QString folder = folderOf(target);
    requireWritableFolder(folder);
    QByteArray tmpName = native(folder + QLatin1Char('/') + kCopyPrefix + QStringLiteral("XXXXXX"));
    Fd out(::mkstemp(tmpName.data()));
    if (out.get() < 0) throw folderError(errno, folder);
    ScopeGuard removeTemp([&] { ::unlink(tmpName.constData()); });

    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno, source);
        }
        if (got == 0) break;
        // the engine's write budget stands for the disk's free space in tests
        if (!db::engine::takeFromWriteBudget(got)) throw fileError(ENOSPC, target);
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.get(), buffer.data() + done, got - done);
            if (put < 0) {
                if (errno == EINTR) continue;
                throw fileError(errno, target);
            }
            done += put;
        }
        crashPoint("copy-written");
    }
    // The copy gets the source's permission bits, as a plain copy would.
    if (::fchmod(out.get(), st.st_mode & 0777) != 0) throw fileError(errno, target);
    if (::fsync(out.get()) != 0) throw fileError(errno, target);
    if (out.close() != 0) throw fileError(errno, target);
    crashPoint("copy-before-rename");
    if (::rename(tmpName.constData(), native(target).constData()) != 0) {
        const int e = errno;
        throw fileError(e, target);
    }
    removeTemp.dismiss(); // it is the target now
    crashPoint("copy-after-rename");
    // The rename is made durable; a folder that cannot be flushed (some file
    // systems refuse) is not an error: the data itself was flushed.
    syncPath(folder);
}

} // namespace krvs::maint
