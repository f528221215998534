// The user's data folder with its starter catalogue, the command line, the update server.
#include "../update/TestHttpServer.h"
#include "app/DataFolder.h"
#include "app/frmKRVS.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "update/frmUpdate.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace krvs;
using namespace krvs::test;

namespace {

// Sets an environment variable (unsets it for a null value) until the guard goes.
auto setEnv(const char* name, const QByteArray& value) {
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray old = qgetenv(name);
    value.isNull() ? qunsetenv(name) : qputenv(name, value);
    return qScopeGuard([=] { had ? qputenv(name, old) : qunsetenv(name); });
}

// Every file and folder under root, relative to it, sorted.
QStringList tree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestProgramFolders : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void initTestCase() { QCoreApplication::setApplicationName("KRVS"); } // the user folder's name
    void init() { begin(); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // What the user's folder holds before the first start and after; without a usable
    // folder the start is refused with a reason and nothing is written.
    void userFolder_data() {
        QTest::addColumn<QString>("before"); // "name=content;…", or no folder: "!file", "!root"
        QTest::addColumn<bool>("starter");   // the package's starter catalogue exists
        QTest::addColumn<QString>("after");  // "files|the catalogue's origin", or the refusal
        QTest::newRow("first start") << "" << true << "KRVS.krv|starter";
        QTest::newRow("settings but no catalogue")
            << "KRVS.ini=[Main]" << true << "KRVS.ini,KRVS.krv|starter";
        QTest::newRow("own catalogue kept") << "KRVS.krv=mine" << true << "KRVS.krv|mine";
        QTest::newRow("own empty catalogue kept") << "KRVS.krv=" << true << "KRVS.krv|";
        QTest::newRow("no starter shipped") << "" << false << "|";
        QTest::newRow("data folder is a file") << "!file" << false << "cannot be created";
        QTest::newRow("home is the root folder") << "!root" << false << "no data folder";
    }
    void userFolder() {
        QFETCH(QString, before);
        QFETCH(bool, starter);
        QFETCH(QString, after);
        QTemporaryDir home;
        const QString data = home.filePath("share/KRVS");
        const bool root = before == "!root", refused = before.startsWith('!');
        const auto xdg =
            setEnv("XDG_DATA_HOME", root ? QByteArray() : home.filePath("share").toUtf8());
        const auto homeVar = setEnv("HOME", root ? QByteArray("/") : QDir::homePath().toUtf8());
        const bool rootHadIt = QFileInfo::exists("/.local/share/KRVS");
        if (refused) QVERIFY(writeFileBytes(home.filePath("share"), "a file, not a folder"));
        for (const QString& file :
             refused ? QStringList() : before.split(';', Qt::SkipEmptyParts)) {
            QVERIFY(QDir().mkpath(data));
            QVERIFY(writeFileBytes(data + '/' + file.section('=', 0, 0),
                                   file.section('=', 1).toUtf8()));
        }
        const QString starterFile = home.filePath("KRVS.krv");
        if (starter) {
            QVERIFY(writeFileBytes(starterFile, "starter"));
            // As installed: nobody may write it, which the copy must not inherit.
            QFile::setPermissions(starterFile, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        }

        const DataFolder folder = prepareUserDataFolder(starterFile);
        QCOMPARE(QFileInfo::exists("/.local/share/KRVS"), rootHadIt);
        if (refused) {
            QVERIFY2(folder.path.isEmpty() && folder.error.contains(after),
                     qPrintable(folder.error));
            QCOMPARE(tree(home.path()), QStringList{"share"});
            return;
        }
        QCOMPARE(folder.error, QString());
        QCOMPARE(folder.path, data);
        const QString catalogue = data + "/KRVS.krv";
        QCOMPARE(tree(data).join(',') + '|' + QString::fromUtf8(readFileBytes(catalogue)), after);
        if (QFileInfo::exists(catalogue))
            QVERIFY(QFileInfo(catalogue).permissions() & QFileDevice::WriteOwner);
    }

    // Started on the user's folder: the starter catalogue, the settings and backups there.
    void startsInTheUserFolder() {
        QTemporaryDir home;
        const auto xdg = setEnv("XDG_DATA_HOME", home.filePath("share").toUtf8());
        QVERIFY(copyOfCatalogue(home.filePath("starter.krv"), 37));
        const DataFolder data = prepareUserDataFolder(home.filePath("starter.krv"));
        QVERIFY(!data.path.isEmpty());
        ui->answer(mb::AnsOK, "First and Only Backup Warning");
        w = startMainWindow(ui.get(), data.path);
        QCOMPARE(w->windowTitle(), loadedTitle(37));
        QCOMPARE(w->catalogue().file(), data.path + "/KRVS.krv");
        ui->cancelSave();
        w->mnuBakDB_Click();
        QCOMPARE(QDir(ui->saveRequests.value(0).initDir).absolutePath(), data.path + "/backup");
        close();
        QCOMPARE(tree(data.path), (QStringList{"KRVS.ini", "KRVS.krv", "backup"}));
        QVERIFY(readFileBytes(data.path + "/KRVS.ini").startsWith("[Main]\r\nBackup_Warn=1\r\n"));
    }

    // --help, --help-all and --version need no display; nothing is written, nor for an unknown
    // option.
    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a piece of stdout and stderr together
        QTest::newRow("version") << QStringList{"--version"} << 0 << "KRVS 0.80.0\n";
        QTest::newRow("short version") << QStringList{"-v"} << 0 << "KRVS 0.80.0\n";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "KRVS_UPDATE_SERVER";
        QTest::newRow("help with the toolkit's options")
            << QStringList{"--help-all"} << 0 << "--help-all";
        QTest::newRow("help among others") << QStringList{"--bogus", "-h"} << 0 << "--version";
        QTest::newRow("after the window system's option")
            << QStringList{"-platform", "offscreen", "--version"} << 0 << "KRVS 0.80.0\n";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << "Unknown option 'bogus'";
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryDir folder;
        const QString exe = folder.filePath("KRVS");
        QVERIFY(QFile::copy(KRVS_EXE, exe));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        // The refusal comes after the window system started; the others need none.
        env.insert("QT_QPA_PLATFORM", exitCode ? "offscreen" : "xcb");
        env.insert("HOME", folder.filePath("home"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder.path());
        p.start(exe, args);
        QVERIFY(p.waitForFinished(20000));
        const QString all =
            QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(all.contains(output), qPrintable(all));
        QCOMPARE(p.exitCode(), exitCode);
        QCOMPARE(tree(folder.path()), QStringList{"KRVS"});
    }

    // The real services take the update server from KRVS_UPDATE_SERVER (Help > update check).
    void updateServerFromTheEnvironment() {
        TestHttpServer server;
        server.serve("/files/KRVS.ver", "QMX_VER 0.80.0");
        const auto env = setEnv("KRVS_UPDATE_SERVER", (" " + server.base() + "/ ").toUtf8());
        QVERIFY(makeCatalogue(3));
        ui.reset(); // the program's own message boxes and dialogs from here on
        start().show();
        QCOMPARE(w->windowTitle(), loadedTitle(3));

        // Plays the user: presses Check, reads the answer, closes both.
        QStringList seen;
        bool checked = false;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            QWidget* top = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(top)) {
                seen << box->windowTitle() + ": " + box->text();
                box->accept();
            } else if (auto* dlg = qobject_cast<frmUpdate*>(top)) {
                if (checked) return dlg->reject();
                checked = true;
                // queued: the check's answer comes while the click runs
                QMetaObject::invokeMethod(dlg->findChild<QPushButton*>("cmdCheck"), "click",
                                          Qt::QueuedConnection);
            }
        });
        user.start(50);
        QTimer::singleShot(20000, [&] { // never leave the test hanging in a dialog
            if (QWidget* top = QApplication::activeModalWidget()) top->close();
        });
        w->mnuUpdate->trigger();
        user.stop();
        QCOMPARE(server.requested, QStringList{"/files/KRVS.ver"});
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].startsWith("KRVS update: Web release = 0.80.0"), qPrintable(seen[0]));
        w->close();
    }
};

QTEST_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
