#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <cstdio>

using namespace krvs;
using namespace krvs::test;

namespace {
QByteArray noise(int size) {
    QByteArray b(size, 0);
    for (char& c : b)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return b;
}

// Every entry under root with its target, bytes and time (the settings file by name only).
// Overwrites bytes of one page of a file as "overwrite PAGE FIRST LAST VALUE" says (pages
// of 4096 bytes counted from 1, -1 the last; FIRST and LAST within the page).
bool overwrite(const QString& file, const QByteArray& how) {
    const QList<QByteArray> v = how.split(' ');
    QByteArray data = readFileBytes(file);
    const int page = v[1].toInt() > 0 ? v[1].toInt() : int(data.size() / 4096);
    const int from = (page - 1) * 4096 + v[2].toInt(), to = (page - 1) * 4096 + v[3].toInt();
    if (to >= data.size()) return false;
    for (int i = from; i <= to; ++i)
        data[i] = static_cast<char>(v[4].toInt());
    return writeFileBytes(file, data);
}

QStringList snapshot(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        QString e = QDir(root).relativeFilePath(f.filePath());
        if (f.isSymLink())
            e += "->" + f.symLinkTarget();
        else if (f.isDir())
            e += '/';
        else if (f.fileName() != "KRVS.ini")
            e += '=' + QString::number(qHash(readFileBytes(f.filePath()))) +
                 f.lastModified().toString(Qt::ISODateWithMs);
        out << e;
    }
    out.sort();
    return out;
}
} // namespace

class TestStartup : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    // Every case twice: the window opens the catalogue and reads the cards itself, or
    // takes them from a read started before it, as the program's own start does.
    void initTestCase_data() {
        QTest::addColumn<bool>("early");
        QTest::newRow("window reads") << false;
        QTest::newRow("read early") << true;
    }
    void init() {
        QFETCH_GLOBAL(bool, early);
        begin();
        readEarly = early;
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    void firstStartWarnsOnceThenLoadsEveryCard() {
        QVERIFY(QFile::remove(iniFile()));
        QVERIFY(makeCatalogue(120));
        ui->answer(mb::AnsOK, "First and Only Backup Warning");
        start();
        QCOMPARE(ui->boxes.size(), 1);
        QVERIFY(
            ui->boxes[0].text.endsWith("Go to \"File>Backup Database\" to backup your database."));
        QCOMPARE(w->windowTitle(), loadedTitle(120));
        QCOMPARE(w->fgdCards->Rows(), 121);
        QCOMPARE(w->fgdCards->TextMatrix(0, 0) + w->fgdCards->TextMatrix(0, 9),
                 QString("DbIdUserComments"));
        for (int r = 2; r < w->fgdCards->Rows(); ++r) // ordered by DbId
            QVERIFY(w->fgdCards->TextMatrix(r, 0).toInt() >
                    w->fgdCards->TextMatrix(r - 1, 0).toInt());
        QCOMPARE(w->mnuPass->text(), QString("Add &Password To Database..."));
        QVERIFY(w->cmdQuery->isEnabled() && w->mnuPass->isEnabled() && w->mnuCompact->isEnabled() &&
                w->mnuMerge->isEnabled() && w->mnuSummary->isEnabled() && w->fgdCards->isEnabled());
        close();
        QVERIFY(readFileBytes(iniFile()).contains("Backup_Warn=1"));
        ui->boxes.clear();
        start();
        QVERIFY(ui->boxes.isEmpty()); // no warning on the second start
        QVERIFY(readFileBytes(iniFile()).contains("Backup_Warn=2"));
    }

    void passwordAcceptedAfterOneWrongTry() {
        QVERIFY(makeCatalogue(30, " Secret 1"));
        ui->onModal([](QDialog& form) { // blanks alone keep OK disabled; case matters
            auto* ok = form.findChild<QPushButton*>("cmdOK");
            QVERIFY(!ok->isEnabled());
            form.findChild<QLineEdit*>("txtPwd")->setText("    ");
            QVERIFY(!ok->isEnabled());
            form.findChild<QLineEdit*>("txtPwd")->setText("secret 1");
            ok->click();
        });
        start(" Secret 1"); // used exactly as typed
        QCOMPARE(ui->modalForms, QStringList({"frmAsk4Pwd", "frmAsk4Pwd"}));
        QCOMPARE(w->catalogue().password(), QString(" Secret 1"));
        QCOMPARE(w->windowTitle(), loadedTitle(30));
        QCOMPARE(w->mnuPass->text(), QString("Change Database &Password..."));
    }

    void cancelAtPromptLeavesCommandsDisabledAndStillSaves() {
        QVERIFY(QFile::remove(iniFile()));
        QVERIFY(makeCatalogue(5, "pw12"));
        ui->answer(mb::AnsOK, "First and Only Backup Warning");
        ui->onModal([](QDialog& form) { form.findChild<QPushButton*>("cmdCancel")->click(); });
        ui->answer(mb::AnsOK, "Error in Load");
        start();
        QCOMPARE(ui->boxes.last().text, QString("Error in loading the database!"));
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        QVERIFY(!w->cmdQuery->isEnabled() && !w->mnuPass->isEnabled() &&
                !w->mnuCompact->isEnabled() && !w->mnuMerge->isEnabled() &&
                !w->mnuSummary->isEnabled() && !w->fgdCards->isEnabled() &&
                !w->catalogue().isOpen() && w->mnuExit->isEnabled());
        w->mnuExit_Click();
        w.reset();
        QVERIFY(readFileBytes(iniFile()).contains("Backup_Warn=1"));
    }

    // No catalogue there: the long report says why, no prompt, nothing changed or created.
    void notACatalogue_data() {
        QTest::addColumn<QByteArray>("bytes"); // or how the file is made here
        QTest::addColumn<QString>("why");      // pieces of the report, split by '|'
        const QString no = "'%F' is not a card catalogue: |";
        const QByteArray random = noise(3000);
        QByteArray counting;
        for (int i = 0; i < 4096; ++i)
            counting += static_cast<char>(i % 256);
        QTest::newRow("text") << QByteArray(4096, 'x')
                              << no + "is neither a database file nor an encrypted one";
        QTest::newRow("zeros") << QByteArray(4096, 0) << no + "is neither";
        QTest::newRow("counting bytes") << counting << no + "is neither";
        QTest::newRow("empty") << QByteArray() << no + "the file is empty";
        QTest::newRow("short") << random.left(1000) << no + "the file is too short (1000 bytes";
        QTest::newRow("part of a page")
            << random << no + "its length (3000 bytes) is not a whole number of pages";
        QTest::newRow("cut catalogue") << QByteArray("catalogue") << no + "is not a whole number";
        QTest::newRow("damaged database")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, 'x') << no + "damaged";
        QTest::newRow("foreign database") << QByteArray("foreign") << no + "no table tblKRVS101";
        QTest::newRow("foreign log database") << QByteArray("foreign WAL") << no + "no table";
        QTest::newRow("cut plain catalogue")
            << QByteArray("plain cut") << no + "the file is damaged";
        QTest::newRow("damaged page inside")
            << QByteArray("plain page") << no + "the file is damaged";
        // Bytes of one page overwritten (page, first and last byte, value) in a catalogue
        // of 3,000 cards: whatever the first read meets, the same words.
        QTest::newRow("cells of a page overwritten")
            << QByteArray("overwrite 59 100 600 171") << no + "the file is damaged";
        QTest::newRow("cell pointers overwritten")
            << QByteArray("overwrite 59 8 40 255") << no + "the file is damaged";
        QTest::newRow("record texts overwritten")
            << QByteArray("overwrite 59 2000 4095 171") << no + "the file is damaged";
        QTest::newRow("page type zeroed")
            << QByteArray("overwrite 59 0 0 0") << no + "the file is damaged";
        QTest::newRow("first leaf overwritten")
            << QByteArray("overwrite 3 100 600 171") << no + "the file is damaged";
        QTest::newRow("table's root overwritten")
            << QByteArray("overwrite 2 0 200 171") << no + "the file is damaged";
        QTest::newRow("last page overwritten")
            << QByteArray("overwrite -1 100 4095 171") << no + "the file is damaged";
        QTest::newRow("card table lacks columns")
            << QByteArray("few columns")
            << no + "its table tblKRVS101 lacks the columns Index, CardType, Category, Series, "
                    "Season, Own, DBComments";
        QTest::newRow("missing") << QByteArray("missing") << "Could not find file '%F'";
        QTest::newRow("folder") << QByteArray("folder") << "'%F' is a folder, not a database file.";
        QTest::newRow("broken link") << QByteArray("link") << "Could not find file '%F'";
    }
    void notACatalogue() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const QString file = catalogue();
        if (bytes == "catalogue") {
            QVERIFY(makeCatalogue(20, "pw"));
            QVERIFY(QFile::resize(file, QFileInfo(file).size() - 100));
        } else if (bytes.startsWith("plain")) { // cut in half, or a middle page overwritten
            QVERIFY(makeCatalogue(400));
            const qint64 size = QFileInfo(file).size();
            QFile f(file);
            QVERIFY(size > 16 * 4096 && f.open(QIODevice::ReadWrite));
            QVERIFY(bytes.endsWith("cut") ? f.resize(size / 2)
                                          : f.seek(size / 2 / 4096 * 4096) && f.write(noise(4096)));
        } else if (bytes.startsWith("overwrite")) {
            QVERIFY(makeCatalogue(3000));
            QVERIFY(overwrite(file, bytes));
        } else if (bytes == "few columns") {
            QVERIFY(runSql(file,
                           "CREATE TABLE tblKRVS101 (DbId INTEGER PRIMARY KEY, Title TEXT, "
                           "UserComments TEXT); INSERT INTO tblKRVS101 VALUES (1, 'a', '');"));
        } else if (bytes.startsWith("foreign")) {
            QVERIFY(runSql(file, bytes.endsWith("WAL")
                                     ? "CREATE TABLE other (a); PRAGMA journal_mode=WAL;"
                                     : "CREATE TABLE other (a);"));
        } else if (bytes == "folder") {
            QVERIFY(QDir().mkpath(file));
        } else if (bytes == "link") {
            QVERIFY(QFile::link(at("gone/KRVS.krv"), file));
        } else if (bytes != "missing") {
            QVERIFY(writeFileBytes(file, bytes));
        }
        const QStringList before = snapshot(folder->path());
        const QStringList says = why.replace("%F", QDir::toNativeSeparators(file)).split('|');
        const bool noFile = !QFileInfo(file).isFile();
        ui->answer(mb::AnsOK, "Error in Load");
        start();
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        QVERIFY(ui->modalForms.isEmpty()); // no password prompt
        QVERIFY(!w->cmdQuery->isEnabled());
        if (noFile) // the connection closed, its error list emptied
            QVERIFY(!w->catalogue().isOpen() ||
                    (!w->catalogue().isOpen() && w->catalogue().errors().isEmpty()));
        close();
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.startsWith("\r\nVB Error # -2147467259\r\n   Source ") &&
                     text.contains("\r\n   Description  ") &&
                     text.contains("\r\nADO Error 0:\r\n   Error   #-2147467259\r\n   Source  ") &&
                     std::all_of(says.begin(), says.end(),
                                 [&](const QString& part) { return text.contains(part); }),
                 qPrintable(text));
        QCOMPARE(snapshot(folder->path()), before);
    }

    // An encrypted catalogue with a damaged page: the same words, after the password.
    void damagedEncryptedPage_data() {
        QTest::addColumn<QByteArray>("how");
        QTest::newRow("cells") << QByteArray("overwrite 30 100 600 171");
        QTest::newRow("one byte") << QByteArray("overwrite 59 2000 2000 0");
        QTest::newRow("last page") << QByteArray("overwrite -1 0 4095 0");
    }
    void damagedEncryptedPage() {
        QFETCH(QByteArray, how);
        QVERIFY(makeCatalogue(3000, "pw"));
        QVERIFY(overwrite(catalogue(), how));
        const QStringList before = snapshot(folder->path());
        ui->answer(mb::AnsOK, "Error in Load");
        start("pw");
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.contains("'" + QDir::toNativeSeparators(catalogue()) +
                               "' is not a card catalogue: the file is damaged"),
                 qPrintable(text));
        QVERIFY(!w->cmdQuery->isEnabled());
        close();
        QCOMPARE(snapshot(folder->path()), before);
    }

    // Damaged settings start normally, or stop with the long report; the next start is normal.
    void damagedSettings_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("boxes"); // titles, in order
        QTest::addColumn<QString>("report");    // in the load report, when there is one
        const QStringList warn{"First and Only Backup Warning"}, load{"Error in Load"};
        QTest::newRow("negative") << QByteArray("[Main]\r\nBackup_Warn=-5\r\nLeft=-99999\r\n"
                                                "Top=-2147483649\r\nWidth=-1\r\nHeight=-7\r\n"
                                                "[Search_Items]\r\nNumber=-3\r\n0=Kestrel\r\n")
                                  << warn << QString();
        QTest::newRow("huge") << QByteArray("[Main]\r\nBackup_Warn=1e400\r\nLeft=1e300\r\n"
                                            "Top=99999999999999999999\r\nWidth=4294967296\r\n"
                                            "Height=1e20\r\n")
                              << QStringList() << QString();
        QTest::newRow("not numbers") << QByteArray("[Main]\r\nBackup_Warn=many\r\nLeft=far\r\n"
                                                   "Width=wide\r\n[Search_Items]\r\nNumber=x\r\n"
                                                   "[Checks]\r\nTitle=yes\r\n")
                                     << warn << QString();
        QTest::newRow("binary junk") << noise(64 * 1024) << warn << QString();
        QTest::newRow("4 MB lines")
            << "[Main]\r\nBackup_Warn=7\r\nLeft=" + QByteArray(4 << 20, '9') +
                   "\r\n[Search_Items]\r\nCurrent=" + QByteArray(4 << 20, 'k') + "\r\n"
            << QStringList() << QString();
        QTest::newRow("no sections")
            << QByteArray("Backup_Warn=9\r\nLeft=100\r\nCol0Width=x\r\n") << warn << QString();
        // A value that stops the start names its file, section and key (%I: the file).
        QTest::newRow("history count past 16 bits")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Search_Items]\r\nNumber=99999\r\n") << load
            << "Overflow (the settings file '%I' holds Number=99999 in its section "
               "[Search_Items]: correct or delete that line).";
        QTest::newRow("column width past 32 bits")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Columns]\r\nCol0Width=1000\r\n"
                          "Col3Width=99999999999\r\n")
            << load
            << "\r\n   Description  Overflow (the settings file '%I' holds "
               "Col3Width=99999999999 in its section [Columns]";
        QTest::newRow("maximized neither true nor false")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\nMaximized=maybe\r\n") << load
            << "Type mismatch (the settings file '%I' holds Maximized=maybe in its section [Main]";
        QTest::newRow("check box value")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Checks]\r\nComments=1\r\nTitle=5\r\n")
            << load
            << "Invalid property value (the settings file '%I' holds Title=5 in its "
               "section [Checks]";
        QTest::newRow("long value")
            << "[Main]\r\nBackup_Warn=5\r\n[Columns]\r\nCol1Width=" + QByteArray(3000, '7') + "\r\n"
            << load << "holds Col1Width=" + QString(60, '7') + "... in";
    }
    void damagedSettings() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, boxes);
        QFETCH(QString, report);
        QVERIFY(makeCatalogue(10));
        QVERIFY(writeFileBytes(iniFile(), ini));
        const QByteArray before = readFileBytes(catalogue());
        for (const QString& title : boxes)
            ui->answer(mb::AnsOK, title);
        start();
        QCOMPARE(ui->titles(), boxes);
        if (report.isEmpty()) {
            QCOMPARE(w->windowTitle(), loadedTitle(10));
            QVERIFY(w->cboSearch->currentText().size() <= 2047);
            const QRect screen = w->screen()->geometry();
            QVERIFY(w->x() >= 0 && w->y() >= 0 && w->width() <= screen.width() &&
                    w->height() <= screen.height());
        } else {
            report.replace("%I", QDir::toNativeSeparators(iniFile()));
            QVERIFY2(ui->boxes.last().text.contains(report), qPrintable(ui->boxes.last().text));
            QVERIFY(!w->catalogue().isOpen());
        }
        close();
        QVERIFY(readFileBytes(catalogue()) == before);
        // The settings stored at the close read back cleanly.
        if (boxes == QStringList{"First and Only Backup Warning"} &&
            !QString(readFileBytes(iniFile())).contains(QRegularExpression("Backup_Warn=[1-9]")))
            ui->answer(mb::AnsOK, boxes[0]);
        start();
        QCOMPARE(w->windowTitle(), loadedTitle(10));
    }

    // Read-only says so (also where root could write anyway), and nothing is touched.
    void readOnlyCatalogueSaysSo_data() {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::addColumn<QString>("why");
        QTest::newRow("file") << false << "the file is read-only";
        QTest::newRow("folder") << true << "' is read-only";
    }
    void readOnlyCatalogueSaysSo() {
        QFETCH(bool, folderReadOnly);
        QFETCH(QString, why);
        QVERIFY(makeCatalogue(10));
        const QStringList before = snapshot(folder->path());
        const QString target = folderReadOnly ? folder->path() : catalogue();
        const auto permissions = QFile::permissions(target);
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup));
        ui->answer(mb::AnsOK, "Error in Load");
        start();
        close();
        QFile::setPermissions(target, permissions);
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.contains(why) && !text.contains("disk I/O error"), qPrintable(text));
        QCOMPARE(snapshot(folder->path()), before);
    }

    // The second copy is told that the catalogue is in use, before any password prompt;
    // the first goes on working.
    void secondProgramCannotOpenTheCatalogue_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("otherProcess"); // the first copy: a window here, or a process
        QTest::newRow("plain, window") << QString() << false;
        QTest::newRow("encrypted, window") << QString("pw 1") << false;
        QTest::newRow("plain, process") << QString() << true;
        QTest::newRow("encrypted, process") << QString("pw 1") << true;
    }
    void secondProgramCannotOpenTheCatalogue() {
        QFETCH(QString, password);
        QFETCH(bool, otherProcess);
        QVERIFY(makeCatalogue(10, password));
        QProcess first;
        if (otherProcess) {
            first.start(QCoreApplication::applicationFilePath(),
                        {"--hold-catalogue", folder->path(), password});
            QVERIFY(first.waitForStarted());
            while (!first.readAllStandardOutput().contains("loaded"))
                QVERIFY2(first.waitForReadyRead(60000), first.readAllStandardError().constData());
        } else {
            start(password);
        }
        // No prompt is scripted: one would fail the test.
        ui->answer(mb::AnsOK, "Error in Load");
        const qsizetype forms = ui->modalForms.size();
        const auto second = startMainWindow(ui.get(), folder->path(), QString(), readEarly);
        QCOMPARE(ui->modalForms.size(), forms);
        QVERIFY2(ui->boxes.last().text.contains("ADO Error 0:") &&
                     ui->boxes.last().text.contains("is already in use by another connection"),
                 qPrintable(ui->boxes.last().text));
        QVERIFY(!second->cmdQuery->isEnabled());
        if (otherProcess) {
            first.closeWriteChannel();
            QVERIFY(first.waitForFinished(60000) && first.exitCode() == 0);
            QCOMPARE(cardsOrError(catalogue(), password), 10);
        } else {
            w->bindGrid(w->shownSearch());
            QCOMPARE(w->fgdCards->Rows(), 11);
        }
    }

    void emptyTableCountsZero() {
        QVERIFY(makeCatalogueFromCsv(catalogue(), "DbId,Index,CardType,Title,Category,Series,"
                                                  "Season,Own,DBComments,UserComments\r\n"));
        start();
        QCOMPARE(w->windowTitle(), loadedTitle(0));
    }

    void folderAtRootGetsNoDoubledSeparator() {
        QCOMPARE(frmKRVS("/", "KRVS").programFolderWithSep(), QString("/"));
        QCOMPARE(frmKRVS("/opt/krvs", "KRVS").programFolderWithSep(), QString("/opt/krvs/"));
    }
};

// The first copy of the program, in a process of its own: it says "loaded" once it holds
// the catalogue and lets it go when its input ends.
int holdCatalogue(const QString& folder, const QString& password) {
    ScriptedUi ui;
    const auto w = startMainWindow(&ui, folder, password);
    if (w->windowTitle() != loadedTitle(10)) return 2;
    std::fputs("loaded\n", stdout);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == "--hold-catalogue") return holdCatalogue(args[2], args[3]);
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
