#include "db/Dialect.h"

#include <QTest>

using krvs::db::dialect::translate;

namespace {
// A statement and what the engine is given for it (left out: the very same text).
void row(const char* name, const char* in, const char* out = nullptr) {
    QTest::newRow(name) << QString::fromUtf8(in) << QString::fromUtf8(out ? out : in);
}
// A password statement; ok is false when it must be refused.
void pw(const char* name, const char* in, bool ok, const char* newPw = "", const char* oldPw = "") {
    QTest::newRow(name) << QString::fromUtf8(in) << ok << QString::fromUtf8(newPw)
                        << QString::fromUtf8(oldPw);
}
} // namespace

class TestDialect : public QObject {
    Q_OBJECT
  private slots:
    void statements_data();
    void statements();
    void secondStatementIsRejected();
    void passwordStatement_data();
    void passwordStatement();
};

void TestDialect::statements_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    row("load all", "SELECT * FROM tblKRVS101 ORDER BY DbId;");
    row("search",
        "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') OR "
        "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series LIKE 'VEX')) AND "
        "((tblKRVS101.Own=True))) ORDER BY tblKRVS101.Index, tblKRVS101.Title;",
        "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') OR "
        "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series LIKE 'VEX')) AND "
        "((tblKRVS101.Own=1))) ORDER BY tblKRVS101.\"Index\", tblKRVS101.Title;");
    row("not owned", "SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=False));",
        "SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=0));");
    row("own update", "UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;",
        "UPDATE tblKRVS101 SET Own = 1 WHERE DbId = 17;");
    row("comment update", "UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;");
    row("yes/no, any case", "select * from t where a=yes or b=NO or c=tRuE",
        "select * from t where a=1 or b=0 or c=1");
    row("bare Index, keyword after a dot", "SELECT Index, t.Order FROM t ORDER BY Index",
        "SELECT \"Index\", t.\"Order\" FROM t ORDER BY \"Index\"");
    row("index statements keep the keyword", "CREATE UNIQUE INDEX ix ON t (a)");
    row("a table named like a literal", "SELECT Yes.a FROM t AS Yes");
    row("brackets stay names", "SELECT [Index], [True] FROM [tbl KRVS]");
    row("double quotes are texts", "SELECT * FROM t WHERE Title = \"Vellan's \"\"Ship\"\"\"",
        "SELECT * FROM t WHERE Title = 'Vellan''s \"Ship\"'");
    row("& joins texts", "SELECT Title & ' & ' & Series FROM t",
        "SELECT Title || ' & ' || Series FROM t");
    row("Left and Right functions", "SELECT Left(a, 2), RIGHT (a, 1) FROM t LEFT JOIN u ON 1",
        "SELECT \"Left\"(a, 2), \"RIGHT\" (a, 1) FROM t LEFT JOIN u ON 1");
    // texts and comments are left alone
    row("words in a text", "SELECT * FROM t WHERE a LIKE '%True Index No%';");
    row("quotes in a text", "SELECT * FROM t WHERE a = 'say \"yes\"; or no';");
    row("doubled apostrophes", "UPDATE t SET c = 'it''s True; ''Index''' WHERE DbId = 1;");
    row("comment", "SELECT 1 -- True Index\n");
    row("unclosed text goes on to the engine", "SELECT * FROM t WHERE a = 'True");
}

void TestDialect::statements() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    const auto t = translate(in);
    QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
    QVERIFY(!t.password);
    QCOMPARE(t.sql, out);
}

void TestDialect::secondStatementIsRejected() {
    for (const char* s :
         {"UPDATE t SET a = 1; DELETE FROM t", "SELECT 1;SELECT 2;", "SELECT 1; x"}) {
        const auto t = translate(QString::fromLatin1(s));
        QCOMPARE(t.error, QStringLiteral("Characters found after end of SQL statement."));
        QVERIFY(t.sql.isEmpty());
    }
    // blanks, line breaks and extra separators after the end are fine; a ';' in a text is no end
    QVERIFY(translate(QStringLiteral("SELECT 1;  \r\n;")).error.isEmpty());
    QVERIFY(translate(QStringLiteral("SELECT 'a;b' ; ")).error.isEmpty());
}

void TestDialect::passwordStatement_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("newPw");
    QTest::addColumn<QString>("oldPw");
    pw("set", "ALTER DATABASE PASSWORD n3w!Pass ``;", true, "n3w!Pass");
    pw("change", "ALTER DATABASE PASSWORD newer older;", true, "newer", "older");
    pw("remove", "ALTER DATABASE PASSWORD `` older;", true, "", "older");
    pw("lower case, no ';'", "alter database password abcd ``", true, "abcd");
    // a password is kept exactly as typed: nothing is unquoted
    pw("brackets and graves kept", "ALTER DATABASE PASSWORD [abcd] `x`;", true, "[abcd]", "`x`");
    pw("empty brackets are no token", "ALTER DATABASE PASSWORD ab]cd [];", true, "ab]cd", "[]");
    pw("token inside a word", "ALTER DATABASE PASSWORD ``x`` ``;", true, "``x``");
    pw("brackets do not carry a blank", "ALTER DATABASE PASSWORD [two words] ``;", false);
    pw("quotes and ';' inside", "ALTER DATABASE PASSWORD it's\"x; o;ld;", true, "it's\"x;", "o;ld");
    pw("blank inside", "ALTER DATABASE PASSWORD ab cd ``;", false);
    pw("leading blank", "ALTER DATABASE PASSWORD  abcd ``;", false);
    pw("old with trailing blank", "ALTER DATABASE PASSWORD abcd old ;", false);
    pw("one word", "ALTER DATABASE PASSWORD abcd;", false);
    pw("no words", "ALTER DATABASE PASSWORD;", false);
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
