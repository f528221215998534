// A disk full part way through each write (the engine's write budget): told, nothing lost.
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "util/WriteBudget.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 60;
constexpr qint64 kAmple = qint64(1) << 40;

// Runs act with an ample budget and returns the bytes it wrote.
qint64 bytesWrittenBy(const std::function<void()>& act) {
    ScopedWriteBudget count(kAmple);
    act();
    return kAmple - writeBudget();
}

// The free space left for an operation that writes `used` bytes.
qint64 budgetAt(const QString& where, qint64 used) {
    if (where == "first write") return 0;
    if (where == "half-way") return used / 2;
    return used - qMax<qint64>(1, used / 20); // near the end
}

void addWhereRows(const QStringList& operations) {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("where");
    for (const QString& op : operations)
        for (const char* where : {"first write", "half-way", "near the end"})
            QTest::addRow("%s, %s", qPrintable(op), where) << op << QString(where);
}

} // namespace

class TstFullDisk : public QObject, AppFixture {
    Q_OBJECT

    // After a failure: the catalogue and the folder as they were, every card still loaded.
    void leftAsItWas(const QByteArray& catalogueBytes, const QStringList& files = {}) {
        QVERIFY(readFileBytes(catalogue()) == catalogueBytes);
        if (!files.isEmpty()) QCOMPARE(folderFiles(), files);
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
        queryWorks();
    }
    // Backup, compaction or export ("text", "CSV", "over" a file) from the menu; box answered OK.
    void run(const QString& op, const QString& file, const QString& box) {
        if (!file.isEmpty()) ui->saveAs(file);
        if (op == "over") ui->answer(mb::AnsYes, "File already exists");
        if (!box.isEmpty()) ui->answer(mb::AnsOK, box);
        if (op == "text" || op == "CSV") ui->answer(mb::AnsNo, "View file?");
        (op == "backup"       ? w->mnuBakDB
         : op == "compaction" ? w->mnuCompact
                              : w->mnuSaveIt[op == "CSV" ? 1 : 0])
            ->trigger();
    }
    QString lastBox() const { return ui->boxes.isEmpty() ? QString() : ui->boxes.last().text; }
    QStringList folderFiles(const QString& sub = QString()) const {
        return QDir(at(sub)).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

  private slots:
    void init() {
        begin();
        ui->setNow(QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6)));
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() {
        setWriteBudget(-1);
        QVERIFY2(end(), qPrintable(problems()));
    }

    // Backup and compaction: the box, no copy or scratch file left, the catalogue reopened.
    void backupAndCompaction_data() { addWhereRows({"backup", "compaction"}); }
    void backupAndCompaction() {
        QFETCH(QString, operation);
        QFETCH(QString, where);
        const bool backup = operation == "backup";
        start();
        const QString target = backup ? at("backup/copy.krv") : QString();
        const qint64 used = bytesWrittenBy(
            [&] { run(operation, target, backup ? "Success" : "Compact successful"); });
        QVERIFY(used > 8192);
        if (backup) QVERIFY(QFile::remove(target));
        const QByteArray before = readFileBytes(catalogue());
        const QStringList files = folderFiles();
        {
            ScopedWriteBudget full(budgetAt(where, used));
            run(operation, target, backup ? "Error in backing up database" : "Compact Error");
        }
        QCOMPARE(lastBox(), backup ? "61\r\nDisk full: " + QDir::toNativeSeparators(target) +
                                         " (No space left on device)"
                                   : QString("Failure in compacting database!"));
        QCOMPARE(folderFiles("backup"), QStringList());
        leftAsItWas(before, files);
    }

    // Own is kept in groups of cards: a clean run of them set, the rest kept, the file sound.
    void bulkOwnUpdate_data() { addWhereRows({"own"}); }
    void bulkOwnUpdate() {
        QFETCH(QString, where);
        start();
        constexpr int kSelected = 40;
        // Selects the first 40 rows (the grid is in DbId order) and sets them.
        const auto setOwn = [&](bool own, const char* then) {
            w->fgdCards->setRow(1);
            w->fgdCards->setRowSel(kSelected);
            ui->answer(mb::AnsYes, "Own field update");
            ui->answer(mb::AnsOK, then);
            w->mnuStuff[own ? 2 : 3]->trigger();
        };
        const qint64 used = bytesWrittenBy([&] { setOwn(false, "Own field update"); });
        const QString rest = ownColumn().mid(kSelected);
        const QByteArray before = readFileBytes(catalogue());

        {
            ScopedWriteBudget full(budgetAt(where, used));
            setOwn(true, "Error in updating Own field");
        }
        QVERIFY2(lastBox().contains("disk is full"), qPrintable(lastBox()));
        const QString own = ownColumn();
        const qsizetype set = own.indexOf('F');
        QVERIFY2(set >= 0 && set < kSelected &&
                     own.left(kSelected) == QString(set, 'T') + QString(kSelected - set, 'F'),
                 qPrintable(own));
        QCOMPARE(own.mid(kSelected), rest);
        if (where == "first write") QVERIFY(readFileBytes(catalogue()) == before);
        queryWorks();
        close();
        sqlite3* db = nullptr;
        sqlite3_stmt* st = nullptr;
        QCOMPARE(sqlite3_open(catalogue().toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &st, nullptr);
        const bool sound =
            sqlite3_step(st) == SQLITE_ROW &&
            !qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") &&
            sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
        sqlite3_close(db);
        QVERIFY(sound);
    }

    // The export: "Disk full", the lines before it kept whole, the viewing still offered.
    void exportFile_data() { addWhereRows({"text", "CSV"}); }
    void exportFile() {
        QFETCH(QString, operation);
        QFETCH(QString, where);
        start();
        const QByteArray before = readFileBytes(catalogue());
        const QString whole = at("whole.out"), part = at("part.out");
        const qint64 used = bytesWrittenBy([&] { run(operation, whole, ""); });
        QCOMPARE(used, QFileInfo(whole).size());
        {
            ScopedWriteBudget full(budgetAt(where, used));
            run(operation, part, "Error in dump-to-text");
        }
        QCOMPARE(ui->boxes[ui->boxes.size() - 2].text,
                 "61\r\nDisk full: " + QDir::toNativeSeparators(part) +
                     " (No space left on device)");
        const QByteArray written = readFileBytes(part), all = readFileBytes(whole);
        QVERIFY(written.size() < all.size() && all.startsWith(written) && all.endsWith("\r\n"));
        QVERIFY(written.isEmpty() || written.endsWith("\r\n"));
        leftAsItWas(before);
    }

    // Settings at close report nothing, and a save that does not fit keeps the old file whole.
    void settingsAtClose_data() { addWhereRows({"settings"}); }
    void settingsAtClose() {
        QFETCH(QString, where);
        start();
        const QByteArray fresh = readFileBytes(iniFile()); // the start counter only
        const qint64 used = bytesWrittenBy([&] { close(); });
        QVERIFY(used > 2 * fresh.size());

        QVERIFY(writeFileBytes(iniFile(), fresh));
        start();
        const QByteArray before = readFileBytes(iniFile());
        {
            ScopedWriteBudget full(budgetAt(where, used));
            close();
        }
        QCOMPARE(readFileBytes(iniFile()), before);
        QCOMPARE(folderFiles(), QStringList({"KRVS.ini", "KRVS.krv"}));
        start();
        queryWorks();
    }

    // A read-only folder (also for root) is named before anything closes; the settings still save.
    void readOnlyFolder_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("sub"); // the folder made read-only after the start
        QTest::addColumn<QString>("box");
        const auto row = [](const char* name, const char* operation, const char* sub,
                            const char* box) {
            QTest::newRow(name) << QString(operation) << QString(sub) << QString(box);
        };
        row("backup, program folder", "backup", "", "Error in backing up database");
        row("backup, backup folder", "backup", "backup", "Error in backing up database");
        row("compaction", "compaction", "", "Error in compacting database");
        row("export", "text", "", "Error in dump-to-text");
        row("export over a file", "over", "", "Error in saving file");
        row("settings", "settings", "", "");
    }
    void readOnlyFolder() {
        QFETCH(QString, operation);
        QFETCH(QString, sub);
        QFETCH(QString, box);
        if (!sub.isEmpty()) QVERIFY(QDir(folder->path()).mkdir(sub));
        QVERIFY(writeFileBytes(at("old.txt"), "kept"));
        start();
        const QString readOnly = sub.isEmpty() ? folder->path() : at(sub);
        const QByteArray before = readFileBytes(catalogue());
        const QStringList files = folderFiles();
        const auto permissions = QFile::permissions(readOnly);
        QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadGroup | QFile::ExeGroup));
        if (operation == "settings")
            close();
        else
            run(operation,
                operation == "over"                       ? at("old.txt")
                : operation == "text"                     ? at("new.txt")
                : operation == "backup" && !sub.isEmpty() ? at("backup/copy.krv")
                                                          : QString(),
                box);
        QFile::setPermissions(readOnly, permissions);
        if (operation == "settings") {
            QVERIFY(readFileBytes(iniFile()).contains("[Columns]\r\nCol0Width="));
            start();
            queryWorks();
        } else {
            const qsizetype shown = ui->titles().indexOf(box);
            QVERIFY(shown >= 0);
            QCOMPARE(ui->boxes[shown].text,
                     "70\r\nPermission denied: " + QDir::toNativeSeparators(readOnly) +
                         " (Permission denied)");
            QCOMPARE(readFileBytes(at("old.txt")), QByteArray("kept"));
            leftAsItWas(before, files);
        }
        QVERIFY(readFileBytes(catalogue()) == before);
    }
};

QTEST_MAIN(TstFullDisk)
#include "tst_full_disk.moc"
