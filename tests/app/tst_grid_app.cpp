#include "app/GridCommands.h"
#include "app/frmKRVS.h"
#include "details/frmDetails.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "ui/LabelFit.h"

#include <QScrollBar>
#include <QTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

class TestGridApp : public QObject, AppFixture {
    Q_OBJECT
    FlexGrid* grid = nullptr;

    // The main window on a fresh copy of a 20-card catalogue; sql runs on the file first.
    void start(const QString& sql = QString()) {
        QVERIFY(makeCatalogue(20) && runSql(catalogue(), sql));
        grid = AppFixture::start().fgdCards;
        QCOMPARE(grid->Rows(), 21);
    }
    // Own as stored (one letter a card in DbId order), or as the grid shows it.
    QString own(bool stored = true) {
        if (stored) return ownColumn();
        QString t;
        for (int r = 1; r < grid->Rows(); ++r)
            t += grid->TextMatrix(r, 7) == "True" ? 'T' : 'F';
        return t;
    }
    QPoint cell(int row, int col) {
        return grid->visualRect(grid->model()->index(row - 1, col)).center();
    }
    QPoint header(int col) {
        QHeaderView* h = grid->horizontalHeader();
        return {h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2};
    }
    // A double click as the window system delivers it: press, release, press, double click,
    // release, all at one place.
    // The second press may lie a few pixels away from the first.
    void doubleClick(QWidget* on, QPoint at, QPoint second = {}) {
        if (second.isNull()) second = at;
        QTest::mousePress(on, Qt::LeftButton, {}, at);
        QTest::mouseRelease(on, Qt::LeftButton, {}, at);
        QTest::mousePress(on, Qt::LeftButton, {}, second);
        QTest::mouseDClick(on, Qt::LeftButton, {}, second);
        QTest::mouseRelease(on, Qt::LeftButton, {}, second);
    }
    // The last row the viewport shows only in part, and a point in its visible part.
    int cutRow(QPoint& at) {
        const int height = grid->viewport()->height();
        for (int r = 1; r < grid->Rows(); ++r) {
            const QRect rect = grid->visualRect(grid->model()->index(r - 1, 3));
            if (rect.bottom() >= height && rect.top() < height - 2) {
                at = {rect.center().x(), (rect.top() + height) / 2};
                return r;
            }
        }
        return 0;
    }
    // Selects rows from..to and runs a bulk command answered Yes; then comes a box titled then.
    void bulk(int from, int to, int index, const char* then = "Own field update") {
        grid->setRow(from);
        grid->setRowSel(to);
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, then);
        w->mnuStuff[index]->trigger();
    }

  private slots:
    void initTestCase() { useProgramFont(); }
    void init() { begin(); }
    void cleanup() {
        if (w) w->mnuPopUp1->hide();
        QVERIFY2(end(), qPrintable(problems()));
    }

    void headerClickSorts() {
        start();
        QWidget* h = grid->horizontalHeader()->viewport();
        QTest::mouseClick(h, Qt::LeftButton, {}, header(0));
        QTest::mouseClick(h, Qt::LeftButton, {}, header(0));
        QCOMPARE(grid->TextMatrix(0, 0), QString("DbId v"));
        QCOMPARE(grid->TextMatrix(11, 0) + "," + grid->TextMatrix(12, 0), QString("10,9"));
        QCOMPARE(w->MousePointer(), 0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(2, 3)); // a data row: no sort
        QCOMPARE(grid->TextMatrix(0, 0), QString("DbId v"));
    }

    // A double click on a header sorts once, as one click does; the next click turns it round.
    void headerDoubleClickSortsOnce() {
        start();
        QWidget* h = grid->horizontalHeader()->viewport();
        doubleClick(h, header(3));
        QCOMPARE(grid->TextMatrix(0, 3), QString("Title ^"));
        QTest::mouseClick(h, Qt::LeftButton, {}, header(3));
        QCOMPARE(grid->TextMatrix(0, 3), QString("Title v"));
        doubleClick(h, header(0));
        QCOMPARE(grid->TextMatrix(0, 0) + "|" + grid->TextMatrix(0, 3), QString("DbId ^|Title"));
        QCOMPARE(grid->TextMatrix(1, 0), QString("1"));
    }

    // A row the grid shows only in part: a click does not move the grid under the pointer,
    // and a double click opens that row's card, whose Own change is written to that card.
    void cutOffRowOpensItsOwnCard_data() {
        QTest::addColumn<int>("scrolled"); // rows scrolled down first
        QTest::addColumn<bool>("drift");   // the second press lies in the row above
        QTest::newRow("top") << 0 << false;
        QTest::newRow("scrolled") << 3 << false;
        QTest::newRow("second press in the row above") << 3 << true;
    }
    void cutOffRowOpensItsOwnCard() {
        QFETCH(int, scrolled);
        QFETCH(bool, drift);
        QVERIFY(makeCatalogue(25));
        grid = AppFixture::start().fgdCards;
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QScrollBar* bar = grid->verticalScrollBar();
        QPoint at;
        int row = 0;
        const auto scrollAndFind = [&] {
            bar->setValue(scrolled);
            row = cutRow(at);
            QVERIFY2(row > 1 && row < grid->Rows() - 1, "the grid shows every row whole");
        };
        scrollAndFind();
        const QString card = grid->TextMatrix(row, 0);
        const QString before = ownColumn();
        QString shown;
        ui->onModal([&](QDialog& d) {
            auto& details = static_cast<frmDetails&>(d);
            shown = details.txtCardId->text();
            (details.optOwnYes->isChecked() ? details.optOwnNo : details.optOwnYes)->click();
            ui->answer(mb::AnsYes, "Own field update");
            ui->answer(mb::AnsOK, "Own field update");
            details.cmdUpOwn->click();
        });
        QPoint second = at;
        if (drift) {
            at.setY(grid->visualRect(grid->model()->index(row - 1, 3)).top() + 1);
            second = at - QPoint(0, 3);
            QCOMPARE(grid->rowAt(second.y()), row - 2);
        }
        doubleClick(grid->viewport(), at, second);
        QCOMPARE(shown, card);
        QString expected = before;
        const int i = card.toInt() - 1;
        expected[i] = expected[i] == 'T' ? 'F' : 'T';
        QCOMPARE(ownColumn(), expected);

        // One click selects the row and leaves the grid where it is.
        scrollAndFind();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(bar->value(), scrolled);
        QCOMPARE(grid->RowSel(), row);
    }

    // A double click or the row's menu shows its card; nothing over the header or unloaded.
    void detailsShowTheRow() {
        start();
        QStringList shown;
        const auto record = [&](QDialog& d) {
            shown << static_cast<frmDetails&>(d).txtCardId->text();
        };
        ui->onModal(record);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(4, 2));
        QCOMPARE(w->gridCommands->card().UserComments, grid->TextMatrix(4, 9));
        grid->setRow(2);
        QTest::mousePress(grid->viewport(), Qt::RightButton, {}, cell(6, 4));
        ui->onModal(record);
        w->mnuStuff[0]->trigger();
        QCOMPARE(shown, QStringList({grid->TextMatrix(4, 0), grid->TextMatrix(6, 0)}));
        QCOMPARE(QList<int>({grid->Row(), grid->RowSel(), grid->Col(), grid->ColSel()}),
                 QList<int>({6, 6, 0, grid->Cols() - 1}));

        QTest::mousePress(grid->horizontalHeader()->viewport(), Qt::RightButton, {}, header(2));
        w->mnuStuff[0]->trigger();
        grid->setRow(0);
        w->fgdCards_DblClick();
        grid->setRow(3);
        w->cmdQuery->setEnabled(false);
        w->fgdCards_DblClick();
        QCOMPARE(ui->modalForms.size(), 2);
    }

    // Rows 7 up to 3 of a sorted grid: exactly those cards, then the grid in DbId order.
    void bulkSetsTheSelectedRows() {
        start();
        for (const bool yes : {false, true}) {
            grid->setCol(0);
            grid->setColSel(0);
            grid->sort(SortKind::Numeric, SortDirection::Descending);
            QString expected = own();
            for (int r = 3; r <= 7; ++r)
                expected[grid->TextMatrix(r, 0).toInt() - 1] = yes ? 'T' : 'F';
            ui->boxes.clear();
            bulk(7, 3, yes ? 2 : 3);
            QVERIFY(ui->boxes[0].text.contains(yes ? "to True." : "to False."));
            QCOMPARE(own(), expected);
            QCOMPARE(own(false), expected);
            QCOMPARE(grid->TextMatrix(1, 0), QString("1"));
        }
        const QString before = own();
        grid->setRow(1);
        ui->answer(mb::AnsNo, "Own field update");
        w->mnuStuff_Click(2);
        QCOMPARE(own(), before);
        QVERIFY(w->isEnabled());
    }

    // One statement a card, no transaction: with card 5 refused, 3 and 4 stay written.
    void bulkFailurePartWay() {
        start("CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 WHEN OLD.DbId = 5 "
              "BEGIN SELECT RAISE(ABORT, 'card 5 is locked'); END;");
        const QString before = own();
        QString expected = before;
        expected[2] = expected[3] = 'T';
        bulk(7, 3, 2, "Error in updating Own field");
        QVERIFY2(ui->boxes[1].text.contains("card 5 is locked"), qPrintable(ui->boxes[1].text));
        QCOMPARE(own(), expected);
        QCOMPARE(own(false), before);
        QVERIFY(w->isEnabled() && w->MousePointer() == 0);
    }
};

QTEST_MAIN(TestGridApp)
#include "tst_grid_app.moc"
