// The program killed at each step of a file operation: the next start finds every card.
#include "app/frmKRVS.h"
#include "db/DbTestUtil.h"
#include "db/Engine.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 3000;
const QString kOldPwd = QStringLiteral("Old-pw1");
const QString kNewPwd = QStringLiteral("New-pw2");
const QString kBackupName = QStringLiteral("backup/crash.krv");
const QString kElsewhereName = QStringLiteral("elsewhere/crash.krv");
const QByteArray kEarlierBackup = "an earlier backup";
const QString kLoaded = loadedTitle(kCards);

// The child: one operation through the window; returning means the kill never came.
int runChild(const QStringList& args) {
    if (args.size() < 4) return 2;
    const QString op = args[0], folder = args[1], before = args[2], after = args[3];
    ScriptedUi ui;
    auto w = startMainWindow(&ui, folder, before);
    if (w->windowTitle() != kLoaded) {
        std::fprintf(stderr, "not loaded: %s\n", qPrintable(w->windowTitle()));
        return 2;
    }
    if (op == "compaction") {
        ui.answer(mb::AnsOK, "Compact successful");
        w->mnuCompact->trigger();
    } else if (op == "backup" || op == "backup elsewhere" || op == "backup over") {
        // elsewhere: a folder of the user's choice, which no start sweeps
        const QString name = op == "backup" ? kBackupName : kElsewhereName;
        QDir(folder).mkpath(name.section(QLatin1Char('/'), 0, 0));
        ui.saveAs(folder + QLatin1Char('/') + name);
        if (op == "backup over") ui.answer(mb::AnsYes, "Over-write file?");
        ui.answer(mb::AnsOK, "Success");
        w->mnuBakDB->trigger();
    } else if (op == "password") {
        ui.onModal([&](QDialog& d) {
            auto& f = static_cast<frmPassword&>(d);
            if (f.changeMode()) QTest::keyClicks(f.txtOldPswd, before);
            if (after.isEmpty()) {
                f.chkDisPass->click();
            } else {
                QTest::keyClicks(f.txtNewPswd, after);
                QTest::keyClicks(f.txtNewPswdRe, after);
            }
            ui.answer(mb::AnsOK, "Password success");
            f.cmdOK->click();
        });
        w->mnuPass->trigger();
    } else if (op == "bulk") {
        // the grid's cards are updated in DbId order: the parent checks a prefix of it
        FlexGrid* grid = w->fgdCards;
        QList<int> ids;
        for (int r = 1; r < grid->Rows(); ++r)
            ids.append(grid->TextMatrix(r, 0).toInt());
        std::sort(ids.begin(), ids.end());
        QByteArray order;
        for (const int id : ids)
            order += QByteArray::number(id) + '\n';
        std::fwrite(order.constData(), 1, static_cast<size_t>(order.size()), stdout);
        std::fflush(stdout);
        grid->setRow(1);
        grid->setRowSel(grid->Rows() - 1);
        ui.answer(mb::AnsYes, "Own field update");
        ui.answer(mb::AnsOK, "Own field update");
        w->mnuStuff[2]->trigger(); // mark owned
    } else if (op == "settings") {
        w->show();
        w->close(); // the settings are written as the window goes
    }
    std::fprintf(stderr, "the operation ended without reaching its crash point. %s\n",
                 qPrintable(ui.problems()));
    return 3;
}

struct StoredCard {
    QString title;
    bool own = false;
};
using Cards = QMap<qint32, StoredCard>;

// Every card of a catalogue file opened with exactly pwd; empty when it does not open.
std::optional<Cards> readCards(const QString& path, const QString& pwd, QString* integrity) {
    try {
        if (integrity) {
            // the engine's check of every page and index, on the file as it lies
            db::engine::OpenOptions o;
            o.wal = false;
            sqlite3* db = db::engine::open(path, pwd, o);
            sqlite3_stmt* st = nullptr;
            QStringList lines;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &st, nullptr) == SQLITE_OK)
                while (sqlite3_step(st) == SQLITE_ROW)
                    lines << QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
            db::engine::close(db);
            *integrity = lines.join(QLatin1Char('\n'));
        }
        db::Connection c;
        openCatalogue(c, path, pwd);
        auto rows = c.execute(QStringLiteral("SELECT DbId, Title, Own FROM tblKRVS101;"));
        Cards cards;
        for (int r = 0; r < rows->rowCount(); ++r)
            cards.insert(rows->cell(r, 0).toInt(),
                         {rows->cell(r, 1), rows->cell(r, 2) == QLatin1String("True")});
        c.close();
        return cards;
    } catch (const AppError&) {
        return std::nullopt;
    }
}

} // namespace

class TstCrash : public QObject, AppFixture {
    Q_OBJECT
    Cards original;
    int trials = 0;
    int survived = 0;

  private slots:
    void initTestCase() {
        QTemporaryDir dir; // the encrypted trials are held to the same cards
        QVERIFY(copyOfCatalogue(dir.filePath("plain.krv"), kCards));
        const auto plain = readCards(dir.filePath("plain.krv"), QString(), nullptr);
        QVERIFY(plain && plain->size() == kCards);
        original = *plain;
        const auto owned = std::count_if(original.cbegin(), original.cend(),
                                         [](const StoredCard& c) { return c.own; });
        QVERIFY(owned > 0 && owned < kCards / 2); // the bulk update changes most cards
    }
    void cleanupTestCase() {
        std::printf("crash trials: %d, survived: %d, lost: %d\n", trials, survived,
                    trials - survived);
        std::fflush(stdout);
    }

    void killedOperation_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("after"); // the password the operation gives
        for (const bool enc : {false, true}) {
            const char* kind = enc ? "encrypted" : "plain";
            const QString pwd = enc ? kOldPwd : QString();
            // the copy is written, then renamed to backup.qmx, then over the catalogue
            for (const char* step : {"export-begun", "export-written", "export-done",
                                     "swap-after:1", "swap-before:2", "swap-after:2"})
                QTest::addRow("compaction, %s, %s", kind, step)
                    << "compaction" << step << enc << pwd;
            for (const char* op : {"backup", "backup elsewhere", "backup over"})
                for (const char* step : {"copy-written", "copy-before-rename", "copy-after-rename"})
                    QTest::addRow("%s, %s, %s", op, kind, step) << op << step << enc << pwd;
            // before the first card, part-way, before the last card
            for (const int n : {1, kCards / 3, kCards})
                QTest::addRow("bulk update, %s, card %d", kind, n)
                    << "bulk" << QStringLiteral("bulk-update:%1").arg(n) << enc << pwd;
        }
        const struct {
            const char* name;
            bool enc;
            QString after;
        } changes[] = {{"set", false, kNewPwd}, {"change", true, kNewPwd}, {"remove", true, {}}};
        for (const auto& c : changes)
            for (const char* step : {"export-written", "export-done", "swap-before", "swap-after"})
                QTest::addRow("password %s, %s", c.name, step)
                    << "password" << step << c.enc << c.after;
        // the start counter written at start, then the whole settings at exit
        for (const char* step : {"ini-write:1", "ini-write:2"})
            QTest::addRow("settings, %s", step) << "settings" << step << false << QString();
    }
    void killedOperation() {
        QFETCH(QString, op);
        QFETCH(QString, step);
        QFETCH(bool, encrypted);
        QFETCH(QString, after);
        const QString before = encrypted ? kOldPwd : QString();
        ++trials;

        begin();
        QVERIFY(makeCatalogue(kCards, before));
        // killed at exit: the file the start wrote; killed at start: the one before it
        if (op == "backup over") {
            QVERIFY(QDir(folder->path()).mkpath("elsewhere"));
            QVERIFY(writeFileBytes(at(kElsewhereName), kEarlierBackup));
        }
        QByteArray iniBefore = readFileBytes(iniFile());
        if (step == "ini-write:2") iniBefore.replace("Backup_Warn=5", "Backup_Warn=6");

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KRVS_CRASH_AT", step);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--crash-child", op, folder->path(), before, after});
        QVERIFY2(child.waitForFinished(120000), "the child did not end");
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::CrashExit &&
                     err.contains(QStringLiteral("crash point reached: ") + step),
                 qPrintable(QStringLiteral("exit %1: %2").arg(child.exitCode()).arg(err)));

        // The catalogue opens under the password before or after, and under no other.
        QString integrity;
        std::optional<Cards> cards = readCards(catalogue(), before, &integrity);
        QString pwd = before;
        if (!cards && after != before) {
            cards = readCards(catalogue(), after, &integrity);
            pwd = after;
        }
        QVERIFY2(cards, "the catalogue opens under neither the old nor the new password");
        QCOMPARE(integrity, QStringLiteral("ok"));

        // Every card is there; a bulk update marked a prefix of its order, and only that.
        QHash<qint32, int> place; // in the bulk update's order
        const QStringList order = out.split('\n', Qt::SkipEmptyParts);
        for (int i = 0; i < order.size(); ++i)
            place.insert(order[i].toInt(), i);
        if (op == "bulk") QCOMPARE(place.size(), kCards);
        // The cards are kept in groups: the kill drops the group it met, so the prefix
        // ends at a group's end before the card it was killed at.
        const int reached = op == "bulk" ? step.section(':', 1).toInt() - 1 : 0;
        int done = 0;
        while (done < order.size() && cards->value(order[done].toInt()).own)
            ++done;
        while (done > 0 && original.value(order[done - 1].toInt()).own &&
               done > reached) // owned before: not the update's
            --done;
        QVERIFY2(done <= reached,
                 qPrintable(QString("%1 updated of %2 reached").arg(done).arg(reached)));
        // Part-way, groups before the kill were kept (the first one is far smaller).
        if (reached >= kCards / 3) QVERIFY2(done > 0, "no group was kept before the kill");
        QCOMPARE(cards->keys(), original.keys());
        for (auto it = original.cbegin(); it != original.cend(); ++it) {
            const StoredCard card = cards->value(it.key());
            const bool own = place.value(it.key(), kCards) < done || it->own;
            QVERIFY2(card.title == it->title && card.own == own,
                     qPrintable(
                         QString("card %1, %2 of %3 updated").arg(it.key()).arg(done).arg(kCards)));
        }

        // A backup the kill left under its name is a whole one; an earlier file it was
        // to replace is whole until then.
        const QString backup = at(op == "backup" ? kBackupName : kElsewhereName);
        if (op == "backup over" && step != "copy-after-rename")
            QCOMPARE(readFileBytes(backup), kEarlierBackup);
        else if (QFileInfo::exists(backup)) {
            const auto copy = readCards(backup, before, &integrity);
            QVERIFY2(copy, "the backup does not open");
            QCOMPARE(integrity, QStringLiteral("ok"));
            QCOMPARE(copy->keys(), original.keys());
        }

        // Each settings write replaces the whole file: what was stored before stays as it was.
        const QByteArray ini = readFileBytes(iniFile());
        QVERIFY2(ini.startsWith("[Main]\r\n") && ini.contains("\r\nBackup_Warn="), ini.constData());
        if (op == "settings") QCOMPARE(ini, iniBefore);

        // The next start: the real window, the prompt answered with the password that works.
        start(pwd);
        QCOMPARE(w->windowTitle(), kLoaded);
        QStringList left;
        QDirIterator it(folder->path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            left << QDir(folder->path()).relativeFilePath(it.next());
        left.removeIf([](const QString& f) {
            return QStringList{"KRVS.krv", "KRVS.krv-wal", "KRVS.krv-shm",
                               "KRVS.ini", kBackupName,    kElsewhereName}
                .contains(f);
        });
        QVERIFY2(left.isEmpty(), qPrintable("left behind: " + left.join(", ")));
        QVERIFY2(end(), qPrintable(problems()));
        ++survived;
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc >= 2 && qstrcmp(argv[1], "--crash-child") == 0)
        return runChild(QCoreApplication::arguments().mid(2));
    TstCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crash.moc"
