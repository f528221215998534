// krvs-makedb --merge: the same merge as the window's, for scripts.
#include "support/MergeScenario.h"
#include "support/TestCatalogue.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 40;

// The backup's name on the day the tool runs.
QString backupName() {
    return QLocale::c().toString(QDate::currentDate(), "MMMdd-yyyy").toUpper() +
           "-before-merge.krv";
}

QString lastLine(const QString& out) {
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

} // namespace

class TstMakeDbMerge : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList backups() const {
        return QDir(path("backup")).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

  private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void usageLine() {
        QString out;
        QCOMPARE(runMakeDb({"--help"}, &out), 0);
        QVERIFY2(out.contains("krvs-makedb --merge FILE [--password TEXT] CATALOGUE\n"),
                 qPrintable(out));
    }

    // Every card's fields after the merge, the counts as the last line, the backup.
    void merges_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("fromCatalogue");
        QTest::newRow("plain, CSV") << QString() << false;
        QTest::newRow("encrypted, CSV") << "Cat-pw1" << false;
        QTest::newRow("plain, catalogue") << QString() << true;
        QTest::newRow("encrypted, encrypted catalogue") << "Cat-pw1" << true;
    }
    void merges() {
        QFETCH(QString, password);
        QFETCH(bool, fromCatalogue);
        QVERIFY(makeCatalogue(path("KRVS.krv"), kCards, password));
        const QStringList before = storedCards(path("KRVS.krv"), password);
        const MergeScenario s = mergeScenario(before);
        QVERIFY(writeFileBytes(path("newer.csv"), s.csv));
        QString file = path("newer.csv");
        if (fromCatalogue) {
            QStringList args{"--from-csv", file};
            if (!password.isEmpty()) args << "--password" << password;
            QCOMPARE(runMakeDb(args << path("newer.krv")), 0);
            file = path("newer.krv");
        }
        QStringList args{"--merge", file};
        if (!password.isEmpty()) args << "--password" << password;
        QString out;
        QCOMPARE(runMakeDb(args << path("KRVS.krv"), &out), 0);
        QCOMPARE(lastLine(out), s.counts());
        QCOMPARE(storedCards(path("KRVS.krv"), password), s.expected);
        QCOMPARE(backups(), QStringList{backupName()});
        QCOMPARE(storedCards(path("backup/" + backupName()), password), before);

        // The same checklist again changes nothing and writes no second backup.
        QCOMPARE(runMakeDb(args, &out), 0);
        QCOMPARE(lastLine(out),
                 QString("new 0, changed 0, unchanged %1, missing 3").arg(kCards - 1));
        QCOMPARE(backups(), QStringList{backupName()});
    }

    // A refusal exits non-zero, says why (with the line), and changes nothing.
    void refused_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("line not whole") << QByteArray("DbId,Title\n1,a\n2\n") << QString()
                                        << "line 3: 1 fields where the header row has 2";
        QTest::newRow("two cards, one DbId")
            << QByteArray("DbId,Title\n5,a\n6,b\n5,c\n") << QString()
            << "line 4: DbId 5 is used twice (first on line 2)";
        QTest::newRow("DbId not whole") << QByteArray("DbId,Title\n1e3,a\n") << QString()
                                        << "line 2: DbId \"1e3\" is not a whole number";
        QTest::newRow("no DbId column") << QByteArray("Title,Series\na,VEX\n") << QString()
                                        << "line 1: the DbId column is missing";
        QTest::newRow("wrong password") << QByteArray("DbId,Title\n1,a\n") << "wrong"
                                        << "Not a valid password";
        QTest::newRow("catalogue itself") << QByteArray() << QString() << "into itself";
        QTest::newRow("no such file") << QByteArray("-") << QString() << "no such file";
    }
    void refused() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, password);
        QFETCH(QString, message);
        const bool encrypted = QString(QTest::currentDataTag()) == "wrong password";
        QVERIFY(makeCatalogue(path("KRVS.krv"), kCards, encrypted ? "right" : QString()));
        const QByteArray bytes = readFileBytes(path("KRVS.krv"));
        QString file = path("newer.csv");
        if (csv.isEmpty())
            file = path("KRVS.krv");
        else if (csv != "-")
            QVERIFY(writeFileBytes(file, csv));
        QStringList args{"--merge", file};
        if (!password.isEmpty()) args << "--password" << password;
        QString out;
        QCOMPARE(runMakeDb(args << path("KRVS.krv"), &out), 1);
        QVERIFY2(out.contains(message), qPrintable(out));
        QVERIFY(readFileBytes(path("KRVS.krv")) == bytes);
        QVERIFY(!QFileInfo::exists(path("backup")));
    }

    // A real disk that fills up (a small tmpfs, mounted as root): the catalogue as it was.
    void realFullDisk() {
        if (::geteuid() != 0) QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir mnt;
        QVERIFY(makeCatalogue(path("big.krv"), 3000));
        const qint64 size = QFileInfo(path("big.krv")).size();
        // room for the backup and a little more, not for the merge's log
        const QByteArray opts = "size=" + QByteArray::number(size * 2 + 64 * 1024);
        if (::mount("tmpfs", QFile::encodeName(mnt.path()).constData(), "tmpfs", 0,
                    opts.constData()) != 0)
            QSKIP("tmpfs cannot be mounted here");
        struct Unmount {
            QString p;
            ~Unmount() { ::umount2(QFile::encodeName(p).constData(), MNT_DETACH); }
        } unmount{mnt.path()};
        const QString cat = mnt.filePath("KRVS.krv");
        QVERIFY(QFile::copy(path("big.krv"), cat));
        const QStringList before = storedCards(cat);
        QByteArray csv = "DbId,Title,DBComments\n";
        const QByteArray note(400, 'n');
        for (int id = 1; id <= 6000; ++id)
            csv += QByteArray::number(id) + ",Title " + QByteArray::number(id) + "," + note + "\n";
        QVERIFY(writeFileBytes(path("newer.csv"), csv));
        QString out;
        QCOMPARE(runMakeDb({"--merge", path("newer.csv"), cat}, &out), 1);
        QVERIFY2(out.contains("full", Qt::CaseInsensitive), qPrintable(out));
        QCOMPARE(storedCards(cat), before);
    }
};

QTEST_GUILESS_MAIN(TstMakeDbMerge)
#include "tst_makedb_merge.moc"
