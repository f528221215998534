// File > Merge Checklist... and Tools > Collection Summary...
#include "app/CollectionCommands.h"

#include "app/frmAsk4Pwd.h"
#include "app/frmKRVS.h"
#include "catalogue/FileOps.h"
#include "checklist/Merge.h"
#include "grid/FlexGrid.h"
#include "merge/frmMergePreview.h"
#include "summary/frmSummary.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/CrashPoint.h"
#include "util/Files.h"
#include "util/ScopeGuard.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace krvs {

namespace {

const QString kTitle = QStringLiteral("Merge Checklist");

void showCount(frmKRVS& w) {
    w.setWindowTitle(QStringLiteral("Korvessa Database - (Total records=") +
                     QString::number(w.fgdCards->Rows() - 1) + QStringLiteral(")"));
}

// Reads the chosen file; an encrypted catalogue asks for its password with the
// start-up prompt until it opens or the user cancels. Nothing when cancelled.
std::optional<checklist::Checklist> readChosen(frmKRVS& w, const QString& path) {
    if (checklist::checklistKind(path) != checklist::ChecklistKind::EncryptedCatalogue) {
        w.setMousePointer(pointer::Hourglass);
        checklist::Checklist list = checklist::readChecklist(path);
        w.setMousePointer(pointer::Default);
        return list;
    }
    for (;;) {
        QString password;
        if (AskPwd(password, &w) != 1) return std::nullopt;
        w.setMousePointer(pointer::Hourglass);
        checklist::Checklist list = checklist::readChecklist(path, password);
        w.setMousePointer(pointer::Default);
        if (!list.badPassword) return list;
        ui().msgBox(QStringLiteral("Not a valid password."), mb::Exclamation, kTitle);
    }
}

} // namespace

void mnuMerge_Click(frmKRVS& w) {
    std::optional<AppError> pending;
    bool closed = false; // the catalogue was closed for the backup
    try {
        w.catalogue().connection();
        OpenDialogRequest request;
        request.title = kTitle;
        request.filter = QStringLiteral("Checklists (*.csv;*.krv)|*.csv;*.krv|"
                                        "CSV Files (*.csv)|*.csv|KRVS Database (*.krv)|*.krv|"
                                        "All Files (*.*)|*.*");
        request.initDir = w.programFolder();
        const QString path = ui().showOpen(request);
        if (path.isEmpty()) return;
        if (sameFile(path, w.catalogue().file())) {
            ui().msgBox(QStringLiteral("The catalogue cannot be merged into itself."),
                        mb::Exclamation, kTitle);
            return;
        }

        const auto list = readChosen(w, path);
        if (!list) return;
        if (!list->error.isEmpty()) {
            ui().msgBox(QStringLiteral("The checklist was not merged:\r\n") + list->error,
                        mb::Exclamation, kTitle);
            return;
        }

        w.setMousePointer(pointer::Hourglass);
        ScopeGuard pointerBack([&w] { w.setMousePointer(pointer::Default); });
        const auto rows = w.catalogue().connection().execute(checklist::catalogueStatement());
        const checklist::MergePlan plan = checklist::planMerge(*rows, *list);
        if (!plan.error.isEmpty()) {
            w.setMousePointer(pointer::Default);
            ui().msgBox(QStringLiteral("The checklist was not merged:\r\n") + plan.error,
                        mb::Exclamation, kTitle);
            return;
        }
        w.setMousePointer(pointer::Default);
        frmMergePreview preview(plan, path, &w);
        if (ui().showModal(preview) != QDialog::Accepted) return;
        if (plan.changesNothing()) {
            ui().msgBox(QStringLiteral("The catalogue already holds this checklist; nothing was "
                                       "changed.\r\n\r\n") +
                            mergeCountsText(plan),
                        mb::Information, kTitle);
            return;
        }

        // The backup is a copy of the closed file, as File > Backup Database makes it.
        const QString folder = maint::backupFolder(w.programFolder());
        if (!QFileInfo(folder).isDir()) maint::makeFolder(folder);
        maint::requireWritableFolder(folder);
        const QString backup =
            checklist::mergeBackupPath(folder, maint::defaultBackupName(ui().now()));
        w.setMousePointer(pointer::Hourglass);
        frmKRVS::DoEvents();
        w.releaseRows();
        w.fgdCards->Clear();
        w.fgdCards->setRows(2);
        closed = true;
        w.catalogue().close();
        w.catalogue().backupTo(backup);
        crashPoint("merge-backed-up");
        w.catalogue().reopen();
        closed = false;
        checklist::applyMerge(w.catalogue().connection(), plan);
        crashPoint("merge-applied");

        w.showAllCards();
        w.setMousePointer(pointer::Default);
        showCount(w);
        ui().msgBox(QStringLiteral("The checklist was merged.\r\n\r\n") + mergeCountsText(plan) +
                        QStringLiteral("\r\n\r\nThe catalogue as it was before is in ") +
                        QDir::toNativeSeparators(backup),
                    mb::Information, kTitle);
        return;
    } catch (const AppError& e) {
        pending = e;
    }
    if (pending->number() == err::CancelSave) return;

    // Nothing was merged: the catalogue is open again and shows every card.
    std::optional<AppError> reopenError;
    try {
        if (closed || !w.catalogue().isOpen()) w.catalogue().reopen();
        if (!w.rows()) w.showAllCards();
    } catch (const AppError& e) {
        reopenError = e;
    }
    w.setMousePointer(pointer::Default);
    if (w.catalogue().isOpen() && w.rows()) showCount(w);
    ui().msgBox(errorBoxText(*pending), mb::Critical, QStringLiteral("Error in merging checklist"));
    if (reopenError)
        ui().msgBox(errorBoxText(*reopenError), mb::Critical,
                    QStringLiteral("Error in merging checklist"));
}

void mnuSummary_Click(frmKRVS& w) {
    try {
        db::Connection& connection = w.catalogue().connection();
        w.setMousePointer(pointer::Hourglass);
        ScopeGuard pointerBack([&w] { w.setMousePointer(pointer::Default); });
        const summary::CollectionCounts counts = summary::countCollection(connection);
        const summary::CountRow shown =
            w.rows()
                ? summary::countShown(*w.rows())
                : summary::CountRow{QStringLiteral("Shown in the grid"), QString(), 0, 0, false};
        w.setMousePointer(pointer::Default);
        frmSummary form(counts, shown, &w);
        ui().showModal(form);
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in Collection Summary"));
    }
}

} // namespace krvs
