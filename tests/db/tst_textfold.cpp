#include "db/TextFold.h"

#include <QTest>

using krvs::db::text::compareNoCase;
using krvs::db::text::likeMatch;

class TestTextFold : public QObject {
    Q_OBJECT
  private slots:
    void like_data();
    void like();
    void order();
};

namespace {
void row(const char* pattern, const char* text, bool match, char32_t escape = 0) {
    QTest::addRow("%s ~ %s", pattern, text)
        << QByteArray(pattern) << QByteArray(text) << match << uint(escape);
}
} // namespace

void TestTextFold::like_data() {
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("match");
    QTest::addColumn<uint>("escape");
    row("%vellan%", "The VELLAN Ship", true);
    row("%éclair%", "ÉCLAIR", true);
    row("%eclair%", "ÉCLAIR", false); // only letter case is set aside
    row("BRØNVIK", "brønvik", true);
    row("%ΣΟΦΙΑ%", "σοφια", true);
    row("VEX", "VEXX", false);       // no wildcard: the whole text
    row("br_nvik", "Brønvik", true); // '_' is one character, not one byte
    row("", "a", false);
    row("%", "", true);
    row("a%b%c", "aXbXbYc", true);
    row("a%b%c", "aXbXbY", false);
    row("%ship", "ship's shipship", true);
    row("%ks%", "\u212A\u017F", true); // the Kelvin sign and the long s fold into ASCII
    row("%ok_y%", "O\u212Aay", true);
    row("%brø_vik%", "x BRØNVIK", true);
    row("%brø_vik%", "x BRØNVIX", false);
    row("100!%", "100%", true, U'!');
    row("100!%", "1000", false, U'!');
    row("%é%%", "ÉCLAIR%", true, U'é');
    row("abc!", "abc", false, U'!'); // an escape at the end matches nothing
}

void TestTextFold::like() {
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(bool, match);
    QFETCH(uint, escape);
    QCOMPARE(likeMatch(pattern.toStdString(), text.toStdString(), char32_t(escape)), match);
}

void TestTextFold::order() {
    auto cmp = [](const char* a, const char* b) { return compareNoCase(a, b); };
    QCOMPARE(cmp("Éclair", "éCLAIR"), 0);
    QVERIFY(cmp("Éclair", "Eclair") != 0);
    QVERIFY(cmp("Eagle", "Éclair") < 0); // accented letters sort among their base letters
    QVERIFY(cmp("Ülvar", "Umbra") < 0);
    QVERIFY(cmp("ab", "abc") < 0);
    QVERIFY(cmp("S3", "s12") > 0); // text order, not number order
    const char* texts[] = {"", "a", "A", "é", "É", "e", "z", "Ø", "ø", "o", "ab", "aé", "AÉ"};
    for (const char* a : texts)
        for (const char* b : texts) { // antisymmetric
            const int x = cmp(a, b), y = cmp(b, a);
            QVERIFY2((x < 0) == (y > 0) && (x == 0) == (y == 0), a);
        }
}

QTEST_APPLESS_MAIN(TestTextFold)
#include "tst_textfold.moc"
