// The checklist reader and the merge as plain functions, on real catalogue files.
#include "checklist/Merge.h"
#include "db/Connection.h"
#include "support/MergeScenario.h"
#include "support/TestCatalogue.h"
#include "support/TestFiles.h"
#include "util/WriteBudget.h"

#include <QtTest>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 30;

std::unique_ptr<db::Connection> openAlone(const QString& path, const QString& password = {}) {
    auto c = std::make_unique<db::Connection>();
    c->open(path, password);
    return c;
}

checklist::MergePlan plan(db::Connection& c, const checklist::Checklist& list) {
    return checklist::planMerge(*c.execute(checklist::catalogueStatement()), list);
}

} // namespace

class TstChecklist : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

  private slots:
    // A bad checklist is refused with its line, whatever comes before or after the fault.
    void refusedWithLine_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("error");
        QTest::newRow("no DbId column")
            << QByteArray("Title,Series\nx,VEX\n") << "line 1: the DbId column is missing";
        QTest::newRow("short line") << QByteArray("DbId,Title,Series\n1,a,VEX\n2,b\n3,c,NOR\n")
                                    << "line 3: 2 fields where the header row has 3";
        QTest::newRow("long line") << QByteArray("DbId,Title\n1,a\n2,b,c\n")
                                   << "line 3: 3 fields where the header row has 2";
        QTest::newRow("quote not closed") << QByteArray("DbId,Title\n1,a\n2,\"b\n3,c\n")
                                          << "line 3: a quoted field is not closed";
        QTest::newRow("two cards, one DbId") << QByteArray("DbId,Title\n1,a\n2,b\n\n 1 ,c\n")
                                             << "line 5: DbId 1 is used twice (first on line 2)";
        QTest::newRow("DbId a fraction") << QByteArray("DbId,Title\n1,a\n2.5,b\n")
                                         << "line 3: DbId \"2.5\" is not a whole number";
        QTest::newRow("DbId a word")
            << QByteArray("DbId,Title\r\n1,a\r\nseven,b\r\n") << "line 3: DbId \"seven\"";
        QTest::newRow("DbId empty") << QByteArray("DbId,Title\n,a\n") << "line 2: DbId \"\"";
    }
    void refusedWithLine() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, error);
        QVERIFY(writeFileBytes(path("list.csv"), csv));
        const checklist::Checklist list = checklist::readChecklist(path("list.csv"));
        QVERIFY2(list.error.contains(error), qPrintable(list.error));
        QVERIFY(list.cards.empty());
    }

    // The file's kind is told from its bytes, whatever its name.
    void checklistKind() {
        QVERIFY(makeCatalogue(path("plain.csv"), 3));
        QVERIFY(makeCatalogue(path("secret.csv"), 3, "pw"));
        QVERIFY(writeFileBytes(path("list.krv"), QByteArray("DbId,Title\n1,\xc3\xa9\n")));
        QCOMPARE(checklist::checklistKind(path("plain.csv")), checklist::ChecklistKind::Catalogue);
        QCOMPARE(checklist::checklistKind(path("secret.csv")),
                 checklist::ChecklistKind::EncryptedCatalogue);
        QCOMPARE(checklist::checklistKind(path("list.krv")), checklist::ChecklistKind::Csv);
        // An encrypted catalogue opens with its password only.
        const auto wrong = checklist::readChecklist(path("secret.csv"), "nope");
        QVERIFY(wrong.badPassword && wrong.cards.empty());
        const auto right = checklist::readChecklist(path("secret.csv"), "pw");
        QVERIFY2(right.error.isEmpty(), qPrintable(right.error));
        QCOMPARE(right.cards.size(), std::size_t(3));
        QCOMPARE(right.cards[2].dbId, 3);
    }

    // The plan and the merge: counts, every field, Own and UserComments kept, the changes
    // listed field by field, the cards without a box named; a CSV and a catalogue alike.
    void mergeFromEitherFile_data() {
        QTest::addColumn<bool>("fromCatalogue");
        QTest::newRow("CSV") << false;
        QTest::newRow("catalogue") << true;
    }
    void mergeFromEitherFile() {
        QFETCH(bool, fromCatalogue);
        QVERIFY(makeCatalogue(path("c.krv"), kCards));
        const MergeScenario s = mergeScenario(storedCards(path("c.krv")));
        QVERIFY(writeFileBytes(path("newer.csv"), s.csv));
        if (fromCatalogue)
            QVERIFY(makeCatalogueFromCsv(path("newer.krv"), QString::fromUtf8(s.csv)));
        const auto list = checklist::readChecklist(path(fromCatalogue ? "newer.krv" : "newer.csv"));
        QVERIFY2(list.error.isEmpty(), qPrintable(list.error));
        {
            auto c = openAlone(path("c.krv"));
            const auto p = plan(*c, list);
            QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
            QCOMPARE(checklist::countsLine(p), s.counts());
            QCOMPARE(p.changes.size(), std::size_t(3));
            QCOMPARE(p.changes[0].dbId, 2);
            QCOMPARE(p.changes[0].fields.size(), std::size_t(1));
            QCOMPARE(p.changes[0].fields[0].field, checklist::fTitle);
            QCOMPARE(p.changes[0].fields[0].after, QString("Vellan's Return, \"2nd\""));
            QCOMPARE(p.changes[1].fields.size(), std::size_t(2)); // Series and DBComments
            QCOMPARE(p.changes[1].fields[0].after, QString("ZZZ"));
            QCOMPARE(p.unboxed.size(), std::size_t(2)); // card 4 (ZZZ) and the new "Moons"
            QCOMPARE(p.unboxed[0].dbId, 4);
            QCOMPARE(p.unboxed[1].dbId, kCards + 2);
            checklist::applyMerge(*c, p);
            // a second merge of the same checklist finds nothing to do
            const auto again = plan(*c, list);
            QCOMPARE(checklist::countsLine(again),
                     QString("new 0, changed 0, unchanged %1, missing 3").arg(kCards - 1));
            c->close();
        }
        QCOMPARE(storedCards(path("c.krv")), s.expected);
    }

    // A checklist without some publisher's fields leaves them as they are.
    void absentFieldsKept() {
        QVERIFY(makeCatalogue(path("c.krv"), 5));
        const QStringList before = storedCards(path("c.krv"));
        QVERIFY(writeFileBytes(path("t.csv"), "dbid,TITLE\n3,Only the title\n9,New one\n"));
        const auto list = checklist::readChecklist(path("t.csv"));
        auto c = openAlone(path("c.krv"));
        const auto p = plan(*c, list);
        QCOMPARE(checklist::countsLine(p), QString("new 1, changed 1, unchanged 0, missing 4"));
        checklist::applyMerge(*c, p);
        c->close();
        QStringList expected = before;
        QStringList three = before[2].split('|');
        three[3] = "Only the title";
        expected[2] = three.join('|');
        expected << "9|||New one||||False||";
        QCOMPARE(storedCards(path("c.krv")), expected);
    }

    // The disk full at any point of the merge: the statement fails and every card is as
    // it was, on a plain and an encrypted catalogue.
    void fullDiskChangesNothing_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("percent");
        for (const char* pw : {"", "Pw-1"})
            for (int percent : {0, 30, 70, 95})
                QTest::addRow("%s, %d%%", *pw ? "encrypted" : "plain", percent)
                    << QString(pw) << percent;
    }
    void fullDiskChangesNothing() {
        QFETCH(QString, password);
        QFETCH(int, percent);
        for (const char* f : {"big.krv", "measure.krv"})
            QFile::remove(path(f));
        QVERIFY(makeCatalogue(path("big.krv"), 2000, password));
        QVERIFY(QFile::copy(path("big.krv"), path("measure.krv")));
        const QStringList before = storedCards(path("big.krv"), password);
        // every title changes and 500 cards are new, so the statement writes many pages
        QByteArray csv = "DbId,Title,Series\n";
        for (int id = 1; id <= 2500; ++id)
            csv += QByteArray::number(id) + ",Title " + QByteArray::number(id) + " of 9,VEX\n";
        QVERIFY(writeFileBytes(path("newer.csv"), csv));
        const auto list = checklist::readChecklist(path("newer.csv"));
        qint64 used = 0;
        {
            auto c = openAlone(path("measure.krv"), password);
            const auto p = plan(*c, list);
            QCOMPARE(checklist::countsLine(p),
                     QString("new 500, changed 2000, unchanged 0, missing 0"));
            ScopedWriteBudget ample(qint64(1) << 40);
            checklist::applyMerge(*c, p);
            used = (qint64(1) << 40) - writeBudget();
            c->close();
        }
        QVERIFY(used > 100000);
        {
            auto c = openAlone(path("big.krv"), password);
            const auto p = plan(*c, list);
            ScopedWriteBudget full(used * percent / 100);
            QVERIFY_THROWS_EXCEPTION(AppError, checklist::applyMerge(*c, p));
            setWriteBudget(-1);
            c->close();
        }
        QCOMPARE(storedCards(path("big.krv"), password), before);
        QCOMPARE(storedCards(path("measure.krv"), password).size(), 2500);
    }

    // A second merge on one day never writes over the first one's backup.
    void backupNames() {
        QTemporaryDir folder;
        const QString first = checklist::mergeBackupPath(folder.path(), "DEC07-2026.krv");
        QCOMPARE(QFileInfo(first).fileName(), QString("DEC07-2026-before-merge.krv"));
        QVERIFY(writeFileBytes(first, "x"));
        const QString second = checklist::mergeBackupPath(folder.path(), "DEC07-2026.krv");
        QCOMPARE(QFileInfo(second).fileName(), QString("DEC07-2026-before-merge-2.krv"));
    }
};

QTEST_GUILESS_MAIN(TstChecklist)
#include "tst_checklist.moc"
