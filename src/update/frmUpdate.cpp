#include "update/frmUpdate.h"

#include "ui/DialogKeys.h"
#include "ui/FormGeometry.h"
#include "ui/LabelFit.h"
#include "ui/MousePointer.h"
#include "ui/ProgramIcon.h"
#include "ui/Shell.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "update/UpdateFile.h"
#include "util/AppError.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QStyle>

namespace krvs {

namespace {

template <class W>
W* control(QWidget* parent, const char* name, double l, double t, double w, double h) {
    auto* c = named(new W(parent), name);
    place(c, l, t, w, h);
    return c;
}

// News as the text box shows it: every kind of line break as one.
QString asBoxText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

void openLink(const QString& address) {
    try {
        ShellExec(address, 1, QString());
    } catch (const AppError& e) {
        // Only a chooser that could not be started gets here; the shell reported the rest.
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Shell execute failed..."));
    }
}

frmUpdate::frmUpdate(QWidget* owner, QWidget* mainWindow)
    : QDialog(owner), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Update"));
    setWindowIcon(programIcon());
    setModal(true);
    makeFixedDialog(this);
    useDesignFont(this);

    Label1 = control<QLabel>(this, "Label1", 1080, 120, 3495, 615);
    Label1->setText(QStringLiteral("Welcome to the Quillmark Update. This process will verify that "
                                   "you have the latest version of KRVS."));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2 = control<QLabel>(this, "Label2", 1080, 840, 3495, 495);
    Label2->setText(
        QStringLiteral("Please ensure that you are connected to the internet before proceeding."));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // A second picture, overlapping the icon from below on the right.
    Image1 = control<QLabel>(this, "Image1", 405, 600, 480, 480);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(Image1->size()));
    imgIcon = control<QLabel>(this, "imgIcon", 200, 240, 480, 480);
    imgIcon->setPixmap(programIconPixmap(imgIcon->width()));
    imgIcon->raise();

    Line1 = named(new QFrame(this), "Line1");
    Line1->setGeometry(twipsToPx(120), twipsToPx(1440), twipsToPx(4685 - 120), 1);
    Line1->setAutoFillBackground(true);
    QPalette linePal = Line1->palette();
    linePal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    Line1->setPalette(linePal);

    cmdLink = control<QPushButton>(this, "cmdLink", 120, 1560, 1800, 375);
    // The address without its scheme, so that it fits the button; a click opens it whole.
    QString shown = makerWebAddress();
    shown.remove(QRegularExpression(QStringLiteral("^[a-z]+://")));
    cmdLink->setText(shown);
    cmdLink->setToolTip(QStringLiteral("Click here to go to the official site"));
    cmdLink->setFlat(true);
    cmdLink->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; padding: 0px; color: #0000ff; text-align: left; }"));
    QFont linkFont = cmdLink->font();
    linkFont.setPointSizeF(kDesignPointSize);
    linkFont.setUnderline(true);
    // Smaller type where the desktop's face is wider than the one the button was drawn for.
    cmdLink->setFont(shrinkToFit(linkFont, cmdLink->width(), [&shown](const QFont& f) {
        return QFontMetrics(f).horizontalAdvance(shown);
    }));
    cmdLink->setCursor(Qt::PointingHandCursor);
    cmdLink->hide();

    cmdCheck = control<QPushButton>(this, "cmdCheck", 2007, 1560, 1600, 375);
    cmdCheck->setText(QStringLiteral("Check For &Update"));
    cmdCheck->setToolTip(QStringLiteral("Check It"));

    cmdCancel = control<QPushButton>(this, "cmdCancel", 3695, 1560, 1000, 375);
    cmdCancel->setText(QStringLiteral("&Cancel"));
    cmdCancel->setToolTip(QStringLiteral("Cancel"));

    txtInfo = control<QPlainTextEdit>(this, "txtInfo", 120, 2040, 4575, 2175);
    txtInfo->setReadOnly(true);
    txtInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette infoPal = txtInfo->palette();
    infoPal.setColor(QPalette::Base, QColor(0, 128, 128));
    txtInfo->setPalette(infoPal);

    cmdDown = control<QPushButton>(this, "cmdDown", 2760, 4320, 1935, 375);
    cmdDown->setText(QStringLiteral("Download New Version"));
    cmdDown->setToolTip(QStringLiteral("Download It"));
    cmdDown->setEnabled(false);
    useDesignDefault(this, cmdDown);

    setTabChain({cmdLink, cmdCheck, cmdCancel, cmdDown, txtInfo});

    connect(cmdCheck, &QPushButton::clicked, this, &frmUpdate::cmdCheck_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmUpdate::cmdDown_Click);
    connect(cmdLink, &QPushButton::clicked, this, &frmUpdate::cmdLink_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpdate::cmdCancel_Click);

    Form_Load();
    cmdCheck->setFocus();
}

void frmUpdate::Form_Load() {
    setClientHeight(SmallHeight);
    CenterForm(mainWindow_, this);
}

void frmUpdate::setClientHeight(int heightTwips) {
    // A fixed dialog frame: the size changes only here (and with the title's width), and
    // the top-left corner stays.
    SetClientSize(this, ClientWidth, heightTwips);
}

// Where a long title made the dialog wider than designed, the rule and the news box
// take the width and the buttons stay at the right edge.
void frmUpdate::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    const int wider = qMax(0, width() - twipsToPx(ClientWidth));
    const auto atRight = [wider](QWidget* c, int leftTwips) {
        c->move(twipsToPx(leftTwips) + wider, c->y());
    };
    atRight(cmdCheck, 2007);
    atRight(cmdCancel, 3695);
    atRight(cmdDown, 2760);
    Line1->resize(twipsToPx(4685 - 120) + wider, Line1->height());
    txtInfo->resize(twipsToPx(4575) + wider, txtInfo->height());
}

void frmUpdate::setMousePointer(int code) {
    mousePointer_ = code;
    showMousePointer(this, code);
}

QString frmUpdate::fileUrl(const char* path) const {
    QString server = ui().updateServer();
    while (server.endsWith(QLatin1Char('/')))
        server.chop(1);
    return server + QLatin1String(path);
}

bool frmUpdate::Check4File(const QString& inFile, QString& resp) {
    resp.clear();
    try {
        resp = update::trimBlanks(bodyText(Inet1.OpenURL(inFile)));
    } catch (const AppError&) {
        resp.clear();
        return false;
    }
    return !resp.isEmpty();
}

void frmUpdate::cmdCheck_Click() {
    using namespace update;
    bool failed = false;
    try {
        setClientHeight(SmallHeight);
        setWindowTitle(QStringLiteral("Update"));
        setMousePointer(pointer::Hourglass);
        cmdCheck->setEnabled(false);
        cmdDown->setEnabled(false);
        cmdLink->hide();
        txtInfo->clear();

        QString resp;
        std::optional<Release> web;
        if (Check4File(fileUrl(VersionFile), resp) && hasTag(resp, QLatin1String(VersionTag)))
            web = parseRelease(filePayload(resp));
        if (!web) {
            failed = true;
        } else {
            const Release running = runningRelease();
            if (!isNewer(*web, running)) {
                ui().msgBox(latestReleaseText(*web, running), mb::Information,
                            QStringLiteral("KRVS update"));
                cmdCancel->setFocus();
            } else {
                setWindowTitle(updateCaption(running, *web));
                cmdDown->setEnabled(true);
                QString news;
                if (Check4File(fileUrl(NewsFile), news) && hasTag(news, QLatin1String(NewsTag)))
                    txtInfo->setPlainText(asBoxText(filePayload(news)));
                else
                    txtInfo->setPlainText(newsMissingText());
                setClientHeight(LargeHeight);
                cmdDown->setFocus();
            }
            setMousePointer(pointer::Default);
            cmdCheck->setEnabled(true);
        }
    } catch (const std::exception&) {
        failed = true;
    }
    if (!failed) return;

    setMousePointer(pointer::Default);
    cmdCheck->setEnabled(true);
    ui().msgBox(checkFailedText(makerWebAddress()), mb::Critical,
                QStringLiteral("Error in update"));
    cmdLink->show();
    cmdLink->setFocus();
}

void frmUpdate::cmdDown_Click() {
    using namespace update;
    try {
        setMousePointer(pointer::Hourglass);
        cmdDown->setEnabled(false);
        QString resp;
        std::optional<QString> address;
        if (Check4File(fileUrl(InstallerFile), resp) && hasTag(resp, QLatin1String(InstallerTag)))
            address = installerAddress(filePayload(resp));
        if (address) {
            if (ui().msgBox(instructionsText(), mb::OKCancel | mb::Information,
                            QStringLiteral("Instructions")) == mb::AnsOK)
                ShellExec(*address, 1, QString());
            setMousePointer(pointer::Default);
            cmdDown->setEnabled(true);
            return;
        }
    } catch (const std::exception&) {
        // reported below
    }
    setMousePointer(pointer::Default);
    cmdDown->setEnabled(true);
    ui().msgBox(downloadFailedText(makerWebAddress()), mb::Critical,
                QStringLiteral("Error in download"));
    cmdLink->show();
}

void frmUpdate::cmdLink_Click() {
    openLink(makerWebAddress());
}

void frmUpdate::cmdCancel_Click() {
    reject();
}

void frmUpdate::Form_GotFocus() {
    update();
}

void frmUpdate::focusInEvent(QFocusEvent* e) {
    QDialog::focusInEvent(e);
    Form_GotFocus();
}

} // namespace krvs
