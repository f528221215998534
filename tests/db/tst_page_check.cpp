#include "DbTestUtil.h"
#include "support/TestCatalogue.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::db;
using namespace krvs::test;

namespace {
// Runs SQL on the file through a handle of the test's own; returns the first value.
QString sqlOnFile(const QString& path, const QString& password, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const QByteArray key = password.toUtf8();
    if (!key.isEmpty()) sqlite3_key(db, key.constData(), int(key.size()));
    QString first;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr) ? -1 : sqlite3_step(st);
    if (rc == SQLITE_ROW)
        first = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) qWarning("%s", sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return first;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

class TestPageCheck : public QObject {
    Q_OBJECT

  private slots:
    // A damaged page that reading the cards does not meet (an index the searches do not use)
    // lets the catalogue be read, but the first change is refused and the file left as it was.
    void damagedPageRefusesTheFirstWrite_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << QString();
        QTest::newRow("encrypted") << QString("pw 7");
    }
    void damagedPageRefusesTheFirstWrite() {
        QFETCH(QString, password);
        QTemporaryDir dir;
        const QString path = dir.filePath("KRVS.krv");
        QVERIFY(makeCatalogue(path, 3000, password));
        sqlOnFile(path, password, "CREATE INDEX byTitle ON tblKRVS101 (Title, DBComments);");
        const int root =
            sqlOnFile(path, password, "SELECT rootpage FROM sqlite_master WHERE name = 'byTitle';")
                .toInt();
        const int pageSize = sqlOnFile(path, password, "PRAGMA page_size;").toInt();
        QVERIFY(root > 1 && pageSize >= 512);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray noise(pageSize, 0);
            for (char& c : noise)
                c = static_cast<char>(QRandomGenerator::global()->bounded(256));
            QVERIFY(file.seek(qint64(root - 1) * pageSize) && file.write(noise) == pageSize);
        }
        const QByteArray before = readFileBytes(path);

        Connection c;
        openCatalogue(c, path, password);
        QCOMPARE(dump(c, "SELECT count(UserComments) FROM tblKRVS101;"), QString("3000"));
        QString description;
        QCOMPARE(errorNumber([&] { c.execute("UPDATE tblKRVS101 SET Own = True WHERE DbId = 5;"); },
                             &description),
                 err::Engine);
        QVERIFY2(description.contains("' is not a card catalogue: the file is damaged"),
                 qPrintable(description));
        QCOMPARE(c.errors().size(), 1);
        // refused again, not tried again
        QCOMPARE(errorNumber([&] { c.execute("UPDATE tblKRVS101 SET Own = True;"); }), err::Engine);
        c.close();
        QVERIFY(readFileBytes(path) == before);
        QCOMPARE(filesIn(dir.path()), QStringList{"KRVS.krv"});
    }

    // A catalogue in the rollback journal is read without a byte written; the first
    // change moves it to the log and lasts.
    void firstWriteMovesTheFileToTheLog() {
        QTemporaryDir dir;
        const QString path = dir.filePath("KRVS.krv");
        QVERIFY(makeCatalogue(path, 200));
        QCOMPARE(sqlOnFile(path, {}, "PRAGMA journal_mode=DELETE;"), QString("delete"));
        const QByteArray before = readFileBytes(path);
        {
            Connection c;
            openCatalogue(c, path);
            QCOMPARE(dump(c, "SELECT count(*) FROM tblKRVS101 WHERE Own = True OR Own = False;"),
                     QString("200"));
            QVERIFY(readFileBytes(path) == before);
            QCOMPARE(filesIn(dir.path()), QStringList{"KRVS.krv"});
            c.execute("UPDATE tblKRVS101 SET UserComments = 'kept' WHERE DbId = 9;");
            QCOMPARE(filesIn(dir.path()), QStringList({"KRVS.krv", "KRVS.krv-wal"}));
        }
        QCOMPARE(readFileBytes(path).at(18), char(2)); // the log's mark in the header
        QCOMPARE(sqlOnFile(path, {}, "SELECT UserComments FROM tblKRVS101 WHERE DbId = 9;"),
                 QString("kept"));
    }
};

QTEST_GUILESS_MAIN(TestPageCheck)
#include "tst_page_check.moc"
