// File > Backup Database, File > Compact Database and Tools > password.
#include "app/frmKRVS.h"

#include "grid/FlexGrid.h"
#include "maintenance/FileOps.h"
#include "maintenance/frmPassword.h"
#include "maintenance/mdlJRO.h"
#include "util/AppError.h"
#include "util/Files.h"
#include "util/MousePointer.h"
#include "util/UiServices.h"

#include <QAction>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <optional>

namespace krvs {

namespace {

// Clears away scratch files an interrupted backup, compaction or password change
// left behind, while this program holds the catalogue (never someone else's).
void removeScratchWhileHeld(frmKRVS& w) {
    if (w.g.gConn && w.g.gConn->State() == db::adStateOpen)
        maint::removeScratchFiles(w.programFolder(), w.g.gDbPath);
}

// Releases the bound recordset and closes and releases the connection. A
// connection already released (a backup or compaction that failed before its
// reopen) cannot be closed: that is an error, and the caller reports it.
void closeDatabase(frmKRVS& w) {
    w.g.gRS.reset();
    w.requireConnection();
    w.g.gConn->Close();
    w.g.gConn.reset();
}

// The catalogue is closed for a file operation: hourglass, connection released,
// grid emptied to its header and one blank row.
void closeForFileWork(frmKRVS& w) {
    w.setMousePointer(pointer::Hourglass);
    frmKRVS::DoEvents();
    closeDatabase(w);
    w.fgdCards->Clear();
    w.fgdCards->setRows(2);
    frmKRVS::DoEvents();
}

// The common end of backup and compaction: the default pointer, then either the
// error box or the record count in the caption.
void finishFileWork(frmKRVS& w, const std::optional<AppError>& pending, bool silentCancel,
                    const QString& errorTitle) {
    w.setMousePointer(pointer::Default);
    frmKRVS::DoEvents();
    if (pending && pending->number() != 0 &&
        !(silentCancel && pending->number() == err::CancelSave)) {
        w.setWindowTitle(QStringLiteral("Korvessa Database"));
        ui().msgBox(errorBoxText(*pending), mb::Critical, errorTitle);
    } else {
        w.setWindowTitle(QStringLiteral("Korvessa Database - (Total records=") +
                         QString::number(w.fgdCards->Rows() - 1) + QStringLiteral(")"));
    }
}

// Opens the catalogue again after a backup or compaction, under the hourglass, and
// shows every card.
void reopenAndReload(frmKRVS& w) {
    w.setMousePointer(pointer::Hourglass);
    frmKRVS::DoEvents();
    w.openCatalogue(db::ConnectionUse::Reopen);
    w.showAllCards();
}

} // namespace

void frmKRVS::mnuBakDB_Click() {
    std::optional<AppError> pending;
    const bool wasOpen = g.gConn && g.gConn->State() == db::adStateOpen;
    bool closed = false; // the grid was emptied for the copy
    try {
        [&] {
            const QString folder = maint::backupFolder(programFolder());
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
            if (sameFile(target, g.gDbPath))
                throw AppError::of(
                    err::PathFileAccess,
                    QStringLiteral("the database cannot be backed up onto itself (") + target +
                        QStringLiteral(")"));

            if (QFileInfo(target).isFile()) {
                setMousePointer(pointer::Default);
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
            removeScratchWhileHeld(*this);
            closed = true;
            closeForFileWork(*this);
            maint::safeCopy(g.gDbPath, target);
            ui().msgBox(QStringLiteral("The database was backed up."), mb::Information,
                        QStringLiteral("Success"));

            reopenAndReload(*this);
        }();
    } catch (const AppError& e) {
        pending = e;
    }

    finishFileWork(*this, pending, true, QStringLiteral("Error in backing up database"));

    // A copy that failed (a full disk, say) left the catalogue closed but whole: it is
    // opened again, so that the user can go on working. A backup refused before the
    // catalogue was closed keeps its rows and shows their count. A reopen that failed
    // (the catalogue opens, its cards cannot be read) claims no records.
    if (pending && wasOpen) {
        if (!g.gConn) {
            std::optional<AppError> reopenError;
            try {
                reopenAndReload(*this);
            } catch (const AppError& e) {
                reopenError = e;
            }
            finishFileWork(*this, reopenError, false,
                           QStringLiteral("Error in backing up database"));
        } else if (!closed && g.gConn->State() == db::adStateOpen) {
            finishFileWork(*this, std::nullopt, false, QString());
        }
    }
}

void frmKRVS::mnuCompact_Click() {
    std::optional<AppError> pending;
    bool closed = false; // the grid was emptied for the compaction
    try {
        // The scratch file goes beside the catalogue: a folder that takes no file is
        // told while the catalogue is still open.
        if (g.gConn && g.gConn->State() == db::adStateOpen)
            maint::requireWritableFolder(maint::folderOf(g.gDbPath));
        removeScratchWhileHeld(*this);
        closed = true;
        closeForFileWork(*this);
        if (!CompactDB([this](int code) { setMousePointer(code); }, g.gDbPath, g.gDbPwd))
            ui().msgBox(QStringLiteral("Failure in compacting database!"), mb::Critical,
                        QStringLiteral("Compact Error"));

        reopenAndReload(*this);
    } catch (const AppError& e) {
        pending = e;
    }

    finishFileWork(*this, pending, false, QStringLiteral("Error in compacting database"));
    // Refused before anything closed: the grid keeps its rows, and their count is shown
    // again. A reload that failed claims no records.
    if (pending && !closed && g.gConn && g.gConn->State() == db::adStateOpen)
        finishFileWork(*this, std::nullopt, false, QString());
}

void frmKRVS::mnuPass_Click() {
    // The new copy is written beside the catalogue and renamed over it: a folder that
    // takes no file is told before anything is asked or written (the system would let
    // root write into a read-only folder anyway).
    try {
        maint::requireWritableFolder(maint::folderOf(g.gDbPath));
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in setting password"));
        return;
    }
    removeScratchWhileHeld(*this);
    frmPassword form(g, mnuPass, this);
    ui().showModal(form);
}

} // namespace krvs
