#include "../db/DbTestUtil.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileOps.h"
#include "support/ScriptedUi.h"
#include "support/TestCatalogue.h"
#include "support/TestFiles.h"
#include "util/Files.h"
#include "util/SizeText.h"
#include "util/WriteBudget.h"

#include <QtTest>
#include <unistd.h>

using namespace krvs;
using namespace krvs::test;
using namespace krvs::maint;

namespace {

// Runs sql on a catalogue; the number of rows it returns.
int run(const QString& path, const QString& pwd, const QString& sql = "SELECT * FROM tblKRVS101;") {
    db::Connection c;
    c.open(path, pwd);
    return c.execute(sql)->rowCount();
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

    void backupNameIsEnglish() { // whatever the user's locale
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString name = defaultBackupName(QDateTime(QDate(2027, 5, 1), QTime(23, 59)));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(name, QString("MAY01-2027.krv"));
    }

    void sameFileHoweverWritten() {
        const QString a = at("a.krv");
        QVERIFY(QDir(tmp->path()).mkdir("sub") && writeFileBytes(a, "data"));
        QVERIFY(writeFileBytes(at("twin.krv"), "data") && QFile::link(a, at("link.krv")));
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
        QVERIFY(writeFileBytes(src, data) && writeFileBytes(dst, "previous"));
        // A read that fails half-way (the source is a folder), or a target name taken by a
        // folder (the data written, the rename refused): the old target stays, no scratch file.
        QVERIFY(errorNumber([&] { safeCopy(tmp->path(), dst); }) != 0);
        QVERIFY(QDir(tmp->path()).mkpath("taken.krv/inner"));
        QVERIFY(errorNumber([&] { safeCopy(src, at("taken.krv")); }) != 0);
        {
            ScopedWriteBudget full(data.size() / 2); // the disk fills up part way
            QCOMPARE(errorNumber([&] { safeCopy(src, dst); }), err::DiskFull);
        }
        QCOMPARE(readFileBytes(dst), QByteArray("previous"));
        QCOMPARE(QDir(tmp->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"dst.krv", "src.krv"}));
        safeCopy(src, dst);
        QCOMPARE(readFileBytes(dst), data);
    }

    // Compaction reclaims space and replaces a leftover scratch file; when the engine refuses
    // (a wrong password) the file stays as it was.
    void compaction() {
        QString path = at("KRVS.krv"), pwd = "Se cr3t!x", wrong = "wrong1";
        QVERIFY(test::makeCatalogue(path, 120, pwd));
        const QString fill = "UPDATE tblKRVS101 SET UserComments = '%1';";
        run(path, pwd, fill.arg(QString(4000, 'x')));
        run(path, pwd, fill.arg(""));
        QVERIFY(writeFileBytes(at("backup.qmx"), "half-written leftover"));
        const qint64 sizeBefore = QFileInfo(path).size();
        Catalogue catalogue;
        catalogue.setFile(path);
        QVERIFY_THROWS_EXCEPTION(AppError, catalogue.open(path, wrong));
        catalogue.open(path, pwd);
        catalogue.close();
        const CompactSizes sizes = catalogue.compact();
        QVERIFY(!sizes.before.isEmpty() && sizes.before != FileSizeText(path));
        QVERIFY(QFileInfo(path).size() < sizeBefore && !QFile::exists(at("backup.qmx")));
        QCOMPARE(sizes.after, FileSizeText(path));
        QCOMPARE(run(path, pwd), 120);
        const QByteArray compacted = readFileBytes(path);
        Catalogue wrongKey;
        wrongKey.setFile(path);
        QVERIFY_THROWS_EXCEPTION(AppError, [&] {
            try {
                wrongKey.open(path, wrong);
            } catch (const AppError&) {
            }
            wrongKey.compact();
        }());
        QCOMPARE(readFileBytes(path), compacted);
    }
};

QTEST_MAIN(TstMaintenance)
#include "tst_maintenance.moc"
