#include "maintenance/frmPassword.h"

#include "util/LabelFit.h"

#include "maintenance/FileOps.h"

#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Engine.h"
#include "db/Recordset.h"
#include "util/AppError.h"
#include "util/DialogKeys.h"
#include "util/FocusHook.h"
#include "util/FormGeometry.h"
#include "util/TextAndInput.h"
#include "util/Twips.h"
#include "util/UiServices.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace krvs {

namespace {

const QString kCaptionAdd = QStringLiteral("Add &Password To Database...");
const QString kCaptionChange = QStringLiteral("Change Database &Password...");
const QString kAgain = QStringLiteral("\r\nPlease try again.");
const QColor kGrey(0xC0, 0xC0, 0xC0);
const QColor kWhite(0xFF, 0xFF, 0xFF);

void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

void moveTop(QWidget* w, int topTwips) {
    w->move(w->x(), twipsToPx(topTwips));
}

void setBoxColour(QLineEdit* box, const QColor& colour) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base, colour);
    box->setPalette(p);
}

QLineEdit* passwordBox(QWidget* parent, const char* name, const QString& tip) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setEchoMode(QLineEdit::Password);
    box->setToolTip(tip);
    onGotFocus(box, [box] { SelectAllText(box); });
    return box;
}

} // namespace

QString frmPassword::setStatement(const QString& newPwd) {
    return QStringLiteral("ALTER DATABASE PASSWORD ") + newPwd + QStringLiteral(" ") +
           db::kNoPasswordToken + QStringLiteral(";");
}

QString frmPassword::changeStatement(const QString& newPwd, const QString& oldPwd) {
    return QStringLiteral("ALTER DATABASE PASSWORD ") + newPwd + QStringLiteral(" ") + oldPwd +
           QStringLiteral(";");
}

QString frmPassword::disableStatement(const QString& oldPwd) {
    return QStringLiteral("ALTER DATABASE PASSWORD ") + db::kNoPasswordToken + QStringLiteral(" ") +
           oldPwd + QStringLiteral(";");
}

frmPassword::frmPassword(Globals& g, QAction* mnuPass, QWidget* parent)
    : QDialog(parent), g_(g), mnuPass_(mnuPass) {
    setObjectName(QStringLiteral("frmPassword"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Every typed character shows as "*".
    setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    createControls();
    Form_Load();
}

void frmPassword::createControls() {
    fraOldPswd = new QGroupBox(this);
    fraOldPswd->setObjectName(QStringLiteral("fraOldPswd"));
    place(fraOldPswd, 120, 120, 4095, 735);
    lblOldPswd = new QLabel(QStringLiteral("Old Password:"), fraOldPswd);
    lblOldPswd->setObjectName(QStringLiteral("lblOldPswd"));
    place(lblOldPswd, 120, 320, 1215, 255);
    txtOldPswd = passwordBox(fraOldPswd, "txtOldPswd", QStringLiteral("The old password"));
    place(txtOldPswd, 2000, 240, 2000, 285);
    lblOldPswd->setBuddy(txtOldPswd);

    chkDisPass = new QCheckBox(QStringLiteral("&Disable the database password"), this);
    chkDisPass->setObjectName(QStringLiteral("chkDisPass"));
    place(chkDisPass, 120, 1080, 3735, 195);

    fraNewPswd = new QGroupBox(this);
    fraNewPswd->setObjectName(QStringLiteral("fraNewPswd"));
    place(fraNewPswd, 120, 1440, 4095, 1215);
    lblNewPswd = new QLabel(QStringLiteral("&New Password(4-16):"), fraNewPswd);
    lblNewPswd->setObjectName(QStringLiteral("lblNewPswd"));
    place(lblNewPswd, 120, 320, 1575, 255);
    txtNewPswd = passwordBox(fraNewPswd, "txtNewPswd", QStringLiteral("The new password"));
    place(txtNewPswd, 2000, 240, 2000, 285);
    lblNewPswd->setBuddy(txtNewPswd);
    lblNewPswdRe = new QLabel(QStringLiteral("&Re-Type New Password:"), fraNewPswd);
    lblNewPswdRe->setObjectName(QStringLiteral("lblNewPswdRe"));
    place(lblNewPswdRe, 120, 800, 1815, 255);
    txtNewPswdRe = passwordBox(fraNewPswd, "txtNewPswdRe",
                               QStringLiteral("To avoid mistakes input your new password again"));
    place(txtNewPswdRe, 2000, 720, 2000, 285);
    lblNewPswdRe->setBuddy(txtNewPswdRe);

    // Room from a label's left edge to its text box.
    for (QLabel* l : {lblOldPswd, lblNewPswd, lblNewPswdRe})
        fitLabel(l, 2000 - 120 - 60);

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setToolTip(QStringLiteral("OK"));
    place(cmdOK, 2640, 2760, 750, 350);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(QStringLiteral("Cancel"));
    place(cmdCancel, 3480, 2760, 750, 350);
    useDesignDefault(this, cmdOK);

    setTabOrder(txtOldPswd, txtNewPswd);
    setTabOrder(txtNewPswd, txtNewPswdRe);
    setTabOrder(txtNewPswdRe, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, chkDisPass);

    connect(chkDisPass, &QCheckBox::clicked, this, &frmPassword::chkDisPass_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmPassword::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPassword::cmdCancel_Click);
}

void frmPassword::Form_Load() {
    // Centred at the design size; the mode's resize keeps the top-left corner.
    SetClientSize(this, 4305, 3180);
    if (parentWidget()) CenterForm(parentWidget()->window(), this);
    txtOldPswd->clear();
    txtNewPswd->clear();
    txtNewPswdRe->clear();
    changeMode_ = !g_.gDbPwd.isEmpty();
    applyState();
    if (changeMode_)
        txtOldPswd->setFocus();
    else
        txtNewPswd->setFocus();
}

void frmPassword::applyState() {
    const bool disabling = changeMode_ && chkDisPass->isChecked();
    setWindowTitle(changeMode_ ? QStringLiteral("Change Password")
                               : QStringLiteral("Set Password"));

    fraOldPswd->setVisible(changeMode_);
    lblOldPswd->setEnabled(changeMode_);
    txtOldPswd->setEnabled(changeMode_);
    setBoxColour(txtOldPswd, changeMode_ ? kWhite : kGrey);
    chkDisPass->setVisible(changeMode_);
    chkDisPass->setEnabled(changeMode_);

    fraNewPswd->setVisible(!disabling);
    for (QWidget* w : {static_cast<QWidget*>(lblNewPswd), static_cast<QWidget*>(txtNewPswd),
                       static_cast<QWidget*>(lblNewPswdRe), static_cast<QWidget*>(txtNewPswdRe)})
        w->setEnabled(!disabling);
    setBoxColour(txtNewPswd, disabling ? kGrey : kWhite);
    setBoxColour(txtNewPswdRe, disabling ? kGrey : kWhite);

    const bool tall = changeMode_ && !disabling;
    if (!changeMode_) moveTop(fraNewPswd, 120);
    if (tall) moveTop(fraNewPswd, 1440);
    moveTop(cmdOK, tall ? 2760 : 1440);
    moveTop(cmdCancel, tall ? 2760 : 1440);
    SetClientSize(this, 4305, tall ? 3180 : 1860);
}

void frmPassword::chkDisPass_Click() {
    txtNewPswd->clear();
    txtNewPswdRe->clear();
    applyState();
}

void frmPassword::cmdCancel_Click() {
    reject();
}

void frmPassword::cmdOK_Click() {
    try {
        // A closed or released connection is not an exclusive one either.
        if (!g_.gConn || g_.gConn->State() != db::adStateOpen ||
            g_.gConn->Mode() != db::adModeShareExclusive) {
            ui().msgBox(QStringLiteral("The database is not opened exclusively!"), mb::Critical,
                        QStringLiteral("DB mode"));
            return;
        }
        const QString oldPwd = txtOldPswd->text();
        const QString newPwd = txtNewPswd->text();
        const QString reType = txtNewPswdRe->text();

        // A rejected entry empties the boxes the user has to type again.
        auto refuse = [this](const QString& text, const QString& title) {
            ui().msgBox(text, mb::Critical, title);
            if (changeMode_) txtOldPswd->clear();
            txtNewPswd->clear();
            txtNewPswdRe->clear();
            if (changeMode_)
                txtOldPswd->setFocus();
            else
                txtNewPswd->setFocus();
        };
        // The rules of a new password, in the order the user is told about them.
        auto newPasswordAccepted = [&] {
            const QString title = QStringLiteral("New password error");
            const auto length = newPwd.toUcs4().size(); // characters, not code units
            if (length < 4 || length > 16) {
                refuse(QStringLiteral("The new password must be between 4 and 16 characters!") +
                           kAgain,
                       title);
                return false;
            }
            const QString trimmed = newPwd.trimmed();
            if (trimmed.isEmpty() || trimmed == db::kNoPasswordToken) {
                refuse(QStringLiteral("Invalid password!") + kAgain, title);
                return false;
            }
            if (reType != newPwd) {
                refuse(QStringLiteral("There is a mismatch in the new password!") + kAgain, title);
                return false;
            }
            return true;
        };

        QString statement;
        QString result;
        if (changeMode_) {
            if (oldPwd != g_.gDbPwd) {
                refuse(QStringLiteral("The old password was entered incorrectly!") + kAgain,
                       QStringLiteral("Old password error"));
                return;
            }
            if (chkDisPass->isChecked()) {
                statement = disableStatement(oldPwd);
            } else {
                if (!newPasswordAccepted()) return;
                statement = changeStatement(newPwd, oldPwd);
                result = newPwd;
            }
        } else {
            if (!newPasswordAccepted()) return;
            statement = setStatement(newPwd);
            result = newPwd;
        }

        // The key the file gets must be exactly what was typed, and every later
        // open must hand the engine that same key: read the statement and each
        // connection string the program will build back as the engine reads them.
        const QString carriedOld = changeMode_ ? oldPwd : QString();
        const db::dialect::Translation parsed = db::dialect::translate(statement);
        if (!parsed.error.isEmpty()) throw db::engine::error(err::Engine, parsed.error);
        bool carried = parsed.password && parsed.password->newPassword == result &&
                       parsed.password->oldPassword == carriedOld;
        const QString scratch = maint::scratchPath(maint::folderOf(g_.gDbPath));
        for (const db::ConnectionUse use : db::kConnectionUses) {
            const QString& file =
                use == db::ConnectionUse::CompactDestination ? scratch : g_.gDbPath;
            carried = carried &&
                      db::parseConnectionString(db::connectionString(use, file, result)).password ==
                          result;
        }
        if (!carried)
            throw db::engine::error(
                err::Engine,
                QStringLiteral("The new password cannot be kept exactly as typed: the database "
                               "settings would read it differently (a ';' before a setting name "
                               "such as \";Mode=\", or a ';' at its end). Please choose another "
                               "password."));

        g_.gRS = std::make_unique<db::Recordset>();
        g_.gRS->Open(statement, *g_.gConn, -1, -1, -1);

        g_.gDbPwd = result;
        if (g_.gDbPwd.isEmpty()) {
            if (mnuPass_) mnuPass_->setText(kCaptionAdd);
            ui().msgBox(QStringLiteral("The password was disabled successfully!"), mb::Information,
                        QStringLiteral("Password success"));
        } else {
            if (mnuPass_) mnuPass_->setText(kCaptionChange);
            ui().msgBox(QStringLiteral("The password has been changed successfully!"),
                        mb::Information, QStringLiteral("Password success"));
        }
        accept();
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in setting password"));
    }
}

} // namespace krvs
