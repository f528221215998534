// Own set on every card from the grid's pop-up menu: kept in groups, stoppable, the window alive.
#include "app/BusyProgress.h"
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/PaintCounter.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 3000;

// Own of every card in DbId order as the file holds it, read with the bare engine.
QString ownInFile(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    QString own;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT Own FROM tblKRVS101 ORDER BY DbId;", -1, &st, nullptr) ==
            SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            own += sqlite3_column_int(st, 0) ? QLatin1Char('T') : QLatin1Char('F');
    sqlite3_finalize(st);
    sqlite3_close(db);
    return own;
}

// How the progress box is stopped.
enum class StopBy { Button, SpaceOnFocus, Esc, ClosingTheBox };

} // namespace

class TestBulkOwn : public QObject, AppFixture {
    Q_OBJECT
    LongWorkTiming saved;

    FlexGrid* grid() const { return w->fgdCards; }
    QPoint cell(int row, int col) const {
        return grid()->visualRect(grid()->model()->index(row - 1, col)).center();
    }
    // Own as the grid shows it, row by row.
    QString ownInGrid() const {
        QString t;
        for (int r = 1; r < grid()->Rows(); ++r)
            t += grid()->TextMatrix(r, 7) == "True" ? 'T' : 'F';
        return t;
    }
    // Selects every row as the user does (a click on the first row, Shift and a click on
    // the last), opens the pop-up menu on the selection and chooses Own=YES or Own=NO.
    void chooseForAllRows(bool own) {
        QWidget* view = grid()->viewport();
        grid()->verticalScrollBar()->setValue(0);
        QTest::mouseClick(view, Qt::LeftButton, {}, cell(1, 3));
        grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
        const int last = grid()->Rows() - 1;
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, cell(last, 3));
        QCOMPARE(qMin(grid()->Row(), grid()->RowSel()), 1);
        QCOMPARE(qMax(grid()->Row(), grid()->RowSel()), last);
        QTest::mousePress(view, Qt::RightButton, {}, cell(last, 3));
        QMenu* menu = w->mnuPopUp1;
        QTRY_VERIFY(menu->isVisible());
        QAction* item = w->mnuStuff[own ? 2 : 3];
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }
    const ShownBox& box(int i) const { return ui->boxes.at(i); }
    // Two clicks on the DbId header: the grid by DbId, descending.
    void sortByDbIdDescending() {
        QHeaderView* h = grid()->horizontalHeader();
        const QPoint at(h->sectionViewportPosition(0) + h->sectionSize(0) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(grid()->TextMatrix(0, 0), QString("DbId v"));
        QCOMPARE(grid()->TextMatrix(1, 0), QString::number(kCards));
    }

  private slots:
    void init() {
        saved = longWorkTiming();
        begin();
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() {
        longWorkTiming() = saved;
        if (w) w->mnuPopUp1->hide();
        QVERIFY2(end(), qPrintable(problems()));
    }

    // Every card set, the success box, the grid refreshed, the window as it was.
    void everyCard_data() {
        QTest::addColumn<bool>("own");
        QTest::newRow("Own=YES") << true;
        QTest::newRow("Own=NO") << false;
    }
    void everyCard() {
        QFETCH(bool, own);
        QVERIFY(runSql(catalogue(), own ? "UPDATE tblKRVS101 SET Own = 0 WHERE DbId % 3 = 0;"
                                        : "UPDATE tblKRVS101 SET Own = 1 WHERE DbId % 3 = 0;"));
        start();
        const QChar letter = own ? 'T' : 'F';
        QVERIFY(ownInGrid().contains(own ? 'F' : 'T'));
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, "Own field update");
        chooseForAllRows(own);
        QCOMPARE(ui->boxes.size(), 2);
        QVERIFY(box(0).text.endsWith(own ? "to True.  Do you want to continue?"
                                         : "to False.  Do you want to continue?"));
        QCOMPARE(box(1).text, QString("The update was successful."));
        QCOMPARE(ownInGrid(), QString(kCards, letter));
        QVERIFY(w->isEnabled() && w->MousePointer() == 0 && w->cursor().shape() != Qt::WaitCursor);
        QVERIFY(!w->findChild<BusyProgress*>());
        close();
        QCOMPARE(ownInFile(catalogue()), QString(kCards, letter));
    }

    // Stop while it works: a clean run of updated cards, a box with their number, the grid
    // showing them. Meanwhile the window paints and nothing else starts. The cards are
    // updated in DbId order whatever the grid's order, so those kept are the lowest DbIds.
    void stopPartWay_data() {
        QTest::addColumn<StopBy>("by");
        QTest::addColumn<bool>("descending"); // the grid sorted by DbId, descending
        QTest::newRow("the Stop button") << StopBy::Button << false;
        QTest::newRow("Space on the focused button") << StopBy::SpaceOnFocus << false;
        QTest::newRow("Esc") << StopBy::Esc << false;
        QTest::newRow("closing the box") << StopBy::ClosingTheBox << false;
        QTest::newRow("the Stop button, grid by DbId descending") << StopBy::Button << true;
    }
    void stopPartWay() {
        QFETCH(StopBy, by);
        QFETCH(bool, descending);
        // Small groups and the box at once, so that a small catalogue shows both.
        longWorkTiming().groups = {1, 20};
        longWorkTiming().showAfterMs = 0;
        QVERIFY(runSql(catalogue(), "UPDATE tblKRVS101 SET Own = 0;"));
        start();
        const QString title = w->windowTitle();
        QCOMPARE(title, loadedTitle(kCards));
        if (descending) sortByDbIdDescending();

        PaintCounter barPaints, gridPaints;
        BusyProgress* progress = nullptr;
        int ticks = 0, gridPaintsAsked = -1, gridPaintsSeen = -1;
        bool busy = true, stopped = false;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (!progress) {
                progress = w->findChild<BusyProgress*>();
                if (!progress) return;
                progress->barProgress->installEventFilter(&barPaints);
                grid()->viewport()->installEventFilter(&gridPaints);
            }
            if (!progress->isVisible() || stopped) return;
            // Busy: window disabled under the hourglass; the box usable.
            busy = busy && !w->isEnabled() && w->cursor().shape() == Qt::WaitCursor &&
                   progress->isEnabled() && progress->cmdStop->isEnabled();
            switch (++ticks) {
            case 1: // a second command tried by mouse and keyboard
                QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
                QTest::keyClick(w->cboSearch, Qt::Key_Return);
                QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, cell(2, 3));
                QTest::keyClick(w.get(), Qt::Key_F, Qt::AltModifier);
                gridPaintsAsked = gridPaints.paints;
                grid()->viewport()->update();
                break;
            case 2:
                break;
            case 3:
                gridPaintsSeen = gridPaints.paints;
                stopped = true;
                switch (by) {
                case StopBy::Button:
                    QTest::mouseClick(progress->cmdStop, Qt::LeftButton);
                    break;
                case StopBy::SpaceOnFocus:
                    QVERIFY(progress->focusWidget() == progress->cmdStop);
                    QTest::keyClick(progress->focusWidget(), Qt::Key_Space);
                    break;
                case StopBy::Esc:
                    QTest::keyClick(progress, Qt::Key_Escape);
                    break;
                case StopBy::ClosingTheBox:
                    progress->close();
                    break;
                }
                break;
            }
        });
        tick.start();
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, "Own field update stopped");
        chooseForAllRows(true);
        tick.stop();

        QVERIFY2(stopped, "the progress box never showed");
        QVERIFY(busy);
        QVERIFY2(barPaints.paints > 0, "the progress bar was never painted");
        QVERIFY2(gridPaintsSeen > gridPaintsAsked, "the window did not paint while it worked");
        QCOMPARE(ui->titles(), QStringList({"Own field update", "Own field update stopped"}));
        static const QRegularExpression re("^The update was stopped: (\\d+) of 3000 cards were "
                                           "updated\\.$");
        const auto m = re.match(box(1).text);
        QVERIFY2(m.hasMatch(), qPrintable(box(1).text));
        const int done = m.captured(1).toInt();
        QVERIFY2(done > 0 && done < kCards, qPrintable(box(1).text));
        const QString expected = QString(done, 'T') + QString(kCards - done, 'F');
        QCOMPARE(ownInGrid(), expected); // the grid refreshed, in DbId order
        QCOMPARE(w->windowTitle(), title);
        QVERIFY(w->isEnabled() && w->MousePointer() == 0);
        QTRY_VERIFY(!w->findChild<BusyProgress*>());
        QVERIFY(!w->mnuPopUp1->isVisible());
        close();
        QCOMPARE(ownInFile(catalogue()), expected);
    }

    // A card the engine refuses part-way: the cards before it (by DbId) kept, the rest
    // untouched, the grid as it was.
    void failurePartWay_data() {
        QTest::addColumn<bool>("descending"); // the grid sorted by DbId, descending
        QTest::newRow("grid by DbId") << false;
        QTest::newRow("grid by DbId descending") << true;
    }
    void failurePartWay() {
        QFETCH(bool, descending);
        longWorkTiming().groups = {1, 20};
        QVERIFY(runSql(catalogue(), "UPDATE tblKRVS101 SET Own = 0;"));
        QVERIFY(runSql(catalogue(),
                       "CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 WHEN OLD.DbId = 1234 "
                       "BEGIN SELECT RAISE(ABORT, 'card 1234 is locked'); END;"));
        start();
        if (descending) sortByDbIdDescending();
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, "Error in updating Own field");
        chooseForAllRows(true);
        QVERIFY2(box(1).text.contains("card 1234 is locked"), qPrintable(box(1).text));
        QCOMPARE(ownInGrid(), QString(kCards, 'F')); // not refreshed
        QVERIFY(w->isEnabled() && w->MousePointer() == 0);
        close();
        QCOMPARE(ownInFile(catalogue()), QString(1233, 'T') + QString(kCards - 1233, 'F'));
    }
};

QTEST_MAIN(TestBulkOwn)
#include "tst_bulk_own.moc"
