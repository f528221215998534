// The old dialect turned into the engine's, and the text matching and order of the card
// table's text columns.
#include "db/Dialect.h"
#include "db/TextFold.h"

#include <QTest>

using krvs::db::dialect::translate;
using namespace krvs::db::text;

class TestDialect : public QObject {
    Q_OBJECT
  private slots:
    void statements();
    void top_data();
    void top();
    void cardTableChange_data();
    void cardTableChange();
    void passwordStatement();
    void like();
    void order();
};

void TestDialect::statements() {
    // A statement and what the engine is given for it (nullptr: the very same text).
    const char* const rows[][2] = {
        {"SELECT * FROM tblKRVS101 ORDER BY DbId;", nullptr},
        {"SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') OR "
         "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series LIKE 'VEX')) AND "
         "((tblKRVS101.Own=True))) ORDER BY tblKRVS101.Index, tblKRVS101.Title;",
         "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') OR "
         "(tblKRVS101.DBComments LIKE '%Vellan%')) AND ((tblKRVS101.Series LIKE 'VEX')) AND "
         "((tblKRVS101.Own=1))) ORDER BY tblKRVS101.\"Index\", tblKRVS101.Title;"},
        {"SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=False));",
         "SELECT * FROM tblKRVS101 WHERE ((tblKRVS101.Own=0));"},
        {"select * from t where a=yes or b=NO or c=tRuE",
         "select * from t where a=1 or b=0 or c=1"},
        {"SELECT Index, t.Order FROM t ORDER BY Index",
         "SELECT \"Index\", t.\"Order\" FROM t ORDER BY \"Index\""},
        {"CREATE UNIQUE INDEX ix ON t (a)", nullptr},
        {"SELECT Yes.a FROM t AS Yes", nullptr},
        {"SELECT [Index], [True] FROM [tbl KRVS]", nullptr},
        {"SELECT * FROM t WHERE Title = \"Vellan's \"\"Ship\"\"\"",
         "SELECT * FROM t WHERE Title = 'Vellan''s \"Ship\"'"},
        {"SELECT Title & ' & ' & Series FROM t", "SELECT Title || ' & ' || Series FROM t"},
        {"SELECT Left(a, 2), RIGHT (a, 1) FROM t LEFT JOIN u ON 1",
         "SELECT \"Left\"(a, 2), \"RIGHT\" (a, 1) FROM t LEFT JOIN u ON 1"},
        // texts and comments are left alone; an unclosed text goes on to the engine
        {"SELECT * FROM t WHERE a LIKE '%True Index No%';", nullptr},
        {"SELECT * FROM t WHERE a = 'say \"yes\"; or no';", nullptr},
        {"UPDATE t SET c = 'it''s True; ''Index''' WHERE DbId = 1;", nullptr},
        {"SELECT 1 -- True Index\n", nullptr},
        {"SELECT * FROM t WHERE a = 'True", nullptr},
        // blanks, line breaks and extra separators may follow the end
        {"SELECT 1;  \r\n;", "SELECT 1;"},
    };
    for (const auto& [in, out] : rows) {
        const auto t = translate(QString::fromUtf8(in));
        QVERIFY2(t.error.isEmpty() && !t.password, in);
        QCOMPARE(t.sql, QString::fromUtf8(out ? out : in));
    }
    for (const char* s :
         {"UPDATE t SET a = 1; DELETE FROM t", "SELECT 1;SELECT 2;", "SELECT 1; x"}) {
        const auto t = translate(QString::fromLatin1(s));
        QCOMPARE(t.error, QStringLiteral("Characters found after end of SQL statement."));
        QVERIFY(t.sql.isEmpty());
    }
}

void TestDialect::top_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("engine"); // empty: refused
    QTest::newRow("plain") << "SELECT TOP 3 * FROM tblKRVS101;"
                           << "SELECT * FROM tblKRVS101 LIMIT 3;";
    QTest::newRow("order and where, lower case")
        << "select top 10 Title from t where Own = True order by Index desc"
        << "select Title from t where Own = 1 order by \"Index\" desc LIMIT 10";
    QTest::newRow("distinct") << "SELECT DISTINCT TOP 2 Series FROM t ORDER BY Series;"
                              << "SELECT DISTINCT Series FROM t ORDER BY Series LIMIT 2;";
    QTest::newRow("comment at the end") << "SELECT TOP 1 * FROM t -- the first\n"
                                        << "SELECT * FROM t LIMIT 1 -- the first\n";
    QTest::newRow("sub-query") << "SELECT * FROM t WHERE DbId IN (SELECT TOP 2 DbId FROM t "
                                  "ORDER BY Title) ORDER BY DbId;"
                               << "SELECT * FROM t WHERE DbId IN (SELECT DbId FROM t "
                                  "ORDER BY Title LIMIT 2) ORDER BY DbId;";
    QTest::newRow("both") << "SELECT TOP 5 * FROM (SELECT TOP 7 * FROM t) AS s WHERE (a = 1)"
                          << "SELECT * FROM (SELECT * FROM t LIMIT 7) AS s WHERE (a = 1) LIMIT 5";
    QTest::newRow("percent")
        << "SELECT TOP 25 PERCENT Title FROM t WHERE a = 'x' ORDER BY Title;"
        << "SELECT Title FROM t WHERE a = 'x' ORDER BY Title LIMIT (SELECT (count(*) * 25 + 99) "
           "/ 100 FROM (SELECT Title FROM t WHERE a = 'x'\n));";
    QTest::newRow("distinct percent")
        << "SELECT DISTINCT TOP 50 PERCENT Series FROM t"
        << "SELECT DISTINCT Series FROM t LIMIT (SELECT (count(*) * 50 + 99) / 100 FROM (SELECT "
           "DISTINCT Series FROM t\n))";
    // not a TOP clause: left as it is
    QTest::newRow("in a text") << "SELECT * FROM t WHERE a = 'SELECT TOP 3 x';"
                               << "";
    QTest::newRow("column named Top") << "SELECT Top, t.Top FROM t;"
                                      << "";
    QTest::newRow("bracketed") << "SELECT [TOP] FROM t;"
                               << "";
    // refused
    QTest::newRow("union") << "SELECT TOP 3 a FROM t UNION SELECT a FROM u;"
                           << "!";
    QTest::newRow("union before") << "SELECT a FROM t UNION ALL SELECT TOP 3 a FROM u;"
                                  << "!";
    QTest::newRow("percent in a sub-query")
        << "SELECT * FROM t WHERE a IN (SELECT TOP 5 PERCENT a FROM t);"
        << "!";
}

void TestDialect::top() {
    QFETCH(QString, statement);
    QFETCH(QString, engine);
    const auto t = translate(statement);
    if (engine == "!") {
        QVERIFY(!t.error.isEmpty());
        QVERIFY(t.sql.isEmpty());
        return;
    }
    QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
    QCOMPARE(t.sql, engine.isEmpty() ? statement : engine);
}

void TestDialect::cardTableChange_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("changes");
    QTest::newRow("drop") << "DROP TABLE tblKRVS101;" << true;
    QTest::newRow("lower case, if exists") << "drop table if exists tblkrvs101" << true;
    QTest::newRow("quoted, schema") << "DROP TABLE \"main\".\"TBLKRVS101\";" << true;
    QTest::newRow("brackets, comments")
        << "/* x */ DROP -- y\n TABLE main . [tblKRVS101] ;" << true;
    QTest::newRow("grave, single quotes") << "DROP TABLE `tblKRVS101`" << true;
    QTest::newRow("single quotes") << "DROP TABLE 'tblKRVS101'" << true;
    QTest::newRow("second statement") << "SELECT 1; DROP TABLE tblKRVS101;" << true;
    QTest::newRow("rename") << "ALTER TABLE tblKRVS101 RENAME TO cards;" << true;
    QTest::newRow("rename column") << "ALTER TABLE tblKRVS101 RENAME COLUMN Title TO T;" << true;
    QTest::newRow("drop column") << "ALTER TABLE main.tblKRVS101 DROP COLUMN UserComments" << true;
    QTest::newRow("add column") << "alter table [tblKRVS101] add column x;" << true;
    // other tables, rows, and the name only in a text or comment
    QTest::newRow("other table") << "DROP TABLE tblKRVS101_old;" << false;
    QTest::newRow("other table, card table's schema") << "DROP TABLE tblKRVS101.x;" << false;
    QTest::newRow("rows") << "DELETE FROM tblKRVS101;" << false;
    QTest::newRow("update") << "UPDATE tblKRVS101 SET Title = 'DROP TABLE tblKRVS101';" << false;
    QTest::newRow("comment") << "SELECT 1 -- DROP TABLE tblKRVS101\n" << false;
    QTest::newRow("index") << "DROP INDEX tblKRVS101;" << false;
}

void TestDialect::cardTableChange() {
    QFETCH(QString, statement);
    QFETCH(bool, changes);
    QCOMPARE(translate(statement).changesCardTable, changes);
}

void TestDialect::passwordStatement() {
    // The statement, then the new and old password; refused when the new one is nullptr.
    // A password is kept exactly as typed: nothing is unquoted.
    const char* const rows[][3] = {
        {"ALTER DATABASE PASSWORD n3w!Pass ``;", "n3w!Pass", ""},
        {"ALTER DATABASE PASSWORD newer older;", "newer", "older"},
        {"ALTER DATABASE PASSWORD `` older;", "", "older"},
        {"alter database password abcd ``", "abcd", ""},
        {"ALTER DATABASE PASSWORD [abcd] `x`;", "[abcd]", "`x`"},
        {"ALTER DATABASE PASSWORD ab]cd [];", "ab]cd", "[]"},
        {"ALTER DATABASE PASSWORD ``x`` ``;", "``x``", ""},
        {"ALTER DATABASE PASSWORD it's\"x; o;ld;", "it's\"x;", "o;ld"},
        {"ALTER DATABASE PASSWORD [two words] ``;", nullptr, nullptr},
        {"ALTER DATABASE PASSWORD ab cd ``;", nullptr, nullptr},
        {"ALTER DATABASE PASSWORD  abcd ``;", nullptr, nullptr},
        {"ALTER DATABASE PASSWORD abcd old ;", nullptr, nullptr},
        {"ALTER DATABASE PASSWORD abcd;", nullptr, nullptr},
        {"ALTER DATABASE PASSWORD;", nullptr, nullptr},
    };
    for (const auto& [in, newPw, oldPw] : rows) {
        const auto t = translate(QString::fromUtf8(in));
        QVERIFY2(t.error.isEmpty() == bool(newPw) && bool(t.password) == bool(newPw), in);
        if (!newPw) continue;
        QCOMPARE(t.password->newPassword, QString::fromUtf8(newPw));
        QCOMPARE(t.password->oldPassword, QString::fromUtf8(oldPw));
    }
}

void TestDialect::like() {
    const struct {
        const char *pattern, *text;
        bool match;
        char32_t escape = 0;
    } rows[] = {
        {"%vellan%", "The VELLAN Ship", true},
        {"%éclair%", "ÉCLAIR", true},
        {"%eclair%", "ÉCLAIR", false}, // only letter case is set aside
        {"BRØNVIK", "brønvik", true},
        {"%ΣΟΦΙΑ%", "σοφια", true},
        {"VEX", "VEXX", false},       // no wildcard: the whole text
        {"br_nvik", "Brønvik", true}, // '_' is one character, not one byte
        {"", "a", false},
        {"%", "", true},
        {"a%b%c", "aXbXbYc", true},
        {"a%b%c", "aXbXbY", false},
        {"%ship", "ship's shipship", true},
        {"%ks%", "\u212A\u017F", true}, // the Kelvin sign and the long s fold into ASCII
        {"%ok_y%", "O\u212Aay", true},
        {"%brø_vik%", "x BRØNVIK", true},
        {"%brø_vik%", "x BRØNVIX", false},
        {"100!%", "100%", true, U'!'},
        {"100!%", "1000", false, U'!'},
        {"%é%%", "ÉCLAIR%", true, U'é'},
        {"abc!", "abc", false, U'!'}, // an escape at the end matches nothing
    };
    for (const auto& r : rows)
        QVERIFY2(likeMatch(r.pattern, r.text, r.escape) == r.match,
                 qPrintable(QString::fromUtf8(r.pattern) + " ~ " + QString::fromUtf8(r.text)));
}

void TestDialect::order() {
    QCOMPARE(compareNoCase("Éclair", "éCLAIR"), 0);
    QVERIFY(compareNoCase("Éclair", "Eclair") != 0);
    QVERIFY(compareNoCase("Eagle", "Éclair") < 0); // accented letters sort among their base letters
    QVERIFY(compareNoCase("Ülvar", "Umbra") < 0);
    QVERIFY(compareNoCase("ab", "abc") < 0);
    QVERIFY(compareNoCase("S3", "s12") > 0); // text order, not number order
    const char* texts[] = {"", "a", "A", "é", "É", "e", "z", "Ø", "ø", "o", "ab", "aé", "AÉ"};
    for (const char* a : texts)
        for (const char* b : texts) { // antisymmetric
            const int x = compareNoCase(a, b), y = compareNoCase(b, a);
            QVERIFY2((x < 0) == (y > 0) && (x == 0) == (y == 0), a);
        }
}

QTEST_APPLESS_MAIN(TestDialect)
#include "tst_dialect.moc"
