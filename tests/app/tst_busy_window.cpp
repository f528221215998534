// Backup, compaction and export keep the window alive while they work: it repaints, a
// progress box shows, and no second command starts; the file they write is whole.
#include "app/BusyProgress.h"
#include "app/frmKRVS.h"
#include "export/ResultsExport.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/PaintCounter.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 3000;

// What the test saw of the window and the box while the command worked.
struct Seen {
    bool boxShown = false;
    bool stopShown = false;
    bool busy = true; // hourglass all along
    int barMaximum = -1;
    int barValue = 0;
    int ticks = 0;
    int gridPaintsAsked = -1;
    int gridPaintsSeen = -1;
    bool menuOpened = false;
};

} // namespace

class TestBusyWindow : public QObject, AppFixture {
    Q_OBJECT
    LongWorkTiming saved;

    FlexGrid* grid() const { return w->fgdCards; }

  private slots:
    void init() {
        saved = longWorkTiming();
        begin();
        ui->setNow(QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6)));
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() {
        longWorkTiming() = saved;
        QVERIFY2(end(), qPrintable(problems()));
    }

    void whileItWorks_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("lengthKnown");
        QTest::newRow("backup") << "backup"
                                << "backup/copy.krv" << QStringList{"Success"} << true;
        QTest::newRow("compaction")
            << "compaction" << QString() << QStringList{"Compact successful"} << false;
        QTest::newRow("export as text") << "text"
                                        << "list.txt" << QStringList{"View file?"} << true;
        QTest::newRow("export as CSV") << "CSV"
                                       << "list.csv" << QStringList{"View file?"} << true;
    }
    void whileItWorks() {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QStringList, boxes);
        QFETCH(bool, lengthKnown);
        // Small blocks, frequent events and the box at once, so a small catalogue shows all.
        longWorkTiming().showAfterMs = 0;
        longWorkTiming().eventsEveryMs = 0;
        longWorkTiming().copyBlock = 4096;
        start();
        const bool exporting = command == "text" || command == "CSV";
        QByteArray expected; // the export as the grid shows it before the command
        if (exporting) {
            const FlexGrid* g = grid();
            GridSource source;
            source.rows = [g] { return g->Rows(); };
            source.cols = [g] { return g->Cols(); };
            source.textMatrix = [g](int r, int c) { return g->TextMatrix(r, c); };
            source.colWidth = [g](int c) { return g->ColWidth(c); };
            TextEncoder encoder;
            expected = exportBytes(command == "text" ? 1 : 2, source,
                                   {w->windowTitle(), catalogue(), ui->now()}, encoder);
        }

        PaintCounter gridPaints;
        grid()->viewport()->installEventFilter(&gridPaints);
        Seen seen;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, this, [&] {
            auto* progress = w->findChild<BusyProgress*>();
            if (!progress || !progress->isVisible()) return;
            seen.boxShown = true;
            seen.stopShown = seen.stopShown || progress->cmdStop->isVisible();
            seen.busy = seen.busy && w->cursor().shape() == Qt::WaitCursor;
            seen.barMaximum = progress->barProgress->maximum();
            seen.barValue = qMax(seen.barValue, progress->barProgress->value());
            seen.menuOpened = seen.menuOpened || QApplication::activePopupWidget();
            switch (++seen.ticks) {
            case 1: // a second command tried by mouse and keyboard
                QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
                QTest::keyClick(w->cboSearch, Qt::Key_Return);
                QTest::keyClick(w.get(), Qt::Key_F, Qt::AltModifier);
                QTest::keyClick(progress, Qt::Key_Escape); // asks nothing of work without Stop
                seen.gridPaintsAsked = gridPaints.paints;
                grid()->viewport()->update();
                break;
            case 3:
                seen.gridPaintsSeen = gridPaints.paints;
                break;
            default:
                break;
            }
        });
        tick.start();
        if (!file.isEmpty()) ui->saveAs(at(file));
        for (const QString& title : boxes)
            ui->answer(title == "View file?" ? mb::AnsNo : mb::AnsOK, title);
        (command == "backup"       ? w->mnuBakDB
         : command == "compaction" ? w->mnuCompact
                                   : w->mnuSaveIt[command == "CSV" ? 1 : 0])
            ->trigger();
        tick.stop();

        QVERIFY2(seen.boxShown, "the progress box never showed");
        QVERIFY2(seen.ticks >= 3, "the window's events ran too seldom to see it paint");
        QVERIFY2(seen.gridPaintsSeen > seen.gridPaintsAsked,
                 "the window did not paint while it worked");
        QVERIFY(seen.busy);
        QVERIFY2(!seen.stopShown, "work that cannot stop offered Stop");
        QVERIFY2(!seen.menuOpened, "a menu opened while the command worked");
        if (lengthKnown) {
            QVERIFY2(seen.barMaximum > 1 && seen.barValue > 0, "the bar showed no progress");
        } else {
            QCOMPARE(seen.barMaximum, 0); // a busy bar: the length is not known
        }
        // Nothing else ran: only the command's own boxes, the cards all shown again.
        QCOMPARE(ui->titles(), boxes);
        QVERIFY(!w->findChild<BusyProgress*>());
        QVERIFY(w->isEnabled() && w->MousePointer() == 0);
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
        queryWorks();
        close();

        if (command == "backup") QCOMPARE(cardsOrError(at(file), QString()), kCards);
        if (command == "compaction") QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
        if (exporting) QVERIFY(readFileBytes(at(file)) == expected);
    }
};

QTEST_MAIN(TestBusyWindow)
#include "tst_busy_window.moc"
