#include "../db/DbTestUtil.h"
#include "checklist/CsvCards.h"
#include "support/TestCatalogue.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

class TestMakeDb : public QObject {
    Q_OBJECT
  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void demoCards();
    void csvCards();
    void badCsv_data();
    void badCsv();

  private:
    QString path(const char* name) const { return dir_->filePath(name); }
    QString writeCsv(const QByteArray& text) {
        if (!writeFileBytes(path("cards.csv"), text)) qFatal("cards.csv");
        return path("cards.csv");
    }
    QString cards(const char* name, const QString& password = {},
                  const char* sql = "SELECT * FROM tblKRVS101 ORDER BY DbId") {
        db::Connection c;
        openCatalogue(c, path(name), password);
        return dump(c, sql);
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

// The same cards every time, encrypted or not; a file there is replaced only when forced.
void TestMakeDb::demoCards() {
    const QString a = path("a.krv");
    QCOMPARE(runMakeDb({"--cards", "300", a}), 0);
    QCOMPARE(runMakeDb({"--cards", "300", path("b.krv")}), 0);
    QVERIFY(readFileBytes(a) == readFileBytes(path("b.krv")));
    QCOMPARE(runMakeDb({"--cards", "300", "--password", "Zy x;1", path("p.krv")}), 0);
    QCOMPARE(cards("p.krv", "Zy x;1"), cards("a.krv"));
    const QByteArray locked = readFileBytes(path("p.krv"));
    QVERIFY(!locked.contains("Vellan") && !locked.contains("tblKRVS101"));
    QCOMPARE(errorNumber([&] { cards("p.krv"); }), err::BadPassword);

    QString out;
    QVERIFY(runMakeDb({"--cards", "9", a}, &out) != 0);
    QVERIFY2(out.contains("--force"), qPrintable(out));
    QVERIFY(readFileBytes(a) == readFileBytes(path("b.krv")));
    QCOMPARE(runMakeDb({"--cards", "9", "--force", a}), 0);
    QCOMPARE(cards("a.krv", {}, "SELECT count(*) FROM tblKRVS101"), QStringLiteral("9"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList({"a.krv", "b.krv", "p.krv"}));
}

void TestMakeDb::csvCards() {
    // a byte-order mark, columns in any order and case, quoted fields, a blank line
    const QString csv = writeCsv("\xEF\xBB\xBF"
                                 "title, SERIES ,own,DbId,index,DBComments\r\n"
                                 "\"Vellan's \"\"Ship\"\", one\",VEX,Yes,7,12,\"two\r\nlines\"\r\n"
                                 "Ørnulf,DR7,0,3,S3,\r\n"
                                 "\r\n"
                                 "Plain,NOR,true,10,1,\"a,b\"");
    QCOMPARE(runMakeDb({"--from-csv", csv, path("c.krv")}), 0);
    QCOMPARE(cards("c.krv", {},
                   "SELECT DbId, Title, Series, Own, Index, DBComments, CardType FROM tblKRVS101 "
                   "ORDER BY DbId"),
             QStringLiteral("3|Ørnulf|DR7|False|S3||\n"
                            "7|Vellan's \"Ship\", one|VEX|True|12|two\r\n"
                            "lines|\n10|Plain|NOR|True|1|a,b|"));
}

// The reader alone and the tool, which writes nothing, name the line and the fault.
void TestMakeDb::badCsv_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* csv, const char* message) {
        QTest::newRow(name) << QByteArray(csv) << QString::fromUtf8(message);
    };
    row("unknown column", "Title,Colour\nx,y\n", "line 1: unknown column \"Colour\"");
    row("open quote", "Title,Series\nx,VEX\n\"y,\nNOR\n", "line 3: a quoted field is not closed");
    row("DbId twice", "DbId,Title\n4,a\n5,b\n 4 ,c\n",
        "line 4: DbId 4 is used twice (first on line 2)");
    row("Own", "Title,Own\na,maybe\n", "line 2: Own \"maybe\"");
    row("empty", "", "line 1: the header row");
}

void TestMakeDb::badCsv() {
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    const auto read = checklist::readCardsCsv(csv);
    QVERIFY2(read.error.startsWith(message) && read.cards.empty(), qPrintable(read.error));
    QString out;
    QVERIFY(runMakeDb({"--from-csv", writeCsv(csv), path("c.krv")}, &out) != 0);
    QVERIFY2(out.contains(message), qPrintable(out));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"cards.csv"});
}

QTEST_GUILESS_MAIN(TestMakeDb)
#include "tst_makedb.moc"
