#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace krvs;
using namespace krvs::test;

namespace {
// Counts without end and holds one row at a time.
const QString kEndless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                         "SELECT count(*) FROM n;";

// Keeps a test whose query is never stopped from hanging: after its time it interrupts
// the connection from another thread, again until disarmed, and the test fails.
class Watchdog {
  public:
    Watchdog(db::Connection& connection, int seconds)
        : thread_([this, &connection, seconds] {
              std::unique_lock lock(mutex_);
              if (wake_.wait_for(lock, std::chrono::seconds(seconds), [this] { return !armed_; }))
                  return;
              fired_ = true;
              while (
                  !wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return !armed_; }))
                  connection.interrupt();
          }) {}
    ~Watchdog() { disarm(); }
    void disarm() {
        {
            const std::lock_guard lock(mutex_);
            armed_ = false;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    bool fired() const { return fired_; }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool armed_ = true;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// Counts the paint events of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void typeStatement(frmKRVS& w, const QString& sql) {
    QTest::keyClick(w.txtSQL, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.txtSQL, sql);
    QCOMPARE(w.txtSQL->toPlainText(), sql);
}
} // namespace

class TestInterrupt : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<AppFolder> folder;

  private slots:
    void init() {
        ui = std::make_unique<ScriptedUi>();
        folder = std::make_unique<AppFolder>();
        folder->skipFirstStartWarning();
        QVERIFY(makeCatalogue(folder->catalogue(), 50));
    }
    void cleanup() {
        folder.reset();
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    // An endless typed statement is stopped by Esc or by closing the window. Meanwhile
    // the window paints and its timers run, but clicks and typing start nothing. The
    // query ends as a failed one: its box with the engine's "interrupted", the grid
    // cleared, the statement of the grid unchanged. After Esc the program goes on;
    // after a close the window closes as always, its settings written.
    void endlessQueryIsStopped_data() {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("Esc") << false;
        QTest::newRow("closing the window") << true;
    }
    void endlessQueryIsStopped() {
        QFETCH(bool, byClosing);
        auto w = std::make_unique<frmKRVS>(folder->path(), "KRVS");
        w->Form_Load();
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Total records=50)"));
        const QString shown = w->g.gCurSQL;
        QVERIFY(QFile::remove(folder->iniFile()));

        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));
        typeStatement(*w, kEndless);

        PaintCounter counter;
        w->txtSQL->viewport()->installEventFilter(&counter);
        int paintsAsked = -1, paintsSeen = -1;
        // While the query runs: ask for a paint, try to start other commands, then stop it.
        QTimer::singleShot(300, w.get(), [&] {
            paintsAsked = counter.paints;
            w->txtSQL->viewport()->update();
            QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
            QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
            QTest::keyClicks(w->txtSQL, "typed meanwhile");
        });
        QTimer::singleShot(700, w.get(), [&] {
            paintsSeen = counter.paints;
            if (byClosing)
                w->close();
            else
                QTest::keyClick(w.get(), Qt::Key_Escape);
        });

        ui->answer(mb::AnsOK, "Error in Query");
        {
            Watchdog watchdog(*w->g.gConn, 20);
            QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
            watchdog.disarm();
            QVERIFY2(!watchdog.fired(), "the query was not stopped");
        }
        w->txtSQL->viewport()->removeEventFilter(&counter);

        QCOMPARE(ui->titles(), QStringList{"Error in Query"});
        QCOMPARE(ui->boxes[0].text, QString("-2147467259\r\ninterrupted"));
        QVERIFY2(paintsAsked >= 0 && paintsSeen > paintsAsked, "no paint during the query");
        QCOMPARE(w->fgdCards->Rows(), 2);
        for (int c = 0; c < w->fgdCards->Cols(); ++c)
            QVERIFY(w->fgdCards->TextMatrix(1, c).isEmpty());
        QCOMPARE(w->g.gCurSQL, shown);
        QCOMPARE(w->mSQL, kEndless);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        // nothing done meanwhile took effect
        QCOMPARE(w->txtSQL->toPlainText(), kEndless);
        QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));

        if (byClosing) {
            QTRY_VERIFY(!w->isVisible());
            QVERIFY(!w->g.gConn); // shut down: the catalogue released
            QVERIFY(QFile::exists(folder->iniFile()));
            w.reset();
            frmKRVS again(folder->path(), "KRVS");
            again.Form_Load();
            QCOMPARE(again.windowTitle(), QString("Korvessa Database - (Total records=50)"));
            QCOMPARE(again.cmdAdv->text(), QString("Go To S&imple")); // the mode was saved
            return;
        }
        QTest::qWait(200); // the window stays open
        QVERIFY(w->isVisible());
        typeStatement(*w, "SELECT * FROM tblKRVS101 WHERE DbId <= 7;");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=7)"));
        QCOMPARE(w->g.gCurSQL, QString("SELECT * FROM tblKRVS101 WHERE DbId <= 7;"));
        QCOMPARE(ui->boxes.size(), 1);
    }
};

QTEST_MAIN(TestInterrupt)
#include "tst_interrupt.moc"
