#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/PaintCounter.h"

#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <thread>

using namespace krvs;
using namespace krvs::test;

namespace {
// Counts without end and holds one row at a time.
const QString kEndless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                         "SELECT count(*) FROM n;";

// Keeps a query that is never stopped from hanging the test: after 20 s it interrupts it.
struct Watchdog {
    std::atomic<bool> armed{true}, fired{false};
    std::thread thread;
    explicit Watchdog(db::Connection& c)
        : thread([this, &c] {
              for (int tick = 0; armed; ++tick) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
                  if (armed && tick >= 200) {
                      fired = true;
                      c.interrupt();
                  }
              }
          }) {}
    ~Watchdog() {
        armed = false;
        thread.join();
    }
};

void typeStatement(frmKRVS& w, const QString& sql) {
    QTest::keyClick(w.txtSQL, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.txtSQL, sql);
    QCOMPARE(w.txtSQL->toPlainText(), sql);
}
} // namespace

class TestInterrupt : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() {
        begin();
        QVERIFY(makeCatalogue(50));
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // Esc or closing stops an endless query as a failed one; the window paints, ignores input.
    void endlessQueryIsStopped_data() {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("Esc") << false;
        QTest::newRow("closing the window") << true;
    }
    void endlessQueryIsStopped() {
        QFETCH(bool, byClosing);
        start();
        QCOMPARE(w->windowTitle(), loadedTitle(50));
        const QString shown = w->g.gCurSQL;
        QVERIFY(QFile::remove(iniFile()));
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        typeStatement(*w, kEndless);

        PaintCounter counter;
        w->txtSQL->viewport()->installEventFilter(&counter);
        int paintsAsked = -1, paintsSeen = -1;
        QTimer::singleShot(300, w.get(), [&] {
            paintsAsked = counter.paints;
            w->txtSQL->viewport()->update();
            QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
            QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
            QTest::keyClicks(w->txtSQL, "typed meanwhile");
        });
        QTimer::singleShot(700, w.get(), [&] {
            paintsSeen = counter.paints;
            byClosing ? void(w->close()) : QTest::keyClick(w.get(), Qt::Key_Escape);
        });
        ui->answer(mb::AnsOK, "Error in Query");
        {
            Watchdog watchdog(w->catalogue().connection());
            QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
            QVERIFY2(!watchdog.fired, "the query was not stopped");
        }
        w->txtSQL->viewport()->removeEventFilter(&counter);

        QCOMPARE(ui->boxes[0].text, QString("-2147467259\r\ninterrupted"));
        QVERIFY2(paintsAsked >= 0 && paintsSeen > paintsAsked, "no paint during the query");
        QCOMPARE(w->fgdCards->Rows(), 2);
        for (int c = 0; c < w->fgdCards->Cols(); ++c)
            QVERIFY(w->fgdCards->TextMatrix(1, c).isEmpty());
        QCOMPARE(w->g.gCurSQL, shown);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        // nothing done meanwhile took effect
        QCOMPARE(w->txtSQL->toPlainText(), kEndless);
        QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));

        if (byClosing) {
            QTRY_VERIFY(!w->isVisible());
            QVERIFY(!w->catalogue().isOpen() &&
                    QFile::exists(iniFile())); // the catalogue released, settings saved
            w.reset();
            start();
            QCOMPARE(w->windowTitle(), loadedTitle(50));
            QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));
            return;
        }
        QTest::qWait(200);
        QVERIFY(w->isVisible());
        typeStatement(*w, "SELECT * FROM tblKRVS101 WHERE DbId <= 7;");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=7)"));
        QCOMPARE(ui->titles(), QStringList{"Error in Query"});
    }
};

QTEST_MAIN(TestInterrupt)
#include "tst_interrupt.moc"
