#include "ui/frmOpenWith.h"

#include "ui/FormGeometry.h"
#include "ui/TitleFit.h"
#include "ui/UiServices.h"
#include "util/AppError.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace krvs {

bool isLink(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() > 1 && !QFileInfo(target).isAbsolute();
}

frmOpenWith::frmOpenWith(const QString& file, QList<DesktopApp> apps, QWidget* parent)
    : QDialog(parent), apps_(std::move(apps)) {
    setObjectName(QStringLiteral("frmOpenWith"));
    setWindowTitle(QStringLiteral("Open With"));
    setModal(true);

    lblFile = named(new QLabel(this), "lblFile");
    // A link is shown whole: its last part alone could pass for a file's name.
    lblFile->setText(
        isLink(file)
            ? QStringLiteral("Choose the program you want to use to open this link:\n") + file
            : QStringLiteral("Choose the program you want to use to open this file:\n") +
                  QFileInfo(file).fileName());
    lstPrograms = named(new QListWidget(this), "lstPrograms");
    for (const DesktopApp& app : apps_)
        lstPrograms->addItem(app.name);
    cmdOther = named(new QPushButton(QStringLiteral("&Other program..."), this), "cmdOther");
    cmdOther->setAutoDefault(false);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdOK->setEnabled(false);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOther);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFile);
    layout->addWidget(lstPrograms, 1);
    layout->addLayout(buttons);
    resize(360, 320);
    setMinimumWidth(titleBarWidth(this)); // the whole title stays readable

    connect(lstPrograms, &QListWidget::currentRowChanged, this,
            [this](int row) { cmdOK->setEnabled(row >= 0); });
    connect(lstPrograms, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        if (lstPrograms->currentRow() >= 0) accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdOther, &QPushButton::clicked, this, &frmOpenWith::cmdOther_Click);
    if (parent) CenterForm(parent, this);
}

const DesktopApp* frmOpenWith::chosenApp() const {
    if (!other_.isEmpty()) return nullptr;
    const int row = lstPrograms->currentRow();
    return row >= 0 && row < apps_.size() ? &apps_[row] : nullptr;
}

void frmOpenWith::cmdOther_Click() {
    QFileDialog dlg(this, QStringLiteral("Other program..."), QStringLiteral("/usr/bin"));
    dlg.setObjectName(QStringLiteral("dlgOtherProgram"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (ui().showModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    other_ = dlg.selectedFiles().first();
    accept();
}

void OpenWith(const QString& file) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    frmOpenWith form(file, desktopAppsFor(file), parent);
    if (ui().showModal(form) != QDialog::Accepted) return;
    if (const DesktopApp* app = form.chosenApp()) {
        launchDesktopApp(*app, file);
        return;
    }
    const QString program = form.otherProgram();
    if (program.isEmpty()) return;
    if (!QProcess::startDetached(program, {file}))
        throw AppError(
            err::FileNotFound,
            QStringLiteral("Cannot start %1: %2").arg(program, errorText(err::FileNotFound)));
}

} // namespace krvs
