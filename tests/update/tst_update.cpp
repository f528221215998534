// The update dialog against a local server, the transfer control, and the About box.
#include "ScriptedUi.h"
#include "TestHttpServer.h"
#include "update/HttpFetch.h"
#include "update/ProgramIcon.h"
#include "update/frmAbout.h"
#include "update/frmUpdate.h"
#include "util/AppError.h"
#include "util/Twips.h"
#include "util/UiServices.h"

#include <QElapsedTimer>
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
const QColor Red(255, 0, 0);

// A port on which nothing listens.
QString deadServer() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(s.serverPort());
}

bool fetchFails(const HttpFetch& f, const QString& url) {
    try {
        f.OpenURL(url);
    } catch (const AppError&) {
        return true;
    }
    return false;
}

QSize sizeTw(int w, int h) {
    return QSize(twipsToPx(w), twipsToPx(h));
}
QColor textColour(const QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}
void click(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseClick(w, b);
}

// The offscreen platform says so each time a fixed-size dialog changes size.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("propagateSizeHints"))) previousHandler(type, context, text);
}

} // namespace

class TstUpdate : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void init();
    void cleanup();

    void fetch();
    void latestRelease_data();
    void latestRelease();
    void newerRelease_data();
    void newerRelease();
    void checkFailures_data();
    void checkFailures();
    void newsMissing();
    void everyCheckStartsSmall();
    void download_data();
    void download();
    void downloadFailures_data();
    void downloadFailures();
    void aboutBox();
    void aboutOpensUpdate();
    void programIcon();

  private:
    std::unique_ptr<frmUpdate> openUpdate();

    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TestHttpServer> server_;
    std::unique_ptr<QWidget> main_;
};

void TstUpdate::init() {
    ui_.reset(); // the old one restores the real services when it goes
    ui_ = std::make_unique<ScriptedUi>();
    server_ = std::make_unique<TestHttpServer>();
    ui_->setUpdateServer(server_->base());
    main_ = std::make_unique<QWidget>();
    main_->setGeometry(200, 150, 900, 700);
}

void TstUpdate::cleanup() {
    const QString problems = ui_->problems();
    main_.reset();
    server_.reset();
    ui_.reset();
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
}

std::unique_ptr<frmUpdate> TstUpdate::openUpdate() {
    auto d = std::make_unique<frmUpdate>(nullptr, main_.get());
    d->Inet1.setTimeoutMs(3000);
    d->show();
    d->activateWindow();
    if (!QTest::qWaitForWindowActive(d.get())) qWarning("update dialog not active");
    return d;
}

void TstUpdate::fetch() {
    const QString b = server_->base();
    server_->serve(QStringLiteral("/a"), "QMX_VER 1.2.3");
    server_->serve(QStringLiteral("/big"), QByteArray(1001, 'x'));
    server_->serve(QStringLiteral("/fits"), QByteArray(1000, 'x'));
    server_->serve(QStringLiteral("/gone"), "missing", 404);
    server_->serve(QStringLiteral("/broken"), "oops", 500);
    server_->redirect(QStringLiteral("/moved"), b + QStringLiteral("/a"));
    server_->redirect(QStringLiteral("/relative"), QStringLiteral("/a"));
    server_->redirect(QStringLiteral("/local"), QStringLiteral("file:///etc/passwd"));
    server_->hang(QStringLiteral("/slow"));

    HttpFetch f;
    f.setMaxBytes(1000);
    QCOMPARE(f.OpenURL(b + QStringLiteral("/a")), QByteArray("QMX_VER 1.2.3"));
    QCOMPARE(f.OpenURL(b + QStringLiteral("/fits")).size(), 1000);
    QCOMPARE(f.OpenURL(b + QStringLiteral("/moved")), QByteArray("QMX_VER 1.2.3"));
    QCOMPARE(f.OpenURL(b + QStringLiteral("/relative")), QByteArray("QMX_VER 1.2.3"));
    for (const char* path : {"/big", "/gone", "/broken", "/local"})
        QVERIFY2(fetchFails(f, b + QLatin1String(path)), path);
    QVERIFY(fetchFails(f, deadServer() + QStringLiteral("/a")));
    QVERIFY(fetchFails(f, QStringLiteral("file:///etc/hostname")));
    // a server that never answers is given up after the time-out
    f.setTimeoutMs(300);
    QElapsedTimer t;
    t.start();
    QVERIFY(fetchFails(f, b + QStringLiteral("/slow")));
    QVERIFY(t.elapsed() < 10000);

    // Check4File: blanks and a byte-order mark go; a failure leaves nothing behind
    server_->serve(QStringLiteral("/bom"), "\xEF\xBB\xBF  QMX_NWZ news\r\n  ");
    frmUpdate d(nullptr, nullptr);
    QString resp;
    QVERIFY(d.Check4File(b + QStringLiteral("/bom"), resp));
    QCOMPARE(resp, QStringLiteral("QMX_NWZ news\r\n"));
    QVERIFY(!d.Check4File(b + QStringLiteral("/gone"), resp));
    QCOMPARE(resp, QString());
}

void TstUpdate::latestRelease_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("web");
    QTest::newRow("equal") << QByteArray("QMX_VER 0.80.0") << "0.80.0";
    QTest::newRow("older") << QByteArray("QMX_VER 0.79.9") << "0.79.9";
    QTest::newRow("blanks, zeros, final line break")
        << QByteArray("  QMX_VER 00.080.0\r\n ") << "0.80.0";
}

void TstUpdate::latestRelease() {
    QFETCH(QByteArray, file);
    QFETCH(QString, web);
    server_->serve(Ver, file);
    server_->serve(Nwz, "QMX_NWZ " + News);
    auto d = openUpdate();
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QVERIFY((d->frameGeometry().center() - main_->frameGeometry().center()).manhattanLength() <= 8);
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(server_->requested.isEmpty()); // nothing runs before cmdCheck

    ui_->answer(mb::AnsOK, QStringLiteral("KRVS update"));
    click(d->cmdCheck);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].text, QStringLiteral("Web release = ") + web +
                                     QStringLiteral("\r\nYour release = 0.80.0\r\nYou have the "
                                                    "latest release of KRVS."));
    QCOMPARE(ui_->boxes[0].flags, mb::Information);
    QCOMPARE(server_->requested, QStringList{Ver}); // no news fetched
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->cmdCheck->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QCOMPARE(d->focusWidget(), d->cmdCancel);
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::newerRelease_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("to");
    QTest::newRow("newer minor") << QByteArray("QMX_VER 0.81.0") << "0.81.0";
    QTest::newRow("zeros, lower-case tag") << QByteArray("qmx_ver 0.081.00") << "0.81.0";
    QTest::newRow("other separator, revision") << QByteArray("QMX_VER|0.80.1\n") << "0.80.1";
    QTest::newRow("newer major") << QByteArray("QMX_VER 1.0.0") << "1.0.0";
}

void TstUpdate::newerRelease() {
    QFETCH(QByteArray, file);
    QFETCH(QString, to);
    server_->serve(Ver, file);
    server_->serve(Nwz, "Qmx_Nwz " + News);
    auto d = openUpdate();
    const QPoint topLeft = d->pos();
    click(d->cmdCheck);
    QVERIFY(ui_->boxes.isEmpty());
    QCOMPARE(d->windowTitle(), QStringLiteral("Update available from v0.80.0 to v") + to);
    QCOMPARE(d->size(), sizeTw(4755, 4770));
    QCOMPARE(d->pos(), topLeft); // grows downwards
    QCOMPARE(d->txtInfo->toPlainText(), QStringLiteral("Release 0.81.0\n- faster searches\n"));
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->focusWidget(), d->cmdDown);
    QVERIFY(d->cmdCheck->isEnabled());
    QCOMPARE(d->MousePointer(), 0);
    QVERIFY(d->cmdDown->geometry().bottom() < d->height());
}

void TstUpdate::checkFailures_data() {
    QTest::addColumn<QByteArray>("file"); // "<404>", "<down>" or "<slow>": a server fault
    QTest::newRow("two pieces") << QByteArray("QMX_VER 1.2");
    QTest::newRow("not a number") << QByteArray("QMX_VER 1.x.3");
    QTest::newRow("eighth character missing") << QByteArray("QMX_VER");
    QTest::newRow("empty body") << QByteArray("    ");
    QTest::newRow("wrong tag") << QByteArray("QMX_NWZ 0.81.0");
    QTest::newRow("file missing") << QByteArray("<404>");
    QTest::newRow("server down") << QByteArray("<down>");
    QTest::newRow("server too slow") << QByteArray("<slow>");
}

void TstUpdate::checkFailures() {
    QFETCH(QByteArray, file);
    if (file == "<down>")
        ui_->setUpdateServer(deadServer());
    else if (file == "<slow>")
        server_->hang(Ver);
    else if (file != "<404>")
        server_->serve(Ver, file);
    server_->serve(Nwz, "QMX_NWZ " + News);
    auto d = openUpdate();
    d->Inet1.setTimeoutMs(400);
    ui_->answer(mb::AnsOK, QStringLiteral("Error in update"));
    click(d->cmdCheck);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].text,
             QStringLiteral("The update check failed. You must check for the\r\n"
                            "new version of this application manually at\r\n") +
                 makerWebAddress() + QStringLiteral("."));
    QCOMPARE(ui_->boxes[0].flags, mb::Critical);
    QVERIFY(!d->cmdLink->isHidden());
    QCOMPARE(d->focusWidget(), d->cmdLink);
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->cmdCheck->isEnabled());
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(d->MousePointer(), 0);
    QVERIFY(!server_->requested.contains(Nwz));

    click(d->cmdLink);
    QCOMPARE(ui_->shellFiles, QStringList{makerWebAddress()});
    QCOMPARE(ui_->shellVerbs, QStringList{QString()});
}

void TstUpdate::newsMissing() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    auto d = openUpdate();
    click(d->cmdCheck);
    QCOMPARE(d->txtInfo->toPlainText(), QStringLiteral("Unable to get news for KRVS."));
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->size(), sizeTw(4755, 4770));

    server_->serve(Nwz, "QMX_DLF " + News); // news under the wrong tag
    click(d->cmdCheck);
    QCOMPARE(d->txtInfo->toPlainText(), QStringLiteral("Unable to get news for KRVS."));
    QVERIFY(ui_->boxes.isEmpty());
}

void TstUpdate::everyCheckStartsSmall() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    server_->serve(Nwz, "QMX_NWZ " + News);
    auto d = openUpdate();
    click(d->cmdCheck);
    QCOMPARE(d->size(), sizeTw(4755, 4770));

    server_->serve(Ver, "QMX_VER 1.2");
    ui_->answer(mb::AnsOK, QStringLiteral("Error in update"));
    click(d->cmdCheck);
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->txtInfo->toPlainText().isEmpty());

    server_->serve(Ver, "QMX_VER 0.80.0");
    ui_->answer(mb::AnsOK, QStringLiteral("KRVS update"));
    click(d->cmdCheck);
    QVERIFY(d->cmdLink->isHidden()); // shown again only by a failure
}

void TstUpdate::download_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << mb::AnsOK;
    QTest::newRow("Cancel") << mb::AnsCancel;
}

void TstUpdate::download() {
    QFETCH(int, answer);
    server_->serve(Ver, "QMX_VER 0.81.0");
    server_->serve(Dlf, "QMX_DLF " + Installer.toUtf8() + "\r\n");
    auto d = openUpdate();
    click(d->cmdCheck);
    ui_->answer(answer, QStringLiteral("Instructions"));
    click(d->cmdDown);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].flags, mb::OKCancel | mb::Information);
    QCOMPARE(
        ui_->boxes[0].text,
        QStringLiteral("This feature will download the installer package\r\nfor the new version "
                       "of KRVS. After the download\r\nis complete, please exit the current "
                       "running version\r\nof KRVS before installing the new version."));
    QCOMPARE(ui_->shellFiles, answer == mb::AnsOK ? QStringList{Installer} : QStringList());
    QVERIFY(d->cmdDown->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::downloadFailures_data() {
    QTest::addColumn<QByteArray>("file"); // "<404>": no installer file
    QTest::newRow("file url") << QByteArray("QMX_DLF file:///usr/bin/xterm");
    QTest::newRow("local program") << QByteArray("QMX_DLF /usr/bin/xterm");
    QTest::newRow("other scheme") << QByteArray("QMX_DLF ftp://dl.quillmark.example/krvs.tar.gz");
    QTest::newRow("empty address") << QByteArray("QMX_DLF ");
    QTest::newRow("wrong tag") << QByteArray("QMX_VER https://dl.quillmark.example/krvs.tar.gz");
    QTest::newRow("file missing") << QByteArray("<404>");
}

void TstUpdate::downloadFailures() {
    QFETCH(QByteArray, file);
    server_->serve(Ver, "QMX_VER 0.81.0");
    if (file != "<404>") server_->serve(Dlf, file);
    auto d = openUpdate();
    click(d->cmdCheck);
    ui_->answer(mb::AnsOK, QStringLiteral("Error in download"));
    click(d->cmdDown);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].text, QStringLiteral("An error has occured. You must manually download "
                                                "the new\r\nversion of KRVS at ") +
                                     makerWebAddress() + QStringLiteral("."));
    QCOMPARE(ui_->boxes[0].flags, mb::Critical);
    QVERIFY(ui_->shellFiles.isEmpty());
    QVERIFY(!d->cmdLink->isHidden());
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::aboutBox() {
    frmAbout a(main_.get(), main_.get());
    a.show();
    QCOMPARE(a.lblVersion->text(), QStringLiteral("Version: 0.80.0"));
    QCOMPARE(frmAbout::programInfoText().split(QStringLiteral("\r\n\r\n")).size(), 4);
    QVERIFY((a.frameGeometry().center() - main_->frameGeometry().center()).manhattanLength() <= 8);

    // right and middle clicks on the web-site labels open nothing
    click(a.lblProduct, Qt::RightButton);
    click(a.lblURL, Qt::MiddleButton);
    QVERIFY(ui_->shellFiles.isEmpty());
    // any button on the copyright writes a mail
    QVERIFY(textColour(a.lblCopyright) != Red);
    click(a.lblCopyright, Qt::RightButton);
    QCOMPARE(ui_->shellFiles, QStringList{QStringLiteral("mailto:") + frmAbout::mailAddress()});
    QCOMPARE(textColour(a.lblCopyright), Red);

    click(a.lblProduct);
    click(a.lblURL);
    QCOMPARE(ui_->shellFiles.mid(1), QStringList({makerWebAddress(), makerWebAddress()}));
    QCOMPARE(textColour(a.lblURL), Red);
    QVERIFY(textColour(a.lblVersionUpdate) != Red);

    // a link the shell cannot open is reported and the box stays
    ui_->shellResult(2);
    ui_->answer(mb::AnsOK, QStringLiteral("Shell execute failed..."));
    click(a.lblURL);
    QVERIFY(a.isVisible());

    click(a.cmdOK);
    QVERIFY(!a.isVisible());
    // the next showing starts with the design colours
    frmAbout b(main_.get(), main_.get());
    QVERIFY(textColour(b.lblURL) != Red);
}

void TstUpdate::aboutOpensUpdate() {
    frmAbout a(main_.get(), main_.get());
    a.show();
    QString shownName;
    QWidget* owner = nullptr;
    QPoint centreOffset;
    ui_->onModal([&](QDialog& d) {
        shownName = d.objectName();
        owner = d.parentWidget();
        centreOffset = d.frameGeometry().center() - main_->frameGeometry().center();
    });
    click(a.lblVersionUpdate);
    QCOMPARE(shownName, QStringLiteral("frmUpdate"));
    QCOMPARE(owner, &a);
    QVERIFY(centreOffset.manhattanLength() <= 8); // over the main window, not the About box
    QCOMPARE(textColour(a.lblVersionUpdate), Red);
    QVERIFY(a.isVisible());
    QVERIFY(server_->requested.isEmpty());
}

void TstUpdate::programIcon() {
    // the resource is linked in and holds a drawing: opaque middle, clear corners
    const QImage img = programIconPixmap(32).toImage();
    QCOMPARE(img.size(), QSize(32, 32));
    QVERIFY(qAlpha(img.pixel(16, 16)) > 0);
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    frmUpdate d(nullptr, nullptr);
    QVERIFY(!d.windowIcon().isNull());
}

QTEST_MAIN(TstUpdate)
#include "tst_update.moc"
