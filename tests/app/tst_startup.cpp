#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTest>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {
// Types a password into the start-up prompt and presses a button.
std::function<void(QDialog&)> typePassword(const QString& text, const char* button = "cmdOK") {
    return [text, button](QDialog& form) {
        QVERIFY(!form.findChild<QPushButton*>("cmdOK")->isEnabled());
        form.findChild<QLineEdit*>("txtPwd")->setText(text);
        form.findChild<QPushButton*>(button)->click();
    };
}

QString iniText(const AppFolder& f) {
    QFile file(f.iniFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;

  private slots:
    void init() { ui = std::make_unique<ScriptedUi>(); }
    void cleanup() {
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    void firstStartWarnsOnceThenLoadsEveryCard() {
        AppFolder f;
        QVERIFY(makeCatalogue(f.catalogue(), 120));
        {
            ui->answer(mb::AnsOK, "First and Only Backup Warning");
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QCOMPARE(ui->boxes.size(), 1);
            QCOMPARE(
                ui->boxes[0].text,
                QString("Make sure you backup your database on a regular basis. If the \r\n"
                        "program is uninstalled then the main database will be deleted but \r\n"
                        "the backups will remain untouched. \r\n"
                        "Go to \"File>Backup Database\" to backup your database."));
            QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=120)"));
            QCOMPARE(w.fgdCards->Rows(), 121);
            QCOMPARE(w.fgdCards->TextMatrix(0, 0), QString("DbId"));
            QCOMPARE(w.fgdCards->TextMatrix(0, 9), QString("UserComments"));
            for (int r = 1; r < w.fgdCards->Rows(); ++r) // ordered by DbId
                QVERIFY(w.fgdCards->TextMatrix(r, 0).toInt() >
                            w.fgdCards->TextMatrix(r - 1, 0).toInt() ||
                        r == 1);
            QCOMPARE(w.g.gCurSQL, QString("SELECT * FROM tblKRVS101 ORDER BY DbId;"));
            QCOMPARE(w.mnuPass->text(), QString("Add &Password To Database..."));
            QVERIFY(w.cmdQuery->isEnabled() && w.mnuPass->isEnabled() && w.mnuCompact->isEnabled());
            QVERIFY(w.fgdCards->isEnabled());
            w.close();
        }
        QVERIFY(iniText(f).contains("Backup_Warn=1"));
        ui->boxes.clear();
        frmKRVS again(f.path(), "KRVS");
        again.Form_Load();
        QVERIFY(ui->boxes.isEmpty()); // no warning on the second start
        QCOMPARE(again.g.gRunCount, 2);
    }

    void passwordAcceptedAfterOneWrongTry() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 30, " Secret 1"));
        ui->onModal([](QDialog& form) { // blanks alone keep OK disabled; case matters
            auto* ok = form.findChild<QPushButton*>("cmdOK");
            form.findChild<QLineEdit*>("txtPwd")->setText("    ");
            QVERIFY(!ok->isEnabled());
            form.findChild<QLineEdit*>("txtPwd")->setText("secret 1");
            ok->click();
        });
        ui->onModal(typePassword(" Secret 1")); // used exactly as typed
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(ui->modalForms, QStringList({"frmAsk4Pwd", "frmAsk4Pwd"}));
        QCOMPARE(w.g.gDbPwd, QString(" Secret 1"));
        QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=30)"));
        QCOMPARE(w.mnuPass->text(), QString("Change Database &Password..."));
        QVERIFY(w.mConnStr.endsWith("Jet OLEDB:Database Password= Secret 1"));
    }

    void cancelAtPromptLeavesCommandsDisabledAndStillSaves() {
        AppFolder f;
        QVERIFY(makeCatalogue(f.catalogue(), 5, "pw12"));
        ui->answer(mb::AnsOK, "First and Only Backup Warning");
        ui->onModal(typePassword("", "cmdCancel"));
        ui->answer(mb::AnsOK, "Error in Load");
        {
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QCOMPARE(ui->boxes.last().text, QString("Error in loading the database!"));
            QCOMPARE(w.windowTitle(), QString("Korvessa Database"));
            QVERIFY(!w.cmdQuery->isEnabled() && !w.mnuPass->isEnabled() &&
                    !w.mnuCompact->isEnabled());
            QVERIFY(!w.fgdCards->isEnabled());
            QVERIFY(!w.g.gConn);
            QVERIFY(w.mnuExit->isEnabled());
            w.mnuExit_Click();
        }
        QVERIFY(iniText(f).contains("Backup_Warn=1"));
    }

    void missingCatalogueGivesLongReport() {
        AppFolder f;
        f.skipFirstStartWarning();
        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.startsWith("\r\nVB Error # -2147467259\r\n   Source "), qPrintable(text));
        QVERIFY(text.contains("\r\n   Description  "));
        QVERIFY2(text.contains("\r\nADO Error 0:\r\n   Error   #-2147467259\r\n   Source       "),
                 qPrintable(text));
        QVERIFY2(text.contains("KRVS.krv"), qPrintable(text)); // the engine names the file
        QVERIFY(!QFile::exists(f.catalogue()));                // and does not create one
        QVERIFY(w.g.gConn->Errors().isEmpty());                // the list was emptied
        QVERIFY(!w.cmdQuery->isEnabled());
    }

    // A file that cannot be a catalogue gets the long report naming it and why, never the
    // password prompt, and is left exactly as it was, with nothing beside it.
    void notACatalogue_data() {
        QTest::addColumn<QByteArray>("bytes"); // "catalogue" / "foreign": made here
        QTest::addColumn<QString>("why");
        QByteArray random(4096, 0);
        for (char& c : random)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        QByteArray counting;
        for (int i = 0; i < 4096; ++i)
            counting += static_cast<char>(i % 256);
        QTest::newRow("text") << QByteArray(4096, 'x')
                              << "is neither a database file nor an "
                                 "encrypted one";
        QTest::newRow("zeros") << QByteArray(4096, 0) << "is neither";
        QTest::newRow("counting bytes") << counting << "is neither";
        QTest::newRow("empty") << QByteArray() << "the file is empty";
        QTest::newRow("short") << random.left(1000) << "the file is too short (1000 bytes";
        QTest::newRow("part of a page")
            << random.left(3000) << "its length (3000 bytes) is not a whole number of pages";
        QTest::newRow("cut catalogue") << QByteArray("catalogue") << "is not a whole number";
        QTest::newRow("damaged database")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, 'x') << "damaged";
        QTest::newRow("foreign database") << QByteArray("foreign") << "no table tblKRVS101";
        QTest::newRow("foreign log database") << QByteArray("foreign WAL") << "no table";
        QTest::newRow("cut plain catalogue") << QByteArray("plain cut") << "the file is damaged";
        QTest::newRow("damaged page inside")
            << QByteArray("plain damaged") << "the file is damaged";
        QTest::newRow("card table lacks columns")
            << QByteArray("few columns")
            << "its table tblKRVS101 lacks the columns Index, CardType, Category, Series, "
               "Season, Own, DBComments";
    }
    void notACatalogue() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        AppFolder f;
        f.skipFirstStartWarning();
        if (bytes == "catalogue") {
            QVERIFY(makeCatalogue(f.catalogue(), 20, "pw"));
            QVERIFY(QFile::resize(f.catalogue(), QFileInfo(f.catalogue()).size() - 100));
        } else if (bytes.startsWith("plain")) {
            QVERIFY(makeCatalogue(f.catalogue(), 400));
            const qint64 size = QFileInfo(f.catalogue()).size();
            QVERIFY(size > 16 * 4096);
            QFile file(f.catalogue());
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (bytes.endsWith("cut")) {
                QVERIFY(file.resize(size / 2));
            } else { // a page in the middle overwritten with noise
                QByteArray noise(4096, 0);
                for (char& c : noise)
                    c = static_cast<char>(QRandomGenerator::global()->bounded(256));
                QVERIFY(file.seek(size / 2 / 4096 * 4096) && file.write(noise) == noise.size());
            }
        } else if (bytes == "few columns") {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(f.catalogue().toUtf8().constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db,
                                  "CREATE TABLE tblKRVS101 (DbId INTEGER PRIMARY KEY, Title TEXT, "
                                  "UserComments TEXT); INSERT INTO tblKRVS101 VALUES (1, 'a', '');",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
        } else if (bytes.startsWith("foreign")) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(f.catalogue().toUtf8().constData(), &db), SQLITE_OK);
            const QByteArray sql = "CREATE TABLE other (a); PRAGMA journal_mode=" +
                                   (bytes.endsWith("WAL") ? QByteArray("WAL;") : "DELETE;");
            QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else {
            QVERIFY(writeFileBytes(f.catalogue(), bytes));
        }
        const QByteArray before = readFileBytes(f.catalogue());
        const QDateTime modified = QFileInfo(f.catalogue()).lastModified();

        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.startsWith("\r\nVB Error # -2147467259\r\n"), qPrintable(text));
        QVERIFY2(text.contains("'" + QDir::toNativeSeparators(f.catalogue()) +
                               "' is not a card catalogue: "),
                 qPrintable(text));
        QVERIFY2(text.contains(why), qPrintable(text));
        QVERIFY(ui->modalForms.isEmpty()); // no password prompt
        QVERIFY(!w.cmdQuery->isEnabled());
        w.close();
        QVERIFY(readFileBytes(f.catalogue()) == before);
        QCOMPARE(QFileInfo(f.catalogue()).lastModified(), modified);
        QCOMPARE(QDir(f.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"KRVS.ini", "KRVS.krv"}));
    }

    // Where the catalogue should be there is a folder, or a link to nothing: the long
    // report says so and nothing is created, neither there nor where the link points.
    void catalogueIsNoFile_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("why");
        QTest::newRow("folder") << true << "' is a folder, not a database file.";
        QTest::newRow("broken link") << false << "Could not find file '";
    }
    void catalogueIsNoFile() {
        QFETCH(bool, folder);
        QFETCH(QString, why);
        AppFolder f;
        f.skipFirstStartWarning();
        const QString target = f.dir.filePath("gone/KRVS.krv");
        if (folder)
            QVERIFY(QDir().mkpath(f.catalogue()));
        else
            QVERIFY(QFile::link(target, f.catalogue()));
        ui->answer(mb::AnsOK, "Error in Load");
        {
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QVERIFY(!w.cmdQuery->isEnabled());
            QVERIFY(!w.g.gConn || w.g.gConn->State() != db::adStateOpen);
        }
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.startsWith("\r\nVB Error # -2147467259\r\n") && text.contains(why) &&
                     text.contains(QDir::toNativeSeparators(f.catalogue())),
                 qPrintable(text));
        if (folder)
            QVERIFY(QFileInfo(f.catalogue()).isDir() && QDir(f.catalogue()).isEmpty());
        else
            QVERIFY(QFileInfo(f.catalogue()).isSymLink() && !QFileInfo::exists(target) &&
                    !QFileInfo::exists(f.dir.filePath("gone")));
        QCOMPARE(QDir(f.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"KRVS.ini"}));
    }

    // A settings file damaged by hand or by a disk: values that cannot be read as numbers
    // are taken as numbers anyway (or their defaults) and the program starts normally;
    // the strict ones (a column width, a history count past 16 bits) stop the start with
    // the long report, and the next start is normal again.
    void damagedSettings_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("boxes"); // titles, in order
        QTest::addColumn<QString>("report");    // in the load report, when there is one
        const QString warn = "First and Only Backup Warning", load = "Error in Load";
        QByteArray junk(64 * 1024, 0);
        for (char& c : junk)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        QTest::newRow("negative") << QByteArray("[Main]\r\nBackup_Warn=-5\r\nLeft=-99999\r\n"
                                                "Top=-2147483649\r\nWidth=-1\r\nHeight=-7\r\n"
                                                "[Search_Items]\r\nNumber=-3\r\n0=Kestrel\r\n")
                                  << QStringList{warn} << QString();
        QTest::newRow("huge") << QByteArray("[Main]\r\nBackup_Warn=1e400\r\nLeft=1e300\r\n"
                                            "Top=99999999999999999999\r\nWidth=4294967296\r\n"
                                            "Height=1e20\r\n")
                              << QStringList() << QString();
        QTest::newRow("not numbers") << QByteArray("[Main]\r\nBackup_Warn=many\r\nLeft=far\r\n"
                                                   "Width=wide\r\n[Search_Items]\r\nNumber=x\r\n"
                                                   "[Checks]\r\nTitle=yes\r\n")
                                     << QStringList{warn} << QString();
        QTest::newRow("binary junk") << junk << QStringList{warn} << QString();
        QTest::newRow("4 MB lines")
            << "[Main]\r\nBackup_Warn=7\r\nLeft=" + QByteArray(4 << 20, '9') +
                   "\r\n[Search_Items]\r\nCurrent=" + QByteArray(4 << 20, 'k') + "\r\n"
            << QStringList() << QString();
        QTest::newRow("no sections") << QByteArray("Backup_Warn=9\r\nLeft=100\r\nCol0Width=x\r\n")
                                     << QStringList{warn} << QString();
        QTest::newRow("width not a number")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Columns]\r\nCol3Width=wide\r\n")
            << QStringList{load} << "Type mismatch";
        QTest::newRow("check box past 2")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Checks]\r\nNOR=1e10\r\n")
            << QStringList{load} << "Invalid property value";
        QTest::newRow("history count past 16 bits")
            << QByteArray("[Main]\r\nBackup_Warn=5\r\n[Search_Items]\r\nNumber=99999\r\n")
            << QStringList{load} << "Overflow";
    }
    void damagedSettings() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, boxes);
        QFETCH(QString, report);
        AppFolder f;
        QVERIFY(makeCatalogue(f.catalogue(), 10));
        QVERIFY(writeFileBytes(f.iniFile(), ini));
        const QByteArray catalogue = readFileBytes(f.catalogue());
        for (const QString& title : boxes)
            ui->answer(mb::AnsOK, title);
        {
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QCOMPARE(ui->titles(), boxes);
            if (report.isEmpty()) {
                QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=10)"));
                QVERIFY(w.cboSearch->currentText().size() <= 2047);
                const QRect screen = w.screen()->geometry();
                QVERIFY(w.x() >= 0 && w.y() >= 0 && w.width() <= screen.width() &&
                        w.height() <= screen.height());
            } else {
                QVERIFY2(ui->boxes.last().text.contains(report), qPrintable(ui->boxes.last().text));
                QVERIFY(!w.g.gConn);
            }
            w.close();
        }
        QVERIFY(readFileBytes(f.catalogue()) == catalogue);
        // The settings stored at the close read back cleanly.
        ui->boxes.clear();
        frmKRVS again(f.path(), "KRVS");
        if (boxes.contains("First and Only Backup Warning") &&
            again.ReadINI("Main", "Backup_Warn", "0").toInt() < 1)
            ui->answer(mb::AnsOK, "First and Only Backup Warning");
        again.Form_Load();
        QCOMPARE(again.windowTitle(), QString("Korvessa Database - (Total records=10)"));
    }

    // A catalogue the program cannot write says so (also where the system would let
    // root write anyway), and the file is not touched.
    void readOnlyCatalogueSaysSo_data() {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::addColumn<QString>("why");
        QTest::newRow("file") << false << "the file is read-only";
        QTest::newRow("folder") << true << "' is read-only";
    }
    void readOnlyCatalogueSaysSo() {
        QFETCH(bool, folderReadOnly);
        QFETCH(QString, why);
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 10));
        const QByteArray before = readFileBytes(f.catalogue());
        const QString target = folderReadOnly ? f.path() : f.catalogue();
        const auto permissions = QFile::permissions(target);
        QVERIFY(
            QFile::setPermissions(target, permissions & ~(QFile::WriteOwner | QFile::WriteUser |
                                                          QFile::WriteGroup | QFile::WriteOther)));
        ui->answer(mb::AnsOK, "Error in Load");
        {
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
        }
        QFile::setPermissions(target, permissions);
        QCOMPARE(ui->titles(), QStringList{"Error in Load"});
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.contains(why) && !text.contains("disk I/O error"), qPrintable(text));
        QVERIFY(readFileBytes(f.catalogue()) == before);
        QVERIFY(!QFile::exists(f.catalogue() + "-wal"));
    }

    void secondProgramCannotOpenTheCatalogue() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 10));
        frmKRVS first(f.path(), "KRVS");
        first.Form_Load();
        QCOMPARE(first.windowTitle(), QString("Korvessa Database - (Total records=10)"));
        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS second(f.path(), "KRVS");
        second.Form_Load();
        QVERIFY(ui->boxes.last().text.contains("ADO Error 0:"));
        QVERIFY(!second.cmdQuery->isEnabled());
        // The first copy goes on working.
        first.bindGrid(first.g.gCurSQL);
        QCOMPARE(first.fgdCards->Rows(), 11);
    }

    void emptyTableCountsZero() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogueFromCsv(f.catalogue(), "DbId,Index,CardType,Title,Category,Series,"
                                                    "Season,Own,DBComments,UserComments\r\n"));
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=0)"));
    }

    void folderAtRootGetsNoDoubledSeparator() {
        QCOMPARE(frmKRVS("/", "KRVS").programFolderWithSep(), QString("/"));
        QCOMPARE(frmKRVS("/opt/krvs", "KRVS").programFolderWithSep(), QString("/opt/krvs/"));
        QCOMPARE(
            db::connectionString(db::ConnectionUse::Startup, "/KRVS.krv", "  "),
            QString("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/KRVS.krv; Persist Security "
                    "Info=False; Jet OLEDB:Database Password=``"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
