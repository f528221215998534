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
