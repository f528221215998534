#include "DbTestUtil.h"
#include "db/Engine.h"
#include "support/TestCatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
QString all(const QString& path, const QString& pw) {
    Connection c;
    openCatalogue(c, path, pw);
    return dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId");
}
void row(const char* name, const char* password, const char* given, const char* step, int n) {
    QTest::newRow(name) << QString(password) << QString(given) << QByteArray(step) << n;
}
} // namespace

// compactInto(source, password, destination).
class TestCompact : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { engine::setFailingStep(nullptr); }
    void compact_data();
    void compact();
};

void TestCompact::compact_data() {
    QTest::addColumn<QString>("password"); // the catalogue's
    QTest::addColumn<QString>("given");    // the one the compaction is given
    QTest::addColumn<QByteArray>("step");  // what goes wrong
    QTest::addColumn<int>("number");       // the error, 0 for none
    row("no password", "", "", "", 0);
    row("password", "pä ss;", "pä ss;", "", 0);
    row("leftover destination", "abcd", "abcd", "leftover", 0);
    row("wrong password", "abcd", "wxyz", "", err::BadPassword);
    row("export fails", "abcd", "abcd", "export", err::Engine);
    row("no source", "", "", "missing", err::Engine);
    row("source in use", "abcd", "abcd", "in use", err::Engine);
    row("onto itself, written otherwise", "abcd", "abcd", "itself", err::Engine);
}

void TestCompact::compact() {
    QFETCH(QString, password);
    QFETCH(QString, given);
    QFETCH(QByteArray, step);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString src = dir.filePath("KRVS.krv"), dst = dir.filePath("backup.qmx");
    QVERIFY(makeCatalogue(src, 400, password));
    Connection holder;
    openCatalogue(holder, src, password);
    holder.execute("DELETE FROM tblKRVS101 WHERE DbId > 100"); // free pages, as after long use
    const QString cards = dump(holder, "SELECT * FROM tblKRVS101 ORDER BY DbId");
    holder.close();
    const QByteArray before = readFileBytes(src);
    if (step == "in use") openCatalogue(holder, src, password);

    QString from = src, to = dst;
    if (step == "leftover") // a scratch file and log left by an interrupted compaction
        for (const char* tail : {"", "-wal", ".part"}) {
            QFile f(dst + tail);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(5000, 'x')) == 5000);
        }
    else if (step == "missing")
        from = dir.filePath("none.krv");
    else if (step == "export")
        engine::setFailingStep("export");
    else if (step == "itself")
        to = dir.path() + "/./KRVS.krv";
    QString why;
    QCOMPARE(errorNumber([&] { compactInto(from, given, to); }, &why), number);
    if (step == "in use") {
        QVERIFY2(why.contains("in use"), qPrintable(why));
        holder.close();
    }
    if (step == "itself") QVERIFY2(why.contains("onto itself"), qPrintable(why));
    // the source is only read
    QVERIFY(readFileBytes(src) == before);
    const QStringList files =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    if (number) {
        QVERIFY(!why.isEmpty());
        QCOMPARE(files, QStringList{"KRVS.krv"});
        return;
    }
    QCOMPARE(files, QStringList({"KRVS.krv", "backup.qmx"}));
    QCOMPARE(all(dst, password), cards);
    QVERIFY(QFileInfo(dst).size() < QFileInfo(src).size());
    QCOMPARE(readFileBytes(dst).startsWith("SQLite format 3"), password.isEmpty());
    if (!password.isEmpty()) QCOMPARE(errorNumber([&] { all(dst, {}); }), err::BadPassword);
}

QTEST_GUILESS_MAIN(TestCompact)
#include "tst_compact.moc"
