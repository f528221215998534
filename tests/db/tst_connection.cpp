#include "DbTestUtil.h"
#include "TestCatalogue.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace krvs;
using namespace krvs::db;
using krvs::test::dump;
using krvs::test::errorNumber;
using krvs::test::fileBytes;
using krvs::test::openCatalogue;

class TestConnection : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void connectionStrings();
    void opensBothStringForms();
    void snapshotOfCards();
    void passwords();
    void missingFileIsNotCreated();
    void exclusiveOpen();
    void exclusiveAgainstAnotherProcess();
    void failingStatementChangesNothing();
    void updateSurvivesACrash();
    void recordsetStates();
    void unicodeComparison();
    void engineStatementsAreRefused();
    void encryptedFileHasNoPlainText();

  private:
    QString catalogue(int cards = 30, const QString& password = {});
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestConnection::init() {
    dir_ = std::make_unique<QTemporaryDir>();
}

QString TestConnection::catalogue(int cards, const QString& password) {
    const QString path = dir_->filePath(QStringLiteral("KRVS.krv"));
    if (!test::makeCatalogue(path, cards, password)) qFatal("krvs-makedb failed");
    return path;
}

void TestConnection::connectionStrings() {
    auto cs = parseConnectionString(test::startupString(QStringLiteral("C:\\KRVS\\KRVS.krv"), {}));
    QCOMPARE(cs.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    QCOMPARE(cs.dataSource, QStringLiteral("C:\\KRVS\\KRVS.krv"));
    QVERIFY(cs.hasPassword);
    QCOMPARE(cs.password, QString()); // the grave accents mean none

    cs = parseConnectionString(test::reopenString(QStringLiteral("/p/KRVS.krv"), {}));
    QCOMPARE(cs.dataSource, QStringLiteral("/p/KRVS.krv"));
    QCOMPARE(cs.password, QString());

    // the password is kept exactly, blanks and separators included
    cs = parseConnectionString(
        test::startupString(QStringLiteral("/p/a.krv"), QStringLiteral(" pw; ")));
    QCOMPARE(cs.password, QStringLiteral(" pw; "));
    cs = parseConnectionString(
        test::reopenString(QStringLiteral("/p/a.krv"), QStringLiteral("p;w=x;")));
    QCOMPARE(cs.password, QStringLiteral("p;w=x;"));

    // keys in any case, blanks around keys and values, a path holding ';'
    cs = parseConnectionString(
        QStringLiteral("  provider = X ;DATA SOURCE= /a;b/c.krv ; jet oledb:engine type = 4;"
                       "JET OLEDB:DATABASE PASSWORD=Secret"));
    QCOMPARE(cs.provider, QStringLiteral("X"));
    QCOMPARE(cs.dataSource, QStringLiteral("/a;b/c.krv"));
    QCOMPARE(cs.engineType, 4);
    QCOMPARE(cs.password, QStringLiteral("Secret"));

    // a password ending in ';' at the very end can be read two ways; the other
    // reading is kept for a second try
    cs = parseConnectionString(QStringLiteral("Data Source=x.krv;Jet OLEDB:Database Password=ab;"));
    QCOMPARE(cs.password, QStringLiteral("ab"));
    QCOMPARE(cs.otherPassword.value_or(QString()), QStringLiteral("ab;"));
    cs = parseConnectionString(
        test::startupString(QStringLiteral("/p/a.krv"), QStringLiteral("abc")));
    QVERIFY(!cs.otherPassword);

    cs = parseConnectionString(QStringLiteral("Data Source=x.krv"));
    QVERIFY(!cs.hasPassword);
    QCOMPARE(cs.engineType, 0);
}

void TestConnection::opensBothStringForms() {
    const QString path = catalogue(5);
    for (const QString& cs : {test::startupString(path, {}), test::reopenString(path, {})}) {
        Connection c;
        c.setMode(adModeShareExclusive);
        c.Open(cs, {}, {}, -1);
        QCOMPARE(c.State(), adStateOpen);
        QCOMPARE(dump(c, QStringLiteral("SELECT count(*) FROM tblKRVS101;")), QStringLiteral("5"));
        c.Close();
        QCOMPARE(c.State(), adStateClosed);
        QCOMPARE(errorNumber([&] { c.Close(); }), 3704); // closing twice fails
    }
}

void TestConnection::snapshotOfCards() {
    const QString path = catalogue(40);
    Connection c;
    openCatalogue(c, path);
    Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;"), c, -1, -1, -1);
    rs.Requery(-1);
    QCOMPARE(rs.State(), adStateOpen);
    QCOMPARE(rs.RecordCount(), 40);
    const auto rows = rs.rows();
    QCOMPARE(rows->fields, QStringList({"DbId", "Index", "CardType", "Title", "Category", "Series",
                                        "Season", "Own", "DBComments", "UserComments"}));
    int owned = 0;
    for (int r = 0; r < rows->rowCount(); ++r) {
        QCOMPARE(rows->cell(r, 0), QString::number(r + 1));
        const QString own = rows->cell(r, 7);
        QVERIFY2(own == u"True" || own == u"False", qPrintable(own));
        owned += own == u"True";
    }
    QVERIFY(owned > 0 && owned < 40);

    // the search the program builds runs and sorts by Index as text
    rs.Close();
    rs.Open(QStringLiteral("SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=True)) ORDER BY "
                           "tblKRVS101.Index, tblKRVS101.Title;"),
            c);
    QCOMPARE(rs.RecordCount(), owned);
    for (int r = 1; r < rs.RecordCount(); ++r)
        QVERIFY(rs.rows()->cell(r - 1, 1).compare(rs.rows()->cell(r, 1), Qt::CaseInsensitive) <= 0);

    // the snapshot stays readable after its connection has gone
    c.Close();
    QCOMPARE(rows->rowCount(), 40);
}

void TestConnection::passwords() {
    const QString path = catalogue(5, QStringLiteral("Se cret;"));
    Connection c;
    QString why;
    QCOMPARE(errorNumber([&] { openCatalogue(c, path); }, &why), err::BadPassword); // missing
    QVERIFY(!why.isEmpty());
    QCOMPARE(c.Errors().size(), 1);
    QCOMPARE(c.Errors().at(0).Number, err::BadPassword);
    QCOMPARE(c.Errors().at(0).Description, why);
    QVERIFY(!c.Errors().at(0).Source.isEmpty());
    QCOMPARE(c.State(), adStateClosed);
    QCOMPARE(errorNumber([&] { openCatalogue(c, path, QStringLiteral("se cret;")); }),
             err::BadPassword);
    QCOMPARE(errorNumber([&] { openCatalogue(c, path, QStringLiteral("Se cret")); }),
             err::BadPassword);
    c.ErrorsClear();
    QVERIFY(c.Errors().isEmpty());

    openCatalogue(c, path, QStringLiteral("Se cret;"));
    QCOMPARE(dump(c, QStringLiteral("SELECT count(*) FROM tblKRVS101")), QStringLiteral("5"));
    c.Close();
    c.Open(test::reopenString(path, QStringLiteral("Se cret;")));
    c.Close();

    // the compaction's source string has no closing separator, the reopen form one
    c.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
           QStringLiteral(";Jet OLEDB:Database Password=Se cret;"));
    c.Close();

    // a plain file opened with a password is a wrong password too
    const QString plain = dir_->filePath(QStringLiteral("plain.krv"));
    QVERIFY(test::makeCatalogue(plain, 3));
    QCOMPARE(errorNumber([&] { openCatalogue(c, plain, QStringLiteral("abcd")); }),
             err::BadPassword);
    // and blanks alone are no password
    openCatalogue(c, plain, QStringLiteral("   "));
}

void TestConnection::missingFileIsNotCreated() {
    const QString path = dir_->filePath(QStringLiteral("KRVS.krv"));
    Connection c;
    QString why;
    QCOMPARE(errorNumber([&] { openCatalogue(c, path); }, &why), err::Engine);
    QVERIFY2(why.contains(QStringLiteral("KRVS.krv")), qPrintable(why));
    QCOMPARE(c.Errors().size(), 1);
    QCOMPARE(c.Errors().at(0).Description, why);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(c.State(), adStateClosed);
}

void TestConnection::exclusiveOpen() {
    const QString path = catalogue(5);
    Connection first;
    openCatalogue(first, path);
    for (int mode : {adModeShareExclusive, 0}) {
        Connection second;
        second.setMode(mode);
        QString why;
        QCOMPARE(errorNumber([&] { second.Open(test::startupString(path, {})); }, &why),
                 err::Engine);
        QVERIFY2(why.contains(QStringLiteral("in use")), qPrintable(why));
        QCOMPARE(second.Errors().size(), 1);
        QCOMPARE(second.State(), adStateClosed);
    }
    // the first connection is unharmed and the file opens once it is closed
    QCOMPARE(dump(first, QStringLiteral("SELECT count(*) FROM tblKRVS101")), QStringLiteral("5"));
    first.Close();
    Connection third;
    openCatalogue(third, path);
}

// Runs f in a child process and returns its exit code.
template <class F> int inChild(F f) {
    const pid_t pid = fork();
    if (pid == 0) _exit(f());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void TestConnection::exclusiveAgainstAnotherProcess() {
    const QString path = catalogue(5, QStringLiteral("pass"));
    Connection first;
    openCatalogue(first, path, QStringLiteral("pass"));
    const int code = inChild([&] {
        Connection c;
        return errorNumber([&] { openCatalogue(c, path, QStringLiteral("pass")); }) == err::Engine
                   ? 7
                   : 1;
    });
    QCOMPARE(code, 7);
    first.Close();
    const int later = inChild([&] {
        Connection c;
        return errorNumber([&] { openCatalogue(c, path, QStringLiteral("pass")); }) == 0 ? 7 : 1;
    });
    QCOMPARE(later, 7);
}

void TestConnection::failingStatementChangesNothing() {
    const QString path = catalogue(20);
    {
        Connection c;
        openCatalogue(c, path);
        c.Close();
    }
    const QByteArray before = fileBytes(path);
    Connection c;
    openCatalogue(c, path);
    const QString all = dump(c, QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId"));
    const struct {
        const char* sql;
        const char* message;
    } cases[] = {
        {"UPDATE tblKRVS101 SET Titel = 'x' WHERE DbId = 3;", "no such column: Titel"},
        {"SELECT * FROM tblKRVS101 WHERE Title = 'Vellan;", "unrecognized token: \"'Vellan;\""},
        {"UPDATE tblKRVS101 SET Own = True WHERE DbId = 1; DELETE FROM tblKRVS101;",
         "Characters found after end of SQL statement."},
        {"UPDATE tblKRVS101 SET DbId = 1 WHERE DbId = 2;",
         "UNIQUE constraint failed: tblKRVS101.DbId"},
        {"",
         "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    };
    for (const auto& k : cases) {
        Recordset rs;
        QString why;
        QCOMPARE(errorNumber([&] { rs.Open(QString::fromUtf8(k.sql), c); }, &why), err::Engine);
        QCOMPARE(why, QString::fromUtf8(k.message));
        QCOMPARE(c.Errors().size(), 1);
        QCOMPARE(c.Errors().at(0).Description, why);
        QCOMPARE(rs.State(), adStateClosed);
    }
    QCOMPARE(dump(c, QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId")), all);
    c.Close();
    QVERIFY(fileBytes(path) == before);
}

void TestConnection::updateSurvivesACrash() {
    const QString path = catalogue(10);
    const int code = inChild([&] {
        Connection c;
        openCatalogue(c, path);
        Recordset rs;
        rs.Open(QStringLiteral("UPDATE tblKRVS101 SET UserComments = 'Vellan''s \"first\" card', "
                               "Own = True WHERE DbId = 4;"),
                c);
        std::quick_exit(3); // no close, no clean-up: as if the program had crashed
        return 0;
    });
    QCOMPARE(code, 3);
    Connection c;
    openCatalogue(c, path);
    QCOMPARE(dump(c, QStringLiteral("SELECT UserComments, Own FROM tblKRVS101 WHERE DbId = 4")),
             QStringLiteral("Vellan's \"first\" card|True"));
}

void TestConnection::recordsetStates() {
    const QString path = catalogue(10);
    Connection c;
    openCatalogue(c, path);
    Recordset sel;
    sel.Open(QStringLiteral("SELECT DbId, Own FROM tblKRVS101 WHERE DbId = 2;"), c);
    QCOMPARE(errorNumber([&] { sel.Open(QStringLiteral("SELECT 1"), c); }), 3705);
    const auto unchanged = sel.rows();
    sel.Requery(); // nothing was written: the rows just read are kept, not read again
    QVERIFY(sel.rows() == unchanged);

    Recordset upd;
    upd.Open(QStringLiteral("UPDATE tblKRVS101 SET Own = False WHERE DbId = 2;"), c);
    QCOMPARE(upd.State(), adStateClosed);
    QCOMPARE(upd.RecordCount(), 0);
    QCOMPARE(errorNumber([&] { upd.Close(); }), 3704);

    sel.Requery();
    QCOMPARE(sel.rows()->cell(0, 1), QStringLiteral("False"));
    upd.Open(QStringLiteral("UPDATE tblKRVS101 SET Own = Yes WHERE DbId = 2;"), c);
    QCOMPARE(sel.rows()->cell(0, 1), QStringLiteral("False")); // a snapshot
    sel.Requery();
    QCOMPARE(sel.rows()->cell(0, 1), QStringLiteral("True"));

    c.Close();
    QCOMPARE(errorNumber([&] { sel.Requery(); }), 3709);
    Recordset fresh;
    QCOMPARE(errorNumber([&] { fresh.Requery(); }), 3704);
}

void TestConnection::unicodeComparison() {
    const QString path = dir_->filePath(QStringLiteral("u.krv"));
    QVERIFY(test::makeCatalogueFromCsv(path, QStringLiteral("DbId,Title,Series,Index\n"
                                                            "1,ÉCLAIR du Vellan,vex,10\n"
                                                            "2,éclair,VEX,9\n"
                                                            "3,Eagle,Dr7,S3\n"
                                                            "4,Fox,zyn,s12\n"
                                                            "5,eclair,NOR,1\n"
                                                            "6,Ørnulf,NOR,2\n")));
    Connection c;
    openCatalogue(c, path);
    auto ids = [&](const char* where) {
        return dump(c, QStringLiteral("SELECT DbId FROM tblKRVS101 WHERE ") +
                           QString::fromUtf8(where) + QStringLiteral(" ORDER BY DbId"))
            .replace(u'\n', u',');
    };
    QCOMPARE(ids("Title LIKE '%éclair%'"), QStringLiteral("1,2"));
    QCOMPARE(ids("Title LIKE \"%ÉCLAIR%\""), QStringLiteral("1,2"));
    QCOMPARE(ids("Title = 'ÉCLAIR'"), QStringLiteral("2"));
    QCOMPARE(ids("tblKRVS101.Series LIKE 'VEX'"), QStringLiteral("1,2"));
    QCOMPARE(ids("Series = 'dR7'"), QStringLiteral("3"));
    QCOMPARE(ids("Title LIKE '%vellan%'"), QStringLiteral("1"));
    QCOMPARE(ids("Title LIKE 'ø%'"), QStringLiteral("6"));
    QCOMPARE(ids("Title LIKE '_rnulf'"), QStringLiteral("6"));
    QCOMPARE(ids("Title LIKE '%!%%' ESCAPE '!'"), QString());
    QCOMPARE(dump(c, QStringLiteral("SELECT DbId FROM tblKRVS101 ORDER BY Title, DbId"))
                 .replace(u'\n', u','),
             QStringLiteral("3,5,2,1,4,6"));
    QCOMPARE(
        dump(c, QStringLiteral("SELECT tblKRVS101.Index FROM tblKRVS101 ORDER BY tblKRVS101.Index"))
            .replace(u'\n', u','),
        QStringLiteral("1,10,2,9,s12,S3"));
    QCOMPARE(dump(c, QStringLiteral("SELECT 'ÉCLAIR' LIKE '%éclair%'")), QStringLiteral("1"));

    // the old dialect's text functions count characters
    QCOMPARE(dump(c, QStringLiteral("SELECT UCase(Title) & '|' & LCase(Title) & '|' & Len(Title) & "
                                    "'|' & Left(Title, 2) & '|' & Right(Title, 3) & '|' & "
                                    "Mid(Title, 2, 3) & '|' & Mid(Title, 4) & '|' & "
                                    "IIf(Own, 'y', 'n') & '|' & Nz(UserComments, '-') & "
                                    "Nz(NULL, 'none') FROM tblKRVS101 WHERE DbId = 6")),
             QStringLiteral("ØRNULF|ørnulf|6|Ør|ulf|rnu|ulf|n|none"));
}

void TestConnection::engineStatementsAreRefused() {
    const QString path = catalogue(3, QStringLiteral("abcd"));
    Connection c;
    openCatalogue(c, path, QStringLiteral("abcd"));
    for (const char* s : {"PRAGMA rekey = 'x';", "ATTACH DATABASE 'x.db' AS x;", "BEGIN;", "COMMIT",
                          "PRAGMA locking_mode = NORMAL"}) {
        QCOMPARE(errorNumber([&] { Recordset().Open(QString::fromLatin1(s), c); }), err::Engine);
    }
    c.Close();
    openCatalogue(c, path, QStringLiteral("abcd"));
    QCOMPARE(dump(c, QStringLiteral("SELECT count(*) FROM tblKRVS101")), QStringLiteral("3"));
}

void TestConnection::encryptedFileHasNoPlainText() {
    const QString plain = dir_->filePath(QStringLiteral("plain.krv"));
    const QString locked = dir_->filePath(QStringLiteral("locked.krv"));
    QVERIFY(test::makeCatalogue(plain, 50));
    QVERIFY(test::makeCatalogue(locked, 50, QStringLiteral("abcd")));
    const QByteArray p = fileBytes(plain), l = fileBytes(locked);
    QVERIFY(p.startsWith("SQLite format 3"));
    QVERIFY(p.contains("Vellan") && p.contains("tblKRVS101"));
    QVERIFY(!l.startsWith("SQLite format 3"));
    QVERIFY(!l.contains("Vellan") && !l.contains("tblKRVS101") && !l.contains("Character"));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
