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
const QByteArray News = "Release 0.81.0\r\n- faster searches\r\n- new series\r\n";
const QString Installer = QStringLiteral("https://dl.quillmark.example/krvs-0.81.0.tar.gz");

QString checkFailed() {
    return QStringLiteral("The update check failed. You must check for the\r\nnew version of this "
                          "application manually at\r\n") +
           makerWebAddress() + QStringLiteral(".");
}

QString downloadFailed() {
    return QStringLiteral("An error has occured. You must manually download the new\r\nversion of "
                          "KRVS at ") +
           makerWebAddress() + QStringLiteral(".");
}

// A port on which nothing listens.
QString deadServer() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

bool fetchFails(const HttpFetch& f, const QString& url) {
    try {
        f.OpenURL(url);
    } catch (const AppError&) {
        return true;
    }
    return false;
}

QColor textColour(const QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}

} // namespace

class TstUpdate : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fetch();
    void check4File();
    void dialogStartsSmallAndCentred();
    void latestRelease_data();
    void latestRelease();
    void newerRelease_data();
    void newerRelease();
    void checkFailures_data();
    void checkFailures();
    void newsMissing();
    void everyCheckStartsSmall();
    void downloadAfterInstructions();
    void downloadCancelled();
    void downloadFailures_data();
    void downloadFailures();
    void linkButton();
    void aboutBox();
    void aboutLinks();
    void aboutOpensUpdate();
    void programIcon();

  private:
    std::unique_ptr<frmUpdate> openUpdate(QWidget* owner = nullptr);
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QSize sizeTw(int w, int h) { return QSize(twipsToPx(w), twipsToPx(h)); }

    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TestHttpServer> server_;
    std::unique_ptr<QWidget> main_;
};

// The offscreen platform cannot pass size limits to a window manager and says so
// each time a fixed-size dialog changes size; that notice is dropped here.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("propagateSizeHints"))) previousHandler(type, context, text);
}

void TstUpdate::initTestCase() {
    previousHandler = qInstallMessageHandler(quietHandler);
}

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

std::unique_ptr<frmUpdate> TstUpdate::openUpdate(QWidget* owner) {
    auto d = std::make_unique<frmUpdate>(owner, main_.get());
    d->Inet1.setTimeoutMs(3000);
    d->show();
    d->activateWindow();
    if (!QTest::qWaitForWindowActive(d.get())) qWarning("update dialog not active");
    return d;
}

void TstUpdate::fetch() {
    server_->serve(QStringLiteral("/a"), "QMX_VER 1.2.3");
    server_->serve(QStringLiteral("/big"), QByteArray(1001, 'x'));
    server_->serve(QStringLiteral("/fits"), QByteArray(1000, 'x'));
    server_->serve(QStringLiteral("/gone"), "missing", 404);
    server_->serve(QStringLiteral("/broken"), "oops", 500);
    server_->redirect(QStringLiteral("/moved"), server_->base() + QStringLiteral("/a"));
    server_->redirect(QStringLiteral("/relative"), QStringLiteral("/a"));
    server_->redirect(QStringLiteral("/local"), QStringLiteral("file:///etc/passwd"));
    server_->hang(QStringLiteral("/slow"));
    const QString b = server_->base();

    HttpFetch f;
    f.setMaxBytes(1000);
    QCOMPARE(f.OpenURL(b + QStringLiteral("/a")), QByteArray("QMX_VER 1.2.3"));
    QCOMPARE(f.OpenURL(b + QStringLiteral("/fits")).size(), 1000);
    QCOMPARE(f.OpenURL(b + QStringLiteral("/moved")), QByteArray("QMX_VER 1.2.3"));
    QCOMPARE(f.OpenURL(b + QStringLiteral("/relative")), QByteArray("QMX_VER 1.2.3"));
    QVERIFY(fetchFails(f, b + QStringLiteral("/big")));
    QVERIFY(fetchFails(f, b + QStringLiteral("/gone")));
    QVERIFY(fetchFails(f, b + QStringLiteral("/broken")));
    QVERIFY(fetchFails(f, b + QStringLiteral("/local")));
    QVERIFY(fetchFails(f, deadServer() + QStringLiteral("/a")));
    QVERIFY(fetchFails(f, QStringLiteral("file:///etc/hostname")));
    QVERIFY(fetchFails(f, QStringLiteral("not an address")));
    // a server that never answers is given up after the time-out
    f.setTimeoutMs(300);
    QElapsedTimer t;
    t.start();
    QVERIFY(fetchFails(f, b + QStringLiteral("/slow")));
    QVERIFY(t.elapsed() < 10000);
    QVERIFY(!server_->requested.contains(QStringLiteral("/etc/passwd")));
}

void TstUpdate::check4File() {
    server_->serve(QStringLiteral("/ok"), "\xEF\xBB\xBF  QMX_NWZ news\r\n  ");
    server_->serve(QStringLiteral("/blank"), "     ");
    auto d = openUpdate();
    QString resp = QStringLiteral("stale");
    QVERIFY(d->Check4File(server_->base() + QStringLiteral("/ok"), resp));
    QCOMPARE(resp, QStringLiteral("QMX_NWZ news\r\n"));
    resp = QStringLiteral("stale");
    QVERIFY(!d->Check4File(server_->base() + QStringLiteral("/blank"), resp));
    QCOMPARE(resp, QString());
    resp = QStringLiteral("stale");
    QVERIFY(!d->Check4File(server_->base() + QStringLiteral("/none"), resp));
    QCOMPARE(resp, QString());
}

void TstUpdate::dialogStartsSmallAndCentred() {
    auto d = openUpdate();
    QCOMPARE(d->objectName(), QStringLiteral("frmUpdate"));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QVERIFY(d->cmdCheck->isEnabled());
    QVERIFY(d->txtInfo->geometry().top() >= d->height()); // below the visible area
    QVERIFY((d->frameGeometry().center() - main_->frameGeometry().center()).manhattanLength() <= 8);
    QVERIFY(server_->requested.isEmpty()); // nothing runs before cmdCheck
}

void TstUpdate::latestRelease_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("web");
    QTest::newRow("equal") << QByteArray("QMX_VER 0.80.0") << "0.80.0";
    QTest::newRow("older") << QByteArray("QMX_VER 0.79.9") << "0.79.9";
    QTest::newRow("equal with zeros and a final line break")
        << QByteArray("  QMX_VER 00.080.0\r\n") << "0.80.0";
}

void TstUpdate::latestRelease() {
    QFETCH(QByteArray, file);
    QFETCH(QString, web);
    server_->serve(Ver, file);
    server_->serve(Nwz, "QMX_NWZ " + News);
    auto d = openUpdate();
    ui_->answer(mb::AnsOK, QStringLiteral("KRVS update"));
    click(d->cmdCheck);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].text, QStringLiteral("Web release = ") + web +
                                     QStringLiteral("\r\nYour release = 0.80.0\r\nYou have the "
                                                    "latest release of KRVS."));
    QCOMPARE(ui_->boxes[0].flags, mb::Information);
    QCOMPARE(server_->requested, QStringList{Ver}); // no news fetched
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->cmdCheck->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QCOMPARE(d->focusWidget(), d->cmdCancel);
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::newerRelease_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("caption");
    QTest::newRow("newer minor") << QByteArray("QMX_VER 0.81.0")
                                 << "Update available from v0.80.0 to v0.81.0";
    QTest::newRow("leading zeros, lower-case tag")
        << QByteArray("qmx_ver 0.081.00") << "Update available from v0.80.0 to v0.81.0";
    QTest::newRow("any separator, newer revision")
        << QByteArray("QMX_VER|0.80.1\n") << "Update available from v0.80.0 to v0.80.1";
    QTest::newRow("newer major") << QByteArray("QMX_VER 1.0.0")
                                 << "Update available from v0.80.0 to v1.0.0";
}

void TstUpdate::newerRelease() {
    QFETCH(QByteArray, file);
    QFETCH(QString, caption);
    server_->serve(Ver, file);
    server_->serve(Nwz, "Qmx_Nwz " + News);
    auto d = openUpdate();
    click(d->cmdCheck);
    QVERIFY(ui_->boxes.isEmpty());
    QCOMPARE(d->windowTitle(), caption);
    QCOMPARE(d->size(), sizeTw(4755, 4770));
    QCOMPARE(d->txtInfo->toPlainText(),
             QStringLiteral("Release 0.81.0\n- faster searches\n- new series\n"));
    QVERIFY(d->txtInfo->isReadOnly());
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->focusWidget(), d->cmdDown);
    QVERIFY(d->cmdCheck->isEnabled());
    QCOMPARE(d->MousePointer(), 0);
    QVERIFY(d->txtInfo->geometry().bottom() < d->height());
    QVERIFY(d->cmdDown->geometry().bottom() < d->height());
}

void TstUpdate::checkFailures_data() {
    QTest::addColumn<QByteArray>("file"); // "<404>", "<down>" or "<slow>" for a server fault
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
    QCOMPARE(ui_->boxes[0].text, checkFailed());
    QCOMPARE(ui_->boxes[0].flags, mb::Critical);
    QVERIFY(!d->cmdLink->isHidden());
    QCOMPARE(d->focusWidget(), d->cmdLink);
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->cmdCheck->isEnabled());
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QCOMPARE(d->MousePointer(), 0);
    QVERIFY(!server_->requested.contains(Nwz));
}

void TstUpdate::newsMissing() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    auto d = openUpdate();
    click(d->cmdCheck);
    QCOMPARE(d->txtInfo->toPlainText(), QStringLiteral("Unable to get news for KRVS."));
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->size(), sizeTw(4755, 4770));

    // news under the wrong tag counts as missing too
    server_->serve(Nwz, "QMX_DLF " + News);
    click(d->cmdCheck);
    QCOMPARE(d->txtInfo->toPlainText(), QStringLiteral("Unable to get news for KRVS."));
    QVERIFY(ui_->boxes.isEmpty());
}

void TstUpdate::everyCheckStartsSmall() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    server_->serve(Nwz, "QMX_NWZ " + News);
    auto d = openUpdate();
    const QPoint topLeft = d->pos();
    click(d->cmdCheck);
    QCOMPARE(d->size(), sizeTw(4755, 4770));
    QCOMPARE(d->pos(), topLeft); // grows downwards

    server_->serve(Ver, "QMX_VER 0.80.0");
    ui_->answer(mb::AnsOK, QStringLiteral("KRVS update"));
    click(d->cmdCheck);
    QCOMPARE(d->size(), sizeTw(4755, 2010));
    QCOMPARE(d->windowTitle(), QStringLiteral("Update"));
    QVERIFY(!d->cmdDown->isEnabled());
    QVERIFY(d->txtInfo->toPlainText().isEmpty());

    // a failed check after a failed one hides the link until it fails again
    server_->serve(Ver, "QMX_VER 1.2");
    ui_->answer(mb::AnsOK, QStringLiteral("Error in update"));
    click(d->cmdCheck);
    QVERIFY(!d->cmdLink->isHidden());
    server_->serve(Ver, "QMX_VER 0.80.0");
    ui_->answer(mb::AnsOK, QStringLiteral("KRVS update"));
    click(d->cmdCheck);
    QVERIFY(d->cmdLink->isHidden());
}

void TstUpdate::downloadAfterInstructions() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    server_->serve(Nwz, "QMX_NWZ " + News);
    server_->serve(Dlf, "QMX_DLF " + Installer.toUtf8() + "\r\n");
    auto d = openUpdate();
    click(d->cmdCheck);
    ui_->answer(mb::AnsOK, QStringLiteral("Instructions"));
    click(d->cmdDown);
    QCOMPARE(ui_->boxes.size(), 1);
    QCOMPARE(ui_->boxes[0].flags, mb::OKCancel | mb::Information);
    QCOMPARE(
        ui_->boxes[0].text,
        QStringLiteral("This feature will download the installer package\r\nfor the new version "
                       "of KRVS. After the download\r\nis complete, please exit the current "
                       "running version\r\nof KRVS before installing the new version."));
    QCOMPARE(ui_->shellFiles, QStringList{Installer});
    QCOMPARE(ui_->shellVerbs, QStringList{QString()});
    QVERIFY(d->cmdDown->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::downloadCancelled() {
    server_->serve(Ver, "QMX_VER 0.81.0");
    server_->serve(Dlf, "QMX_DLF " + Installer.toUtf8());
    auto d = openUpdate();
    click(d->cmdCheck);
    ui_->answer(mb::AnsCancel, QStringLiteral("Instructions"));
    click(d->cmdDown);
    QCOMPARE(ui_->titles(), QStringList{QStringLiteral("Instructions")});
    QVERIFY(ui_->shellFiles.isEmpty());
    QVERIFY(d->cmdDown->isEnabled());
    QVERIFY(d->cmdLink->isHidden());
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::downloadFailures_data() {
    QTest::addColumn<QByteArray>("file"); // "<404>": no installer file
    QTest::newRow("file url") << QByteArray("QMX_DLF file:///usr/bin/xterm");
    QTest::newRow("local program") << QByteArray("QMX_DLF /usr/bin/xterm");
    QTest::newRow("drive path") << QByteArray("QMX_DLF C:\\Windows\\system32\\calc.exe");
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
    QCOMPARE(ui_->boxes[0].text, downloadFailed());
    QCOMPARE(ui_->boxes[0].flags, mb::Critical);
    QVERIFY(ui_->shellFiles.isEmpty());
    QVERIFY(!d->cmdLink->isHidden());
    QVERIFY(d->cmdDown->isEnabled());
    QCOMPARE(d->MousePointer(), 0);
}

void TstUpdate::linkButton() {
    server_->serve(Ver, "QMX_VER x");
    auto d = openUpdate();
    QCOMPARE(d->cmdLink->text(), makerWebAddress());
    ui_->answer(mb::AnsOK, QStringLiteral("Error in update"));
    click(d->cmdCheck);
    click(d->cmdLink);
    QCOMPARE(ui_->shellFiles, QStringList{makerWebAddress()});
    QCOMPARE(ui_->shellVerbs, QStringList{QString()});
}

void TstUpdate::aboutBox() {
    frmAbout a(main_.get(), main_.get());
    QCOMPARE(a.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(a.windowTitle(), QStringLiteral("About KRVS"));
    QCOMPARE(a.lblVersion->text(), QStringLiteral("Version: 0.80.0"));
    QCOMPARE(a.lblProduct->text(), QStringLiteral("Quillmark"));
    QCOMPARE(a.lblURL->text(), makerWebAddress());
    QCOMPARE(a.lblVersionUpdate->text(), QStringLiteral("Update Information"));
    QCOMPARE(a.lblInfo[0]->text(), QStringLiteral("Korvessa Database"));
    QCOMPARE(a.lblInfo[1]->text(), QStringLiteral("KRVS"));
    QCOMPARE(a.lblCopyright->toolTip(), QStringLiteral("Email the owner/programmer"));
    QCOMPARE(a.lblVersionUpdate->toolTip(), QStringLiteral("Check for an update"));
    const QStringList paragraphs = frmAbout::programInfoText().split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(paragraphs.size(), 4);
    for (const QString& p : paragraphs)
        QVERIFY(!p.trimmed().isEmpty());
    QVERIFY(paragraphs[2].contains(frmAbout::mailAddress()));
    QCOMPARE(a.txtProgInfo->toPlainText().count(QStringLiteral("\n\n")), 3);
    QVERIFY((a.frameGeometry().center() - main_->frameGeometry().center()).manhattanLength() <= 8);

    a.show();
    click(a.cmdOK);
    QVERIFY(!a.isVisible());
    QCOMPARE(a.result(), int(QDialog::Accepted));
}

void TstUpdate::aboutLinks() {
    frmAbout a(main_.get(), main_.get());
    a.show();
    const QColor red(255, 0, 0);

    QTest::mouseClick(a.lblProduct, Qt::RightButton);
    QTest::mouseClick(a.lblURL, Qt::RightButton);
    QTest::mouseClick(a.lblURL, Qt::MiddleButton);
    QVERIFY(ui_->shellFiles.isEmpty());
    QVERIFY(a.isVisible());

    QVERIFY(textColour(a.lblCopyright) != red);
    QTest::mouseClick(a.lblCopyright, Qt::RightButton);
    QCOMPARE(ui_->shellFiles, QStringList{QStringLiteral("mailto:") + frmAbout::mailAddress()});
    QCOMPARE(textColour(a.lblCopyright), red);

    ui_->shellFiles.clear();
    ui_->shellVerbs.clear();
    QVERIFY(textColour(a.lblVersionUpdate) != red);
    QTest::mouseClick(a.lblProduct, Qt::LeftButton);
    QTest::mouseClick(a.lblURL, Qt::LeftButton);
    QCOMPARE(ui_->shellFiles, QStringList({makerWebAddress(), makerWebAddress()}));
    QCOMPARE(ui_->shellVerbs, QStringList({QString(), QString()}));
    QCOMPARE(textColour(a.lblURL), red);
    QCOMPARE(textColour(a.lblProduct), red);
    QVERIFY(textColour(a.lblVersionUpdate) != red);

    // a shell that cannot open the link says so and the box stays
    ui_->shellFiles.clear();
    ui_->shellResult(2);
    ui_->answer(mb::AnsOK, QStringLiteral("Shell execute failed..."));
    QTest::mouseClick(a.lblURL, Qt::LeftButton);
    QVERIFY(a.isVisible());

    // a fresh box has its design colours again
    frmAbout b(main_.get(), main_.get());
    QVERIFY(textColour(b.lblURL) != red);
}

void TstUpdate::aboutOpensUpdate() {
    frmAbout a(main_.get(), main_.get());
    a.show();
    QString shownName;
    QWidget* owner = nullptr;
    QPoint centreOffset;
    QSize size;
    ui_->onModal([&](QDialog& d) {
        shownName = d.objectName();
        owner = d.parentWidget();
        centreOffset = d.frameGeometry().center() - main_->frameGeometry().center();
        size = d.size();
    });
    QTest::mouseClick(a.lblVersionUpdate, Qt::LeftButton);
    QCOMPARE(shownName, QStringLiteral("frmUpdate"));
    QCOMPARE(owner, &a);
    QVERIFY(centreOffset.manhattanLength() <= 8); // over the main window, not the About box
    QCOMPARE(size, sizeTw(4755, 2010));
    QCOMPARE(textColour(a.lblVersionUpdate), QColor(255, 0, 0));
    QVERIFY(a.isVisible());
    QVERIFY(server_->requested.isEmpty());
}

void TstUpdate::programIcon() {
    QVERIFY(!krvs::programIcon().isNull());
    const QPixmap p = programIconPixmap(32);
    QCOMPARE(p.size(), QSize(32, 32));
    // a drawing, not an empty square: some pixels are opaque, the corners are not
    const QImage img = p.toImage();
    QVERIFY(qAlpha(img.pixel(16, 16)) > 0);
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    auto d = openUpdate();
    QVERIFY(!d->windowIcon().isNull());
    QVERIFY(!d->imgIcon->pixmap().isNull());
}

QTEST_MAIN(TstUpdate)
#include "tst_update.moc"
