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

// ALTER DATABASE PASSWORD on the open, exclusive connection.
class TestPassword : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void setChangeAndRemove();
    void rejectedStatementsChangeNothing_data();
    void rejectedStatementsChangeNothing();
    void failedSwapKeepsTheCatalogue_data();
    void failedSwapKeepsTheCatalogue();
    void needsAnExclusiveConnection();

  private:
    void run(Connection& c, const QString& sql) {
        Recordset rs;
        rs.Open(sql, c, -1, -1, -1);
        QCOMPARE(rs.State(), adStateClosed);
    }
    // Opens path with password and checks the cards are all there.
    void checkOpens(const QString& password);
    QString all(Connection& c) {
        return dump(c, QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId"));
    }
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
    QString cards_;
};

void TestPassword::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    // a folder with blanks and letters outside ASCII in its name
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("Kärten ø")));
    path_ = dir_->filePath(QStringLiteral("Kärten ø/KRVS.krv"));
    QVERIFY(test::makeCatalogue(path_, 60));
    Connection c;
    openCatalogue(c, path_);
    cards_ = all(c);
}

void TestPassword::cleanup() {
    engine::setFailingStep(nullptr);
}

void TestPassword::checkOpens(const QString& password) {
    Connection c;
    openCatalogue(c, path_, password);
    QCOMPARE(all(c), cards_);
    c.Close();
    // nothing left beside the catalogue
    QCOMPARE(QDir(QFileInfo(path_).path()).entryList(QDir::Files),
             QStringList{QStringLiteral("KRVS.krv")});
}

void TestPassword::setChangeAndRemove() {
    Connection c;
    openCatalogue(c, path_);

    // set: the catalogue is written again, encrypted, and stays open and exclusive
    run(c, QStringLiteral("ALTER DATABASE PASSWORD Sécret!1 ``;"));
    QCOMPARE(c.State(), adStateOpen);
    QCOMPARE(all(c), cards_);
    run(c, QStringLiteral("UPDATE tblKRVS101 SET UserComments = 'Qorth''s' WHERE DbId = 60;"));
    Connection other;
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_, QStringLiteral("Sécret!1")); }),
             err::Engine);
    cards_ = all(c);
    c.Close();
    const QByteArray locked = fileBytes(path_);
    QVERIFY(!locked.contains("Vellan") && !locked.contains("Qorth") &&
            !locked.contains("tblKRVS101"));
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_); }), err::BadPassword);
    checkOpens(QStringLiteral("Sécret!1"));

    // change: from one key to another
    openCatalogue(c, path_, QStringLiteral("Sécret!1"));
    run(c, QStringLiteral("ALTER DATABASE PASSWORD n3w;Pass Sécret!1;"));
    QCOMPARE(all(c), cards_);
    c.Close();
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_, QStringLiteral("Sécret!1")); }),
             err::BadPassword);
    QVERIFY(!fileBytes(path_).contains("Vellan"));
    checkOpens(QStringLiteral("n3w;Pass"));

    // remove: a plain file again, readable by any SQLite tool
    openCatalogue(c, path_, QStringLiteral("n3w;Pass"));
    run(c, QStringLiteral("ALTER DATABASE PASSWORD `` n3w;Pass;"));
    run(c, QStringLiteral("UPDATE tblKRVS101 SET Own = True WHERE DbId = 1;"));
    cards_ = all(c);
    c.Close();
    QVERIFY(fileBytes(path_).startsWith("SQLite format 3"));
    checkOpens(QString());

    // no password to no password changes nothing
    openCatalogue(c, path_);
    run(c, QStringLiteral("ALTER DATABASE PASSWORD `` ``;"));
    c.Close();
    checkOpens(QString());
}

void TestPassword::rejectedStatementsChangeNothing_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("number");
    QTest::newRow("wrong old on a plain file")
        << ""
        << "ALTER DATABASE PASSWORD abcd wxyz;" << err::BadPassword;
    QTest::newRow("wrong old, other case")
        << "Abcd"
        << "ALTER DATABASE PASSWORD efgh abcd;" << err::BadPassword;
    QTest::newRow("old missing") << "Abcd"
                                 << "ALTER DATABASE PASSWORD efgh ``;" << err::BadPassword;
    QTest::newRow("blank in the new one") << ""
                                          << "ALTER DATABASE PASSWORD ab cd ``;" << err::Engine;
    QTest::newRow("blank in the new one, keyed")
        << "Abcd"
        << "ALTER DATABASE PASSWORD ef gh Abcd;" << err::Engine;
    QTest::newRow("leading blank") << "Abcd"
                                   << "ALTER DATABASE PASSWORD  efgh Abcd;" << err::Engine;
}

void TestPassword::rejectedStatementsChangeNothing() {
    QFETCH(QString, password);
    QFETCH(QString, statement);
    QFETCH(int, number);
    if (!password.isEmpty()) {
        QVERIFY(test::makeCatalogue(path_, 60, password));
    }
    const QByteArray before = fileBytes(path_);
    Connection c;
    openCatalogue(c, path_, password);
    QString why;
    QCOMPARE(errorNumber([&] { run(c, statement); }, &why), number);
    QVERIFY(!why.isEmpty());
    QCOMPARE(c.Errors().size(), 1);
    QCOMPARE(c.State(), adStateOpen);
    QCOMPARE(all(c), cards_); // still usable
    c.Close();
    QVERIFY(fileBytes(path_) == before);
    checkOpens(password);
}

void TestPassword::failedSwapKeepsTheCatalogue_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QByteArray>("step");
    QTest::newRow("set, export fails")
        << ""
        << "ALTER DATABASE PASSWORD abcd ``;" << QByteArray("export");
    QTest::newRow("set, rename fails")
        << ""
        << "ALTER DATABASE PASSWORD abcd ``;" << QByteArray("rename");
    QTest::newRow("remove, rename fails")
        << "abcd"
        << "ALTER DATABASE PASSWORD `` abcd;" << QByteArray("rename");
    QTest::newRow("set, scratch name taken") << ""
                                             << "ALTER DATABASE PASSWORD abcd ``;" << QByteArray();
}

void TestPassword::failedSwapKeepsTheCatalogue() {
    QFETCH(QString, password);
    QFETCH(QString, statement);
    QFETCH(QByteArray, step);
    if (!password.isEmpty()) QVERIFY(test::makeCatalogue(path_, 60, password));
    const QByteArray before = fileBytes(path_);
    Connection c;
    openCatalogue(c, path_, password);
    const QString blocker = path_ + QStringLiteral(".newkey");
    if (step.isEmpty()) QVERIFY(QDir().mkdir(blocker)); // a folder where the scratch file goes
    engine::setFailingStep(step.isEmpty() ? nullptr : step.constData());
    QString why;
    QCOMPARE(errorNumber([&] { run(c, statement); }, &why), err::Engine);
    engine::setFailingStep(nullptr);
    if (step.isEmpty()) QVERIFY(QDir().rmdir(blocker));
    QVERIFY(!why.isEmpty());
    // still open, exclusive, with the old password
    QCOMPARE(c.State(), adStateOpen);
    QCOMPARE(all(c), cards_);
    Connection other;
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_, password); }), err::Engine);
    c.Close();
    QVERIFY(fileBytes(path_) == before);
    checkOpens(password);
}

void TestPassword::needsAnExclusiveConnection() {
    Connection c;
    c.setMode(0);
    c.Open(test::startupString(path_, {}));
    QCOMPARE(errorNumber([&] { run(c, QStringLiteral("ALTER DATABASE PASSWORD abcd ``;")); }),
             err::Engine);
    c.Close();
    checkOpens(QString());
}

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
