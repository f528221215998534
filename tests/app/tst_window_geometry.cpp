// The placement over starts, with frames too under a window manager (scripts/test-wm.sh).
#include "app/frmKRVS.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "ui/Twips.h"

#include <QRegularExpression>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

namespace {
// Left, Top, Width, Height and Maximized as the settings file holds them.
QString stored(const QString& iniFile) {
    const QString ini = QString::fromUtf8(readFileBytes(iniFile));
    QStringList out;
    for (const char* key : {"Left", "Top", "Width", "Height", "Maximized"})
        out << QRegularExpression(QString("^%1=(.*)\\r$").arg(key),
                                  QRegularExpression::MultilineOption)
                   .match(ini)
                   .captured(1);
    return out.join(',');
}
} // namespace

class TestWindowGeometry : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() { begin(); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    void placementOverStarts_data() {
        QTest::addColumn<int>("closedAs"); // the state the second start ends in
        QTest::newRow("normal") << int(Qt::WindowNoState);
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
    }
    void placementOverStarts() {
        QFETCH(int, closedAs);
        QVERIFY(makeCatalogue(3));

        // First start: the user places it, well inside the 800 by 600 headless screen.
        start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->move(twipsToPx(600), twipsToPx(450));
        w->resize(twipsToPx(11010), twipsToPx(7200));
        QTRY_COMPARE(w->frameGeometry().topLeft(), QPoint(twipsToPx(600), twipsToPx(450)));
        QTRY_COMPARE(w->geometry().size(), QSize(twipsToPx(11010), twipsToPx(7200)));
        const QRect placed = w->frameGeometry();
        close();
        const QString place = QString("%1,%2,%3,%4,")
                                  .arg(pxToTwips(placed.x()))
                                  .arg(pxToTwips(placed.y()))
                                  .arg(pxToTwips(placed.width()))
                                  .arg(pxToTwips(placed.height()));
        QCOMPARE(stored(iniFile()), place + "False");

        // The same frame every time, never grown; closed minimised comes back normal.
        const bool maximised = closedAs == Qt::WindowMaximized;
        for (int run = 2; run <= (maximised ? 5 : 4); ++run) {
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
            } else if (run == 5) {
                w->showNormal();
                QTRY_COMPARE(w->frameGeometry(), placed);
            }
            close();
            QCOMPARE(stored(iniFile()), place + (maximised && run < 5 ? "True" : "False"));
        }
    }
};

QTEST_MAIN(TestWindowGeometry)
#include "tst_window_geometry.moc"
