// File > Merge Checklist... and Tools > Collection Summary... through the real window.
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "merge/frmMergePreview.h"
#include "summary/frmSummary.h"
#include "support/AppFixture.h"
#include "support/MergeScenario.h"
#include "support/TestFiles.h"
#include "util/WriteBudget.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 20;
const QString kLoadAll = QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;");
const QString kBackup = QStringLiteral("backup/DEC07-2026-before-merge.krv");

void typePassword(QDialog& d, const QString& password) {
    typeText(d.findChild<QLineEdit*>(QStringLiteral("txtPwd")), password);
    d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
}

} // namespace

class TstMergeApp : public QObject, AppFixture {
    Q_OBJECT

    QAction* menuItem(const char* name) const {
        auto* a = w->findChild<QAction*>(QLatin1String(name));
        return a && a->isVisible() && a->isEnabled() ? a : nullptr;
    }
    // Writes the checklist as a CSV or as a catalogue (encrypted with password).
    QString writeChecklist(const MergeScenario& s, const QString& kind, const QString& password) {
        if (kind == "CSV") {
            const QString file = at("newer.csv");
            return writeFileBytes(file, s.csv) ? file : QString();
        }
        writeFileBytes(at("newer-list.csv"), s.csv);
        QStringList args{"--from-csv", at("newer-list.csv")};
        if (!password.isEmpty()) args << "--password" << password;
        args << at("newer.krv");
        return runMakeDb(args) == 0 ? at("newer.krv") : QString();
    }
    QStringList backupFiles() const {
        return QDir(at("backup")).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    QString lastBox() const { return ui->boxes.isEmpty() ? QString() : ui->boxes.last().text; }
    void restore(const QByteArray& bytes) {
        for (const char* s : {"-wal", "-shm"})
            QFile::remove(catalogue() + s);
        QVERIFY(writeFileBytes(catalogue(), bytes));
        QDir(at("backup")).removeRecursively();
    }

  private slots:
    void init() {
        begin();
        ui->setNow(QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6)));
    }
    void cleanup() {
        setWriteBudget(-1);
        QVERIFY2(end(), qPrintable(problems()));
    }

    // The whole merge: the file dialog, a checklist's password, the preview, OK; then every
    // card's fields, the grid back on every card, the backup of the catalogue as it was.
    void mergeThroughMenu_data() {
        QTest::addColumn<QString>("password"); // the catalogue's
        QTest::addColumn<QString>("kind");     // of the checklist
        QTest::addColumn<QString>("listPassword");
        QTest::newRow("plain catalogue, CSV") << QString() << "CSV" << QString();
        QTest::newRow("encrypted catalogue, CSV") << "Cat-pw1"
                                                  << "CSV" << QString();
        QTest::newRow("plain catalogue, encrypted catalogue") << QString() << "catalogue"
                                                              << "List-pw2";
        QTest::newRow("encrypted catalogue, plain catalogue") << "Cat-pw1"
                                                              << "catalogue" << QString();
    }
    void mergeThroughMenu() {
        QFETCH(QString, password);
        QFETCH(QString, kind);
        QFETCH(QString, listPassword);
        QVERIFY(makeCatalogue(kCards, password));
        const QStringList before = storedCards(catalogue(), password);
        QCOMPARE(before.size(), kCards);
        const MergeScenario s = mergeScenario(before);
        const QString file = writeChecklist(s, kind, listPassword);
        QVERIFY(!file.isEmpty());

        start(password);
        w->cmdQuery->click(); // the grid shows a search, not every card
        QVERIFY(w->windowTitle().startsWith("Korvessa Database - (Matches returned="));

        ui->openFile(file);
        if (!listPassword.isEmpty()) {
            ui->onModal([](QDialog& d) { typePassword(d, "wrong"); });
            ui->answer(mb::AnsOK, "Merge Checklist");
            ui->onModal([listPassword](QDialog& d) { typePassword(d, listPassword); });
        }
        bool previewed = false;
        ui->onModal([&](QDialog& d) {
            auto& p = static_cast<frmMergePreview&>(d);
            QCOMPARE(p.windowTitle(), QString("Merge Checklist"));
            QCOMPARE(p.lblCounts->text(),
                     QString("New cards: 2\nChanged cards: 3\nUnchanged cards: %1\n"
                             "Cards not in the new checklist (kept as they are): 3")
                         .arg(kCards - 6));
            QCOMPARE(p.lstChanges->topLevelItemCount(), 3);
            const QTreeWidgetItem* title = p.lstChanges->topLevelItem(0)->child(0);
            QCOMPARE(title->text(0), QString("Title"));
            QCOMPARE(title->text(1), before[1].split('|')[3]);
            QCOMPARE(title->text(2), QString("Vellan's Return, \"2nd\""));
            QCOMPARE(p.lstChanges->topLevelItem(1)->childCount(), 2); // Series and DBComments
            QVERIFY(p.lblUnboxed->isVisible());
            QVERIFY2(p.lblUnboxed->text().startsWith("2 cards will have") &&
                         p.lblUnboxed->text().contains("DbId 4 ") &&
                         p.lblUnboxed->text().contains("Series ZZZ") &&
                         p.lblUnboxed->text().contains("Category Moons"),
                     qPrintable(p.lblUnboxed->text()));
            previewed = true;
            QTest::mouseClick(p.cmdOK, Qt::LeftButton);
        });
        ui->answer(mb::AnsOK, "Merge Checklist");
        QAction* merge = menuItem("mnuMerge");
        QVERIFY(merge && merge->text() == "&Merge Checklist..." &&
                w->mnuFile->actions().contains(merge));
        merge->trigger();

        QVERIFY(previewed);
        QCOMPARE(ui->openRequests.size(), 1);
        QCOMPARE(ui->openRequests[0].title, QString("Merge Checklist"));
        QVERIFY2(lastBox().contains("New cards: 2\nChanged cards: 3") &&
                     lastBox().contains(QDir::toNativeSeparators(at(kBackup))),
                 qPrintable(lastBox()));
        QCOMPARE(w->windowTitle(), loadedTitle(kCards + 2));
        QCOMPARE(w->fgdCards->Rows(), kCards + 3);
        QCOMPARE(w->txtSQL->toPlainText(), kLoadAll);
        QCOMPARE(w->fgdCards->TextMatrix(2, 3), QString("Vellan's Return, \"2nd\""));
        close();
        QCOMPARE(storedCards(catalogue(), password), s.expected);
        QCOMPARE(storedCards(at(kBackup), password), before);
    }

    // Cancel anywhere, a checklist refused for a line, or the catalogue itself: nothing
    // changes and no backup is written.
    void nothingChanges_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("csv"); // empty: the scenario's checklist
        QTest::addColumn<QString>("box");    // the box's text contains it
        const QByteArray none;
        QTest::newRow("file dialog cancelled") << "cancel open" << none << QString();
        QTest::newRow("preview, Cancel") << "Cancel" << none << QString();
        QTest::newRow("preview, Esc") << "Esc" << none << QString();
        QTest::newRow("preview, Enter") << "Enter" << none << QString();
        QTest::newRow("password prompt cancelled") << "password" << none << QString();
        QTest::newRow("the catalogue itself") << "itself" << none << "cannot be merged into itself";
        QTest::newRow("a line not whole") << "refused" << QByteArray("DbId,Title\n1,a\n2,b,c\n")
                                          << "line 3: 3 fields where the header row has 2";
        QTest::newRow("two cards, one DbId")
            << "refused" << QByteArray("DbId,Title\n1,a\n1,b\n") << "line 3: DbId 1 is used twice";
        QTest::newRow("DbId not whole") << "refused" << QByteArray("DbId,Title\n1,a\nx2,b\n")
                                        << "line 3: DbId \"x2\" is not a whole number";
        QTest::newRow("no DbId column")
            << "refused" << QByteArray("Title\na\n") << "line 1: the DbId column is missing";
    }
    void nothingChanges() {
        QFETCH(QString, how);
        QFETCH(QByteArray, csv);
        QFETCH(QString, box);
        QVERIFY(makeCatalogue(kCards));
        const QStringList before = storedCards(catalogue());
        const MergeScenario s = mergeScenario(before);
        QString file;
        if (how == "password") {
            file = writeChecklist(s, "catalogue", "List-pw2");
        } else if (how == "itself") {
            file = catalogue();
        } else {
            file = at("newer.csv");
            QVERIFY(writeFileBytes(file, csv.isEmpty() ? s.csv : csv));
        }
        start();
        if (how == "cancel open")
            ui->cancelOpen();
        else
            ui->openFile(file);
        if (how == "password")
            ui->onModal([](QDialog& d) {
                QTest::mouseClick(d.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
            });
        if (how == "Cancel" || how == "Esc" || how == "Enter")
            ui->onModal([how](QDialog& d) {
                auto& p = static_cast<frmMergePreview&>(d);
                if (how == "Cancel") QTest::mouseClick(p.cmdCancel, Qt::LeftButton);
                if (how == "Esc") QTest::keyClick(&p, Qt::Key_Escape);
                if (how == "Enter") QTest::keyClick(p.focusWidget(), Qt::Key_Return);
                QVERIFY(!p.isVisible() && p.result() == QDialog::Rejected);
            });
        if (!box.isEmpty()) ui->answer(mb::AnsOK, "Merge Checklist");
        menuItem("mnuMerge")->trigger();
        if (!box.isEmpty()) QVERIFY2(lastBox().contains(box), qPrintable(lastBox()));
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
        close();
        QCOMPARE(storedCards(catalogue()), before);
        QCOMPARE(backupFiles(), QStringList());
    }

    // The disk full while the backup is written or while the cards are merged: a box, the
    // catalogue as it was, every card in the window again.
    void fullDisk_data() {
        QTest::addColumn<QString>("where");
        for (const char* where : {"backup, first write", "backup, half-way", "merge, first write",
                                  "merge, half-way", "merge, near the end"})
            QTest::newRow(where) << QString(where);
    }
    void fullDisk() {
        QFETCH(QString, where);
        QVERIFY(makeCatalogue(kCards, "Cat-pw1"));
        const QByteArray bytes = readFileBytes(catalogue());
        const QStringList before = storedCards(catalogue(), "Cat-pw1");
        const MergeScenario s = mergeScenario(before);
        QVERIFY(writeFileBytes(at("newer.csv"), s.csv));
        const auto runMerge = [&](const QString& lastTitle) {
            ui->openFile(at("newer.csv"));
            ui->onModal([](QDialog& d) { static_cast<frmMergePreview&>(d).cmdOK->click(); });
            ui->answer(mb::AnsOK, lastTitle);
            menuItem("mnuMerge")->trigger();
        };

        // What the backup and the merge write, measured on a merge that goes through.
        start("Cat-pw1");
        const qint64 ample = qint64(1) << 40;
        qint64 backupBytes = 0, used = 0;
        {
            ScopedWriteBudget measure(ample);
            runMerge("Merge Checklist");
            used = ample - writeBudget();
        }
        backupBytes = QFileInfo(at(kBackup)).size();
        QVERIFY(backupBytes > 0 && used > backupBytes);
        close();
        restore(bytes);
        const qint64 merged = used - backupBytes;
        const qint64 budget = where == "backup, first write"  ? 0
                              : where == "backup, half-way"   ? backupBytes / 2
                              : where == "merge, first write" ? backupBytes
                              : where == "merge, half-way"    ? backupBytes + merged / 2
                                                              : used - qMax<qint64>(1, merged / 20);

        start("Cat-pw1");
        {
            ScopedWriteBudget full(budget);
            runMerge("Error in merging checklist");
        }
        QVERIFY2(lastBox().contains("full", Qt::CaseInsensitive), qPrintable(lastBox()));
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
        QCOMPARE(w->fgdCards->Rows(), kCards + 1);
        w->cmdQuery->click(); // the window still works
        QVERIFY(w->windowTitle().startsWith("Korvessa Database - (Matches returned="));
        close();
        QCOMPARE(storedCards(catalogue(), "Cat-pw1"), before);
        if (where.startsWith("backup")) QCOMPARE(backupFiles(), QStringList());
    }

    // The summary's numbers against the test's own count of the same file, the rows the
    // grid shows, the clipboard's text, no default button and Esc.
    void summary_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << QString();
        QTest::newRow("encrypted") << "Cat-pw1";
    }
    void summary() {
        QFETCH(QString, password);
        QVERIFY(makeCatalogue(300, password));
        if (password.isEmpty()) {
            // letter case makes no other group; an empty category is a group of its own
            QVERIFY(runSql(catalogue(), "UPDATE tblKRVS101 SET Series = 'vex' WHERE DbId IN "
                                        "(SELECT DbId FROM tblKRVS101 WHERE Series = 'VEX' "
                                        "LIMIT 3);"));
            QVERIFY(runSql(catalogue(), "UPDATE tblKRVS101 SET Category = NULL WHERE DbId = 7;"));
        }
        // The test's own count: per series and category, case folded, in name order.
        struct Count {
            QString name;
            qint64 owned = 0, total = 0;
            QMap<QString, int> spellings;
        };
        QMap<QString, Count> series, categories;
        Count all{};
        for (const QString& line : storedCards(catalogue(), password)) {
            const QStringList f = line.split('|');
            const bool own = f[7] == "True";
            for (auto [map, value] : {std::pair{&series, f[5]}, std::pair{&categories, f[4]}}) {
                Count& c = (*map)[value.toCaseFolded()];
                if (++c.spellings[value] > c.spellings.value(c.name)) c.name = value;
                c.owned += own;
                ++c.total;
            }
            all.owned += own;
            ++all.total;
        }
        QCOMPARE(all.total, 300);
        if (password.isEmpty()) QCOMPARE(series.size(), 4);

        start(password);
        w->cmdQuery->click(); // the default search: some of the cards
        Count shown{};
        for (int r = 1; r < w->fgdCards->Rows(); ++r) {
            shown.owned += w->fgdCards->TextMatrix(r, 7) == "True";
            ++shown.total;
        }
        QVERIFY(shown.total > 0 && shown.total < all.total);

        const QLocale locale = QLocale::system();
        QStringList rows, clipboard{"Group\tName\tOwned\tTotal\tPercent"};
        const auto expect = [&](const QString& group, const QString& name, const Count& c,
                                const QString& shownName) {
            const double pct = c.total ? 100.0 * double(c.owned) / double(c.total) : 0;
            rows << QStringList{group, shownName, locale.toString(c.owned),
                                locale.toString(c.total), locale.toString(pct, 'f', 1) + '%'}
                        .join('|');
            clipboard << QStringList{group, name, QString::number(c.owned),
                                     QString::number(c.total), QString::number(pct, 'f', 1)}
                             .join('\t');
        };
        for (const Count& c : series)
            expect("Series", c.name, c, c.name);
        for (const Count& c : categories)
            expect("Category", c.name, c, c.name.isEmpty() ? "(empty)" : c.name);
        expect("All cards", "", all, "");
        expect("Shown in the grid", "", shown, "");

        bool shownForm = false;
        ui->onModal([&](QDialog& d) {
            auto& f = static_cast<frmSummary&>(d);
            QCOMPARE(f.windowTitle(), QString("Collection Summary"));
            QStringList table;
            for (int r = 0; r < f.tblSummary->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < 5; ++c)
                    cells << f.tblSummary->item(r, c)->text();
                table << cells.join('|');
            }
            QCOMPARE(table, rows);
            for (auto* b : f.findChildren<QPushButton*>())
                QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
            QApplication::clipboard()->clear();
            QTest::mouseClick(f.cmdCopy, Qt::LeftButton);
            QCOMPARE(QApplication::clipboard()->text(), clipboard.join("\r\n") + "\r\n");
            QVERIFY(f.isVisible());
            QTest::keyClick(&f, Qt::Key_Escape);
            QVERIFY(!f.isVisible());
            shownForm = true;
        });
        QAction* item = menuItem("mnuSummary");
        QVERIFY(item && item->text() == "&Collection Summary..." &&
                w->mnuTools->actions().contains(item));
        item->trigger();
        QVERIFY(shownForm);
    }
};

QTEST_MAIN(TstMergeApp)
#include "tst_merge_app.moc"
