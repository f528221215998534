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

// The same statement with a comment in it, which leaves its ORDER BY to the engine.
QString engineSorted(const QString& sql) {
    QString s = sql;
    s.insert(s.indexOf(u' '), QStringLiteral(" /* engine */"));
    return s;
}

// Cards the two orders could tell apart: case, accents, long shared starts, ties, NULL, blobs.
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
    void recognised_data();
    void recognised();
    void sameRowsAsTheEngine_data();
    void sameRowsAsTheEngine();
    void malformedLeftToTheEngine_data();
    void malformedLeftToTheEngine();
};

// The statements the program orders itself: the statement without its ORDER BY and the
// columns (" v": descending); then those it leaves to the engine (no columns).
void TestSnapshotOrder::recognised_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("unordered");
    QTest::addColumn<QString>("columns");
    const auto row = [](const char* sql, const char* unordered = "", const char* columns = "") {
        QTest::newRow(sql) << QString(sql) << QString(unordered) << QString(columns);
    };
    row("SELECT * FROM tblKRVS101 WHERE ((Title LIKE '%a%')) ORDER BY tblKRVS101.\"Index\", "
        "tblKRVS101.Title;",
        "SELECT * FROM tblKRVS101 WHERE ((Title LIKE '%a%'));", "Index,Title");
    row("select * from TBLKRVS101 order by [Title] DESC, `Index` asc", "select * from TBLKRVS101;",
        "Title v,Index");
    row("SELECT * FROM tblKRVS101 WHERE Title = 'x UNION SELECT ORDER' ORDER BY Title;",
        "SELECT * FROM tblKRVS101 WHERE Title = 'x UNION SELECT ORDER';", "Title");
    row("SELECT * FROM tblKRVS101 ORDER BY Title LIMIT 3;");
    row("SELECT * FROM tblKRVS101 WHERE DbId IN (SELECT DbId FROM tblKRVS101) ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 WHERE 1 UNION SELECT * FROM tblKRVS101 ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 /* c */ ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 WHERE Title > '' -- c\n ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 t ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 INDEXED BY ix ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 NOT INDEXED ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 ORDER BY Title COLLATE BINARY;");
    row("SELECT * FROM tblKRVS101 ORDER BY lower(Title);");
    row("SELECT * FROM tblKRVS101 ORDER BY other.Title;");
    row("SELECT * FROM tblKRVS101 ORDER BY 4;");
    row("SELECT * FROM tblKRVS101 ORDER BY Title NULLS LAST;");
    row("SELECT Title FROM tblKRVS101 ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 GROUP BY Title ORDER BY Title;");
    row("SELECT * FROM tblKRVS101 WHERE Title = 'open ORDER BY Title;");
}

void TestSnapshotOrder::recognised() {
    QFETCH(QString, sql);
    QFETCH(QString, columns);
    const auto order = snapshotOrder(sql);
    QCOMPARE(order.has_value(), !columns.isEmpty());
    if (!order) return;
    QTEST(order->unordered, "unordered");
    QStringList got;
    for (qsizetype i = 0; i < order->columns.size(); ++i)
        got << order->columns[i] + (order->descending[static_cast<std::size_t>(i)] ? " v" : "");
    QCOMPARE(got.join(u','), columns);
}

void TestSnapshotOrder::sameRowsAsTheEngine_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("setUp"); // run afterwards: the engine's ties in another order
    SearchPanel all;
    all.title = all.comments = 1;
    all.series.fill(1);
    all.categories.fill(1);
    QString words = QStringLiteral("Vellan,a,é"), every = QStringLiteral("*");
    QTest::newRow("key words") << buildSearchStatement(words, all) << QString();
    QTest::newRow("every card") << buildSearchStatement(every, all) << QString();
    auto row = [](const char* name, const char* sql, const char* setUp = "") {
        QTest::newRow(name) << QString(sql) << QString(setUp);
    };
    row("descending, ties", "SELECT * FROM tblKRVS101 ORDER BY Series DESC, Title DESC;");
    row("mixed directions", "SELECT * FROM tblKRVS101 ORDER BY Index DESC, Title;");
    row("column twice", "SELECT * FROM tblKRVS101 ORDER BY Title, Index, Title DESC;");
    row("NULL in the key", "SELECT * FROM tblKRVS101 ORDER BY UserComments, Season;");
    row("rowid range", "SELECT * FROM tblKRVS101 WHERE DbId > 20 ORDER BY Title;");
    row("no rows", "SELECT * FROM tblKRVS101 WHERE DbId < 0 ORDER BY Title;");
    // A user's index, or a temporary table (text without NOCASE) in the card table's place.
    const char* user = "SELECT * FROM tblKRVS101 WHERE Series > 'A' OR Title LIKE '%a%' ORDER BY "
                       "Series, Title DESC;";
    row("user's index", user, "CREATE INDEX bySeries ON tblKRVS101 (Series DESC, Title);");
    row("temporary table", user,
        "CREATE TEMP TABLE tblKRVS101 AS SELECT DbId, Series, Title FROM main.tblKRVS101;");
}

void TestSnapshotOrder::sameRowsAsTheEngine() {
    QFETCH(QString, sql);
    QFETCH(QString, setUp);
    QTemporaryDir dir;
    const QString path = dir.filePath("KRVS.krv");
    QVERIFY(makeCatalogue(path, 300));
    Connection c;
    openCatalogue(c, path);
    for (const char* update : kTrickyRows)
        c.execute(QString::fromUtf8(update), Origin::Typed);
    // The statement is one the program orders itself, its reference one it does not.
    QVERIFY(snapshotOrder(dialect::translate(sql).sql).has_value());
    QVERIFY(!snapshotOrder(dialect::translate(engineSorted(sql)).sql).has_value());
    const QString before = dump(c, sql);
    QCOMPARE(before, dump(c, engineSorted(sql)));
    QVERIFY(!before.isEmpty() || sql.contains("DbId < 0"));
    if (setUp.isEmpty()) return;
    c.execute(setUp, Origin::Typed);
    QCOMPARE(dump(c, sql), dump(c, engineSorted(sql)));
    QVERIFY(dump(c, sql) != before);
}

// Statements the engine refuses as a whole although their text without the ORDER BY
// would run: the program gives the engine's error, not rows.
void TestSnapshotOrder::malformedLeftToTheEngine_data() {
    QTest::addColumn<QString>("sql");
    const QString nbsp(QChar(0xA0)); // a blank to Qt, part of a name to the engine
    QTest::newRow("number running into ORDER")
        << "SELECT * FROM tblKRVS101 WHERE DbId > 1.ORDER BY Title;";
    QTest::newRow("no-break space before ORDER")
        << "SELECT * FROM tblKRVS101 WHERE DbId > 1" + nbsp + "ORDER BY Title;";
    QTest::newRow("name ending in a no-break space")
        << "SELECT * FROM tblKRVS101 WHERE Title" + nbsp + " ORDER BY Title;";
    QTest::newRow("ordering column ending in one")
        << "SELECT * FROM tblKRVS101 ORDER BY Title" + nbsp + ";";
}

void TestSnapshotOrder::malformedLeftToTheEngine() {
    QFETCH(QString, sql);
    QTemporaryDir dir;
    const QString path = dir.filePath("KRVS.krv");
    QVERIFY(makeCatalogue(path, 20));
    Connection c;
    openCatalogue(c, path);
    QString engine, program;
    QVERIFY(errorNumber([&] { c.execute(engineSorted(sql), Origin::Typed); }, &engine) != 0);
    QVERIFY(errorNumber([&] { c.execute(sql, Origin::Typed); }, &program) != 0);
    QCOMPARE(program, engine);
}

QTEST_GUILESS_MAIN(TestSnapshotOrder)
#include "tst_snapshot_order.moc"
