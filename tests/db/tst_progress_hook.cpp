#include "DbTestUtil.h"
#include "support/TestCatalogue.h"

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
// Counts without end: the statement never finishes and holds one row at a time.
const QString kEndless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                         "SELECT count(*) FROM n;";

// Installs a progress hook for one test and takes it away again.
struct HookForTest {
    explicit HookForTest(Connection::ProgressHook hook) {
        Connection::setProgressHook(std::move(hook));
    }
    ~HookForTest() { Connection::setProgressHook(nullptr); }
};
} // namespace

class TestProgressHook : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString catalogue_;

  private slots:
    void initTestCase() {
        dir_ = std::make_unique<QTemporaryDir>();
        catalogue_ = dir_->filePath("KRVS.krv");
        QVERIFY(makeCatalogue(catalogue_, 300));
    }

    // A hook that says stop ends the statement with the engine's "interrupted", as a
    // failed statement; a statement that writes changes nothing; the connection goes on.
    void hookStopsTheStatement_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("endless count") << kEndless;
        QTest::newRow("cross join")
            << "SELECT count(*) FROM tblKRVS101 a, tblKRVS101 b, tblKRVS101 c, tblKRVS101 d;";
        // Each row's new comment takes longer to make: stopped after some rows are done.
        QTest::newRow("update") << "UPDATE tblKRVS101 SET UserComments = 'stopped ' || "
                                   "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                   "FROM n WHERE x < DbId * 20000) SELECT count(*) FROM n);";
    }
    void hookStopsTheStatement() {
        QFETCH(QString, sql);
        Connection c;
        openCatalogue(c, catalogue_);
        const QString before = dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId;");
        int calls = 0;
        {
            HookForTest hook([&] { return ++calls == 200; });
            QString description;
            QCOMPARE(errorNumber([&] { c.execute(sql, Origin::Typed); }, &description),
                     err::Engine);
            QCOMPARE(description, QString("interrupted"));
            QCOMPARE(c.Errors().size(), 1);
            QCOMPARE(calls, 200); // called while it ran, and not once more
        }
        QCOMPARE(dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId;"), before);
        c.execute("UPDATE tblKRVS101 SET UserComments = 'after' WHERE DbId = 2;");
        QCOMPARE(dump(c, "SELECT UserComments FROM tblKRVS101 WHERE DbId = 2;"), QString("after"));
        c.Close();
    }

    // interrupt() from another thread stops the running statement (the way out of a
    // hook that never says stop); with nothing running it does nothing.
    void interruptFromAnotherThread() {
        Connection c;
        openCatalogue(c, catalogue_);
        c.interrupt(); // nothing runs: the next statement is not affected
        QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101 a, tblKRVS101 b;"), QString("90000"));

        std::atomic<bool> done{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            while (!done) {
                c.interrupt();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        QString description;
        const int number = errorNumber([&] { c.execute(kEndless); }, &description);
        done = true;
        stopper.join();
        QCOMPARE(number, err::Engine);
        QCOMPARE(description, QString("interrupted"));
        QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101;"), QString("300"));
    }
};

QTEST_GUILESS_MAIN(TestProgressHook)
#include "tst_progress_hook.moc"
