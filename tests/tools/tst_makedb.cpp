#include "../db/DbTestUtil.h"
#include "TestCatalogue.h"
#include "makedb/CsvCards.h"
#include "makedb/DemoCards.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using krvs::test::dump;
using krvs::test::fileBytes;
using krvs::test::openCatalogue;
using krvs::test::runMakeDb;

class TestMakeDb : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void demoCardsAreDeterministic();
    void demoCardsLookReal();
    void refusesToOverwrite();
    void badCommandLines();
    void passwordEncrypts();
    void csvCards();
    void badCsv_data();
    void badCsv();

  private:
    QString path(const char* name) const { return dir_->filePath(QString::fromLatin1(name)); }
    QString writeCsv(const QByteArray& text) {
        const QString p = path("cards.csv");
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return p;
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestMakeDb::init() {
    dir_ = std::make_unique<QTemporaryDir>();
}

void TestMakeDb::demoCardsAreDeterministic() {
    QCOMPARE(runMakeDb({"--cards", "300", path("a.krv")}), 0);
    QCOMPARE(runMakeDb({"--cards", "300", path("b.krv")}), 0);
    QVERIFY(fileBytes(path("a.krv")) == fileBytes(path("b.krv")));
    QVERIFY(fileBytes(path("a.krv")).startsWith("SQLite format 3"));

    // a larger catalogue begins with the same cards
    QCOMPARE(runMakeDb({"--cards", "310", path("c.krv")}), 0);
    db::Connection a, c;
    openCatalogue(a, path("a.krv"));
    openCatalogue(c, path("c.krv"));
    QCOMPARE(dump(c, "SELECT * FROM tblKRVS101 WHERE DbId <= 300 ORDER BY DbId"),
             dump(a, "SELECT * FROM tblKRVS101 ORDER BY DbId"));
    QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("310"));

    // and so are encrypted ones, row for row
    QCOMPARE(runMakeDb({"--cards", "300", "--password", "abcd", path("p.krv")}), 0);
    db::Connection p;
    openCatalogue(p, path("p.krv"), "abcd");
    QCOMPARE(dump(p, "SELECT * FROM tblKRVS101 ORDER BY DbId"),
             dump(a, "SELECT * FROM tblKRVS101 ORDER BY DbId"));
}

void TestMakeDb::demoCardsLookReal() {
    QString out;
    QCOMPARE(runMakeDb({path("d.krv")}, &out), 0);
    QVERIFY2(out.contains("500"), qPrintable(out));
    db::Connection c;
    openCatalogue(c, path("d.krv"));
    QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("500"));
    QCOMPARE(dump(c, "SELECT DISTINCT Series FROM tblKRVS101 ORDER BY Series"),
             QStringLiteral("DR7\nNOR\nVEX\nZYN"));
    QCOMPARE(dump(c, "SELECT DISTINCT Category FROM tblKRVS101 ORDER BY Category"),
             QStringLiteral("Beyond The Scenes\nCharacter\nCrew\nCulture\nEpisode\nFilm "
                            "Synopsis\nRace\nShip\nTechnology"));
    auto count = [&](const char* where) {
        return dump(c, QStringLiteral("SELECT count(*) FROM tblKRVS101 WHERE ") + where).toInt();
    };
    QVERIFY(count("Own = True") > 50 && count("Own = False") > 200);
    QVERIFY(count("Title LIKE '%Vellan%' OR DBComments LIKE '%Vellan%'") > 100);
    QVERIFY(count("Title LIKE '%Qorth%' OR DBComments LIKE '%Qorth%'") > 50);
    QVERIFY(count("Title LIKE '%Vellan''s %'") > 3);
    QVERIFY(count("Title LIKE '%,%' OR DBComments LIKE '%,%'") > 10);
    QVERIFY(count("Title LIKE '%\"%' OR DBComments LIKE '%\"%'") > 10);
    QVERIFY(count("Title LIKE '%ø%' OR DBComments LIKE '%é%' OR DBComments LIKE '%ü%'") > 10);
    QVERIFY(count("UserComments <> ''") > 20);
    QVERIFY(count("Season <> ''") == 500);
    QVERIFY(count("tblKRVS101.Index LIKE 'S%'") > 5);
    QVERIFY(count("CAST(tblKRVS101.Index AS INTEGER) >= 100") > 50);
    QVERIFY(dump(c, "SELECT count(DISTINCT CardType) FROM tblKRVS101").toInt() >= 4);
}

void TestMakeDb::refusesToOverwrite() {
    const QString p = path("KRVS.krv");
    QCOMPARE(runMakeDb({"--cards", "5", p}), 0);
    const QByteArray first = fileBytes(p);
    QString out;
    QVERIFY(runMakeDb({"--cards", "9", p}, &out) != 0);
    QVERIFY2(out.contains("--force"), qPrintable(out));
    QVERIFY(fileBytes(p) == first);
    QCOMPARE(runMakeDb({"--cards", "9", "--force", p}), 0);
    db::Connection c;
    openCatalogue(c, p);
    QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("9"));
    c.Close();
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"KRVS.krv"});
}

void TestMakeDb::badCommandLines() {
    const QString csv = writeCsv("Title\nx\n");
    const QList<QStringList> bad = {
        {},
        {"--cards", "5"},
        {"--cards", "many", path("x.krv")},
        {"--cards", "-1", path("x.krv")},
        {"--cards", "5", "--from-csv", csv, path("x.krv")},
        {"--password"},
        {"--colour", path("x.krv")},
        {path("x.krv"), path("y.krv")},
        {dir_->path()},
    };
    for (const QStringList& args : bad) {
        QString out;
        QVERIFY2(runMakeDb(args, &out) != 0, qPrintable(args.join(' ')));
        QVERIFY(!out.isEmpty());
    }
    QVERIFY(QDir(dir_->path()).entryList(QDir::Files) == QStringList{"cards.csv"});
}

void TestMakeDb::passwordEncrypts() {
    QCOMPARE(runMakeDb({"--cards", "50", "--password", "Zy x;1", path("p.krv")}), 0);
    const QByteArray bytes = fileBytes(path("p.krv"));
    QVERIFY(!bytes.contains("Vellan") && !bytes.contains("tblKRVS101"));
    db::Connection c;
    QVERIFY(test::errorNumber([&] { openCatalogue(c, path("p.krv")); }) == err::BadPassword);
    openCatalogue(c, path("p.krv"), "Zy x;1");
    QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("50"));
}

void TestMakeDb::csvCards() {
    const QString csv = writeCsv("\xEF\xBB\xBF"
                                 "title, SERIES ,own,DbId,index,DBComments\r\n"
                                 "\"Vellan's \"\"Ship\"\", one\",VEX,Yes,7,12,\"two\r\nlines\"\r\n"
                                 "Ørnulf,DR7,0,3,S3,\r\n"
                                 "\r\n"
                                 "Plain,NOR,true,10,1,\"a,b\"");
    QString out;
    QCOMPARE(runMakeDb({"--from-csv", csv, path("c.krv")}, &out), 0);
    db::Connection c;
    openCatalogue(c, path("c.krv"));
    QCOMPARE(dump(c, "SELECT DbId, Title, Series, Own, Index, DBComments, CardType FROM tblKRVS101 "
                     "ORDER BY DbId"),
             QStringLiteral("3|Ørnulf|DR7|False|S3||\n"
                            "7|Vellan's \"Ship\", one|VEX|True|12|two\r\nlines|\n"
                            "10|Plain|NOR|True|1|a,b|"));

    // without DbId and Own: numbered from 1, not owned
    const QString csv2 = writeCsv("Title\nA\nB\n\"C\"");
    QCOMPARE(runMakeDb({"--from-csv", csv2, "--force", path("c.krv")}), 0);
    c.Close();
    openCatalogue(c, path("c.krv"));
    QCOMPARE(dump(c, "SELECT DbId, Title, Own FROM tblKRVS101 ORDER BY DbId"),
             QStringLiteral("1|A|False\n2|B|False\n3|C|False"));
}

void TestMakeDb::badCsv_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown column")
        << QByteArray("Title,Colour\nx,y\n") << "line 1: unknown column \"Colour\"";
    QTest::newRow("column twice") << QByteArray("Title,title\nx,y\n")
                                  << "line 1: the column Title appears twice";
    QTest::newRow("unclosed quote")
        << QByteArray("Title,Series\nx,VEX\n\"y,\nNOR\n") << "line 3: a quoted field is not closed";
    QTest::newRow("text after quote")
        << QByteArray("Title,Series\n\"x\"y,VEX\n") << "line 2: text after the closing quote";
    QTest::newRow("too few fields") << QByteArray("Title,Series\n\"a\nb\",VEX\nc\n")
                                    << "line 4: 1 fields where the header row has 2";
    QTest::newRow("too many fields")
        << QByteArray("Title,Series\nc,VEX,\n") << "line 2: 3 fields where the header row has 2";
    QTest::newRow("bad DbId") << QByteArray("DbId,Title\n1,a\nx2,b\n") << "line 3: DbId \"x2\"";
    QTest::newRow("DbId too large")
        << QByteArray("DbId,Title\n2147483648,a\n") << "line 2: DbId \"2147483648\"";
    QTest::newRow("zero DbId") << QByteArray("DbId,Title\n0,a\n") << "line 2: DbId \"0\"";
    QTest::newRow("duplicate DbId") << QByteArray("DbId,Title\n4,a\n5,b\n 4 ,c\n")
                                    << "line 4: DbId 4 is used twice (first on line 2)";
    QTest::newRow("bad Own") << QByteArray("Title,Own\na,maybe\n") << "line 2: Own \"maybe\"";
    QTest::newRow("not UTF-8") << QByteArray("Title\n\xE9t\xE9\n")
                               << "line 2: the text is not UTF-8";
    QTest::newRow("empty") << QByteArray("") << "line 1: the header row";
}

void TestMakeDb::badCsv() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    // the reader alone, and the tool, which writes nothing
    const auto read = makedb::readCardsCsv(csv);
    QVERIFY2(read.error.startsWith(message), qPrintable(read.error));
    QVERIFY(read.cards.empty());
    QString out;
    QVERIFY(runMakeDb({"--from-csv", writeCsv(csv), path("c.krv")}, &out) != 0);
    QVERIFY2(out.contains(message), qPrintable(out));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"cards.csv"});
}

QTEST_GUILESS_MAIN(TestMakeDb)
#include "tst_makedb.moc"
