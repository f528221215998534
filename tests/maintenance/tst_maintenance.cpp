#include "ScriptedUi.h"
#include "TestCatalogue.h"
#include "db/Connection.h"
#include "maintenance/FileOps.h"
#include "maintenance/mdlJRO.h"
#include "util/AppError.h"
#include "util/Shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace krvs;
using namespace krvs::maint;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The error number a call throws, 0 when it throws nothing.
template <class F> int errorOf(F f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

db::Connection& open(db::Connection& c, const QString& path, const QString& pwd) {
    c.setMode(db::adModeShareExclusive);
    c.Open("Data Source=" + path + ";Jet OLEDB:Database Password=" + pwd);
    return c;
}

int cardCount(const QString& path, const QString& pwd) {
    db::Connection c;
    return open(c, path, pwd).execute("SELECT * FROM tblKRVS101;")->rowCount();
}

} // namespace

class TstMaintenance : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScriptedUi> ui;
    std::unique_ptr<QTemporaryDir> tmp;
    QString at(const QString& name) const { return tmp->filePath(name); }

  private slots:
    void init() {
        ui.reset(); // the old script restores the real services when it goes
        ui = std::make_unique<test::ScriptedUi>();
        tmp = std::make_unique<QTemporaryDir>();
    }
    void cleanup() { QVERIFY2(ui->problems().isEmpty(), qPrintable(ui->problems())); }

    void namesAndFolders() {
        // The month stays English whatever the user's locale.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(defaultBackupName(QDateTime(QDate(2027, 5, 1), QTime(23, 59))),
                 QString("MAY01-2027.krv"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(backupFolder("/"), QString("//backup/"));
        QCOMPARE(scratchPath(folderOf("/KRVS.krv")), QString("/backup.qmx"));
    }

    void sameFileHoweverWritten() {
        const QString a = at("a.krv");
        QVERIFY(QDir(tmp->path()).mkdir("sub") && writeAll(a, "data"));
        QVERIFY(writeAll(at("twin.krv"), "data") && QFile::link(a, at("link.krv")));
        QCOMPARE(::link(QFile::encodeName(a).constData(), QFile::encodeName(at("hard.krv"))), 0);
        for (const char* other : {"/./a.krv", "/sub/../a.krv", "//a.krv", "/link.krv", "/hard.krv"})
            QVERIFY2(sameFile(a, tmp->path() + other), other);
        QVERIFY(!sameFile(a, at("twin.krv")) && !sameFile(a, at("missing.krv")));
    }

    void safeCopyReplacesOnlyWhenComplete() {
        // Several buffers' worth, so a short or repeated chunk would show.
        QByteArray data;
        for (int i = 0; i < 3 * 1024 * 1024 + 7; ++i)
            data.append(char(i * 31 % 251));
        const QString src = at("src.krv"), dst = at("dst.krv");
        QVERIFY(writeAll(src, data) && writeAll(dst, "previous"));
        safeCopy(src, dst);
        QCOMPARE(readAll(dst), data);

        QVERIFY(writeAll(dst, "previous"));
        // A read that fails half-way (the source is a folder) keeps the old target.
        QVERIFY(errorOf([&] { safeCopy(tmp->path(), dst); }) != 0);
        // A target name taken by a folder: the data is written, the rename refused.
        QVERIFY(QDir(tmp->path()).mkpath("taken.krv/inner"));
        QCOMPARE(errorOf([&] { safeCopy(src, at("taken.krv")); }), 58);
        QCOMPARE(errorOf([&] { safeCopy(at("none.krv"), dst); }), 53);
        QCOMPARE(errorOf([&] { safeCopy(src, at("src.krv/x.krv")); }), 76);
        QCOMPARE(readAll(dst), QByteArray("previous"));
        // No scratch file is left behind.
        QCOMPARE(QDir(tmp->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"dst.krv", "src.krv"}));
    }

    void compaction_data() {
        QTest::addColumn<QString>("pwd");
        QTest::newRow("no password") << QString();
        QTest::newRow("password") << "Se cr3t!x";
    }
    void compaction() {
        QFETCH(QString, pwd);
        QString path = at("KRVS.krv");
        QVERIFY(test::makeCatalogue(path, 120, pwd));
        { // Leave free pages behind, so that compaction has something to reclaim.
            db::Connection c;
            open(c, path, pwd)
                .execute(
                    QString("UPDATE tblKRVS101 SET UserComments = '%1';").arg(QString(4000, 'x')));
            c.execute("UPDATE tblKRVS101 SET UserComments = '';");
        }
        // A scratch file left by an interrupted compaction is simply replaced.
        QVERIFY(writeAll(at("backup.qmx"), "half-written leftover"));
        const qint64 sizeBefore = QFileInfo(path).size();
        const QString before = FileSizeText(path);
        QList<int> pointer;
        ui->answer(mb::AnsOK, "Compact successful");
        QVERIFY(CompactDB([&](int code) { pointer << code; }, path, pwd));

        QVERIFY(QFileInfo(path).size() < sizeBefore);
        QVERIFY(!QFile::exists(at("backup.qmx")));
        QCOMPARE(pointer, QList<int>{0});
        QCOMPARE(ui->boxes.at(0).flags, 64);
        QCOMPARE(ui->boxes.at(0).text,
                 path.toUpper() + " compacted successfully.\r\n\r\nSize before compacting:\t" +
                     before + "\r\nSize after compacting:\t" + FileSizeText(path));
        QCOMPARE(cardCount(path, pwd), 120);
        if (!pwd.isEmpty()) QCOMPARE(errorOf([&] { cardCount(path, ""); }), int(err::BadPassword));
    }

    // The engine refuses (a wrong password): no box, and the file is as it was.
    void failedCompactionLeavesCatalogue() {
        QString path = at("KRVS.krv"), wrong = "wrong1";
        QVERIFY(test::makeCatalogue(path, 30, "right1"));
        const QByteArray original = readAll(path);
        QVERIFY(!CompactDB({}, path, wrong));
        QCOMPARE(readAll(path), original);
        QVERIFY(ui->boxes.isEmpty());
    }
};

QTEST_MAIN(TstMaintenance)
#include "tst_maintenance.moc"
