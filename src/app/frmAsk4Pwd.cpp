#include "app/frmAsk4Pwd.h"

#include "search/SqlBuilder.h"
#include "ui/DialogKeys.h"
#include "ui/FormGeometry.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace krvs {

frmAsk4Pwd::frmAsk4Pwd(QWidget* mainWindow) : QDialog(mainWindow), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("frmAsk4Pwd"));
    setWindowTitle(QStringLiteral("Password Input"));
    setModal(true);
    makeFixedDialog(this);
    // Every typed character shows as "*". A box takes its mask character from the style
    // it is created under, so this comes before the controls.
    setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Label1 = named(new QLabel(this), "Label1");
    Label1->setText(
        QStringLiteral("Please input the database password. (The password is case sensitive.)"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Label1, 120, 120, 2655, 615);
    txtPwd = named(new QLineEdit(this), "txtPwd");
    txtPwd->setEchoMode(QLineEdit::Password);
    // The prompt was drawn for two lines of a narrower font; where it needs more, the
    // box and the buttons move down by what the extra lines take.
    const int room = twipsToPx(600 - 120 - 30);
    const int needed = Label1->heightForWidth(Label1->width());
    const int shift = needed > room ? pxToTwips(needed - room) : 0;
    Label1->resize(Label1->width(), qMax(Label1->height(), needed));
    place(txtPwd, 120, 600 + shift, 2655, 285);
    cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), "cmdOK");
    place(cmdOK, 1200, 1080 + shift, 750, 350);
    cmdCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    place(cmdCancel, 2040, 1080 + shift, 750, 350);
    useDesignDefault(this, cmdOK);
    SetClientSize(this, 2865, 1500 + shift);
    // Where the title made the dialog wider, the text and the box take the width and the
    // buttons stay at the right.
    const int wider = width() - twipsToPx(2865);
    if (wider > 0) {
        for (QWidget* c : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(txtPwd)})
            c->resize(c->width() + wider, c->height());
        for (QWidget* c : {cmdOK, cmdCancel})
            c->move(c->x() + wider, c->y());
    }

    connect(txtPwd, &QLineEdit::textChanged, this, &frmAsk4Pwd::txtPwd_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmAsk4Pwd::cmdOK_Click);
    // Esc and the title bar close both end as Cancel: reject() leaves the load values.
    connect(cmdCancel, &QPushButton::clicked, this, &frmAsk4Pwd::cmdCancel_Click);
    Form_Load();
}

void frmAsk4Pwd::Form_Load() {
    CenterForm(mainWindow_, this);
    cmdOK->setEnabled(false);
    result_ = 2;
    entered_.clear();
}

void frmAsk4Pwd::txtPwd_Change() {
    if (!trimBlanks(txtPwd->text()).isEmpty()) cmdOK->setEnabled(true);
}

void frmAsk4Pwd::cmdOK_Click() {
    result_ = 1;
    entered_ = txtPwd->text();
    accept();
}

void frmAsk4Pwd::cmdCancel_Click() {
    result_ = 2;
    entered_.clear();
    reject();
}

int AskPwd(QString& password, QWidget* mainWindow) {
    frmAsk4Pwd form(mainWindow);
    ui().showModal(form);
    password = form.entered();
    return form.outcome();
}

} // namespace krvs
