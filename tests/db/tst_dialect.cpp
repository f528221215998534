#include "db/Dialect.h"

#include <QTest>

using krvs::db::dialect::translate;

class TestDialect : public QObject {
    Q_OBJECT
  private slots:
    void statementsTheProgramBuilds_data();
    void statementsTheProgramBuilds();
    void literalsAreLeftAlone_data();
    void literalsAreLeftAlone();
    void secondStatementIsRejected();
    void passwordStatement_data();
    void passwordStatement();
};

void TestDialect::statementsTheProgramBuilds_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("load all") << "SELECT * FROM tblKRVS101 ORDER BY DbId;"
                              << "SELECT * FROM tblKRVS101 ORDER BY DbId;";
    QTest::newRow("search")
        << "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') "
           "OR (tblKRVS101.UserComments LIKE '%Vellan%') OR "
           "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series "
           "LIKE 'VEX') OR (tblKRVS101.Series LIKE 'DR7')) AND "
           "((tblKRVS101.Own=True))) ORDER BY tblKRVS101.Index, "
           "tblKRVS101.Title;"
        << "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') "
           "OR (tblKRVS101.UserComments LIKE '%Vellan%') OR "
           "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series "
           "LIKE 'VEX') OR (tblKRVS101.Series LIKE 'DR7')) AND "
           "((tblKRVS101.Own=1))) ORDER BY tblKRVS101.\"Index\", "
           "tblKRVS101.Title;";
    QTest::newRow("not owned") << "SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=False));"
                               << "SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=0));";
    QTest::newRow("own update") << "UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;"
                                << "UPDATE tblKRVS101 SET Own = 1 WHERE DbId = 17;";
    QTest::newRow("unown update") << "UPDATE tblKRVS101 SET Own = False WHERE DbId = 17;"
                                  << "UPDATE tblKRVS101 SET Own = 0 WHERE DbId = 17;";
    QTest::newRow("comment update")
        << "UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;"
        << "UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;";
    QTest::newRow("yes/no, any case") << "select * from t where a=yes or b=NO or c=tRuE"
                                      << "select * from t where a=1 or b=0 or c=1";
    QTest::newRow("bare Index and keyword after dot")
        << "SELECT Index, t.Order, t.Title FROM t ORDER BY Index"
        << "SELECT \"Index\", t.\"Order\", t.Title FROM t ORDER BY \"Index\"";
    QTest::newRow("index statements keep the keyword") << "CREATE UNIQUE INDEX ix ON t (a)"
                                                       << "CREATE UNIQUE INDEX ix ON t (a)";
    QTest::newRow("a table named like a literal before a dot") << "SELECT Yes.a FROM t AS Yes"
                                                               << "SELECT Yes.a FROM t AS Yes";
    QTest::newRow("double quotes are texts")
        << "SELECT * FROM t WHERE Title = \"Vellan's \"\"Ship\"\"\""
        << "SELECT * FROM t WHERE Title = 'Vellan''s \"Ship\"'";
    QTest::newRow("& joins texts") << "SELECT Title & ' & ' & Series FROM t"
                                   << "SELECT Title || ' & ' || Series FROM t";
    QTest::newRow("Left and Right functions")
        << "SELECT Left(a, 2), RIGHT (a, 1) FROM t LEFT JOIN u ON 1"
        << "SELECT \"Left\"(a, 2), \"RIGHT\" (a, 1) FROM t LEFT JOIN u ON 1";
    QTest::newRow("brackets stay names") << "SELECT [Index], [True] FROM [tbl KRVS]"
                                         << "SELECT [Index], [True] FROM [tbl KRVS]";
}

void TestDialect::statementsTheProgramBuilds() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    const auto t = translate(in);
    QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
    QVERIFY(!t.password);
    QCOMPARE(t.sql, out);
}

void TestDialect::literalsAreLeftAlone_data() {
    QTest::addColumn<QString>("in");
    QTest::newRow("words in a text") << "SELECT * FROM t WHERE a LIKE '%True Index No%';";
    QTest::newRow("quotes in a text") << "SELECT * FROM t WHERE a = 'say \"yes\"; or no';";
    QTest::newRow("doubled apostrophes")
        << "UPDATE t SET c = 'it''s True; ''Index''' WHERE DbId = 1;";
    QTest::newRow("comment") << "SELECT 1 -- True Index\n";
    QTest::newRow("unclosed text goes on to the engine") << "SELECT * FROM t WHERE a = 'True";
}

void TestDialect::literalsAreLeftAlone() {
    QFETCH(QString, in);
    const auto t = translate(in);
    QVERIFY(t.error.isEmpty());
    QCOMPARE(t.sql, in);
}

void TestDialect::secondStatementIsRejected() {
    for (const char* s :
         {"UPDATE t SET a = 1; DELETE FROM t", "SELECT 1;SELECT 2;", "SELECT 1; x"}) {
        const auto t = translate(QString::fromLatin1(s));
        QCOMPARE(t.error, QStringLiteral("Characters found after end of SQL statement."));
        QVERIFY(t.sql.isEmpty());
    }
    // blanks, line breaks and extra separators after the end are fine
    QVERIFY(translate(QStringLiteral("SELECT 1;  \r\n;")).error.isEmpty());
    // a ';' inside a text is no end
    QVERIFY(translate(QStringLiteral("SELECT 'a;b' ; ")).error.isEmpty());
}

void TestDialect::passwordStatement_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("newPw");
    QTest::addColumn<QString>("oldPw");
    QTest::newRow("set") << "ALTER DATABASE PASSWORD n3w!Pass ``;" << true << "n3w!Pass"
                         << "";
    QTest::newRow("change") << "ALTER DATABASE PASSWORD newer older;" << true << "newer"
                            << "older";
    QTest::newRow("disable") << "ALTER DATABASE PASSWORD `` older;" << true << ""
                             << "older";
    QTest::newRow("lower case, no ';'") << "alter database password abcd ``" << true << "abcd"
                                        << "";
    QTest::newRow("brackets") << "ALTER DATABASE PASSWORD [two words] [];" << true << "two words"
                              << "";
    QTest::newRow("quotes and ';' inside")
        << "ALTER DATABASE PASSWORD it's\"x; o;ld;" << true << "it's\"x;"
        << "o;ld";
    QTest::newRow("blank inside") << "ALTER DATABASE PASSWORD ab cd ``;" << false << ""
                                  << "";
    QTest::newRow("leading blank") << "ALTER DATABASE PASSWORD  abcd ``;" << false << ""
                                   << "";
    QTest::newRow("trailing blank") << "ALTER DATABASE PASSWORD abcd  ``;" << false << ""
                                    << "";
    QTest::newRow("old with trailing blank") << "ALTER DATABASE PASSWORD abcd old ;" << false << ""
                                             << "";
    QTest::newRow("one word") << "ALTER DATABASE PASSWORD abcd;" << false << ""
                              << "";
    QTest::newRow("no words") << "ALTER DATABASE PASSWORD;" << false << ""
                              << "";
}

void TestDialect::passwordStatement() {
    QFETCH(QString, in);
    QFETCH(bool, ok);
    QFETCH(QString, newPw);
    QFETCH(QString, oldPw);
    const auto t = translate(in);
    QCOMPARE(t.error.isEmpty(), ok);
    QCOMPARE(bool(t.password), ok);
    if (!ok) return;
    QCOMPARE(t.password->newPassword, newPw);
    QCOMPARE(t.password->oldPassword, oldPw);
}

QTEST_APPLESS_MAIN(TestDialect)
#include "tst_dialect.moc"
