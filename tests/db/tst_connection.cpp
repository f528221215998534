#include "DbTestUtil.h"
#include "support/TestCatalogue.h"
#include "util/WriteBudget.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
// Runs f in a child process and returns its exit code.
template <class F> int inChild(F f) {
    const pid_t pid = fork();
    if (pid == 0) _exit(f());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
// The rows of sql on one line, separated by commas.
QString line(Connection& c, const QString& sql) {
    return dump(c, sql).replace(u'\n', u',');
}
} // namespace

class TestConnection : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString catalogue(int cards, const QString& password = {}) {
        const QString path = dir_->filePath("KRVS.krv");
        if (!test::makeCatalogue(path, cards, password)) qFatal("krvs-makedb failed");
        return path;
    }

  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void snapshotsAndStatementsWithoutRows() {
        Connection c;
        openCatalogue(c, catalogue(40));
        const auto all = c.execute("SELECT * FROM tblKRVS101 ORDER BY DbId;");
        QCOMPARE(all->fields.join(u','),
                 "DbId,Index,CardType,Title,Category,Series,Season,Own,DBComments,UserComments");
        QCOMPARE(errorNumber([&] { c.open(catalogue(1), QString()); }), 3705);
        // Own reads "True" or "False"; the search the program builds finds the owned cards
        QCOMPARE(line(c, "SELECT DISTINCT Own FROM tblKRVS101 ORDER BY Own"), "False,True");
        const auto owned = c.execute("SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=True)) "
                                     "ORDER BY tblKRVS101.Index, tblKRVS101.Title;");
        QCOMPARE(owned->rowCount(), dump(c, "SELECT count(*) FROM tblKRVS101 WHERE Own").toInt());
        QCOMPARE(owned->cell(0, 7), "True");

        const QString one = "SELECT DbId, Own FROM tblKRVS101 WHERE DbId = 2;";
        const auto update = c.execute("UPDATE tblKRVS101 SET Own = False WHERE DbId = 2;");
        QCOMPARE(update->colCount(), 0); // a statement without rows gives no fields
        QCOMPARE(c.execute(one)->cell(0, 1), QStringLiteral("False"));
        c.execute("UPDATE tblKRVS101 SET Own = Yes WHERE DbId = 2;");
        QCOMPARE(c.execute(one)->cell(0, 1), QStringLiteral("True"));
        c.close();
        QCOMPARE(all->rowCount(), 40); // a snapshot outlives its connection
        QCOMPARE(errorNumber([&] { c.execute(one); }), 3709);
    }

    void passwordsAndExclusiveOpen() {
        const QString path = catalogue(5, "Se cret;");
        Connection c;
        for (const char* wrong : {"", "se cret;", "Se cret"}) {
            QCOMPARE(errorNumber([&] { openCatalogue(c, path, wrong); }), err::BadPassword);
            QVERIFY(!c.isOpen());
        }
        openCatalogue(c, path, "Se cret;");
        {
            Connection second;
            QString why;
            QCOMPARE(errorNumber([&] { second.open(path, "Se cret;"); }, &why), err::Engine);
            QVERIFY2(why.contains("in use"), qPrintable(why));
            QVERIFY(!second.isOpen());
        }
        // another process is kept out as well until the first connection is closed; then its
        // update lasts though it ends without closing anything, as after a crash
        auto child = [&] {
            return inChild([&]() -> int {
                const int e = errorNumber([&] {
                    Connection other;
                    openCatalogue(other, path, "Se cret;");
                    other.execute("UPDATE tblKRVS101 SET UserComments = 'Vellan''s \"first\" "
                                  "card', Own = True WHERE DbId = 4;");
                    std::quick_exit(0);
                });
                return e ? 1 : 2;
            });
        };
        QCOMPARE(child(), 1);
        QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("5"));
        c.close();
        QCOMPARE(child(), 0);
        openCatalogue(c, path, "Se cret;");
        QCOMPARE(dump(c, "SELECT UserComments, Own FROM tblKRVS101 WHERE DbId = 4"),
                 QStringLiteral("Vellan's \"first\" card|True"));
    }

    // A snapshot keeps a column of integers as numbers and one of Booleans as bytes
    // until it meets another value; every cell reads back as the engine writes it,
    // Booleans as True/False, NULL as empty, whenever the other value comes.
    void snapshotCellsReadAsTheEngineWritesThem_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("values"); // one row each
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* declared, const char* values,
                            const char* expected) {
            QTest::newRow(name) << QString(declared) << QString(values) << QString(expected);
        };
        row("integers", "", "(7), (-9223372036854775808), (9223372036854775807), (0)",
            "7,-9223372036854775808,9223372036854775807,0");
        row("integers past 32 bits late", "", "(5), (2147483647), (-2147483648), (2147483648), (6)",
            "5,2147483647,-2147483648,2147483648,6");
        row("past 32 bits, then a text", "", "(-4294967296), (1), ('t')", "-4294967296,1,t");
        row("integers, then a text", "INTEGER", "(1), (-2), ('x'), (4)", "1,-2,x,4");
        row("integers, then NULL", "", "(1), (NULL), (3)", "1,,3");
        row("integers, then reals", "", "(1), (2.5), (1e300), (-0.125)", "1,2.5,1.0e+300,-0.125");
        row("integers, then a blob", "", "(1), (x'4142')", "1,AB");
        row("a text, then integers", "", "('a'), (5)", "a,5");
        row("NULL, then integers", "", "(NULL), (5), (6)", ",5,6");
        row("Booleans", "BOOLEAN", "(1), (0), (2), (0.5), (0.0)", "True,False,True,True,False");
        row("Booleans, then NULL", "BOOLEAN", "(1), (NULL), (0)", "True,,False");
        row("Booleans, then a text", "BIT", "(0), ('maybe'), (1)", "False,maybe,True");
        row("NULL, then Booleans", "YESNO", "(NULL), (1)", ",True");
        const std::string longText(70, 'L');
        row("repeated texts, then a long one", "TEXT",
            ("('a'), ('b'), ('a'), (NULL), (''), ('" + longText + "'), ('b')").c_str(),
            ("a,b,a,,," + longText + ",b").c_str());
        row("repeated texts, then numbers", "", "('x'), ('x'), (5), (TRUE), ('x')", "x,x,5,1,x");
    }
    void snapshotCellsReadAsTheEngineWritesThem() {
        QFETCH(QString, declared);
        QFETCH(QString, values);
        QFETCH(QString, expected);
        Connection c;
        openCatalogue(c, catalogue(1));
        c.execute("CREATE TABLE t (v " + declared + ");");
        c.execute("INSERT INTO t (v) VALUES " + values + ";");
        QCOMPARE(line(c, "SELECT v FROM t ORDER BY rowid;"), expected);
        // the integer column beside it keeps its numbers
        QString numbered;
        const QStringList cells = expected.split(u',');
        for (int i = 0; i < cells.size(); ++i)
            numbered += (i ? "," : "") + QString::number(i + 1) + u'|' + cells[i];
        QCOMPARE(line(c, "SELECT rowid, v FROM t ORDER BY rowid;"), numbered);
    }

    // A column that turns to text after many numbers writes every one of them.
    void manyIntegersThenAText() {
        Connection c;
        openCatalogue(c, catalogue(1));
        const auto rows = c.execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                    "FROM n WHERE x < 300000) SELECT x, CASE x WHEN 300000 "
                                    "THEN 'end' ELSE -x * 1000003 END FROM n;");
        QCOMPARE(rows->rowCount(), 300000);
        for (int r = 0; r < 299999; r += 997)
            QCOMPARE(rows->cell(r, 1), QString::number(-(r + 1) * qint64{1000003}));
        QCOMPARE(rows->cell(299998, 1), QString::number(-299999 * qint64{1000003}));
        QCOMPARE(rows->cell(299999, 1), "end");
        QCOMPARE(rows->cell(299999, 0), "300000");
    }

    // Short texts are kept once each while few differ: texts that all differ, or that
    // repeat until long ones come, read back as they were, past the point where the
    // column is looked at again.
    void manyShortTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("every one differs") << "'t' || x";
        QTest::newRow("few differ") << "'s' || (x % 97)";
        QTest::newRow("few differ, then long ones")
            << "CASE WHEN x > 200000 THEN printf('%080d', x) ELSE 'r' || (x % 13) END";
        QTest::newRow("more differ the further") << "'u' || (x * x % (x / 1000 + 1))";
    }
    void manyShortTexts() {
        QFETCH(QString, text);
        Connection c;
        openCatalogue(c, catalogue(1));
        const QString sql = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                            "WHERE x < 300000) SELECT x, " +
                            text + " FROM n;";
        const auto rows = c.execute(sql);
        const auto engine =
            c.execute("SELECT group_concat(v, '|') FROM (" +
                      QString(sql).replace(", " + text, ", " + text + " AS v").chopped(1) + ");");
        QCOMPARE(rows->rowCount(), 300000);
        QStringList cells;
        for (int r = 0; r < rows->rowCount(); ++r)
            cells << rows->cell(r, 1);
        QCOMPARE(cells.join(u'|'), engine->cell(0, 0));
    }

    // One column's text may not pass its limit (4 GB in the program): a clear error, never
    // offsets that wrap.
    void columnTextLimit() {
        // texts too long to be coded
        const std::string first(70, 'a'), second(80, 'b');
        RowSet rows(150);
        rows.fields = QStringList{"a", "b"};
        rows.appendCell(first);
        rows.appendInteger(123456789);
        rows.endRow();
        rows.appendCell(second); // exactly at the limit
        rows.appendInteger(1);
        rows.endRow();
        QString why;
        QCOMPARE(errorNumber([&] { rows.appendCell("x"); }, &why), err::OutOfMemory);
        QVERIFY2(why.contains("'a'"), qPrintable(why));
        RowSet::CellBuffer b;
        QCOMPARE(rows.cellUtf8(1, 0, b), second);
        // turning numbers to text keeps to the limit too
        RowSet numbers(10);
        numbers.fields = QStringList{"n"};
        for (const qint64 n : {1234567890, 1}) {
            numbers.appendInteger(n);
            numbers.endRow();
        }
        QCOMPARE(errorNumber([&] { numbers.appendCell(""); }, &why), err::OutOfMemory);
        QVERIFY2(why.contains("'n'"), qPrintable(why));
    }

    // A statement the engine refuses changes nothing, on the cards or in the file.
    void failingStatementChangesNothing_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message"); // null: any
        const auto row = [](const char* name, const char* sql, const char* message = nullptr) {
            QTest::newRow(name) << QString(sql) << QString::fromUtf8(message);
        };
        row("no such column", "UPDATE tblKRVS101 SET Titel = 'x' WHERE DbId = 3;",
            "no such column: Titel");
        row("two statements", "UPDATE tblKRVS101 SET Own = True WHERE DbId = 1; DELETE FROM "
                              "tblKRVS101;");
        row("unique", "UPDATE tblKRVS101 SET DbId = 1 WHERE DbId = 2;",
            "UNIQUE constraint failed: tblKRVS101.DbId");
        row("empty", "",
            "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
            "'SELECT', or 'UPDATE'.");
        // statements that would change the lock or the journal are refused
        row("lock", "PRAGMA locking_mode = NORMAL");
    }
    void failingStatementChangesNothing() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        const QString path = catalogue(20, "abcd");
        Connection c;
        const QByteArray before = readFileBytes(path);
        openCatalogue(c, path, "abcd");
        const QString all = dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId");
        QString why;
        QCOMPARE(errorNumber([&] { c.execute(sql); }, &why), err::Engine);
        if (!message.isNull()) QCOMPARE(why, message);
        QCOMPARE(c.errors().size(), 1);
        QCOMPARE(c.errors().at(0).Description, why);
        QCOMPARE(dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId"), all);
        c.close();
        QVERIFY(readFileBytes(path) == before);
    }

    // A prepared write runs as its statement written out would: rows changed, a missing row
    // left alone, snapshots read again, a failure reported and the next run still working.
    void preparedWriteActsAsItsStatement() {
        Connection c;
        openCatalogue(c, catalogue(20));
        c.execute("UPDATE tblKRVS101 SET Own = False;");
        const auto shown = [&] {
            const auto sel =
                c.execute("SELECT DbId, Own FROM tblKRVS101 WHERE DbId <= 6 ORDER BY DbId;");
            QStringList rows;
            for (int r = 0; r < sel->rowCount(); ++r)
                rows << sel->cell(r, 0) + u'|' + sel->cell(r, 1);
            return rows.join(u',');
        };
        PreparedWrite own = c.prepareWrite("UPDATE tblKRVS101 SET Own = ?1 WHERE DbId = ?2;");
        QCOMPARE(shown(), QStringLiteral("1|False,2|False,3|False,4|False,5|False,6|False"));
        own.run({1, 2});
        own.run({1, 999}); // no such card: nothing changes, no error
        own.run({1, 3});
        own.run({0, 3});
        own.run({1, 4});
        QCOMPARE(shown(), QStringLiteral("1|False,2|True,3|False,4|True,5|False,6|False"));

        // A run the engine refuses; the statement still runs after it, also once the
        // schema has changed since it was prepared.
        PreparedWrite renumber = c.prepareWrite("UPDATE tblKRVS101 SET DbId = ?1 WHERE DbId = ?2;");
        QString why;
        QCOMPARE(errorNumber([&] { renumber.run({1, 5}); }, &why), err::Engine);
        QCOMPARE(why, QStringLiteral("UNIQUE constraint failed: tblKRVS101.DbId"));
        QCOMPARE(c.errors().size(), 1);
        renumber.run({105, 5});
        c.execute("CREATE INDEX byOwn ON tblKRVS101 (Own);");
        own.run({1, 5}); // no card 5 any more
        own.run({1, 6});
        QCOMPARE(shown(), QStringLiteral("1|False,2|True,3|False,4|True,6|True"));
    }

    // A write the engine or the reader refuses is not prepared.
    void preparedWriteRefused_data() {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* sql, const char* message) {
            QTest::newRow(name) << QByteArray(sql) << QString(message);
        };
        row("journal", "PRAGMA journal_mode = DELETE;",
            "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
            "'UPDATE'.");
        row("two statements", "UPDATE tblKRVS101 SET Own = ?1; DELETE FROM tblKRVS101;",
            "Characters found after end of SQL statement.");
        row("no such column", "UPDATE tblKRVS101 SET Titel = ?1;", "no such column: Titel");
    }
    void preparedWriteRefused() {
        QFETCH(QByteArray, sql);
        Connection c;
        openCatalogue(c, catalogue(20));
        QString why;
        QCOMPARE(errorNumber([&] { c.prepareWrite(sql.constData()); }, &why), err::Engine);
        QTEST(why, "message");
        QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("20"));
    }

    // Once the write budget is spent an update fails as on a full disk, changes nothing and
    // leaves the connection working; the budget counts the bytes of every file written.
    void fullDiskFailsTheStatementOnly() {
        const QString path = catalogue(20, "abcd");
        Connection c;
        openCatalogue(c, path, "abcd");
        const QString all = dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId");
        const QString update = "UPDATE tblKRVS101 SET UserComments = 'x', Own = True;";
        for (const qint64 budget : {0, 3000}) { // none, or less than a page
            ScopedWriteBudget full(budget);
            QString why;
            QCOMPARE(errorNumber([&] { c.execute(update); }, &why), err::Engine);
            QCOMPARE(why, QStringLiteral("database or disk is full"));
            QVERIFY(writeBudget() <= budget);
        }
        QCOMPARE(writeBudget(), -1);
        QCOMPARE(dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId"), all);
        {
            ScopedWriteBudget ample(1 << 20);
            c.execute(update);
            // a page of the log and its frame header at least
            QVERIFY(writeBudget() <= (1 << 20) - 4096);
        }
        c.close();
        openCatalogue(c, path, "abcd");
        QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101 WHERE UserComments = 'x' AND Own"), "20");
    }

    void unicodeComparison() {
        const QString path = dir_->filePath("u.krv");
        QVERIFY(test::makeCatalogueFromCsv(path,
                                           "DbId,Title,Series,Index\n1,ÉCLAIR du Vellan,vex,10\n"
                                           "2,éclair,VEX,9\n3,Eagle,Dr7,S3\n4,Fox,zyn,s12\n"
                                           "5,eclair,NOR,1\n6,Ørnulf,NOR,2\n"));
        Connection c;
        openCatalogue(c, path);
        auto ids = [&](const QString& where) {
            return line(c, "SELECT DbId FROM tblKRVS101 WHERE " + where + " ORDER BY DbId");
        };
        QCOMPARE(ids("Title LIKE '%éclair%'"), QStringLiteral("1,2"));
        QCOMPARE(ids("Title = 'ÉCLAIR'"), QStringLiteral("2"));
        QCOMPARE(ids("tblKRVS101.Series LIKE 'VEX'"), QStringLiteral("1,2"));
        QCOMPARE(line(c, "SELECT DbId FROM tblKRVS101 ORDER BY Title, DbId"),
                 QStringLiteral("3,5,2,1,4,6"));
        // the old dialect's text functions count characters
        QCOMPARE(dump(c, "SELECT UCase(Title) & '|' & Len(Title) & '|' & Mid(Title, 2, 3) & '|' & "
                         "Nz(NULL, 'none') FROM tblKRVS101 WHERE DbId = 6"),
                 QStringLiteral("ØRNULF|6|rnu|none"));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
