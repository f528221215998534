#include "DbTestUtil.h"
#include "db/Engine.h"
#include "db/WriteBudget.h"
#include "support/TestCatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
void run(Connection& c, const QString& sql) {
    Recordset().Open(sql, c, -1, -1, -1);
}
QString all(Connection& c) {
    return dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId");
}
// The catalogue's password, the statement's words, the step made to fail ("blocked": a folder
// where the scratch file goes, "shared": a connection that is not exclusive) and the error.
void row(const char* name, const char* password, const char* words, const char* step, int number) {
    QTest::newRow(name) << QString(password) << "ALTER DATABASE PASSWORD " + QString(words)
                        << QByteArray(step) << number;
}
} // namespace

// ALTER DATABASE PASSWORD on the open, exclusive connection.
class TestPassword : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() {
        engine::setFailingStep(nullptr);
        engine::setWriteBudget(-1);
    }
    void setChangeAndRemove();
    void refusalChangesNothing_data();
    void refusalChangesNothing();

  private:
    // Opens the catalogue with password, checks the cards are all there and nothing lies beside.
    void checkOpens(const QString& password);
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_, cards_;
};

void TestPassword::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    // a folder with blanks and letters outside ASCII in its name
    QVERIFY(QDir(dir_->path()).mkdir("Kärten ø"));
    path_ = dir_->filePath("Kärten ø/KRVS.krv");
    QVERIFY(makeCatalogue(path_, 60));
    Connection c;
    openCatalogue(c, path_);
    cards_ = all(c);
}

void TestPassword::checkOpens(const QString& password) {
    Connection c;
    openCatalogue(c, path_, password);
    QCOMPARE(all(c), cards_);
    c.Close();
    QCOMPARE(QDir(QFileInfo(path_).path()).entryList(QDir::Files), QStringList{"KRVS.krv"});
}

void TestPassword::setChangeAndRemove() {
    Connection c, other;
    openCatalogue(c, path_);
    // set: the catalogue is written again, encrypted, and stays open and exclusive
    run(c, "ALTER DATABASE PASSWORD Sécret!1 ``;");
    run(c, "UPDATE tblKRVS101 SET UserComments = 'Qorth''s' WHERE DbId = 60;");
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_, "Sécret!1"); }), err::Engine);
    cards_ = all(c);
    c.Close();
    for (const char* text : {"Vellan", "Qorth", "tblKRVS101"})
        QVERIFY(!fileBytes(path_).contains(text));
    checkOpens("Sécret!1");

    // change: from one key to another
    openCatalogue(c, path_, "Sécret!1");
    run(c, "ALTER DATABASE PASSWORD n3w;Pass Sécret!1;");
    c.Close();
    QCOMPARE(errorNumber([&] { openCatalogue(other, path_, "Sécret!1"); }), err::BadPassword);
    checkOpens("n3w;Pass");

    // remove: a plain file again
    openCatalogue(c, path_, "n3w;Pass");
    run(c, "ALTER DATABASE PASSWORD `` n3w;Pass;");
    c.Close();
    QVERIFY(fileBytes(path_).startsWith("SQLite format 3"));
    checkOpens(QString());
}

void TestPassword::refusalChangesNothing_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<int>("number");
    row("old missing", "Abcd", "efgh ``;", "", err::BadPassword);
    row("blank in the new one", "", "ab cd ``;", "", err::Engine);
    row("set, export fails", "", "abcd ``;", "export", err::Engine);
    row("remove, rename fails", "abcd", "`` abcd;", "rename", err::Engine);
    row("set, scratch name taken", "", "abcd ``;", "blocked", err::Engine);
    row("connection not exclusive", "", "abcd ``;", "shared", err::Engine);
    // the disk fills up at the first write, or part way through the new copy
    row("set, disk full", "", "abcd ``;", "full", err::Engine);
    row("change, disk full", "abcd", "efgh abcd;", "full", err::Engine);
    row("change, disk full part way", "abcd", "efgh abcd;", "full part way", err::Engine);
    row("remove, disk full part way", "abcd", "`` abcd;", "full part way", err::Engine);
}

void TestPassword::refusalChangesNothing() {
    QFETCH(QString, password);
    QFETCH(QString, statement);
    QFETCH(QByteArray, step);
    QFETCH(int, number);
    if (!password.isEmpty()) QVERIFY(makeCatalogue(path_, 60, password));
    const QByteArray before = fileBytes(path_);
    Connection c;
    c.setMode(step == "shared" ? 0 : adModeShareExclusive);
    c.Open(startupString(path_, password));
    if (step == "blocked") QVERIFY(QDir().mkdir(path_ + ".newkey"));
    if (step == "export" || step == "rename") engine::setFailingStep(step.constData());
    if (step.startsWith("full")) engine::setWriteBudget(step == "full" ? 0 : before.size() / 2);
    QString why;
    QCOMPARE(errorNumber([&] { run(c, statement); }, &why), number);
    if (step.startsWith("full")) QVERIFY2(why.contains("the disk is full"), qPrintable(why));
    engine::setFailingStep(nullptr);
    engine::setWriteBudget(-1);
    if (step == "blocked") QVERIFY(QDir().rmdir(path_ + ".newkey"));
    // still open and usable with the old password
    QCOMPARE(all(c), cards_);
    c.Close();
    QVERIFY(fileBytes(path_) == before);
    checkOpens(password);
}

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
