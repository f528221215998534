#include "ScriptedUi.h"
#include "search/FlexGrid.h"
#include "search/FlexGridModel.h"
#include "search/SortFlexP.h"
#include "util/Twips.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <numeric>

using namespace krvs;
using namespace krvs::test;

namespace {

std::shared_ptr<const db::RowSet> makeRows(const QStringList& fields,
                                           const QList<QStringList>& rows) {
    auto rs = std::make_shared<db::RowSet>();
    rs->fields = fields;
    for (const QStringList& row : rows) {
        for (const QString& cell : row)
            rs->appendCell(cell.toStdString());
        rs->endRow();
    }
    return rs;
}

// The texts of one column, data rows only, in grid order.
QStringList column(const FlexGrid& g, int col) {
    QStringList out;
    for (int r = 1; r < g.Rows(); ++r)
        out << g.TextMatrix(r, col);
    return out;
}

QStringList headers(const FlexGrid& g) {
    QStringList out;
    for (int c = 0; c < g.Cols(); ++c)
        out << g.TextMatrix(0, c);
    return out;
}

// Ten card fields; DbId and Index chosen so that a text sort of DbId or a numeric
// sort of Index gives a different order than the right one.
std::shared_ptr<const db::RowSet> cards() {
    const QStringList f = {"DbId",   "Index",  "CardType", "Title",      "Category",
                           "Series", "Season", "Own",      "DBComments", "UserComments"};
    auto card = [](const char* id, const char* index, const char* title) {
        return QStringList{id, index, "T", title, "Crew", "VEX", "1", "False", "", ""};
    };
    return makeRows(f, {card("10", "2", "beta"), card("2", "10", "Alpha"), card("33", "B", "alpha"),
                        card("1", "a", "Gamma")});
}

QPoint cellCentre(const FlexGrid& g, int row, int col) {
    return g.visualRect(g.model()->index(row - 1, col)).center();
}

} // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<FlexGrid> grid;

    // Binds one column of cells plus a second column holding each row's original
    // position, sorts by the first column, and returns the positions in grid order.
    QStringList sortedPositions(const QStringList& cells, int code) {
        QList<QStringList> rows;
        for (int i = 0; i < cells.size(); ++i)
            rows << QStringList{cells[i], QString::number(i)};
        grid->setDataSource(makeRows({"Key", "Pos"}, rows));
        grid->setCol(0);
        grid->setColSel(0);
        grid->setSort(code);
        return column(*grid, 1);
    }

  private slots:
    void init() {
        ui = std::make_unique<ScriptedUi>();
        grid = std::make_unique<FlexGrid>();
        grid->resize(900, 400);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    }
    void cleanup() {
        grid.reset();
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    void shapeBindingAndClear() {
        // Design shape: header row and one empty row, ten columns.
        QCOMPARE(grid->Rows(), 2);
        QCOMPARE(grid->Cols(), 10);
        QCOMPARE(grid->TextMatrix(1, 9), QString());

        grid->setColWidth(1, 2000);
        grid->setDataSource(makeRows({"A", "B", "C"}, {{"a1", "b1", "c1"}, {"a2", "", "c2"}}));
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(grid->Cols(), 3);
        QCOMPARE(headers(*grid), (QStringList{"A", "B", "C"}));
        QCOMPARE(grid->TextMatrix(2, 2), QString("c2"));
        QCOMPARE(grid->TextMatrix(2, 1), QString());
        QCOMPARE(grid->model()->columnCount(), 3);
        QCOMPARE(grid->ColWidth(1), 2000); // widths survive a new binding
        QCOMPARE(grid->Row(), 1);
        QCOMPARE(grid->RowSel(), 1);

        // Written cells win over the bound text and survive a sort with their row.
        grid->setTextMatrix(1, 1, "zz written");
        grid->setTextMatrix(0, 2, "C ^");
        QCOMPARE(grid->TextMatrix(1, 1), QString("zz written"));
        QCOMPARE(grid->TextMatrix(0, 2), QString("C ^"));
        grid->setCol(1);
        grid->setColSel(1);
        grid->setSort(8);
        QCOMPARE(column(*grid, 0), (QStringList{"a1", "a2"}));
        grid->setSort(7);
        QCOMPARE(column(*grid, 1), (QStringList{"", "zz written"}));
        QCOMPARE(column(*grid, 0), (QStringList{"a2", "a1"}));

        // Clear empties every cell, header included; the shape stays.
        grid->Clear();
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(grid->Cols(), 3);
        QCOMPARE(headers(*grid), (QStringList{"", "", ""}));
        QCOMPARE(column(*grid, 1), (QStringList{"", ""}));

        grid->setRows(2);
        QCOMPARE(grid->Rows(), 2);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->Row(), 1);
        grid->setRows(4);
        QCOMPARE(column(*grid, 0), (QStringList{"", "", ""}));

        // An empty result: the header only.
        grid->setDataSource(makeRows({"X"}, {}));
        QCOMPARE(grid->Rows(), 1);
        QCOMPARE(grid->Row(), 0);
        QCOMPARE(grid->RowSel(), 0);
        QCOMPARE(grid->TextMatrix(0, 0), QString("X"));
    }

    void sortCodes_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("order"); // original positions in sorted order

        const QStringList numbers = {"10", "2", "x", "-1.5", "1e1", " 3 "};
        // Numbers by value, other text counts as 0; equal keys keep their order.
        QTest::newRow("numeric asc") << numbers << 3 << QStringList{"3", "2", "1", "5", "0", "4"};
        QTest::newRow("numeric desc") << numbers << 4 << QStringList{"0", "4", "5", "1", "2", "3"};

        const QStringList text = {"b", "10", "B", "a", "2", "b"};
        // Code points: digits, then capitals, then small letters; "10" before "2".
        QTest::newRow("text asc") << text << 7 << QStringList{"1", "4", "2", "3", "0", "5"};
        QTest::newRow("text desc") << text << 8 << QStringList{"0", "5", "3", "2", "4", "1"};

        const QStringList mixed = {"b", "10", "A", "", "2", "a", "B"};
        // Numbers first by value, then text ignoring case (the empty text first).
        QTest::newRow("generic asc")
            << mixed << 1 << QStringList{"4", "1", "3", "2", "5", "0", "6"};
        QTest::newRow("generic desc")
            << mixed << 2 << QStringList{"0", "6", "2", "5", "3", "1", "4"};

        const QStringList folded = {"\u00c4b", "\u00e4a", "Zed", "apple"};
        QTest::newRow("generic folds non-ASCII") << folded << 1 << QStringList{"3", "2", "1", "0"};

        QTest::newRow("unknown code keeps order")
            << text << 5 << QStringList{"0", "1", "2", "3", "4", "5"};
    }
    void sortCodes() {
        QFETCH(QStringList, cells);
        QFETCH(int, code);
        QFETCH(QStringList, order);
        QCOMPARE(sortedPositions(cells, code), order);
    }

    // Many rows built from a few pieces, so that long texts share long beginnings,
    // checked against a plain stable sort on QStrings.
    void sortMatchesReference_data() {
        QTest::addColumn<int>("code");
        for (int code : {1, 2, 3, 4, 7, 8})
            QTest::addRow("code %d", code) << code;
    }
    void sortMatchesReference() {
        QFETCH(int, code);
        const QStringList pieces = {"The Silent Ship ",
                                    "the silent ship ",
                                    "Vellan",
                                    "vellan",
                                    "\u00c9",
                                    "\u00e9",
                                    "10",
                                    "2",
                                    " ",
                                    "-",
                                    ".5",
                                    "e3",
                                    "Z",
                                    "a"};
        quint32 seed = 12345;
        auto next = [&seed](quint32 n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % n;
        };
        QStringList cells;
        for (int i = 0; i < 3000; ++i) {
            QString c;
            const quint32 parts = next(6);
            for (quint32 k = 0; k < parts; ++k)
                c += pieces[static_cast<int>(next(pieces.size()))];
            cells << c;
        }
        auto number = [](const QString& t, double* d) {
            const QByteArray u = t.toUtf8();
            return parseNumber(std::string_view(u.constData(), static_cast<std::size_t>(u.size())),
                               d);
        };
        // -1, 0, 1 for the order of two cells under the code's rules.
        auto compare = [&](const QString& a, const QString& b) {
            double x = 0, y = 0;
            const bool xn = number(a, &x), yn = number(b, &y);
            if (code == 3 || code == 4) {
                if (!xn) x = 0;
                if (!yn) y = 0;
                return x < y ? -1 : (y < x ? 1 : 0);
            }
            if (code == 7 || code == 8) return a < b ? -1 : (b < a ? 1 : 0);
            if (xn && yn) return x < y ? -1 : (y < x ? 1 : 0);
            if (xn != yn) return xn ? -1 : 1;
            const QString fa = a.toCaseFolded(), fb = b.toCaseFolded();
            return fa < fb ? -1 : (fb < fa ? 1 : 0);
        };
        const bool descending = code % 2 == 0;
        QList<int> expected(cells.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            const int r = compare(cells[a], cells[b]);
            return descending ? r > 0 : r < 0;
        });
        QStringList want;
        for (int i : expected)
            want << QString::number(i);
        QCOMPARE(sortedPositions(cells, code), want);
    }

    void sortByColumnRange() {
        // Col..ColSel are the keys, the first one the main key, whichever corner is left.
        grid->setDataSource(
            makeRows({"K1", "K2", "Pos"},
                     {{"b", "2", "0"}, {"a", "9", "1"}, {"b", "10", "2"}, {"a", "1", "3"}}));
        grid->setCol(1);
        grid->setColSel(0);
        grid->setSort(1);
        QCOMPARE(column(*grid, 2), (QStringList{"3", "1", "0", "2"}));
        QCOMPARE(grid->Col(), 1); // the selection is not moved by a sort
        QCOMPARE(grid->ColSel(), 0);
    }

    void headerClicksSortAndMark() {
        grid->setDataSource(cards());
        auto click = [&](int col) {
            qint16 c = static_cast<qint16>(col), clickCol = c, type = sortTypeForColumn(col);
            int pointerCalls = 0;
            SortFlexP(grid.get(), grid.get(), c, clickCol, type, [&](int) { ++pointerCalls; });
            QCOMPARE(pointerCalls, 2);
        };
        const QString f[] = {"DbId",   "Index",  "CardType", "Title",      "Category",
                             "Series", "Season", "Own",      "DBComments", "UserComments"};
        auto expectMarker = [&](int col, const QString& marker) {
            for (int c = 0; c < 10; ++c)
                QCOMPARE(grid->TextMatrix(0, c), c == col ? f[c] + marker : f[c]);
        };

        click(3);
        expectMarker(3, " ^");
        QCOMPARE(column(*grid, 3), (QStringList{"Alpha", "alpha", "beta", "Gamma"}));
        QCOMPARE(grid->Col(), 3);
        QCOMPARE(grid->ColSel(), 3);
        click(3);
        expectMarker(3, " v");
        QCOMPARE(column(*grid, 3), (QStringList{"Gamma", "beta", "Alpha", "alpha"}));
        click(3);
        expectMarker(3, " ^");

        click(0); // numeric: 2 before 10
        expectMarker(0, " ^");
        QCOMPARE(column(*grid, 0), (QStringList{"1", "2", "10", "33"}));
        click(1); // case-sensitive text: "10" before "2", "B" before "a"
        expectMarker(1, " ^");
        QCOMPARE(column(*grid, 1), (QStringList{"10", "2", "B", "a"}));
        click(1);
        expectMarker(1, " v");
        QCOMPARE(column(*grid, 1), (QStringList{"a", "B", "2", "10"}));

        // Without a pointer callback the form's cursor shows the hourglass meanwhile.
        QWidget form;
        Qt::CursorShape during = Qt::ArrowCursor;
        auto spy = connect(grid->model(), &QAbstractItemModel::dataChanged, this,
                           [&] { during = form.cursor().shape(); });
        qint16 c = 5, clickCol = 5, type = 0;
        SortFlexP(&form, grid.get(), c, clickCol, type);
        disconnect(spy);
        QCOMPARE(during, Qt::WaitCursor);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        expectMarker(5, " ^");

        // A column the grid does not have is reported, and nothing changes.
        ui->answer(mb::AnsOK, "Sort error");
        c = clickCol = 12;
        SortFlexP(grid.get(), grid.get(), c, clickCol, type);
        QCOMPARE(ui->boxes.size(), 1);
        QCOMPARE(ui->boxes[0].text, QString("381\r\nSubscript out of range"));
        QCOMPARE(ui->boxes[0].flags, mb::Critical);
        expectMarker(5, " ^");

        QCOMPARE(sortTypeForColumn(0), qint16(2));
        QCOMPARE(sortTypeForColumn(1), qint16(1));
        QCOMPARE(sortTypeForColumn(7), qint16(0));
    }

    void selectionCorners() {
        QList<QStringList> rows;
        for (int i = 1; i <= 9; ++i)
            rows << QStringList{QString::number(i), "x"};
        grid->setDataSource(makeRows({"DbId", "Other"}, rows));

        // From row 7 up to row 3.
        grid->setRow(7);
        grid->setRowSel(3);
        grid->setCol(0);
        grid->setColSel(1);
        QCOMPARE(grid->Row(), 7);
        QCOMPARE(grid->RowSel(), 3);
        QItemSelectionModel* sm = grid->selectionModel();
        QCOMPARE(sm->selectedIndexes().size(), 10);
        QVERIFY(sm->isSelected(grid->model()->index(2, 1)));      // grid row 3
        QVERIFY(!sm->isSelected(grid->model()->index(7, 0)));     // grid row 8
        QCOMPARE(sm->currentIndex(), grid->model()->index(6, 0)); // the Row/Col corner

        // Setting Row again makes the selection one row high.
        grid->setRow(5);
        QCOMPARE(grid->RowSel(), 5);
        QCOMPARE(sm->selectedIndexes().size(), 2);

        // Mouse: a click selects the cell, Shift-click extends from the fixed corner,
        // a right press leaves the selection alone.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 7, 1));
        QCOMPARE(grid->Row(), 7);
        QCOMPARE(grid->Col(), 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCentre(*grid, 3, 0));
        QCOMPARE(grid->Row(), 7);
        QCOMPARE(grid->RowSel(), 3);
        QCOMPARE(grid->ColSel(), 0);
        QTest::mousePress(grid->viewport(), Qt::RightButton, {}, cellCentre(*grid, 9, 0));
        QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, cellCentre(*grid, 9, 0));
        QCOMPARE(grid->MouseRow(), 9);
        QCOMPARE(grid->Row(), 7);
        QCOMPARE(grid->RowSel(), 3);

        // Keyboard: Shift+Down moves RowSel; a plain arrow collapses onto Row.
        QTest::keyClick(grid.get(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(grid->Row(), 7);
        QCOMPARE(grid->RowSel(), 4);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QCOMPARE(grid->Row(), 6);
        QCOMPARE(grid->RowSel(), 6);
        QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid->Row(), 1); // never onto the header row
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QCOMPARE(grid->Row(), 1);

        // Shrinking the grid pulls the corners in.
        grid->setRow(9);
        grid->setRows(4);
        QCOMPARE(grid->Row(), 3);
        QCOMPARE(grid->RowSel(), 3);
    }

    void mouseEvents() {
        grid->setDataSource(cards());
        QStringList events;
        connect(grid.get(), &FlexGrid::MouseDown, this, [&](int b, int s, int x, int y) {
            events << QStringLiteral("down %1 %2 row %3 col %4")
                          .arg(b)
                          .arg(s)
                          .arg(grid->MouseRow())
                          .arg(grid->MouseCol());
            QVERIFY(x > 0 && y > 0);
        });
        connect(grid.get(), &FlexGrid::Click, this, [&] {
            events << QStringLiteral("click row %1 col %2")
                          .arg(grid->MouseRow())
                          .arg(grid->MouseCol());
        });
        connect(grid.get(), &FlexGrid::DblClick, this, [&] { events << "dblclick"; });

        // A header click is row 0 of the grid, and the header does not sort by itself.
        QHeaderView* h = grid->horizontalHeader();
        const QPoint onTitle(h->sectionViewportPosition(3) + h->sectionSize(3) / 2,
                             h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, onTitle);
        QCOMPARE(events, (QStringList{"down 1 0 row 0 col 3", "click row 0 col 3"}));
        QCOMPARE(column(*grid, 0), (QStringList{"10", "2", "33", "1"}));

        // A right press on the header: MouseDown only.
        events.clear();
        QTest::mousePress(h->viewport(), Qt::RightButton, Qt::ShiftModifier, onTitle);
        QTest::mouseRelease(h->viewport(), Qt::RightButton, Qt::ShiftModifier, onTitle);
        QCOMPARE(events, (QStringList{"down 2 1 row 0 col 3"}));

        // A press on a column's resize grip is no header click.
        events.clear();
        const QPoint grip(h->sectionViewportPosition(3) + h->sectionSize(3) - 1, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, grip);
        QVERIFY(events.isEmpty());

        events.clear();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 2, 4));
        QCOMPARE(events, (QStringList{"down 1 0 row 2 col 4", "click row 2 col 4"}));

        // A double click ends in DblClick with the row selected, and no Click after it.
        events.clear();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 4, 1));
        QVERIFY2(!events.isEmpty() && events.last() == "dblclick", qPrintable(events.join('|')));
        QCOMPARE(grid->RowSel(), 4);

        // Below the last row there is no cell.
        events.clear();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          QPoint(10, grid->viewport()->height() - 2));
        QCOMPARE(grid->MouseRow(), -1);
        QCOMPARE(grid->RowSel(), 4);
    }

    void columnWidthsInTwips() {
        for (int tw : {1000, 1440, 0, 2345}) {
            grid->setColWidth(2, tw);
            QCOMPARE(grid->ColWidth(2), tw);
            QCOMPARE(grid->horizontalHeader()->sectionSize(2), twipsToPx(tw));
        }
        // A width the user drags is read back from the screen.
        grid->horizontalHeader()->resizeSection(2, 200);
        QCOMPARE(grid->ColWidth(2), pxToTwips(200));
        QCOMPARE(grid->ColWidth(10), 0);
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
