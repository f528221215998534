#include "DbTestUtil.h"
#include "support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

class TestProgressHook : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(makeCatalogue(dir_.filePath("KRVS.krv"), 300)); }

    // A hook that says stop, or interrupt() from another thread (the way out of a hook that
    // never says stop), ends the statement as a failed one with the engine's "interrupted";
    // a statement that writes changes nothing; the connection goes on.
    void hookStopsTheStatement_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("fromThread");
        const QString endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                                "SELECT count(*) FROM n;";
        QTest::newRow("endless count") << endless << false;
        QTest::newRow("endless count, another thread") << endless << true;
        QTest::newRow("cross join")
            << "SELECT count(*) FROM tblKRVS101 a, tblKRVS101 b, tblKRVS101 c, tblKRVS101 d;"
            << false;
        // Each row's new comment takes longer to make: stopped after some rows are done.
        QTest::newRow("update") << "UPDATE tblKRVS101 SET UserComments = 'stopped ' || "
                                   "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                   "FROM n WHERE x < DbId * 20000) SELECT count(*) FROM n);"
                                << false;
    }
    void hookStopsTheStatement() {
        QFETCH(QString, sql);
        QFETCH(bool, fromThread);
        Connection c;
        openCatalogue(c, dir_.filePath("KRVS.krv"));
        c.interrupt(); // nothing runs: the next statement is not affected
        const QString before = dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId;");
        int calls = 0;
        std::atomic<bool> done{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            while (fromThread && !done) {
                c.interrupt();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        // With the thread, the hook is only a watchdog: the interrupt must come long before it.
        QElapsedTimer ran;
        ran.start();
        bool watchdog = false;
        if (fromThread)
            Connection::setProgressHook([&] { return watchdog = ran.elapsed() > 20000; });
        else
            Connection::setProgressHook([&] { return ++calls == 200; });
        QString description;
        const int number = errorNumber([&] { c.execute(sql, Origin::Typed); }, &description);
        Connection::setProgressHook(nullptr);
        done = true;
        stopper.join();
        QVERIFY2(!watchdog, "interrupt() from another thread did not stop the statement");
        QCOMPARE(number, err::Engine);
        QCOMPARE(description, QString("interrupted"));
        QCOMPARE(c.errors().size(), 1);
        QCOMPARE(calls, fromThread ? 0 : 200); // called while it ran, and not once more
        QCOMPARE(dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId;"), before);
        c.execute("UPDATE tblKRVS101 SET UserComments = 'after' WHERE DbId = 2;");
        QCOMPARE(dump(c, "SELECT UserComments FROM tblKRVS101 WHERE DbId = 2;"), QString("after"));
    }
};

QTEST_GUILESS_MAIN(TestProgressHook)
#include "tst_progress_hook.moc"
