#include "DbTestUtil.h"
#include "TestCatalogue.h"
#include "db/Engine.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::db;
using krvs::test::dump;
using krvs::test::errorNumber;
using krvs::test::fileBytes;
using krvs::test::openCatalogue;

// CompactDatabase(source, destination) with the connection strings the program builds.
class TestCompact : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void compactsWithAndWithoutPassword_data();
    void compactsWithAndWithoutPassword();
    void leftoverDestinationIsReplaced();
    void failuresLeaveTheSourceUntouched_data();
    void failuresLeaveTheSourceUntouched();
    void replaceDatabaseFile();
    void sourceInUse();

  private:
    static QString source(const QString& path, const QString& pw) {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
               QStringLiteral(";Jet OLEDB:Database Password=") + pw;
    }
    static QString dest(const QString& path, const QString& pw) {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
               QStringLiteral(";Jet OLEDB:Database Password=") + pw +
               QStringLiteral(";Jet OLEDB:Engine Type=4");
    }
    QString all(const QString& path, const QString& pw) {
        Connection c;
        openCatalogue(c, path, pw);
        return dump(c, QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId"));
    }
    QStringList files() const {
        QStringList l =
            QDir(dir_->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        l.sort();
        return l;
    }
    std::unique_ptr<QTemporaryDir> dir_;
    QString src_, dst_;
};

void TestCompact::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    src_ = dir_->filePath(QStringLiteral("KRVS.krv"));
    dst_ = dir_->filePath(QStringLiteral("backup.qmx"));
}

void TestCompact::cleanup() {
    engine::setFailingStep(nullptr);
}

void TestCompact::compactsWithAndWithoutPassword_data() {
    QTest::addColumn<QString>("password");
    QTest::newRow("no password") << QString();
    QTest::newRow("password") << QStringLiteral("pä ss;");
}

void TestCompact::compactsWithAndWithoutPassword() {
    QFETCH(QString, password);
    QVERIFY(test::makeCatalogue(src_, 400, password));
    {
        // leave free pages behind, as a long-used catalogue has
        Connection c;
        openCatalogue(c, src_, password);
        c.execute(QStringLiteral("DELETE FROM tblKRVS101 WHERE DbId > 100"));
    }
    const QString cards = all(src_, password);
    const QByteArray before = fileBytes(src_);

    CompactDatabase(source(src_, password), dest(dst_, password));

    QVERIFY(fileBytes(src_) == before);
    QCOMPARE(all(dst_, password), cards);
    QVERIFY(QFileInfo(dst_).size() < QFileInfo(src_).size());
    const QByteArray out = fileBytes(dst_);
    QCOMPARE(out.startsWith("SQLite format 3"), password.isEmpty());
    QCOMPARE(out.contains("Vellan"), password.isEmpty());
    if (!password.isEmpty()) {
        Connection c;
        QCOMPARE(errorNumber([&] { openCatalogue(c, dst_); }), err::BadPassword);
    }
    QCOMPARE(files(), QStringList({QStringLiteral("KRVS.krv"), QStringLiteral("backup.qmx")}));
}

void TestCompact::leftoverDestinationIsReplaced() {
    QVERIFY(test::makeCatalogue(src_, 50));
    // a scratch file and log left by an interrupted compaction
    for (const QString& p : {dst_, dst_ + QStringLiteral("-wal"), dst_ + QStringLiteral(".part")}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'x'));
    }
    CompactDatabase(source(src_, {}), dest(dst_, {}));
    QCOMPARE(all(dst_, {}), all(src_, {}));
    QCOMPARE(files(), QStringList({QStringLiteral("KRVS.krv"), QStringLiteral("backup.qmx")}));
}

void TestCompact::failuresLeaveTheSourceUntouched_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<int>("number");
    QTest::newRow("wrong password") << "wxyz" << QByteArray() << err::BadPassword;
    QTest::newRow("password missing") << "" << QByteArray() << err::BadPassword;
    QTest::newRow("export fails") << "abcd" << QByteArray("export") << err::Engine;
    QTest::newRow("rename fails") << "abcd" << QByteArray("rename") << err::Engine;
    QTest::newRow("destination is a folder") << "abcd" << QByteArray("folder") << err::Engine;
    QTest::newRow("destination is the source") << "abcd" << QByteArray("self") << err::Engine;
    QTest::newRow("no source") << "abcd" << QByteArray("missing") << err::Engine;
}

void TestCompact::failuresLeaveTheSourceUntouched() {
    QFETCH(QString, given);
    QFETCH(QByteArray, step);
    QFETCH(int, number);
    QVERIFY(test::makeCatalogue(src_, 50, QStringLiteral("abcd")));
    const QByteArray before = fileBytes(src_);
    QString from = src_, to = dst_;
    if (step == "folder")
        QVERIFY(QDir().mkdir(dst_));
    else if (step == "self")
        to = dir_->path() + QStringLiteral("/./KRVS.krv");
    else if (step == "missing")
        from = dir_->filePath(QStringLiteral("none.krv"));
    else if (!step.isEmpty())
        engine::setFailingStep(step.constData());
    QString why;
    QCOMPARE(errorNumber([&] { CompactDatabase(source(from, given), dest(to, given)); }, &why),
             number);
    engine::setFailingStep(nullptr);
    QVERIFY(!why.isEmpty());
    QVERIFY(fileBytes(src_) == before);
    QVERIFY(!QFile::exists(dst_ + QStringLiteral(".part")));
    QVERIFY(!QFile::exists(dir_->filePath(QStringLiteral("none.krv"))));
    if (step != "folder") QVERIFY(!QFile::exists(dst_));
    QVERIFY(!all(src_, QStringLiteral("abcd")).isEmpty());
}

void TestCompact::replaceDatabaseFile() {
    QVERIFY(test::makeCatalogue(src_, 10));
    QVERIFY(test::makeCatalogue(dst_, 20));
    // a log left by an old catalogue would be replayed into the new one
    {
        QFile f(src_ + QStringLiteral("-wal"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'w'));
    }
    ReplaceDatabaseFile(dst_, src_);
    QVERIFY(!QFile::exists(dst_));
    QCOMPARE(all(src_, {}).count(u'\n'), 19);
    QCOMPARE(files(), QStringList{QStringLiteral("KRVS.krv")});

    const QByteArray before = fileBytes(src_);
    QCOMPARE(errorNumber([&] { ReplaceDatabaseFile(dst_, src_); }), err::Engine); // nothing to move
    engine::setFailingStep("rename");
    QVERIFY(test::makeCatalogue(dst_, 5));
    QCOMPARE(errorNumber([&] { ReplaceDatabaseFile(dst_, src_); }), err::Engine);
    engine::setFailingStep(nullptr);
    QVERIFY(fileBytes(src_) == before);
    QVERIFY(QFile::exists(dst_));
}

void TestCompact::sourceInUse() {
    QVERIFY(test::makeCatalogue(src_, 10));
    Connection c;
    openCatalogue(c, src_);
    QString why;
    QCOMPARE(errorNumber([&] { CompactDatabase(source(src_, {}), dest(dst_, {})); }, &why),
             err::Engine);
    QVERIFY2(why.contains(QStringLiteral("in use")), qPrintable(why));
    QVERIFY(!QFile::exists(dst_));
}

QTEST_GUILESS_MAIN(TestCompact)
#include "tst_compact.moc"
