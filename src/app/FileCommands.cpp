// File > Backup Database, File > Compact Database and Tools > password.
#include "app/FileCommands.h"

#include "app/BusyProgress.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileOps.h"
#include "db/CompactTick.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/Files.h"
#include "util/ScopeGuard.h"
#include "util/SizeText.h"

#include <QAction>
#include <QFileInfo>
#include <utility>

namespace krvs {

FileCommands::FileCommands(Catalogue& catalogue, QString programFolder, QAction* passCommand,
                           WindowOps window)
    : catalogue_(catalogue), programFolder_(std::move(programFolder)), passCommand_(passCommand),
      window_(std::move(window)) {}

// Clears away scratch files an interrupted backup, compaction or password change
// left behind, while this program holds the catalogue (never someone else's).
void FileCommands::removeScratchWhileHeld() {
    catalogue_.removeScratchFiles(programFolder_);
}

// The catalogue is closed for a file operation: hourglass, connection released,
// grid emptied to its header and one blank row. One already closed (a backup or
// compaction that failed before its reopen) cannot be closed: that is an error,
// and the caller reports it.
void FileCommands::closeForFileWork() {
    window_.setMousePointer(pointer::Hourglass);
    WindowOps::doEvents();
    window_.releaseRows();
    catalogue_.close();
    window_.grid->Clear();
    window_.grid->setRows(2);
    WindowOps::doEvents();
}

// The common end of backup and compaction: the default pointer, then either the
// error box or the record count in the caption.
void FileCommands::finishFileWork(const std::optional<AppError>& pending, bool silentCancel,
                                  const QString& errorTitle) {
    window_.setMousePointer(pointer::Default);
    WindowOps::doEvents();
    if (pending && pending->number() != 0 &&
        !(silentCancel && pending->number() == err::CancelSave)) {
        window_.showBareCaption();
        ui().msgBox(errorBoxText(*pending), mb::Critical, errorTitle);
    } else {
        window_.showRecordCount();
    }
}

// Opens the catalogue again after a backup or compaction, under the hourglass, and
// shows every card.
void FileCommands::reopenAndReload() {
    window_.setMousePointer(pointer::Hourglass);
    WindowOps::doEvents();
    catalogue_.reopen();
    window_.showAllCards();
}

// Copies the catalogue to target in blocks: between two blocks the window repaints and
// drops the user's input, and a box shows the bytes copied once the copy runs long.
// The copy has no Stop: it runs at the disk's speed, and the catalogue stays closed
// until it ends either way.
void FileCommands::copyWithProgress(const QString& target) {
    constexpr qint64 kUnit = 1024; // the bar counts kilobytes, so a large file fits
    const qint64 size = QFileInfo(catalogue_.file()).size();
    BusyProgress progress(window_.window, QStringLiteral("Backup Database"),
                          QStringLiteral("Copying the database..."),
                          int((size + kUnit - 1) / kUnit));
    progress.withoutStop();
    maint::CopySteps steps;
    steps.blockSize = longWorkTiming().copyBlock;
    steps.afterBlock = [&](qint64 done, qint64 total) {
        progress.step(int((done + kUnit - 1) / kUnit), [&] {
            return QStringLiteral("Copying the database: %1 of %2")
                .arg(fileSizeTextFor(done), fileSizeTextFor(total));
        });
    };
    catalogue_.backupTo(target, steps);
}

// Compacts the catalogue in one engine call that keeps the window painting; a box
// with a busy bar shows once it runs long. It cannot be stopped half-way. Any
// failure leaves the catalogue as it was and gives false with no message; success
// shows the sizes before and after.
bool FileCommands::compactWithProgress() {
    std::optional<CompactSizes> sizes;
    {
        BusyProgress progress(window_.window, QStringLiteral("Compact Database"),
                              QStringLiteral("Compacting the database..."), -1);
        progress.withoutStop();
        db::CompactTick previous = db::setCompactTick([&progress] { progress.step(0); });
        ScopeGuard restore([&] { db::setCompactTick(previous); });
        try {
            sizes = catalogue_.compact();
        } catch (const AppError&) {
            return false;
        } catch (const std::exception&) {
            return false;
        }
        WindowOps::doEvents();
    }
    // the success box follows the default pointer: the busy box has gone first
    window_.setMousePointer(pointer::Default);
    WindowOps::doEvents();
    ui().msgBox(catalogue_.file().toUpper() + QStringLiteral(" compacted successfully.") +
                    QStringLiteral("\r\n\r\n") + QStringLiteral("Size before compacting:") +
                    QLatin1Char('\t') + sizes->before + QStringLiteral("\r\n") +
                    QStringLiteral("Size after compacting:") + QLatin1Char('\t') + sizes->after,
                mb::Information, QStringLiteral("Compact successful"));
    return true;
}

void FileCommands::backup() {
    std::optional<AppError> pending;
    const bool wasOpen = catalogue_.isOpen();
    bool closed = false; // the grid was emptied for the copy
    try {
        [&] {
            const QString folder = maint::backupFolder(programFolder_);
            if (!QFileInfo(folder).isDir()) maint::makeFolder(folder);

            SaveDialogRequest request;
            request.title = QStringLiteral("Backup Database As...");
            request.fileName = maint::defaultBackupName(ui().now());
            request.initDir = folder;
            request.filter = QStringLiteral("KRVS Database (*.krv)|*.krv");
            request.filterIndex = 1;
            request.flags = 4;
            const QString target = ui().showSave(request);
            // A name of blanks only is no name: nothing is copied, as for an empty one.
            if (maint::blankFileName(target, QStringLiteral(".krv"))) return;

            // The live catalogue is never a backup target, however its path is written.
            if (sameFile(target, catalogue_.file()))
                throw AppError::of(
                    err::PathFileAccess,
                    QStringLiteral("the database cannot be backed up onto itself (") + target +
                        QStringLiteral(")"));

            if (QFileInfo(target).isFile()) {
                window_.setMousePointer(pointer::Default);
                const int answer = ui().msgBox(
                    target + QStringLiteral("\r\n") + QStringLiteral("The file already exists!") +
                        QStringLiteral("\r\n") + QStringLiteral("Do you want to over-write it?"),
                    mb::YesNo | mb::Exclamation | mb::DefaultButton2,
                    QStringLiteral("Over-write file?"));
                if (answer != mb::AnsYes) return;
                // The old file is not deleted here: the copy below replaces it in one
                // rename once the new data is complete, so a failed copy keeps it.
            }

            // A folder that takes no file is told while the catalogue is still open.
            maint::requireWritableFolder(maint::folderOf(target));
            removeScratchWhileHeld();
            closed = true;
            closeForFileWork();
            copyWithProgress(target);
            ui().msgBox(QStringLiteral("The database was backed up."), mb::Information,
                        QStringLiteral("Success"));

            reopenAndReload();
        }();
    } catch (const AppError& e) {
        pending = e;
    }

    finishFileWork(pending, true, QStringLiteral("Error in backing up database"));

    // A copy that failed (a full disk, say) left the catalogue closed but whole: it is
    // opened again, so that the user can go on working. A backup refused before the
    // catalogue was closed keeps its rows and shows their count. A reopen that failed
    // (the catalogue opens, its cards cannot be read) claims no records.
    if (pending && wasOpen) {
        if (!catalogue_.isOpen() && closed) {
            std::optional<AppError> reopenError;
            try {
                reopenAndReload();
            } catch (const AppError& e) {
                reopenError = e;
            }
            finishFileWork(reopenError, false, QStringLiteral("Error in backing up database"));
        } else if (!closed && catalogue_.isOpen()) {
            finishFileWork(std::nullopt, false, QString());
        }
    }
}

void FileCommands::compact() {
    std::optional<AppError> pending;
    bool closed = false; // the grid was emptied for the compaction
    try {
        // The scratch file goes beside the catalogue: a folder that takes no file is
        // told while the catalogue is still open.
        if (catalogue_.isOpen()) maint::requireWritableFolder(maint::folderOf(catalogue_.file()));
        removeScratchWhileHeld();
        closed = true;
        closeForFileWork();
        if (!compactWithProgress())
            ui().msgBox(QStringLiteral("Failure in compacting database!"), mb::Critical,
                        QStringLiteral("Compact Error"));

        reopenAndReload();
    } catch (const AppError& e) {
        pending = e;
    }

    finishFileWork(pending, false, QStringLiteral("Error in compacting database"));
    // Refused before anything closed: the grid keeps its rows, and their count is shown
    // again. A reload that failed claims no records.
    if (pending && !closed && catalogue_.isOpen()) finishFileWork(std::nullopt, false, QString());
}

void FileCommands::password() {
    // The new copy is written beside the catalogue and renamed over it: a folder that
    // takes no file is told before anything is asked or written (the system would let
    // root write into a read-only folder anyway).
    try {
        maint::requireWritableFolder(maint::folderOf(catalogue_.file()));
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in setting password"));
        return;
    }
    removeScratchWhileHeld();
    frmPassword form(catalogue_, passCommand_, window_.window);
    ui().showModal(form);
}

} // namespace krvs
