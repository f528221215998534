// Every writer on a real small file system filled to the brim: told, nothing lost.
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>
#include <unistd.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 400;

// A settings file as an earlier run left it, with history the default does not have.
const QByteArray kEarlierIni = "[Main]\r\nBackup_Warn=7\r\nLeft=1200\r\nTop=900\r\n"
                               "Width=12000\r\nHeight=8400\r\nMaximized=False\r\n"
                               "[Search]\r\nAutoAsterisks=False\r\nType=Advanced\r\n"
                               "[Search_Items]\r\nNumber=2\r\nCurrent=comet\r\n0=comet\r\n"
                               "1=nebula\r\n";

int run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The engine's check of every page of a catalogue file: "ok" when sound.
QString integrity(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    QStringList lines;
    if (sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return lines.join('\n');
}

} // namespace

class TstRealDisk : public QObject, AppFixture {
    Q_OBJECT
    bool mounted = false;

    QString filler() const { return at(".filler"); }
    // Fills the file system: a file of zeros written until no byte more fits.
    void fill() {
        run("dd", {"if=/dev/zero", "of=" + filler(), "bs=64k"});
        QFile probe(at(".probe"));
        QVERIFY(probe.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY2(probe.write(QByteArray(8192, 'x')) < 8192, "the disk is not full");
        probe.close();
        QFile::remove(at(".probe"));
    }
    void unfill() { QFile::remove(filler()); }
    QStringList filesIn(const QString& sub = QString()) const {
        QStringList l = QDir(at(sub)).entryList(QDir::Files | QDir::Hidden | QDir::System);
        // the open catalogue's log is the engine's own
        for (const char* mine : {".filler", "KRVS.krv-wal", "KRVS.krv-shm"})
            l.removeAll(mine);
        return l;
    }
    // The box that says so, the catalogue as it was with every card, the window working.
    void toldAndKept(const QString& title, const QString& says, const QByteArray& catalogueBytes) {
        const qsizetype shown = ui->titles().indexOf(title);
        QVERIFY2(shown >= 0, qPrintable(ui->titles().join(" | ")));
        QVERIFY2(ui->boxes[shown].text.contains(says), qPrintable(ui->boxes[shown].text));
        QVERIFY(readFileBytes(catalogue()) == catalogueBytes);
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
        queryWorks();
    }

  private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("mounting a small file system to fill needs root (CI runs the tests as root)");
    }

    // A 4 MB file system mounted on the program folder; the catalogue and the settings in it.
    void init() {
        begin(false);
        mounted = run("mount", {"-t", "tmpfs", "-o", "size=4m", "tmpfs", folder->path()}) == 0;
        if (!mounted) QSKIP("this system refuses to mount a tmpfs (no mount privilege)");
        folder->skipFirstStartWarning();
        ui->setNow(QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6)));
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() {
        unfill();
        close();
        if (mounted) QCOMPARE(run("umount", {folder->path()}), 0);
        mounted = false;
        QVERIFY2(end(), qPrintable(problems()));
    }

    // The start counter cannot be written: the old settings stay byte for byte, and the
    // window starts as they say (no first-start warning, the history kept).
    void settingsAtStart() {
        QVERIFY(writeFileBytes(iniFile(), kEarlierIni));
        fill();
        start();
        QCOMPARE(readFileBytes(iniFile()), kEarlierIni);
        QCOMPARE(filesIn(), QStringList({"KRVS.ini", "KRVS.krv"}));
        QCOMPARE(w->cboSearch->count(), 2);
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
    }

    // The settings at exit do not fit: the file the start wrote stays whole.
    void settingsAtExit() {
        QVERIFY(writeFileBytes(iniFile(), kEarlierIni));
        start();
        const QByteArray before = readFileBytes(iniFile());
        QVERIFY(before.contains("Backup_Warn=8"));
        typeText(w->cboSearch->lineEdit(), "moon");
        w->cmdQuery->click();
        fill();
        close();
        QCOMPARE(readFileBytes(iniFile()), before);
        QCOMPARE(filesIn(), QStringList({"KRVS.ini", "KRVS.krv"}));
        unfill();
        start();
        QCOMPARE(ui->boxes.size(), 0); // no first-start warning: the count was kept
        QCOMPARE(w->cboSearch->count(), 2);
    }

    // The export: the box names the file and the full disk.
    void exportFile_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("text") << 0;
        QTest::newRow("CSV") << 1;
    }
    void exportFile() {
        QFETCH(int, format);
        start();
        const QByteArray before = readFileBytes(catalogue());
        const QString file = at("list.out");
        fill();
        ui->saveAs(file);
        ui->answer(mb::AnsOK, "Error in dump-to-text");
        ui->answer(mb::AnsNo, "View file?");
        w->mnuSaveIt[format]->trigger();
        toldAndKept("Error in dump-to-text",
                    "61\r\nDisk full: " + QDir::toNativeSeparators(file) +
                        " (No space left on device)",
                    before);
    }

    // The backup copy, to a new name and over an earlier backup that must stay whole.
    void backupCopy_data() {
        QTest::addColumn<bool>("over");
        QTest::newRow("new name") << false;
        QTest::newRow("over an earlier backup") << true;
    }
    void backupCopy() {
        QFETCH(bool, over);
        QVERIFY(QDir(folder->path()).mkdir("backup"));
        const QString target = at("backup/copy.krv");
        const QByteArray earlier = "an earlier backup";
        if (over) QVERIFY(writeFileBytes(target, earlier));
        start();
        const QByteArray before = readFileBytes(catalogue());
        fill();
        ui->saveAs(target);
        if (over) ui->answer(mb::AnsYes, "Over-write file?");
        ui->answer(mb::AnsOK, "Error in backing up database");
        w->mnuBakDB->trigger();
        toldAndKept("Error in backing up database",
                    "61\r\nDisk full: " + QDir::toNativeSeparators(target) +
                        " (No space left on device)",
                    before);
        QCOMPARE(filesIn("backup"), over ? QStringList{"copy.krv"} : QStringList());
        if (over) QCOMPARE(readFileBytes(target), earlier);
    }

    // The compaction: its failure box, no scratch file, the catalogue reopened.
    void compaction() {
        start();
        const QByteArray before = readFileBytes(catalogue());
        fill();
        ui->answer(mb::AnsOK, "Compact Error");
        w->mnuCompact->trigger();
        toldAndKept("Compact Error", "Failure in compacting database!", before);
        QCOMPARE(filesIn(), QStringList({"KRVS.ini", "KRVS.krv"}));
    }

    // Adding a password: the disk is full, the catalogue and the menu as they were.
    void passwordChange() {
        start();
        const QByteArray before = readFileBytes(catalogue());
        const QString caption = w->mnuPass->text();
        fill();
        ui->onModal([&](QDialog& d) {
            auto& f = static_cast<frmPassword&>(d);
            QTest::keyClicks(f.txtNewPswd, "Secret-1");
            QTest::keyClicks(f.txtNewPswdRe, "Secret-1");
            ui->answer(mb::AnsOK, "Error in setting password");
            f.cmdOK->click();
            f.cmdCancel->click();
        });
        w->mnuPass->trigger();
        toldAndKept("Error in setting password",
                    "the disk is full. The database is unchanged and still uses its old password.",
                    before);
        QCOMPARE(w->mnuPass->text(), caption);
        QCOMPARE(filesIn(), QStringList({"KRVS.ini", "KRVS.krv"}));
        close();
        QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
    }

    // Own=YES on every card: the disk is full part-way; the updated cards are a run from
    // the first in the grid's order (any length), the others as they were, the file sound.
    void bulkOwn() {
        start();
        const QString ownBefore = ownColumn();
        QVERIFY(ownBefore.count('F') > kCards / 2);
        fill();
        w->fgdCards->setRow(1);
        w->fgdCards->setRowSel(w->fgdCards->Rows() - 1);
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, "Error in updating Own field");
        w->mnuStuff[2]->trigger(); // Set Selected to Own=YES
        const qsizetype shown = ui->titles().indexOf("Error in updating Own field");
        QVERIFY2(shown >= 0, qPrintable(ui->titles().join(" | ")));
        QVERIFY2(ui->boxes[shown].text.contains("disk is full"), qPrintable(ui->boxes[shown].text));
        queryWorks();
        close();
        unfill();

        QCOMPARE(integrity(catalogue()), QString("ok"));
        QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
        start();
        const QString ownAfter = ownColumn(); // DbId order, the order of the update
        QCOMPARE(ownAfter.size(), ownBefore.size());
        bool stopped = false;
        for (qsizetype i = 0; i < ownBefore.size(); ++i) {
            if (ownBefore[i] == 'T') {
                QCOMPARE(ownAfter[i], QChar('T'));
            } else if (ownAfter[i] == 'F') {
                stopped = true;
            } else {
                QVERIFY2(!stopped, qPrintable(QString("card %1 updated after a gap").arg(i)));
            }
        }
        QVERIFY2(stopped, "every card was updated on a full disk");
    }
};

QTEST_MAIN(TstRealDisk)
#include "tst_real_disk.moc"
