#include "search/SqlBuilder.h"
#include "util/AppError.h"

#include <QTest>

using namespace krvs;

namespace {
// Places in SearchPanel::series.
enum { VEX, NOR, DR7, ZYN };
} // namespace

class TestSqlBuilder : public QObject {
    Q_OBJECT

    static SearchPanel allChecked() {
        SearchPanel p;
        p.autoAsterisks = false;
        p.title = 1;
        p.comments = 0;
        p.series.fill(1);
        p.categories.fill(1);
        p.yesOwn = p.noOwn = false;
        p.bothOwn = true;
        return p;
    }

  private slots:
    void stripAndQuotes() {
        QCOMPARE(Strip(" Vellan , ,Qorth ,"), QString("Vellan,Qorth"));
        QCOMPARE(Strip("Vellan,,Qorth"), QString("Vellan,Qorth"));
        QCOMPARE(Strip(",,"), QString());
        QCOMPARE(Strip(" red  ship ,x"), QString("red  ship,x")); // inner blanks stay
        QCOMPARE(sqlFixQuotes("it's"), QString("it''s"));
        QCOMPARE(sqlFixQuotes("a''b"), QString("a''b"));
        QCOMPARE(sqlFixQuotes("a'''b"), QString("a''''b"));
        QCOMPARE(sqlFixQuotes("''x'"), QString("''x''"));
        QCOMPARE(sqlQuote("x'y"), QString("'x'y'"));
    }

    // The three statements the search panel is known to produce.
    void workedStatements() {
        SearchPanel p = allChecked();
        p.autoAsterisks = true;
        p.comments = 1;
        p.series[NOR] = p.series[ZYN] = 0;
        p.bothOwn = false;
        p.yesOwn = true;
        QString kw = Strip(" Vellan , ,Qorth ,");
        QCOMPARE(buildSearchStatement(kw, p),
                 QString("SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%') OR "
                         "(tblKRVS101.UserComments LIKE '%Vellan%') OR (tblKRVS101.DBComments LIKE "
                         "'%Vellan%') OR (tblKRVS101.Title LIKE '%Qorth%') OR "
                         "(tblKRVS101.UserComments LIKE '%Qorth%') OR (tblKRVS101.DBComments LIKE "
                         "'%Qorth%')) AND ((tblKRVS101.Series LIKE 'VEX') OR (tblKRVS101.Series "
                         "LIKE 'DR7')) AND ((tblKRVS101.Own=True))) ORDER BY tblKRVS101.Index, "
                         "tblKRVS101.Title;"));

        kw = "Vellan";
        QCOMPARE(
            buildSearchStatement(kw, allChecked()),
            QString("SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE 'Vellan'))) ORDER "
                    "BY tblKRVS101.Index, tblKRVS101.Title;"));

        p = allChecked();
        p.categories.fill(0);
        p.categories[6] = p.categories[7] = 1; // Race, Ship
        p.bothOwn = false;
        p.noOwn = true;
        kw = "Vel*an?";
        QCOMPARE(
            buildSearchStatement(kw, p),
            QString("SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE 'Vel%an_')) AND "
                    "((tblKRVS101.Category LIKE 'Race') OR (tblKRVS101.Category LIKE 'Ship')) "
                    "AND ((tblKRVS101.Own=False))) ORDER BY tblKRVS101.Index, tblKRVS101.Title;"));
        QCOMPARE(kw, QString("Vel%an_")); // rewritten in place
    }

    void groupsAndTerms() {
        SearchPanel p = allChecked();
        p.autoAsterisks = true;
        QString kw = "*";
        QCOMPARE(buildWhere(kw, p), QString("WHERE (((tblKRVS101.Title LIKE '%%%')))"));
        p.autoAsterisks = false;
        kw = "*";
        QCOMPARE(buildWhere(kw, p), QString("WHERE (((tblKRVS101.Title LIKE '%')))"));

        // Only the comments box: two terms per key word, no Title term.
        p.title = 0;
        p.comments = 1;
        kw = "a,b";
        QCOMPARE(
            buildWhere(kw, p),
            QString("WHERE (((tblKRVS101.UserComments LIKE 'a') OR (tblKRVS101.DBComments LIKE "
                    "'a') OR (tblKRVS101.UserComments LIKE 'b') OR (tblKRVS101.DBComments LIKE "
                    "'b')))"));

        // Three series out of four: one part with three terms; a greyed box is not written.
        p = allChecked();
        p.series[DR7] = 0;
        kw = "x";
        QCOMPARE(
            buildWhere(kw, p),
            QString("WHERE (((tblKRVS101.Title LIKE 'x')) AND ((tblKRVS101.Series LIKE 'VEX') OR "
                    "(tblKRVS101.Series LIKE 'NOR') OR (tblKRVS101.Series LIKE 'ZYN')))"));

        // Own Yes with every series and category: key part AND own part.
        p = allChecked();
        p.bothOwn = false;
        p.yesOwn = true;
        kw = "x";
        QCOMPARE(buildWhere(kw, p),
                 QString("WHERE (((tblKRVS101.Title LIKE 'x')) AND ((tblKRVS101.Own=True)))"));
    }

    // An apostrophe in a key word stays inside its literal.
    void apostropheInKeyWord() {
        QString kw = "Vellan's Ship";
        QCOMPARE(buildWhere(kw, allChecked()),
                 QString("WHERE (((tblKRVS101.Title LIKE 'Vellan''s Ship')))"));
        kw = "x') OR (1=1";
        QCOMPARE(buildWhere(kw, allChecked()),
                 QString("WHERE (((tblKRVS101.Title LIKE 'x'') OR (1=1')))"));
    }

    void emptyPartIsError5_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("no search-in box") << 0;
        QTest::newRow("series needed, none at 1") << 1;
        QTest::newRow("category needed, none at 1") << 2;
        QTest::newRow("own needed, neither yes nor no") << 3;
    }
    void emptyPartIsError5() {
        QFETCH(int, which);
        SearchPanel p = allChecked();
        switch (which) {
        case 0:
            p.title = 0;
            break;
        case 1:
            p.series = {2, 0, 0, 0};
            break;
        case 2:
            p.categories.fill(0);
            break;
        case 3:
            p.bothOwn = false;
            break;
        }
        QString kw = "x";
        try {
            buildWhere(kw, p);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), 5);
        }
    }

    void history() {
        QStringList items;
        QVERIFY(addToHistory(items, "Vellan,Qorth"));
        QVERIFY(addToHistory(items, "Qorth"));
        QVERIFY(!addToHistory(items, "Vellan,Qorth")); // a repeat does not move up
        QCOMPARE(items, QStringList({"Qorth", "Vellan,Qorth"}));
        QVERIFY(addToHistory(items, "qorth")); // case-sensitive
        QCOMPARE(items.first(), QString("qorth"));
    }
};

QTEST_GUILESS_MAIN(TestSqlBuilder)
#include "tst_sqlbuilder.moc"
