#include "maintenance/frmPassword.h"

#include "catalogue/Catalogue.h"

#include "ui/DialogKeys.h"
#include "ui/FocusHook.h"
#include "ui/FormGeometry.h"
#include "ui/SelectAllText.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/TextAndInput.h"

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
// Two grave accents: the engine's old notation for no password, never a password.
const QString kNoPasswordToken = QStringLiteral("``");
const QColor kGrey(0xC0, 0xC0, 0xC0);
const QColor kWhite(0xFF, 0xFF, 0xFF);

void moveTop(QWidget* w, int topTwips) {
    w->move(w->x(), twipsToPx(topTwips));
}

void setBoxColour(QLineEdit* box, const QColor& colour) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base, colour);
    box->setPalette(p);
}

// One row of a frame: a caption at its left and the password box it names at 2000
// twips; the caption stands 80 twips lower than the box's top edge, as drawn.
struct PasswordRow {
    const char* captionName;
    const char* caption;
    int captionWidth;
    const char* boxName;
    const char* tip;
    int top;
};

QLineEdit* passwordRow(QGroupBox* frame, QLabel*& caption, const PasswordRow& row) {
    caption = named(new QLabel(QString::fromUtf8(row.caption), frame), row.captionName);
    place(caption, 120, row.top + 80, row.captionWidth, 255);
    auto* box = named(new QLineEdit(frame), row.boxName);
    box->setEchoMode(QLineEdit::Password);
    box->setToolTip(QString::fromUtf8(row.tip));
    onGotFocus(box, [box] { SelectAllText(box); });
    place(box, 2000, row.top, 2000, 285);
    caption->setBuddy(box);
    return box;
}

} // namespace

frmPassword::frmPassword(Catalogue& catalogue, QAction* mnuPass, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), mnuPass_(mnuPass) {
    setObjectName(QStringLiteral("frmPassword"));
    setModal(true);
    makeFixedDialog(this);
    // Every typed character shows as "*".
    setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    createControls();
    Form_Load();
}

void frmPassword::createControls() {
    fraOldPswd = named(new QGroupBox(this), "fraOldPswd");
    place(fraOldPswd, 120, 120, 4095, 735);
    txtOldPswd =
        passwordRow(fraOldPswd, lblOldPswd,
                    {"lblOldPswd", "Old Password:", 1215, "txtOldPswd", "The old password", 240});

    chkDisPass =
        named(new QCheckBox(QStringLiteral("&Disable the database password"), this), "chkDisPass");
    place(chkDisPass, 120, 1080, 3735, 195);

    fraNewPswd = named(new QGroupBox(this), "fraNewPswd");
    place(fraNewPswd, 120, 1440, 4095, 1215);
    txtNewPswd = passwordRow(
        fraNewPswd, lblNewPswd,
        {"lblNewPswd", "&New Password(4-16):", 1575, "txtNewPswd", "The new password", 240});
    txtNewPswdRe = passwordRow(fraNewPswd, lblNewPswdRe,
                               {"lblNewPswdRe", "&Re-Type New Password:", 1815, "txtNewPswdRe",
                                "To avoid mistakes input your new password again", 720});

    // The captions have 2000 - 120 - 60 twips before their boxes; where the desktop's
    // font needs more, the column widens by the difference, and the boxes, the frames,
    // the buttons and the dialog follow.
    int need = 0;
    for (QLabel* l : {lblOldPswd, lblNewPswd, lblNewPswdRe})
        need = qMax(need, l->sizeHint().width());
    widenTw_ = qMax(0, pxToTwips(need + 1) - (2000 - 120 - 60));
    for (QLabel* l : {lblOldPswd, lblNewPswd, lblNewPswdRe})
        l->resize(twipsToPx(2000 - 120 - 60 + widenTw_), l->height());
    for (QLineEdit* box : {txtOldPswd, txtNewPswd, txtNewPswdRe})
        box->move(twipsToPx(2000 + widenTw_), box->y());
    for (QGroupBox* frame : {fraOldPswd, fraNewPswd})
        frame->resize(twipsToPx(4095 + widenTw_), frame->height());

    cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), "cmdOK");
    cmdOK->setToolTip(QStringLiteral("OK"));
    place(cmdOK, 2640 + widenTw_, 2760, 750, 350);
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    cmdCancel->setToolTip(QStringLiteral("Cancel"));
    place(cmdCancel, 3480 + widenTw_, 2760, 750, 350);
    useDesignDefault(this, cmdOK);

    setTabChain({txtOldPswd, txtNewPswd, txtNewPswdRe, cmdOK, cmdCancel, chkDisPass});

    connect(chkDisPass, &QCheckBox::clicked, this, &frmPassword::chkDisPass_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmPassword::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPassword::cmdCancel_Click);
}

void frmPassword::Form_Load() {
    // Centred at the design size; the mode's resize keeps the top-left corner.
    SetClientSize(this, 4305 + widenTw_, 3180);
    if (parentWidget()) CenterForm(parentWidget()->window(), this);
    txtOldPswd->clear();
    txtNewPswd->clear();
    txtNewPswdRe->clear();
    changeMode_ = !catalogue_.password().isEmpty();
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
    SetClientSize(this, 4305 + widenTw_, tall ? 3180 : 1860);
}

void frmPassword::chkDisPass_Click() {
    txtNewPswd->clear();
    txtNewPswdRe->clear();
    applyState();
}

void frmPassword::cmdCancel_Click() {
    reject();
}

// A rejected entry empties the boxes the user has to type again.
void frmPassword::refuse(const QString& text, const QString& title) {
    ui().msgBox(text, mb::Critical, title);
    if (changeMode_) txtOldPswd->clear();
    txtNewPswd->clear();
    txtNewPswdRe->clear();
    if (changeMode_)
        txtOldPswd->setFocus();
    else
        txtNewPswd->setFocus();
}

// The rules of a new password, in the order the user is told about them.
bool frmPassword::newPasswordAccepted(const QString& newPwd, const QString& reType) {
    const QString title = QStringLiteral("New password error");
    const auto length = newPwd.toUcs4().size(); // characters, not code units
    if (length < 4 || length > 16) {
        refuse(QStringLiteral("The new password must be between 4 and 16 characters!") + kAgain,
               title);
        return false;
    }
    const QString trimmed = newPwd.trimmed();
    if (trimmed.isEmpty() || trimmed == kNoPasswordToken) {
        refuse(QStringLiteral("Invalid password!") + kAgain, title);
        return false;
    }
    if (reType != newPwd) {
        refuse(QStringLiteral("There is a mismatch in the new password!") + kAgain, title);
        return false;
    }
    return true;
}

void frmPassword::cmdOK_Click() {
    try {
        // An open catalogue is always held exclusively; a closed one is not held at all.
        if (!catalogue_.isOpen()) {
            ui().msgBox(QStringLiteral("The database is not opened exclusively!"), mb::Critical,
                        QStringLiteral("DB mode"));
            return;
        }
        const QString oldPwd = txtOldPswd->text();
        const QString newPwd = txtNewPswd->text();
        const QString reType = txtNewPswdRe->text();

        QString result;
        if (changeMode_) {
            if (oldPwd != catalogue_.password()) {
                refuse(QStringLiteral("The old password was entered incorrectly!") + kAgain,
                       QStringLiteral("Old password error"));
                return;
            }
            if (!chkDisPass->isChecked()) {
                if (!newPasswordAccepted(newPwd, reType)) return;
                result = newPwd;
            }
        } else {
            if (!newPasswordAccepted(newPwd, reType)) return;
            result = newPwd;
        }
        catalogue_.changePassword(changeMode_ ? oldPwd : QString(), result);

        if (result.isEmpty()) {
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
