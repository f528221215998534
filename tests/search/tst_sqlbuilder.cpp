#include "search/SqlBuilder.h"
#include "util/AppError.h"

#include <QTest>
#include <functional>

using namespace krvs;

namespace {
// Places in SearchPanel::series.
enum { VEX, NOR, DR7, ZYN };

SearchPanel allChecked() {
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
QString where(QString keyWords, const SearchPanel& p = allChecked()) {
    return buildWhere(keyWords, p);
}
} // namespace

class TestSqlBuilder : public QObject {
    Q_OBJECT
  private slots:
    void keyWordsAndHistory() {
        QCOMPARE(Strip(" Vellan , ,Qorth ,"), QString("Vellan,Qorth"));
        QCOMPARE(Strip(",,"), QString());
        QCOMPARE(Strip(" red  ship ,x"), QString("red  ship,x")); // inner blanks stay
        QCOMPARE(sqlFixQuotes("it's") + sqlFixQuotes("a''b") + sqlFixQuotes("a'''b"),
                 QString("it''sa''ba''''b"));
        QCOMPARE(sqlFixQuotes("''x'"), QString("''x''"));
        // An apostrophe in a key word stays inside its literal.
        QCOMPARE(where("x') OR (1=1"), QString("WHERE (((tblKRVS101.Title LIKE 'x'') OR (1=1')))"));
        // A repeat does not move up; letter case counts.
        QStringList items{"Qorth"};
        QVERIFY(!addToHistory(items, "Qorth") && addToHistory(items, "qorth"));
        QCOMPARE(items, QStringList({"qorth", "Qorth"}));
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
        QCOMPARE(where("*", p), QString("WHERE (((tblKRVS101.Title LIKE '%')))"));
        p.autoAsterisks = true;
        QCOMPARE(where("*", p), QString("WHERE (((tblKRVS101.Title LIKE '%%%')))"));
        // Only the comments box: two terms per key word, no Title term.
        p.title = 0;
        p.comments = 1;
        QCOMPARE(
            where("a,b", p),
            QString("WHERE (((tblKRVS101.UserComments LIKE '%a%') OR (tblKRVS101.DBComments LIKE "
                    "'%a%') OR (tblKRVS101.UserComments LIKE '%b%') OR (tblKRVS101.DBComments "
                    "LIKE '%b%')))"));
        // Three series out of four: one part with three terms; a greyed box is not written.
        p = allChecked();
        p.series[DR7] = 0;
        QCOMPARE(
            where("x", p),
            QString("WHERE (((tblKRVS101.Title LIKE 'x')) AND ((tblKRVS101.Series LIKE 'VEX') OR "
                    "(tblKRVS101.Series LIKE 'NOR') OR (tblKRVS101.Series LIKE 'ZYN')))"));
        // Own Yes with every series and category: key part AND own part.
        p = allChecked();
        p.bothOwn = false;
        p.yesOwn = true;
        QCOMPARE(where("x", p),
                 QString("WHERE (((tblKRVS101.Title LIKE 'x')) AND ((tblKRVS101.Own=True)))"));
    }

    // A part the panel leaves empty is error 5.
    void emptyPartIsError5_data() {
        QTest::addColumn<int>("part");
        QTest::newRow("no title or comments") << 0;
        QTest::newRow("series greyed or cleared") << 1;
        QTest::newRow("no category") << 2;
        QTest::newRow("no own box") << 3;
    }
    void emptyPartIsError5() {
        QFETCH(int, part);
        const std::function<void(SearchPanel&)> spoil[] = {
            [](SearchPanel& p) { p.title = 0; },
            [](SearchPanel& p) {
                p.series = {2, 0, 0, 0};
            },
            [](SearchPanel& p) { p.categories.fill(0); },
            [](SearchPanel& p) { p.bothOwn = false; }};
        SearchPanel p = allChecked();
        spoil[part](p);
        try {
            where("x", p);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), 5);
        }
    }
};

QTEST_GUILESS_MAIN(TestSqlBuilder)
#include "tst_sqlbuilder.moc"
