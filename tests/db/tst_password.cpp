#include "DbTestUtil.h"
#include "db/Engine.h"
#include "support/TestCatalogue.h"
#include "util/WriteBudget.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
QString all(Connection& c) {
    return dump(c, "SELECT * FROM tblKRVS101 ORDER BY DbId");
}
} // namespace

// Password changes on the open connection.
class TestPassword : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_, cards_;

    // Opens the catalogue with password: every card there, nothing left beside it.
    void checkOpens(const QString& password) {
        Connection c;
        openCatalogue(c, path_, password);
        QCOMPARE(all(c), cards_);
        c.close();
        QCOMPARE(QDir(QFileInfo(path_).path()).entryList(QDir::Files), QStringList{"KRVS.krv"});
    }

  private slots:
    void init() {
        // a folder with blanks and letters outside ASCII in its name
        dir_ = std::make_unique<QTemporaryDir>();
        path_ = dir_->filePath("Kärten ø/KRVS.krv");
        QVERIFY(QDir().mkpath(QFileInfo(path_).path()));
        QVERIFY(makeCatalogue(path_, 60));
        Connection c;
        openCatalogue(c, path_);
        cards_ = all(c);
    }
    void cleanup() {
        engine::setFailingStep(nullptr);
        setWriteBudget(-1);
    }

    void setChangeAndRemove() {
        Connection c, other;
        openCatalogue(c, path_);
        // set: the catalogue is written again, encrypted, and stays open and exclusive
        c.changePassword("", "Sécret!1");
        c.execute("UPDATE tblKRVS101 SET UserComments = 'Qorth''s' WHERE DbId = 60;");
        QCOMPARE(errorNumber([&] { openCatalogue(other, path_, "Sécret!1"); }), err::Engine);
        cards_ = all(c);
        c.close();
        for (const char* text : {"Vellan", "Qorth", "tblKRVS101"})
            QVERIFY(!readFileBytes(path_).contains(text));
        checkOpens("Sécret!1");
        // change: from one key to another
        openCatalogue(c, path_, "Sécret!1");
        c.changePassword("Sécret!1", "n3w;Pass;");
        c.close();
        QCOMPARE(errorNumber([&] { openCatalogue(other, path_, "Sécret!1"); }), err::BadPassword);
        QCOMPARE(errorNumber([&] { openCatalogue(other, path_, "n3w;Pass"); }), err::BadPassword);
        checkOpens("n3w;Pass;");
        // remove: a plain file again
        openCatalogue(c, path_, "n3w;Pass;");
        c.changePassword("n3w;Pass;", "");
        c.close();
        QVERIFY(readFileBytes(path_).startsWith("SQLite format 3"));
        checkOpens(QString());
    }

    // The catalogue's password, the old and new passwords given, the step made to fail
    // ("blocked": a folder where the scratch file goes, "full": the disk at the first write
    // or part way through the new copy) and the error.
    void refusalChangesNothing_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QByteArray>("step");
        QTest::addColumn<int>("number");
        auto row = [](const char* name, const char* pw, const char* old, const char* fresh,
                      const char* step, int number) {
            QTest::newRow(name) << QString(pw) << QString(old) << QString(fresh) << QByteArray(step)
                                << number;
        };
        row("old missing", "Abcd", "", "efgh", "", err::BadPassword);
        row("old wrong", "Abcd", "abcd", "efgh", "", err::BadPassword);
        row("set, export fails", "", "", "abcd", "export", err::Engine);
        row("remove, rename fails", "abcd", "abcd", "", "rename", err::Engine);
        row("set, scratch name taken", "", "", "abcd", "blocked", err::Engine);
        row("set, disk full", "", "", "abcd", "full", err::Engine);
        row("change, disk full", "abcd", "abcd", "efgh", "full", err::Engine);
        row("change, disk full part way", "abcd", "abcd", "efgh", "full part way", err::Engine);
        row("remove, disk full part way", "abcd", "abcd", "", "full part way", err::Engine);
    }
    void refusalChangesNothing() {
        QFETCH(QString, password);
        QFETCH(QString, old);
        QFETCH(QString, fresh);
        QFETCH(QByteArray, step);
        if (!password.isEmpty()) QVERIFY(makeCatalogue(path_, 60, password));
        const QByteArray before = readFileBytes(path_);
        Connection c;
        openCatalogue(c, path_, password);
        if (step == "blocked") QVERIFY(QDir().mkdir(path_ + ".newkey"));
        if (step == "export" || step == "rename") engine::setFailingStep(step.constData());
        if (step.startsWith("full")) setWriteBudget(step == "full" ? 0 : before.size() / 2);
        QString why;
        QTEST(errorNumber([&] { c.changePassword(old, fresh); }, &why), "number");
        if (step.startsWith("full")) QVERIFY2(why.contains("the disk is full"), qPrintable(why));
        engine::setFailingStep(nullptr);
        setWriteBudget(-1);
        // still open and usable with the old password
        if (step == "blocked") QVERIFY(QDir().rmdir(path_ + ".newkey"));
        QCOMPARE(all(c), cards_);
        c.close();
        QVERIFY(readFileBytes(path_) == before);
        checkOpens(password);
    }
};

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
