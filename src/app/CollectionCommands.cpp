// File > Merge Checklist... and Tools > Collection Summary...
#include "app/CollectionCommands.h"

#include "app/frmAsk4Pwd.h"
#include "catalogue/Catalogue.h"
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
#include <utility>

namespace krvs {

namespace {
const QString kTitle = QStringLiteral("Merge Checklist");
} // namespace

CollectionCommands::CollectionCommands(Catalogue& catalogue, QString programFolder,
                                       WindowOps window)
    : catalogue_(catalogue), programFolder_(std::move(programFolder)), window_(std::move(window)) {}

// Reads the chosen file; an encrypted catalogue asks for its password with the
// start-up prompt until it opens or the user cancels. Nothing when cancelled.
std::optional<checklist::Checklist> CollectionCommands::readChosen(const QString& path) {
    if (checklist::checklistKind(path) != checklist::ChecklistKind::EncryptedCatalogue) {
        window_.setMousePointer(pointer::Hourglass);
        checklist::Checklist list = checklist::readChecklist(path);
        window_.setMousePointer(pointer::Default);
        return list;
    }
    for (;;) {
        QString password;
        if (AskPwd(password, window_.window) != 1) return std::nullopt;
        window_.setMousePointer(pointer::Hourglass);
        checklist::Checklist list = checklist::readChecklist(path, password);
        window_.setMousePointer(pointer::Default);
        if (!list.badPassword) return list;
        ui().msgBox(QStringLiteral("Not a valid password."), mb::Exclamation, kTitle);
    }
}

void CollectionCommands::merge() {
    std::optional<AppError> pending;
    bool closed = false; // the catalogue was closed for the backup
    try {
        catalogue_.connection();
        OpenDialogRequest request;
        request.title = kTitle;
        request.filter = QStringLiteral("Checklists (*.csv;*.krv)|*.csv;*.krv|"
                                        "CSV Files (*.csv)|*.csv|KRVS Database (*.krv)|*.krv|"
                                        "All Files (*.*)|*.*");
        request.initDir = programFolder_;
        const QString path = ui().showOpen(request);
        if (path.isEmpty()) return;
        if (sameFile(path, catalogue_.file())) {
            ui().msgBox(QStringLiteral("The catalogue cannot be merged into itself."),
                        mb::Exclamation, kTitle);
            return;
        }

        const auto list = readChosen(path);
        if (!list) return;
        if (!list->error.isEmpty()) {
            ui().msgBox(QStringLiteral("The checklist was not merged:\r\n") + list->error,
                        mb::Exclamation, kTitle);
            return;
        }

        window_.setMousePointer(pointer::Hourglass);
        ScopeGuard pointerBack([this] { window_.setMousePointer(pointer::Default); });
        const auto rows = catalogue_.connection().execute(checklist::catalogueStatement());
        const checklist::MergePlan plan = checklist::planMerge(*rows, *list);
        if (!plan.error.isEmpty()) {
            window_.setMousePointer(pointer::Default);
            ui().msgBox(QStringLiteral("The checklist was not merged:\r\n") + plan.error,
                        mb::Exclamation, kTitle);
            return;
        }
        window_.setMousePointer(pointer::Default);
        frmMergePreview preview(plan, path, window_.window);
        if (ui().showModal(preview) != QDialog::Accepted) return;
        if (plan.changesNothing()) {
            ui().msgBox(QStringLiteral("The catalogue already holds this checklist; nothing was "
                                       "changed.\r\n\r\n") +
                            mergeCountsText(plan),
                        mb::Information, kTitle);
            return;
        }

        // The backup is a copy of the closed file, as File > Backup Database makes it.
        const QString folder = maint::backupFolder(programFolder_);
        if (!QFileInfo(folder).isDir()) maint::makeFolder(folder);
        maint::requireWritableFolder(folder);
        const QString backup =
            checklist::mergeBackupPath(folder, maint::defaultBackupName(ui().now()));
        window_.setMousePointer(pointer::Hourglass);
        WindowOps::doEvents();
        window_.releaseRows();
        window_.grid->Clear();
        window_.grid->setRows(2);
        closed = true;
        catalogue_.close();
        catalogue_.backupTo(backup);
        crashPoint("merge-backed-up");
        catalogue_.reopen();
        closed = false;
        checklist::applyMerge(catalogue_.connection(), plan);
        crashPoint("merge-applied");

        window_.showAllCards();
        window_.setMousePointer(pointer::Default);
        window_.showRecordCount();
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
        if (closed || !catalogue_.isOpen()) catalogue_.reopen();
        if (!window_.rows()) window_.showAllCards();
    } catch (const AppError& e) {
        reopenError = e;
    }
    window_.setMousePointer(pointer::Default);
    if (catalogue_.isOpen() && window_.rows()) window_.showRecordCount();
    ui().msgBox(errorBoxText(*pending), mb::Critical, QStringLiteral("Error in merging checklist"));
    if (reopenError)
        ui().msgBox(errorBoxText(*reopenError), mb::Critical,
                    QStringLiteral("Error in merging checklist"));
}

void CollectionCommands::summary() {
    try {
        db::Connection& connection = catalogue_.connection();
        window_.setMousePointer(pointer::Hourglass);
        ScopeGuard pointerBack([this] { window_.setMousePointer(pointer::Default); });
        const summary::CollectionCounts counts = summary::countCollection(connection);
        const auto rows = window_.rows();
        const summary::CountRow shown =
            rows ? summary::countShown(*rows)
                 : summary::CountRow{QStringLiteral("Shown in the grid"), QString(), 0, 0, false};
        window_.setMousePointer(pointer::Default);
        frmSummary form(counts, shown, window_.window);
        ui().showModal(form);
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in Collection Summary"));
    }
}

} // namespace krvs
