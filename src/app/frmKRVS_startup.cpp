#include "app/QueryWatch.h"
#include "app/WindowSettings.h"
#include "app/frmAsk4Pwd.h"
#include "app/frmKRVS.h"
#include "catalogue/EarlyRead.h"
#include "settings/IniFile.h"

#include "catalogue/FileOps.h"
#include "grid/FlexGrid.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/ScopeGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLockFile>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace krvs {

namespace {
const QString kCaption = QStringLiteral("Korvessa Database");

// Off unless asked for (QT_LOGGING_RULES="krvs.startup.info=true"): says when the
// window first shows its total of cards, for timing the start-up from outside.
Q_LOGGING_CATEGORY(lcStartup, "krvs.startup", QtWarningMsg)

// The long "Error in Load" report: the error, then the engine's own error list.
QString loadReport(const AppError& e, const QList<EngineError>& engineErrors) {
    const QString crlf = QStringLiteral("\r\n");
    QString t;
    t += crlf + QStringLiteral("VB Error # ") +
         (e.number() >= 0 ? QStringLiteral(" ") + QString::number(e.number())
                          : QString::number(e.number()));
    t += crlf + QStringLiteral("   Source ") + e.source();
    t += crlf + QStringLiteral("   Description  ") + e.description();
    for (int k = 0; k < engineErrors.size(); ++k) {
        const EngineError& x = engineErrors[k];
        t += crlf + QStringLiteral("ADO Error ") + QString::number(k) + QLatin1Char(':');
        t += crlf + QStringLiteral("   Error   #") + QString::number(x.Number);
        t += crlf + QStringLiteral("   Source       ") + x.Source;
        t += crlf + QStringLiteral("   Description  ") + x.Description;
    }
    return t;
}
} // namespace

void frmKRVS::showPasswordCommand() {
    mnuPass->setText(catalogue_.password().isEmpty()
                         ? QStringLiteral("Add &Password To Database...")
                         : QStringLiteral("Change Database &Password..."));
}

// The commands that need the open catalogue.
void frmKRVS::setCatalogueCommandsEnabled(bool enabled) {
    cmdQuery->setEnabled(enabled);
    mnuPass->setEnabled(enabled);
    mnuCompact->setEnabled(enabled);
    mnuMerge->setEnabled(enabled);
    mnuSummary->setEnabled(enabled);
    fgdCards->setEnabled(enabled);
}

void frmKRVS::Form_Load() {
    // A per-user named lock, held while the program runs; nothing looks at it again,
    // the exclusive open of the catalogue is what keeps a second copy out.
    namedLock_ = std::make_unique<QLockFile>(
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QStringLiteral("QMX_KRVS.lock")));
    namedLock_->setStaleLockTime(0);
    (void)namedLock_->tryLock(0);

    QString password;
    setCatalogueCommandsEnabled(false);
    catalogue_.setFile(programFolderWithSep() + QStringLiteral("KRVS.krv"));

    try {
        try {
            LoadINI();
        } catch (const AppError& e) {
            // a value read from the file cannot be used
            throw settingFault(e, settings_->lastRead());
        }
        show();
        setMousePointer(pointer::Hourglass);
        DoEvents();
        DoEvents();
        if (settings_->runCount() <= 1) {
            ui().msgBox(QStringLiteral(
                            "Make sure you backup your database on a regular basis. If the \r\n"
                            "program is uninstalled then the main database will be deleted but \r\n"
                            "the backups will remain untouched. \r\n"
                            "Go to \"File>Backup Database\" to backup your database."),
                        mb::OKOnly | mb::Exclamation,
                        QStringLiteral("First and Only Backup Warning"));
        }
        for (;;) {
            try {
                openCatalogue(password);
                // Held now: what an interrupted run left beside it is no one else's.
                catalogue_.removeScratchFiles(programFolder());
                removeIniLeftovers(settings_->iniFile());
                break;
            } catch (const AppError& e) {
                if (e.number() != err::BadPassword) throw;
                setWindowTitle(kCaption);
                setMousePointer(pointer::Default);
                if (AskPwd(password, this) == 1) continue; // no limit on tries
                setCatalogueCommandsEnabled(false);
                ui().msgBox(QStringLiteral("Error in loading the database!"), mb::Critical,
                            QStringLiteral("Error in Load"));
                return;
            }
        }
        fgdCards->setColAlignment(0, 1);
        showAllCards();
        setShownSearch(loadAllRequest());
        showPasswordCommand();
        setMousePointer(pointer::Default);
        setWindowTitle(kCaption + QStringLiteral(" - (Total records=") +
                       QString::number(fgdCards->Rows() - 1) + QLatin1Char(')'));
        qCInfo(lcStartup).noquote() << windowTitle();
        setCatalogueCommandsEnabled(true);
    } catch (const AppError& e) {
        loadFailed(e);
    }
    if (fgdCards->isEnabled()) fgdCards->setFocus();
}

// Opens the catalogue, or takes it from the early read when that read this file: the
// window paints while it waits, and Esc or a close stops the read's search.
void frmKRVS::openCatalogue(const QString& password) {
    std::unique_ptr<EarlyRead> early = std::move(early_);
    if (!early || QDir::cleanPath(early->file()) != QDir::cleanPath(catalogue_.file()) ||
        !password.isEmpty()) {
        early.reset();
        catalogue_.open(catalogue_.file(), password);
        return;
    }
    while (!early->waitFor(std::chrono::milliseconds(20)))
        if (watch_->runEvents()) early->stop();
    EarlyRead::Result r = early->take();
    catalogue_.adopt(early->file(), std::move(r.connection));
    if (r.error) throw *r.error;
    earlyRows_ = std::move(r.rows);
}

void frmKRVS::loadFailed(const AppError& e) {
    setWindowTitle(kCaption);
    setMousePointer(pointer::Default);
    QList<EngineError> engineErrors = e.engineErrors();
    if (!catalogue_.errors().isEmpty()) engineErrors = catalogue_.errors();
    ui().msgBox(loadReport(e, engineErrors), mb::Critical, QStringLiteral("Error in Load"));
    catalogue_.clearErrors();
}

void frmKRVS::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    early_.reset(); // a first read never taken (the start-up failed before it)
    // Every step is attempted whatever failed before it.
    releaseRows();
    try {
        if (catalogue_.isOpen()) catalogue_.close();
    } catch (const AppError&) {
    }
    try {
        SaveINI();
    } catch (const AppError&) {
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->objectName() != objectName()) w->close();
}

void frmKRVS::closeEvent(QCloseEvent* e) {
    Form_Unload();
    e->accept();
}

void frmKRVS::cmdExit_Click() {
    close();
}

void frmKRVS::mnuExit_Click() {
    close();
}

} // namespace krvs
