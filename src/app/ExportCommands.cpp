#include "app/ExportCommands.h"

#include "app/BusyProgress.h"
#include "util/TextAndInput.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileOps.h"
#include "export/ResultsExport.h"
#include "grid/FlexGrid.h"
#include "ui/MousePointer.h"
#include "ui/Shell.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"
#include "util/WriteBudget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace krvs {

namespace {

// The runtime's file errors, by what went wrong.
AppError openError(const QString& fileName) {
    if (!QFileInfo(fileName).absoluteDir().exists()) return AppError::of(err::PathNotFound);
    return AppError::of(err::PathFileAccess);
}

// A failed write names the file and the system's reason, "Disk full" for a full disk.
AppError writeError(int errnum, const QString& fileName) {
    const int number = errnum == ENOSPC || errnum == EDQUOT ? err::DiskFull : err::DeviceIO;
    return AppError::of(number, QDir::toNativeSeparators(fileName) + QStringLiteral(" (") +
                                    QString::fromLocal8Bit(std::strerror(errnum)) +
                                    QStringLiteral(")"));
}

// Writes all of bytes to the open file, unbuffered: a full disk is met at the
// write that does not fit, never hidden in a later flush.
void writeAll(int fd, const QByteArray& bytes, const QString& fileName) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw writeError(errno, fileName);
        }
        done += put;
    }
}

} // namespace

ExportCommands::ExportCommands(QWidget* window, const FlexGrid* grid, const Catalogue& catalogue,
                               QString programFolder, std::function<void(int)> setMousePointer)
    : window_(window), grid_(grid), catalogue_(catalogue), programFolder_(std::move(programFolder)),
      setMousePointer_(std::move(setMousePointer)) {}

void ExportCommands::saveList(int index) {
    std::optional<AppError> pending;
    setMousePointer_(pointer::Hourglass);
    window_->setEnabled(false);
    {
        ScopeGuard restore([this] {
            setMousePointer_(pointer::Default);
            window_->setEnabled(true);
        });
        try {
            SaveDialogRequest request;
            if (index == 0) {
                request.title = QStringLiteral("Save List as Plain Text...");
                request.filter = QStringLiteral(
                    "Text File (*.txt)|*.txt|Data File (*.dat)|*.dat|All Files (*.*)|*.*");
            } else {
                request.title = QStringLiteral("Save List as CSV...");
                request.filter = QStringLiteral("CSV File (*.csv)|*.csv|All Files (*.*)|*.*");
            }
            request.fileName = QString();
            request.initDir = programFolder_;
            request.filterIndex = 1;
            request.flags = 4; // hides the read-only box; the overwrite question is ours
            const QString fileName = ui().showSave(request);
            if (trimBlanks(fileName).isEmpty()) return;

            // Every existing file is asked about, hidden ones included, so nothing
            // is replaced unseen.
            if (QFileInfo(fileName).isFile()) {
                const QString question =
                    fileName + QStringLiteral("\r\n") + QStringLiteral("The file already exists.") +
                    QStringLiteral("\r\n") + QStringLiteral("Do you want to overwrite it?");
                if (ui().msgBox(question, mb::YesNo | mb::Exclamation | mb::DefaultButton2,
                                QStringLiteral("File already exists")) != mb::AnsYes) {
                    ui().msgBox(QStringLiteral("The file was not generated."), mb::Information,
                                QStringLiteral("File write aborted"));
                    return;
                }
                maint::requireWritableFolder(QFileInfo(fileName).absolutePath());
                if (!QFile::remove(fileName)) throw AppError::of(err::PathFileAccess);
            }

            dumpToText(index == 0 ? 1 : 2, fileName);

            if (ui().msgBox(QStringLiteral("Would you like to view the file?"),
                            mb::YesNo | mb::Question, QStringLiteral("View file?")) == mb::AnsYes)
                ShellExec(fileName, 1, QString());
        } catch (const AppError& e) {
            pending = e;
        }
    }
    if (pending && pending->number() != err::CancelSave)
        ui().msgBox(errorBoxText(*pending), mb::Critical, QStringLiteral("Error in saving file"));
}

// The grid as shown: the caption row, then the data rows in their current order.
void ExportCommands::dumpToText(int format, const QString& fileName) {
    QFile file(fileName);
    try {
        // A read-only folder is not written, even by a user the system would let.
        const QString folder = QFileInfo(fileName).absolutePath();
        if (QFileInfo(folder).isDir()) maint::requireWritableFolder(folder);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            throw openError(fileName);

        const FlexGrid* grid = grid_;
        GridSource source;
        source.rows = [grid] { return grid->Rows(); };
        source.cols = [grid] { return grid->Cols(); };
        source.textMatrix = [grid](int r, int c) { return grid->TextMatrix(r, c); };
        // A caption is written for every column with a width (every shown one).
        source.colWidth = [grid](int c) { return grid->ColWidth(c); };
        // Between rows the window repaints and drops the user's input; a box shows the
        // rows written once the export runs long. It has no Stop: the file would be cut
        // short.
        const int total = qMax(0, grid->Rows() - 1);
        BusyProgress progress(window_, QStringLiteral("Save List"),
                              QStringLiteral("Writing the list..."), total);
        progress.withoutStop();
        source.rowDone = [&](int row) {
            if (row % 64 != 0 && row != total) return; // a clock read costs more than a row
            progress.step(row, [&] {
                return QStringLiteral("Writing the list: %1 of %2 rows").arg(row).arg(total);
            });
        };
        const ExportHeader header{window_->windowTitle(), catalogue_.file(), ui().now()};

        TextEncoder encoder; // the system's character set
        writeExport(format, source, header, encoder, [&](const QByteArray& bytes) {
            // the engine's write budget stands for the disk's free space in tests
            if (!takeFromWriteBudget(bytes.size())) throw writeError(ENOSPC, fileName);
            writeAll(file.handle(), bytes, fileName);
        });
        // Some files (a pipe, a device) take no flush; that is no failure.
        if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
            throw writeError(errno, fileName);
        file.close();
    } catch (const AppError& e) {
        file.close();
        if (e.number() != err::CancelSave)
            ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in dump-to-text"));
    }
}

} // namespace krvs
