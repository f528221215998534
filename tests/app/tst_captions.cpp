// Every caption reads whole, not cut nor covered, at each screen scale ctest sets; every
// title fits its title bar, and no caption is drawn in smaller type than its neighbours.
#include "app/frmAsk4Pwd.h"
#include "app/frmKRVS.h"
#include "details/frmDetails.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "ui/FormGeometry.h"
#include "ui/LabelFit.h"
#include "ui/QtUiServices.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "update/frmAbout.h"
#include "update/frmUpdate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace krvs;

namespace {

// "&&" is a literal ampersand, a lone "&" marks the access key.
QString plain(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// Visible, and not parked below the window's visible area.
bool onScreen(const QWidget* w) {
    return w->isVisible() &&
           w->window()->rect().contains(QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()));
}

// Where the control draws its text in its parent; *problem when it needs more room.
QRect textRect(const QWidget* w, QString* problem) {
    const QFontMetrics fm = w->fontMetrics();
    const auto check = [problem](QSize need, QSize has) {
        if (need.width() > has.width() || need.height() > has.height())
            *problem = QStringLiteral("needs %1x%2, has %3x%4")
                           .arg(need.width())
                           .arg(need.height())
                           .arg(has.width())
                           .arg(has.height());
    };
    QRect r;
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        const int m = l->margin();
        const QRect c = l->contentsRect().adjusted(m, m, -m, -m);
        const QString text = plain(l->text());
        const QSize need =
            l->wordWrap() ? fm.boundingRect(c, Qt::TextWordWrap | int(l->alignment()), text).size()
                          : QSize(fm.horizontalAdvance(text), fm.height());
        check(need, c.size());
        r = QStyle::alignedRect(l->layoutDirection(), l->alignment(), need.boundedTo(c.size()), c);
    } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        const int textWidth = fm.horizontalAdvance(plain(b->text()));
        const bool isCheck = qobject_cast<const QCheckBox*>(w);
        if (isCheck || qobject_cast<const QRadioButton*>(w)) {
            QStyleOptionButton opt;
            opt.initFrom(b);
            const QRect c = b->style()->subElementRect(
                isCheck ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &opt, b);
            r = QRect(c.left(), c.top(), textWidth, c.height());
            check(QSize(b->sizeHint().width(), fm.height()), b->size());
        } else { // a push button: the caption inside its frame
            const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
            const QRect c = b->rect().adjusted(frame, 0, -frame, 0);
            check(QSize(textWidth, fm.ascent() + fm.descent()), c.size());
            r = QStyle::alignedRect(b->layoutDirection(), Qt::AlignCenter,
                                    QSize(textWidth, fm.height()).boundedTo(c.size()), c);
        }
    }
    return r.translated(w->pos());
}

// Every cut or covered caption of the window, one line each.
QStringList captionFaults(QWidget* window) {
    QStringList faults;
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        const bool isLabel = qobject_cast<QLabel*>(w) != nullptr;
        if (!isLabel && !qobject_cast<QAbstractButton*>(w)) continue;
        if (!onScreen(w)) continue;
        const QString text =
            isLabel ? static_cast<QLabel*>(w)->text() : static_cast<QAbstractButton*>(w)->text();
        if (text.isEmpty()) continue;
        const QString name = window->objectName() + QLatin1Char('.') + w->objectName();
        QString problem;
        const QRect r = textRect(w, &problem);
        if (!problem.isEmpty()) faults << name + QStringLiteral(": cut off, ") + problem;
        if (!w->parentWidget()) continue;
        const QObjectList siblings = w->parentWidget()->children();
        const qsizetype own = siblings.indexOf(w);
        for (qsizetype i = 0; i < siblings.size(); ++i) {
            auto* sibling = qobject_cast<QWidget*>(siblings[i]);
            if (!sibling || sibling == w || !sibling->isVisible() || sibling->isWindow()) continue;
            // A backdrop drawn first and holding the whole caption covers nothing.
            if (i < own && sibling->geometry().contains(r)) continue;
            if (sibling->geometry().intersects(r))
                faults << name + QStringLiteral(": caption under ") + sibling->objectName();
        }
    }
    return faults;
}

// Every caption in smaller type than the one its parent gives it (a caption shrunk to fit
// its room beside neighbours at full size); headings in larger type are design.
QStringList shrunkCaptions(QWidget* window) {
    QStringList faults;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
        if (!onScreen(w) || !w->parentWidget()) continue;
        const qreal own = w->font().pointSizeF(), given = w->parentWidget()->font().pointSizeF();
        if (own < given)
            faults << QStringLiteral("%1.%2: %3 pt beside %4 pt")
                          .arg(window->objectName(), w->objectName())
                          .arg(own)
                          .arg(given);
    }
    return faults;
}

// A fixed dialog or box: no minimise or maximise button, no resizing, and wide enough for
// its whole title in the title bar.
QStringList frameFaults(QWidget* window) {
    QStringList faults;
    const QString name = window->objectName() + QLatin1Char(' ') + window->windowTitle();
    const Qt::WindowFlags flags = window->windowFlags();
    if (flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
        faults << name + QStringLiteral(": minimise or maximise button");
    if (window->minimumSize() != window->maximumSize())
        faults << name + QStringLiteral(": not of fixed size");
    if (window->width() < titleBarWidth(window))
        faults << name + QStringLiteral(": %1 px wide, the title needs %2")
                             .arg(window->width())
                             .arg(titleBarWidth(window));
    return faults;
}

} // namespace

// The windows as they are designed: the main window before a catalogue is loaded.
class TestCaptions : public QObject, test::AppFixture {
    Q_OBJECT

    void check(QWidget* window) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QStringList faults = captionFaults(window) + shrunkCaptions(window);
        if (window != w.get()) faults << frameFaults(window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

  private slots:
    void initTestCase() {
        useProgramFont();
        begin();
        w = std::make_unique<frmKRVS>(folder->path(), QStringLiteral("KRVS"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanupTestCase() { QVERIFY2(end(), qPrintable(problems())); }

    void windowsShowEveryCaptionWhole_data() {
        QTest::addColumn<QString>("window");
        for (const char* name : {"frmKRVS-simple", "frmKRVS-advanced", "frmAsk4Pwd",
                                 "frmPassword-set", "frmPassword-change", "frmPassword-disable",
                                 "frmDetails", "frmUpdate", "frmUpdate-news", "frmAbout"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void windowsShowEveryCaptionWhole() {
        QFETCH(QString, window);
        if (window.startsWith(QLatin1String("frmKRVS"))) {
            const bool advanced = window.endsWith(QLatin1String("advanced"));
            if (advanced != (w->cmdAdv->text() != QLatin1String("Go To &Advanced")))
                QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
            check(w.get());
        } else if (window == QLatin1String("frmAsk4Pwd")) {
            frmAsk4Pwd form(w.get());
            check(&form);
        } else if (window.startsWith(QLatin1String("frmPassword"))) {
            // A catalogue with no password gives the set mode, one with a password the others.
            const QString password =
                window.endsWith(QLatin1String("set")) ? QString() : QStringLiteral("xxxx");
            const QString file = folder->dir.filePath(QStringLiteral("captions.krv"));
            QFile::remove(file);
            QVERIFY(test::copyOfCatalogue(file, 2, password));
            Catalogue catalogue;
            catalogue.open(file, password);
            frmPassword form(catalogue, w->mnuPass, w.get());
            form.show();
            if (window.endsWith(QLatin1String("disable")))
                QTest::mouseClick(form.chkDisPass, Qt::LeftButton, {},
                                  QPoint(4, form.chkDisPass->height() / 2));
            check(&form);
        } else if (window == QLatin1String("frmDetails")) {
            Card card;
            card.DbId = 12;
            card.Index = QStringLiteral("VEX 12");
            Catalogue none;
            frmDetails form(none, card, {}, w.get());
            check(&form);
        } else if (window.startsWith(QLatin1String("frmUpdate"))) {
            frmUpdate form(w.get(), w.get());
            if (window.endsWith(QLatin1String("news"))) {
                // a newer release named in the title; grown to show the news and the
                // download button
                form.setWindowTitle(QStringLiteral("Update available from v0.80.0 to v0.81.0"));
                SetClientSize(&form, frmUpdate::ClientWidth, frmUpdate::LargeHeight);
                form.cmdDown->setEnabled(true);
            }
            check(&form);
        } else {
            frmAbout form(w.get(), w.get());
            check(&form);
        }
    }

    // The real boxes, as the program shows them, with the shortest texts they carry.
    void messageBoxesShowTheirWholeTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        const int stop = mb::Critical, info = mb::Information;
        QTest::newRow("query") << "Error in Query"
                               << "5\r\nx" << stop;
        QTest::newRow("double click") << "DblClick Error"
                                      << "5\r\nx" << stop;
        QTest::newRow("dump") << "Error in dump-to-text"
                              << "57\r\nx" << stop;
        QTest::newRow("db mode") << "DB mode"
                                 << "x" << stop;
        QTest::newRow("own") << "Own field update"
                             << "The update was successful." << info;
        QTest::newRow("question") << "User comment update"
                                  << "x" << int(mb::YesNo | info);
        QTest::newRow("update") << "KRVS update"
                                << "x" << info;
        QTest::newRow("shell") << "Shell execute failed..."
                               << "x\r\n"
                               << stop;
    }
    void messageBoxesShowTheirWholeTitle() {
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, flags);
        QStringList faults;
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QTRY_VERIFY(box->isVisible());
            seen = box->windowTitle() == title;
            faults = frameFaults(box);
            box->close();
        });
        QtUiServices().msgBox(text, flags, title);
        QVERIFY(seen);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
