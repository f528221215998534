// The program killed at each step of a merge: the next start finds the catalogue as it
// was, or, once the merge is done, wholly merged.
#include "app/frmKRVS.h"
#include "db/Engine.h"
#include "merge/frmMergePreview.h"
#include "support/AppFixture.h"
#include "support/MergeScenario.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdio>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 3000;

// A checklist that changes every title and adds 1,000 cards: a statement long enough to
// be killed part-way.
QByteArray bigChecklist() {
    QByteArray csv = "DbId,Title,Series,Category\n";
    for (int id = 1; id <= kCards + 1000; ++id)
        csv += QByteArray::number(id) + ",Renamed " + QByteArray::number(id) + ",NOR,Ship\n";
    return csv;
}

// The child: the merge through the window; returning means the kill never came.
int runChild(const QStringList& args) {
    if (args.size() < 3) return 2;
    const QString folder = args[0], password = args[1], list = args[2];
    ScriptedUi ui;
    auto w = startMainWindow(&ui, folder, password);
    if (w->windowTitle() != loadedTitle(kCards)) return 2;
    ui.openFile(list);
    ui.onModal([](QDialog& d) { static_cast<frmMergePreview&>(d).cmdOK->click(); });
    ui.answer(mb::AnsOK, "Merge Checklist");
    w->findChild<QAction*>("mnuMerge")->trigger();
    std::fprintf(stderr, "the merge ended without reaching its crash point. %s\n",
                 qPrintable(ui.problems()));
    return 3;
}

QString integrityOf(const QString& path, const QString& password) {
    try {
        db::engine::OpenOptions o;
        o.wal = false;
        sqlite3* db = db::engine::open(path, password, o);
        sqlite3_stmt* st = nullptr;
        QStringList lines;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                lines << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        db::engine::close(db);
        return lines.join('\n');
    } catch (const AppError& e) {
        return e.description();
    }
}

} // namespace

class TstCrashMerge : public QObject, AppFixture {
    Q_OBJECT
    int trials = 0, survived = 0;

  private slots:
    void cleanupTestCase() {
        std::printf("merge crash trials: %d, survived: %d\n", trials, survived);
        std::fflush(stdout);
    }

    void killedMerge_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("merged"); // the kill comes after the merge was written
        for (const char* pw : {"", "Cat-pw1"}) {
            const char* kind = *pw ? "encrypted" : "plain";
            // the backup copy, then the statement from its first steps to near its last
            // (3,000 changed and 1,000 new cards call the hook about 70 times)
            for (const char* step : {"copy-written", "copy-before-rename", "merge-backed-up",
                                     "merge-write:1", "merge-write:30", "merge-write:60"})
                QTest::addRow("%s, %s", kind, step) << QString(step) << QString(pw) << false;
            QTest::addRow("%s, merge-applied", kind) << "merge-applied" << QString(pw) << true;
        }
    }
    void killedMerge() {
        QFETCH(QString, step);
        QFETCH(QString, password);
        QFETCH(bool, merged);
        ++trials;
        begin();
        QVERIFY(makeCatalogue(kCards, password));
        const QStringList before = storedCards(catalogue(), password);
        QCOMPARE(before.size(), kCards);
        QVERIFY(writeFileBytes(at("newer.csv"), bigChecklist()));

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KRVS_CRASH_AT", step);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--crash-child", folder->path(), password, at("newer.csv")});
        QVERIFY2(child.waitForFinished(300000), "the child did not end");
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::CrashExit &&
                     err.contains("crash point reached: " + step),
                 qPrintable(QString("exit %1: %2").arg(child.exitCode()).arg(err)));

        QCOMPARE(integrityOf(catalogue(), password), QString("ok"));
        const QStringList after = storedCards(catalogue(), password);
        if (merged) {
            QCOMPARE(after.size(), kCards + 1000);
            QVERIFY(after.first().split('|')[3] == "Renamed 1");
            QCOMPARE(after.first().split('|')[7], before.first().split('|')[7]); // Own kept
        } else {
            QCOMPARE(after, before);
        }
        // the next start opens it and shows every card
        start(password);
        QCOMPARE(w->windowTitle(), loadedTitle(merged ? kCards + 1000 : kCards));
        QVERIFY2(end(), qPrintable(problems()));
        ++survived;
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc >= 2 && qstrcmp(argv[1], "--crash-child") == 0)
        return runChild(QCoreApplication::arguments().mid(2));
    TstCrashMerge test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crash_merge.moc"
