#include "db/TextFold.h"

#include <QTest>

using krvs::db::text::compareNoCase;
using krvs::db::text::likeMatch;

class TestTextFold : public QObject {
    Q_OBJECT
  private slots:
    void like_data();
    void like();
    void likeEscape();
    void order();
};

void TestTextFold::like_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("ascii case") << "%vellan%"
                                << "The VELLAN Ship" << true;
    QTest::newRow("accented case") << "%éclair%"
                                   << "ÉCLAIR" << true;
    QTest::newRow("accent matters") << "%eclair%"
                                    << "ÉCLAIR" << false;
    QTest::newRow("non-ascii word, ascii text") << "%brønvik%"
                                                << "BRONVIK" << false;
    QTest::newRow("ø and Ø") << "BRØNVIK"
                             << "brønvik" << true;
    QTest::newRow("ü inside") << "%ÜLVAR's%"
                              << "Ülvar's Rift" << true;
    QTest::newRow("Greek") << "%ΣΟΦΙΑ%"
                           << "σοφια" << true;
    QTest::newRow("exact, no wildcard") << "VEX"
                                        << "vex" << true;
    QTest::newRow("exact is not a prefix") << "VEX"
                                           << "VEXX" << false;
    QTest::newRow("underscore is one character") << "br_nvik"
                                                 << "Brønvik" << true;
    QTest::newRow("underscore needs one") << "vex_"
                                          << "vex" << false;
    QTest::newRow("empty pattern") << ""
                                   << "" << true;
    QTest::newRow("empty pattern, text") << ""
                                         << "a" << false;
    QTest::newRow("percent alone") << "%"
                                   << "" << true;
    QTest::newRow("backtracking") << "a%b%c"
                                  << "aXbXbYc" << true;
    QTest::newRow("backtracking fails") << "a%b%c"
                                        << "aXbXbY" << false;
    QTest::newRow("tail after percent") << "%ship"
                                        << "ship's shipship" << true;
    QTest::newRow("many percents") << "%%q%%"
                                   << "Qorth" << true;
    QTest::newRow("Kelvin sign folds to k") << "%k%"
                                            << "\u212A" << true;
    QTest::newRow("long s folds to s") << "s"
                                       << "\u017F" << true;
    QTest::newRow("Kelvin sign, general pattern") << "%ok_y%"
                                                  << "O\u212Aay" << true;
    QTest::newRow("general non-ASCII pattern") << "%brø_vik%"
                                               << "x BRØNVIK" << true;
    QTest::newRow("general non-ASCII pattern, miss") << "%brø_vik%"
                                                     << "x BRØNVIX" << false;
    QTest::newRow("suffix") << "%SHIP"
                            << "vellan's ship" << true;
    QTest::newRow("prefix") << "VEL%"
                            << "vellan's ship" << true;
    QTest::newRow("prefix, miss") << "VEX%"
                                  << "vellan's ship" << false;
}

void TestTextFold::like() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(likeMatch(pattern.toStdString(), text.toStdString()), match);
}

void TestTextFold::likeEscape() {
    QVERIFY(likeMatch("100!%", "100%", U'!'));
    QVERIFY(!likeMatch("100!%", "1000", U'!'));
    QVERIFY(likeMatch("%!_%", "a_b", U'!'));
    QVERIFY(!likeMatch("%!_%", "ab", U'!'));
    QVERIFY(likeMatch("%é%%", "ÉCLAIR%", U'é')); // a non-ASCII escape character
    QVERIFY(!likeMatch("abc!", "abc", U'!'));    // an escape at the end matches nothing
}

void TestTextFold::order() {
    auto cmp = [](const char* a, const char* b) { return compareNoCase(a, b); };
    QCOMPARE(cmp("vellan", "VELLAN"), 0);
    QCOMPARE(cmp("Éclair", "éCLAIR"), 0);
    QVERIFY(cmp("Éclair", "Eclair") != 0); // only letter case is set aside
    QVERIFY(cmp("Eagle", "Éclair") < 0);   // accented letters sort among their base letters
    QVERIFY(cmp("Éclair", "Fox") < 0);
    QVERIFY(cmp("Ulvar", "Ülvar") < 0);
    QVERIFY(cmp("Ülvar", "Umbra") < 0);
    QVERIFY(cmp("abc", "ABD") < 0);
    QVERIFY(cmp("ABD", "abc") > 0);
    QVERIFY(cmp("ab", "abc") < 0);
    QVERIFY(cmp("S3", "s12") > 0); // text order, not number order
    // antisymmetric on mixed texts
    const char* texts[] = {"", "a", "A", "é", "É", "e", "z", "Ø", "ø", "o", "ab", "aé", "AÉ"};
    for (const char* a : texts)
        for (const char* b : texts) {
            const int x = cmp(a, b), y = cmp(b, a);
            QVERIFY2((x < 0) == (y > 0) && (x == 0) == (y == 0),
                     qPrintable(
                         QStringLiteral("%1 %2").arg(QString::fromUtf8(a), QString::fromUtf8(b))));
        }
}

QTEST_APPLESS_MAIN(TestTextFold)
#include "tst_textfold.moc"
