#include "app/SearchCommands.h"
#include "app/frmKRVS.h"
#include "db/DbTestUtil.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

// What the user types reaches the catalogue once, as typed, and nothing behind it.
class TestTypedText : public QObject, AppFixture {
    Q_OBJECT

    static constexpr int kCards = 30;
    static inline const QString kLoadAll =
        QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;");
    static inline const QString kSchema =
        QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name;");

    // The main window, shown, on a fresh copy of the catalogue.
    void start() {
        QVERIFY(makeCatalogue(kCards));
        AppFixture::start().show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->fgdCards->Rows(), kCards + 1);
    }
    // Types a statement in the advanced mode and presses Query.
    void query(const QString& statement) {
        if (w->cmdAdv->text() == QLatin1String("Go To &Advanced"))
            QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        QTest::keyClick(w->txtSQL, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->txtSQL, Qt::Key_Delete);
        const QStringList lines = statement.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0) QTest::keyClick(w->txtSQL, Qt::Key_Return);
            QTest::keyClicks(w->txtSQL, lines[i]);
        }
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
    }
    // Double clicks a grid row and types a comment for its card; returns the DbId.
    QString writeComment(int row, const QString& typed) {
        FlexGrid* grid = w->fgdCards;
        const QPoint at = grid->visualRect(grid->model()->index(row - 1, 3)).center();
        ui->onModal([typed](QDialog& d) {
            auto& form = static_cast<frmDetails&>(d);
            QTest::keyClick(form.txtUcomm, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(form.txtUcomm, typed);
            QTest::mouseClick(form.cmdUpUcomm, Qt::LeftButton);
        });
        ui->answer(mb::AnsYes, "User comment update");
        ui->answer(mb::AnsOK, "User comments update");
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        return grid->TextMatrix(row, 0);
    }
    // The grid's rows as dump() gives a statement's.
    QString gridText() const {
        QStringList lines;
        for (int r = 1; r < w->fgdCards->Rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < w->fgdCards->Cols(); ++c)
                cells << w->fgdCards->TextMatrix(r, c);
            lines << cells.join(u'|');
        }
        return lines.join(u'\n');
    }
    // Closes the window and reads sql from the file with a connection of its own.
    QString readBack(const QString& sql) {
        w.reset();
        db::Connection conn;
        openCatalogue(conn, catalogue());
        return dump(conn, sql);
    }
    QStringList folderFiles() const {
        QStringList files =
            QDir(folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        files.removeAll("KRVS.ini");
        return files;
    }

  private slots:
    void init() { begin(); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // Runs once; the grid reads its own statement again, now and after a later update.
    void statementWithoutRowsRunsOnce_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("check");    // reads what the statement changed
        QTest::addColumn<QString>("expected"); // check's result afterwards; %1 = before
        QTest::newRow("update") << "UPDATE tblKRVS101 SET UserComments = UserComments & 'X' "
                                   "WHERE DbId = 1;"
                                << "SELECT UserComments FROM tblKRVS101 WHERE DbId = 1;"
                                << "%1X";
        QTest::newRow("insert") << "INSERT INTO tblKRVS101 (Title, Series) VALUES ('Typed', 'VEX');"
                                << "SELECT count(*) FROM tblKRVS101 WHERE Title = 'Typed';"
                                << "1";
    }
    void statementWithoutRowsRunsOnce() {
        QFETCH(QString, statement);
        QFETCH(QString, check);
        QFETCH(QString, expected);
        start();
        expected.replace("%1", dump(w->catalogue().connection(), check));

        query(statement);
        QCOMPARE(dump(w->catalogue().connection(), check), expected);
        QCOMPARE(w->g.gCurSQL, kLoadAll);
        QCOMPARE(w->searchCommands->statement(), statement);
        QCOMPARE(gridText(), dump(w->catalogue().connection(), kLoadAll));
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Matches returned=%1)").arg(w->fgdCards->Rows() - 1));

        const QString id = writeComment(3, "later");
        QCOMPARE(gridText(), dump(w->catalogue().connection(), kLoadAll));
        QCOMPARE(readBack(check), expected);
        QCOMPARE(readBack("SELECT UserComments FROM tblKRVS101 WHERE DbId = " + id + ";"),
                 QString("later"));
    }

    // Changing the key, writing other files or loading code is refused as a PRAGMA is.
    void statementBehindTheProgramRefused_data() {
        QTest::addColumn<QString>("statement");
        QTest::newRow("pragma") << "PRAGMA rekey = 'abcd';";
        QTest::newRow("attach") << "ATTACH DATABASE '%F/copy.krv' AS copy;";
        QTest::newRow("password") << "ALTER DATABASE PASSWORD abcd ``";
        QTest::newRow("password, lower case") << "alter database password abcd ``;";
        QTest::newRow("export") << "SELECT sqlcipher_export('main');";
        QTest::newRow("export in a search")
            << "SELECT * FROM tblKRVS101 WHERE DbId = 1 OR SQLCIPHER_EXPORT('main') IS NULL;";
        QTest::newRow("extension") << "SELECT load_extension('libm.so.6');";
        QTest::newRow("copy") << "VACUUM INTO '%F/copy.krv';";
        QTest::newRow("copy, commented") << "/* keep */ VACUUM main /* x */ INTO '%F/copy.krv'";
        // Without its card table, or with another one, the catalogue is no longer the program's.
        QTest::newRow("drop the card table") << "DROP TABLE tblKRVS101;";
        QTest::newRow("drop, any spelling")
            << "/* all */ drop -- of them\n TABLE IF EXISTS \"main\" . [TBLkrvs101]";
        QTest::newRow("drop after a statement") << "SELECT 1; DROP TABLE `tblKRVS101`;";
        QTest::newRow("rename") << "ALTER TABLE main.tblKRVS101 RENAME TO cards;";
        QTest::newRow("rename a column") << "alter table 'tblkrvs101' rename Title to Name;";
        QTest::newRow("drop a column") << "ALTER TABLE tblKRVS101 DROP COLUMN UserComments;";
        QTest::newRow("add a column") << "ALTER TABLE tblKRVS101 ADD COLUMN Extra TEXT;";
    }
    void statementBehindTheProgramRefused() {
        QFETCH(QString, statement);
        start();
        const QStringList files = folderFiles();
        const QString schema = dump(w->catalogue().connection(), kSchema);
        ui->answer(mb::AnsOK, "Error in Query");
        query(statement.replace("%F", folder->path()));
        QCOMPARE(ui->titles(), QStringList{"Error in Query"});
        QCOMPARE(ui->boxes.last().text,
                 QString("-2147467259\r\nInvalid SQL statement; expected 'DELETE', 'INSERT', "
                         "'PROCEDURE', 'SELECT', or 'UPDATE'."));
        QCOMPARE(w->g.gCurSQL, kLoadAll);
        QCOMPARE(folderFiles(), files);
        QCOMPARE(dump(w->catalogue().connection(), kSchema), schema);
        QCOMPARE(readBack("SELECT count(*) FROM tblKRVS101;"), QString::number(kCards));
    }

    // Statements that change rows, or other tables, run; one that ran is never reported
    // as failed, also when it took away the table whose rows the grid showed.
    void changesRunAndAreNotReportedAsFailed() {
        start();
        query("CREATE TABLE tblKRVS101_old AS SELECT * FROM tblKRVS101 WHERE DbId <= 4;");
        query("SELECT * FROM tblKRVS101_old;");
        QCOMPARE(w->fgdCards->Rows(), 5);
        query("DROP TABLE tblKRVS101_old;");
        QCOMPARE(ui->titles(), QStringList{});
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Matches returned=%1)").arg(kCards));
        QCOMPARE(w->g.gCurSQL, kLoadAll);
        QCOMPARE(gridText(), dump(w->catalogue().connection(), kLoadAll));
        query("DELETE FROM tblKRVS101 WHERE DbId > 20;");
        QCOMPARE(ui->titles(), QStringList{});
        QCOMPARE(w->fgdCards->Rows(), 21);
        QCOMPARE(readBack("SELECT count(*) FROM sqlite_master WHERE name LIKE 'tblKRVS101%';"),
                 QString("1"));
    }

    // The old dialect's TOP n, typed in the advanced mode, gives the first n rows.
    void topRows_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("engine"); // the same rows in the engine's own words
        QTest::newRow("top") << "SELECT TOP 3 * FROM tblKRVS101;"
                             << "SELECT * FROM tblKRVS101 LIMIT 3;";
        QTest::newRow("order, where") << "select top 4 * from tblKRVS101 where Own = False "
                                         "order by Title desc, DbId"
                                      << "SELECT * FROM tblKRVS101 WHERE Own = 0 "
                                         "ORDER BY Title DESC, DbId LIMIT 4;";
        QTest::newRow("distinct")
            << "SELECT DISTINCT TOP 2 Series FROM tblKRVS101 ORDER BY Series;"
            << "SELECT DISTINCT Series FROM tblKRVS101 ORDER BY Series LIMIT 2;";
        QTest::newRow("sub-query")
            << "SELECT * FROM tblKRVS101 WHERE DbId IN (SELECT TOP 5 DbId FROM tblKRVS101 "
               "ORDER BY DbId DESC) AND Title <> 'SELECT TOP 1' ORDER BY DbId;"
            << "SELECT * FROM tblKRVS101 WHERE DbId > 25 ORDER BY DbId;";
        QTest::newRow("search's order, comment")
            << "SELECT TOP 6 * FROM tblKRVS101 WHERE Own = False\n"
               "ORDER BY tblKRVS101.Index, tblKRVS101.Title -- the first six"
            << "SELECT * FROM tblKRVS101 WHERE Own = 0 ORDER BY [Index], Title LIMIT 6;";
        // 10 % of 30 is 3; 11 % is 3.3, rounded up
        QTest::newRow("percent") << "SELECT TOP 10 PERCENT * FROM tblKRVS101 ORDER BY DbId DESC;"
                                 << "SELECT * FROM tblKRVS101 ORDER BY DbId DESC LIMIT 3;";
        QTest::newRow("percent, rounded up")
            << "SELECT TOP 11 PERCENT DbId, Title FROM tblKRVS101 WHERE DbId > 0 ORDER BY DbId;"
            << "SELECT DbId, Title FROM tblKRVS101 ORDER BY DbId LIMIT 4;";
    }
    void topRows() {
        QFETCH(QString, statement);
        QFETCH(QString, engine);
        start();
        query(statement);
        QCOMPARE(ui->titles(), QStringList{});
        QCOMPARE(gridText(), dump(w->catalogue().connection(), engine));
        QCOMPARE(w->g.gCurSQL, statement);
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Matches returned=%1)").arg(w->fgdCards->Rows() - 1));
    }

    // A comment is stored exactly as typed, apostrophes in a row included.
    void commentStoredAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("pair") << "it''s";
        QTest::newRow("pair alone") << "''";
        QTest::newRow("three") << "a'''b";
        QTest::newRow("one") << "'";
    }
    void commentStoredAsTyped() {
        QFETCH(QString, typed);
        start();
        const QString id = writeComment(2, typed);
        QCOMPARE(w->fgdCards->TextMatrix(2, 9), typed);
        QCOMPARE(readBack("SELECT UserComments FROM tblKRVS101 WHERE DbId = " + id + ";"), typed);
    }
};

QTEST_MAIN(TestTypedText)
#include "tst_typed_text.moc"
