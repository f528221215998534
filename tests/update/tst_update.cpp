// The update file's format, the update dialog against a local server, and the About box.
#include "TestHttpServer.h"
#include "support/ScriptedUi.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "update/UpdateFile.h"
#include "update/frmAbout.h"
#include "update/frmUpdate.h"
#include "util/AppError.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace krvs;
using krvs::test::ScriptedUi;

namespace {

const QString Ver = QStringLiteral("/files/KRVS.ver");
const QString Nwz = QStringLiteral("/files/KRVS.nwz");
const QString Dlf = QStringLiteral("/files/KRVS.dlf");
const QByteArray News = "Release 0.81.0\r\n- faster searches\r\n";
const QString Installer = QStringLiteral("https://dl.quillmark.example/krvs-0.81.0.tar.gz");
enum Outcome { Latest, Newer, Failed };

// A port on which nothing listens.
QString deadServer() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(s.serverPort());
}
// The dialog's size with the given height in twips: the designed width, or wider where
// the title needs it.
QSize sizeTw(int h, const QWidget* d) {
    return QSize(qMax(twipsToPx(4755), titleBarWidth(d)), twipsToPx(h));
}
void click(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseClick(w, b);
}
int centreDistance(const QWidget& a, const QWidget& b) {
    return (a.frameGeometry().center() - b.frameGeometry().center()).manhattanLength();
}

// The offscreen platform says so each time a fixed-size dialog changes size.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("propagateSizeHints"))) previousHandler(type, context, text);
}

} // namespace

class TstUpdate : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TestHttpServer> server_;
    std::unique_ptr<QWidget> main_;

    std::unique_ptr<frmUpdate> openUpdate() {
        auto d = std::make_unique<frmUpdate>(nullptr, main_.get());
        d->Inet1.setTimeoutMs(3000);
        d->show();
        d->activateWindow();
        if (!QTest::qWaitForWindowActive(d.get())) qWarning("update dialog not active");
        return d;
    }

  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void init() {
        ui_.reset(); // the old one restores the real services when it goes
        ui_ = std::make_unique<ScriptedUi>();
        server_ = std::make_unique<TestHttpServer>();
        ui_->setUpdateServer(server_->base());
        main_ = std::make_unique<QWidget>();
        main_->setGeometry(200, 150, 900, 700);
    }
    void cleanup() {
        const QString problems = ui_->problems();
        main_.reset();
        server_.reset();
        ui_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }
    void updateFile_data();
    void updateFile();
    void newerRelease();
    void check_data();
    void check();
    void download_data();
    void download();
    void aboutBox();
};

// The payloads of the release file and the installer file, and what each reads as ("" refused).
void TstUpdate::updateFile_data() {
    QTest::addColumn<bool>("installer");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("shown");
    const auto row = [](bool installer, const char* payload, const char* shown) {
        QTest::addRow("%s %s", installer ? "installer" : "release", payload)
            << installer << QString::fromUtf8(payload) << QString::fromUtf8(shown);
    };
    row(false, "0.80.0", "0.80.0");
    row(false, "0.081.00", "0.81.0");
    row(false, " 1 . 2 .  3 ", "1.2.3");
    row(false, "0.81.0\r\n", "0.81.0");
    row(false, "-1.+2.0", "-1.2.0");
    row(false, "32767.-32768.0", "32767.-32768.0");
    for (const char* refused : {"1.2", "", "1.x.3", "1..3",
                                "1.2.3.4",   // a fourth piece stays in the third
                                "40000.0.0", // beyond 16 bits
                                "1.2.3b"})
        row(false, refused, "");
    for (const char* good : {"https://dl.quillmark.example/krvs-0.81.0.tar.gz",
                             "http://h.example:8080/get?f=1", "HTTPS://h.example/x"})
        row(true, good, good);
    row(true, "https://h.example/x\r\n", "https://h.example/x");
    for (const char* refused :
         {"file:///usr/bin/xterm", "/usr/bin/xterm", "files/setup.exe", "ftp://h.example/setup.exe",
          "https:///setup.exe", "https://h.example/a b",
          "https://h.example/a\r\nfile:///etc/passwd", ""})
        row(true, refused, "");
}

void TstUpdate::updateFile() {
    QFETCH(bool, installer);
    QFETCH(QString, payload);
    if (installer) {
        QTEST(update::installerAddress(payload).value_or(QString()), "shown");
    } else {
        const auto r = update::parseRelease(payload);
        QTEST(r ? update::releaseText(*r) : QString(), "shown");
    }
}

// A higher major wins over a lower minor and revision; a negative piece is lower.
void TstUpdate::newerRelease() {
    const update::Release running{0, 80, 0};
    QVERIFY(!update::isNewer(running, running) && update::isNewer({0, 81, 0}, running));
    QVERIFY(!update::isNewer({0, 79, 9}, running) && update::isNewer({1, 0, 0}, {0, 99, 99}));
    QVERIFY(!update::isNewer({-1, 90, 0}, running) && !update::isNewer({0, 80, -1}, running));
}

void TstUpdate::check_data() {
    QTest::addColumn<QByteArray>("file"); // "<404>", "<down>" or "<slow>": a server fault
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("web"); // the release shown
    auto row = [](const char* name, const char* file, Outcome outcome, const char* web = "") {
        QTest::newRow(name) << QByteArray(file) << int(outcome) << QString(web);
    };
    row("equal", "QMX_VER 0.80.0", Latest, "0.80.0");
    row("newer", "QMX_VER 0.81.0", Newer, "0.81.0");
    row("zeros, lower-case tag, no news", "qmx_ver 0.081.00", Newer, "0.81.0");
    row("two pieces", "QMX_VER 1.2", Failed);
    row("empty body", "    ", Failed);
    row("file missing", "<404>", Failed);
    row("server down", "<down>", Failed);
    row("server too slow", "<slow>", Failed);
}

void TstUpdate::check() {
    QFETCH(QByteArray, file);
    QFETCH(int, outcome);
    QFETCH(QString, web);
    if (file == "<down>")
        ui_->setUpdateServer(deadServer());
    else if (file == "<slow>")
        server_->hang(Ver);
    else if (file != "<404>")
        server_->serve(Ver, file);
    if (file.startsWith("QMX")) server_->serve(Nwz, "Qmx_Nwz " + News);
    auto d = openUpdate();
    d->Inet1.setTimeoutMs(file == "<slow>" ? 400 : 3000);
    QCOMPARE(d->size(), sizeTw(2010, d.get()));
    QVERIFY(centreDistance(*d, *main_) <= 8);
    QVERIFY(server_->requested.isEmpty()); // nothing runs before cmdCheck
    const QPoint topLeft = d->pos();
    if (outcome != Newer)
        ui_->answer(mb::AnsOK, outcome == Latest ? "KRVS update" : "Error in update");

    click(d->cmdCheck);
    QCOMPARE(d->windowTitle(),
             outcome == Newer ? "Update available from v0.80.0 to v" + web : "Update");
    QCOMPARE(d->size(), sizeTw(outcome == Newer ? 4770 : 2010, d.get()));
    QCOMPARE(d->pos(), topLeft); // grows downwards
    const QWidget* focus[] = {d->cmdCancel, d->cmdDown, d->cmdLink};
    QCOMPARE(d->focusWidget(), focus[outcome]);
    QVERIFY(d->cmdCheck->isEnabled());
    QCOMPARE(d->cmdDown->isEnabled(), outcome == Newer);
    QCOMPARE(d->cmdLink->isHidden(), outcome != Failed);
    QCOMPARE(d->MousePointer(), 0);
    QCOMPARE(server_->requested.contains(Nwz), outcome == Newer);
    QCOMPARE(ui_->boxes.size(), outcome == Newer ? 0 : 1);
    if (outcome == Newer) {
        QCOMPARE(d->txtInfo->toPlainText(), file.startsWith("QMX")
                                                ? "Release 0.81.0\n- faster searches\n"
                                                : "Unable to get news for KRVS.");
        QVERIFY(d->cmdDown->geometry().bottom() < d->height());
        // a failed check after a newer release shrinks the dialog and forgets the release
        server_->serve(Ver, "QMX_VER 1.2");
        ui_->answer(mb::AnsOK, "Error in update");
        click(d->cmdCheck);
        QCOMPARE(d->size(), sizeTw(2010, d.get()));
        QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
        QVERIFY(!d->cmdDown->isEnabled() && d->txtInfo->toPlainText().isEmpty());
    } else if (outcome == Latest) {
        QCOMPARE(ui_->boxes[0].text, "Web release = " + web +
                                         "\r\nYour release = 0.80.0\r\nYou have the latest "
                                         "release of KRVS.");
        QCOMPARE(ui_->boxes[0].flags, mb::Information);
    } else {
        QCOMPARE(ui_->boxes[0].text, "The update check failed. You must check for the\r\nnew "
                                     "version of this application manually at\r\n" +
                                         makerWebAddress() + ".");
        QCOMPARE(ui_->boxes[0].flags, mb::Critical);
        click(d->cmdLink);
        QCOMPARE(ui_->shellFiles, QStringList{makerWebAddress()});
        QCOMPARE(ui_->shellVerbs, QStringList{QString()});
    }
}

// The installer's address is opened after the instructions unless they are cancelled; a
// local program, or no installer file, is an error.
void TstUpdate::download_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("answer"); // 0: an error
    const QByteArray dlf = "QMX_DLF " + Installer.toUtf8();
    QTest::newRow("installer") << dlf + "\r\n" << 200 << int(mb::AnsOK);
    QTest::newRow("instructions cancelled") << dlf << 200 << int(mb::AnsCancel);
    QTest::newRow("local program") << QByteArray("QMX_DLF /usr/bin/xterm") << 200 << 0;
    QTest::newRow("no installer file") << QByteArray("not here") << 404 << 0;
}

void TstUpdate::download() {
    QFETCH(QByteArray, file);
    QFETCH(int, status);
    QFETCH(int, answer);
    server_->serve(Ver, "QMX_VER 0.81.0");
    auto d = openUpdate();
    click(d->cmdCheck);
    server_->serve(Dlf, file, status);
    ui_->answer(answer ? answer : mb::AnsOK, answer ? "Instructions" : "Error in download");
    click(d->cmdDown);
    QCOMPARE(ui_->boxes.size(), 1);
    if (answer)
        QCOMPARE(ui_->boxes[0].text,
                 QStringLiteral("This feature will download the installer package\r\nfor the "
                                "new version of KRVS. After the download\r\nis complete, please "
                                "exit the current running version\r\nof KRVS before installing "
                                "the new version."));
    else
        QCOMPARE(ui_->boxes[0].text, "An error has occured. You must manually download the "
                                     "new\r\nversion of KRVS at " +
                                         makerWebAddress() + ".");
    QCOMPARE(ui_->boxes[0].flags, answer ? mb::OKCancel | mb::Information : mb::Critical);
    QCOMPARE(ui_->shellFiles, answer == mb::AnsOK ? QStringList{Installer} : QStringList());
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->cmdLink->isHidden(), answer != 0);
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::aboutBox() {
    frmAbout a(main_.get(), main_.get());
    a.show();
    QCOMPARE(a.lblVersion->text(), QStringLiteral("Version: 0.80.0"));
    QVERIFY(centreDistance(a, *main_) <= 8);
    // any button on the copyright writes a mail
    click(a.lblCopyright, Qt::RightButton);
    QCOMPARE(ui_->shellFiles, QStringList{"mailto:" + frmAbout::mailAddress()});
    QCOMPARE(a.lblCopyright->palette().color(QPalette::WindowText), QColor(Qt::red));
    click(a.lblURL);
    QCOMPARE(ui_->shellFiles.mid(1), QStringList{makerWebAddress()});
    click(a.cmdOK);
    QVERIFY(!a.isVisible());
}

QTEST_MAIN(TstUpdate)
#include "tst_update.moc"
