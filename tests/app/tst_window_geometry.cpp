// The window's placement over several starts: the stored size and position come back,
// the window does not grow by its frame at each start, and a window closed maximised or
// minimised keeps its normal placement. Runs headless, and under Xvfb with a real
// window manager (scripts/test-wm.sh), where windows have frames.
#include "app/frmKRVS.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "util/Twips.h"

#include <QRegularExpression>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

namespace {

// Left, Top, Width and Height as the settings file holds them.
QString storedPlacement(const QString& iniFile) {
    const QString ini = QString::fromUtf8(readFileBytes(iniFile));
    QStringList out;
    for (const char* key : {"Left", "Top", "Width", "Height"}) {
        const auto m = QRegularExpression(QString("^%1=(.*)\\r$").arg(key),
                                          QRegularExpression::MultilineOption)
                           .match(ini);
        out << (m.hasMatch() ? m.captured(1) : "?");
    }
    return out.join(',');
}

QString maximizedValue(const QString& iniFile) {
    const auto m = QRegularExpression("^Maximized=(.*)\\r$", QRegularExpression::MultilineOption)
                       .match(QString::fromUtf8(readFileBytes(iniFile)));
    return m.captured(1);
}

} // namespace

class TestWindowGeometry : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() { begin(); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    void placementOverStarts_data() {
        QTest::addColumn<int>("closedAs"); // the state the first start ends in
        QTest::newRow("normal") << int(Qt::WindowNoState);
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
    }
    void placementOverStarts() {
        QFETCH(int, closedAs);
        QVERIFY(makeCatalogue(3));

        // First start: the user places the window and closes it.
        start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // Well inside the smallest screen (the headless one is 800 by 600 pixels).
        w->move(twipsToPx(600), twipsToPx(450));
        w->resize(twipsToPx(11010), twipsToPx(7200));
        // The outer frame is where the user put it, once the window system answered.
        QTRY_COMPARE(w->frameGeometry().topLeft(), QPoint(twipsToPx(600), twipsToPx(450)));
        QTRY_COMPARE(w->geometry().size(), QSize(twipsToPx(11010), twipsToPx(7200)));
        const QRect placed = w->frameGeometry();
        close();
        const QString stored = QString("%1,%2,%3,%4")
                                   .arg(pxToTwips(placed.x()))
                                   .arg(pxToTwips(placed.y()))
                                   .arg(pxToTwips(placed.width()))
                                   .arg(pxToTwips(placed.height()));
        QCOMPARE(storedPlacement(iniFile()), stored);

        // Later starts: the same outer frame every time. The second start ends in the
        // row's state; a maximised window comes back maximised, a minimised one normal.
        const bool maximised = closedAs == Qt::WindowMaximized;
        for (int run = 2; run <= 4; ++run) {
            start();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QVERIFY(!w->isMinimized());
            if (maximised && run > 2) {
                QTRY_VERIFY(w->isMaximized());
            } else {
                QTRY_COMPARE(w->frameGeometry(), placed);
                QVERIFY(!w->isMaximized());
            }
            if (run == 2 && closedAs == Qt::WindowMaximized) {
                w->showMaximized();
                QTRY_VERIFY(w->isMaximized());
            } else if (run == 2 && closedAs == Qt::WindowMinimized) {
                w->showMinimized();
                QTRY_VERIFY(w->isMinimized());
            }
            close();
            QCOMPARE(maximizedValue(iniFile()), QString(maximised ? "True" : "False"));
            QCOMPARE(storedPlacement(iniFile()), stored);
        }
        // Brought back from maximised, the window takes its normal placement again.
        if (maximised) {
            start();
            QTRY_VERIFY(w->isMaximized());
            w->showNormal();
            QTRY_COMPARE(w->frameGeometry(), placed);
            close();
            QCOMPARE(maximizedValue(iniFile()), QString("False"));
            QCOMPARE(storedPlacement(iniFile()), stored);
        }
    }
};

QTEST_MAIN(TestWindowGeometry)
#include "tst_window_geometry.moc"
