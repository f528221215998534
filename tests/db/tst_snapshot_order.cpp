#include "DbTestUtil.h"
#include "db/Dialect.h"
#include "db/SnapshotOrder.h"
#include "search/SqlBuilder.h"
#include "support/TestCatalogue.h"

#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {

// The same statement with a comment in it: the program leaves its ORDER BY to the
// engine's sorter, which is the reference.
QString engineSorted(const QString& sql) {
    QString s = sql;
    s.insert(s.indexOf(u' '), QStringLiteral(" /* engine */"));
    return s;
}

// Cards that the two orders could tell apart: letter case, accents, shared long
// starts, ties over both ordering columns, NULL, empty text and blobs.
const char* const kTrickyRows[] = {
    "UPDATE tblKRVS101 SET Title = 'alpha' WHERE DbId IN (3, 9, 27)",
    "UPDATE tblKRVS101 SET Title = 'Alpha' WHERE DbId IN (4, 28)",
    "UPDATE tblKRVS101 SET Title = 'ALPHA' WHERE DbId = 5",
    "UPDATE tblKRVS101 SET Title = 'Éclair' WHERE DbId = 6",
    "UPDATE tblKRVS101 SET Title = 'eclair' WHERE DbId = 7",
    "UPDATE tblKRVS101 SET Title = 'éclair' WHERE DbId = 8",
    "UPDATE tblKRVS101 SET Title = 'Ecl' WHERE DbId = 10",
    "UPDATE tblKRVS101 SET Title = 'ecla_' WHERE DbId = 11",
    "UPDATE tblKRVS101 SET Title = NULL WHERE DbId IN (12, 13)",
    "UPDATE tblKRVS101 SET Title = '' WHERE DbId IN (14, 15)",
    "UPDATE tblKRVS101 SET Title = X'00FF' WHERE DbId = 16",
    "UPDATE tblKRVS101 SET Title = X'00' WHERE DbId = 17",
    "UPDATE tblKRVS101 SET Title = 'The same long beginning, then A' WHERE DbId = 18",
    "UPDATE tblKRVS101 SET Title = 'the same long beginning, then a' WHERE DbId = 19",
    "UPDATE tblKRVS101 SET Title = 'The same long beginning, then b' WHERE DbId = 20",
    "UPDATE tblKRVS101 SET Title = 'Straße' WHERE DbId = 21",
    "UPDATE tblKRVS101 SET Title = 'STRASSE' WHERE DbId = 22",
    "UPDATE tblKRVS101 SET Title = 'Ørnulf' WHERE DbId = 23",
    "UPDATE tblKRVS101 SET Title = 'Zeta' || char(0) || 'b' WHERE DbId = 24",
    "UPDATE tblKRVS101 SET Title = 'Zeta' WHERE DbId = 25",
    "UPDATE tblKRVS101 SET Title = 'Ǆemal', UserComments = NULL WHERE DbId = 26",
    // ties on both columns; NULL and blob in the main key
    "UPDATE tblKRVS101 SET \"Index\" = 'dup' WHERE DbId BETWEEN 3 AND 12",
    "UPDATE tblKRVS101 SET \"Index\" = 'DUP' WHERE DbId BETWEEN 27 AND 28",
    "UPDATE tblKRVS101 SET \"Index\" = NULL WHERE DbId IN (30, 31, 32)",
    "UPDATE tblKRVS101 SET \"Index\" = X'41' WHERE DbId = 33",
    "UPDATE tblKRVS101 SET \"Index\" = 'Ā-7' WHERE DbId = 34",
    "UPDATE tblKRVS101 SET \"Index\" = 'a-7' WHERE DbId = 35",
};

} // namespace

class TestSnapshotOrder : public QObject {
    Q_OBJECT
  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void recognised_data();
    void recognised();
    void sameRowsAsTheEngine_data();
    void sameRowsAsTheEngine();
    void userTablesLeaveTheOrderToTheEngine();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestSnapshotOrder::recognised_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("unordered"); // empty: left to the engine
    QTest::addColumn<QString>("columns");   // name, then " v" when descending

    QTest::newRow("search") << "SELECT * FROM tblKRVS101 WHERE ((Title LIKE '%a%')) ORDER BY "
                               "tblKRVS101.\"Index\", tblKRVS101.Title;"
                            << "SELECT * FROM tblKRVS101 WHERE ((Title LIKE '%a%'));"
                            << "Index,Title";
    QTest::newRow("no condition, directions, quotes")
        << "select * from TBLKRVS101 order by [Title] DESC, `Index` asc"
        << "select * from TBLKRVS101;"
        << "Title v,Index";
    QTest::newRow("words of a clause inside a literal")
        << "SELECT * FROM tblKRVS101 WHERE Title = 'x UNION SELECT ORDER' ORDER BY Title;"
        << "SELECT * FROM tblKRVS101 WHERE Title = 'x UNION SELECT ORDER';"
        << "Title";
    const char* const engine[] = {
        "SELECT * FROM tblKRVS101 ORDER BY Title LIMIT 3;",
        "SELECT * FROM tblKRVS101 WHERE DbId IN (SELECT DbId FROM tblKRVS101) ORDER BY Title;",
        "SELECT * FROM tblKRVS101 WHERE 1 UNION SELECT * FROM tblKRVS101 ORDER BY Title;",
        "SELECT * FROM tblKRVS101 /* c */ ORDER BY Title;",
        "SELECT * FROM tblKRVS101 WHERE Title > '' -- c\n ORDER BY Title;",
        "SELECT * FROM tblKRVS101 t ORDER BY Title;",
        "SELECT * FROM tblKRVS101 INDEXED BY ix ORDER BY Title;",
        "SELECT * FROM tblKRVS101 NOT INDEXED ORDER BY Title;",
        "SELECT * FROM tblKRVS101 ORDER BY Title COLLATE BINARY;",
        "SELECT * FROM tblKRVS101 ORDER BY lower(Title);",
        "SELECT * FROM tblKRVS101 ORDER BY other.Title;",
        "SELECT * FROM tblKRVS101 ORDER BY 4;",
        "SELECT * FROM tblKRVS101 ORDER BY Title NULLS LAST;",
        "SELECT Title FROM tblKRVS101 ORDER BY Title;",
        "SELECT * FROM tblKRVS101 GROUP BY Title ORDER BY Title;",
        "SELECT * FROM tblKRVS101 WHERE Title = 'open ORDER BY Title;",
    };
    for (const char* sql : engine)
        QTest::newRow(sql) << sql << QString() << QString();
}

void TestSnapshotOrder::recognised() {
    QFETCH(QString, sql);
    QFETCH(QString, unordered);
    QFETCH(QString, columns);
    const auto order = snapshotOrder(sql);
    QCOMPARE(order.has_value(), !unordered.isEmpty());
    if (!order) return;
    QCOMPARE(order->unordered, unordered);
    QStringList got;
    for (qsizetype i = 0; i < order->columns.size(); ++i)
        got << order->columns[i] + (order->descending[static_cast<std::size_t>(i)] ? " v" : "");
    QCOMPARE(got.join(u','), columns);
}

void TestSnapshotOrder::sameRowsAsTheEngine_data() {
    QTest::addColumn<QString>("sql");
    SearchPanel all;
    all.title = all.comments = 1;
    all.series.fill(1);
    all.categories.fill(1);
    QString words = QStringLiteral("Vellan,a,é");
    QTest::newRow("key words") << buildSearchStatement(words, all);
    QString every = QStringLiteral("*");
    QTest::newRow("every card") << buildSearchStatement(every, all);
    QTest::newRow("descending, ties")
        << "SELECT * FROM tblKRVS101 ORDER BY Series DESC, Title DESC;";
    QTest::newRow("mixed directions") << "SELECT * FROM tblKRVS101 ORDER BY Index DESC, Title;";
    QTest::newRow("column twice") << "SELECT * FROM tblKRVS101 ORDER BY Title, Index, Title DESC;";
    QTest::newRow("NULL in the key") << "SELECT * FROM tblKRVS101 ORDER BY UserComments, Season;";
    QTest::newRow("rowid range") << "SELECT * FROM tblKRVS101 WHERE DbId > 20 ORDER BY Title;";
    QTest::newRow("no rows") << "SELECT * FROM tblKRVS101 WHERE DbId < 0 ORDER BY Title;";
}

void TestSnapshotOrder::sameRowsAsTheEngine() {
    QFETCH(QString, sql);
    const QString path = dir_->filePath("KRVS.krv");
    QVERIFY(makeCatalogue(path, 300));
    Connection c;
    openCatalogue(c, path);
    for (const char* update : kTrickyRows)
        c.execute(QString::fromUtf8(update), Origin::Typed);
    // The statement is one the program orders itself, its reference one it does not.
    QVERIFY(snapshotOrder(dialect::translate(sql).sql).has_value());
    QVERIFY(!snapshotOrder(dialect::translate(engineSorted(sql)).sql).has_value());
    const QString ours = dump(c, sql);
    QCOMPARE(ours, dump(c, engineSorted(sql)));
    QVERIFY(!ours.isEmpty() || sql.contains("DbId < 0"));
}

void TestSnapshotOrder::userTablesLeaveTheOrderToTheEngine() {
    const QString path = dir_->filePath("KRVS.krv");
    QVERIFY(makeCatalogue(path, 200));
    Connection c;
    openCatalogue(c, path);
    for (const char* update : kTrickyRows)
        c.execute(QString::fromUtf8(update), Origin::Typed);
    const QString sql = QStringLiteral("SELECT * FROM tblKRVS101 WHERE Series > 'A' OR Title "
                                       "LIKE '%a%' ORDER BY Series, Title DESC;");
    const QString before = dump(c, sql);
    QCOMPARE(before, dump(c, engineSorted(sql)));
    c.execute(QStringLiteral("CREATE INDEX bySeries ON tblKRVS101 (Series DESC, Title);"),
              Origin::Typed);
    // The index gives the engine another scan, and its ties another order.
    QCOMPARE(dump(c, sql), dump(c, engineSorted(sql)));
    QVERIFY(dump(c, sql) != before);

    // A temporary table in the card table's place, its text without NOCASE.
    c.execute(QStringLiteral("DROP INDEX bySeries;"), Origin::Typed);
    c.execute(QStringLiteral("CREATE TEMP TABLE tblKRVS101 AS SELECT DbId, Series, Title FROM "
                             "main.tblKRVS101;"),
              Origin::Typed);
    QCOMPARE(dump(c, sql), dump(c, engineSorted(sql)));
}

QTEST_GUILESS_MAIN(TestSnapshotOrder)
#include "tst_snapshot_order.moc"
