#include "grid/FlexGrid.h"
#include "grid/FlexGridModel.h"
#include "grid/SortFlexP.h"
#include "support/ScriptedUi.h"
#include "util/Twips.h"

#include <QCollator>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <memory>

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

// The texts of one column in grid order: data rows only, or the header row when col < 0.
QStringList column(const FlexGrid& g, int col) {
    QStringList out;
    const int n = col < 0 ? g.Cols() : g.Rows();
    for (int i = col < 0 ? 0 : 1; i < n; ++i)
        out << (col < 0 ? g.TextMatrix(0, i) : g.TextMatrix(i, col));
    return out;
}

const QStringList cardFields = {"DbId",   "Index",  "CardType", "Title",      "Category",
                                "Series", "Season", "Own",      "DBComments", "UserComments"};

// DbId and Index chosen so that a text sort of DbId or a numeric sort of Index gives
// a different order than the right one.
std::shared_ptr<const db::RowSet> cards() {
    auto card = [](const char* id, const char* index, const char* title) {
        return QStringList{id, index, "T", title, "Crew", "VEX", "1", "False", "", ""};
    };
    return makeRows(cardFields, {card("10", "2", "beta"), card("2", "10", "Alpha"),
                                 card("33", "B", "alpha"), card("1", "a", "Gamma")});
}

QPoint cellCentre(const FlexGrid& g, int row, int col) {
    return g.visualRect(g.model()->index(row - 1, col)).center();
}

} // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<FlexGrid> grid;

    // Binds the cells plus each row's original position, sorts by the cells, and
    // returns the positions in grid order.
    QString sortedPositions(const QStringList& cells, int code) {
        QList<QStringList> rows;
        for (int i = 0; i < cells.size(); ++i)
            rows << QStringList{cells[i], QString::number(i)};
        grid->setDataSource(makeRows({"Key", "Pos"}, rows));
        grid->setCol(0);
        grid->setColSel(0);
        grid->setSort(code);
        return column(*grid, 1).join(' ');
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
        QVERIFY2(ui->problems().isEmpty(), qPrintable(ui->problems()));
    }

    void bindingAndWidths() {
        grid->setColWidth(1, 2000);
        grid->setDataSource(makeRows({"A", "B", "C"}, {{"a1", "b1", "c1"}, {"a2", "", "c2"}}));
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(column(*grid, -1), (QStringList{"A", "B", "C"}));
        QCOMPARE(column(*grid, 2), (QStringList{"c1", "c2"}));
        QCOMPARE(grid->ColWidth(1), 2000); // widths survive a new binding
        for (int tw : {1440, 0, 2345}) {   // widths in twips
            grid->setColWidth(2, tw);
            QCOMPARE(grid->ColWidth(2), tw);
            QCOMPARE(grid->horizontalHeader()->sectionSize(2), twipsToPx(tw));
        }
        grid->setDataSource(makeRows({"X"}, {})); // an empty result: the header only
        QCOMPARE(grid->Rows(), 1);
        QCOMPARE(grid->Row(), 0);
    }

    void sortCodes_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("order"); // original positions in sorted order
        const QStringList numbers = {"10", "2", "x", "-1.5", "1e1", " 3 "};
        // Numbers by value, other text counts as 0; equal keys keep their order.
        QTest::newRow("numeric asc") << numbers << 3 << "3 2 1 5 0 4";
        QTest::newRow("numeric desc") << numbers << 4 << "0 4 5 1 2 3";
        // Code points: digits, then capitals, then small letters; "10" before "2".
        const QStringList text = {"b", "10", "B", "a", "2", "b"};
        QTest::newRow("text asc") << text << 7 << "1 4 2 3 0 5";
        QTest::newRow("text desc") << text << 8 << "0 5 3 2 4 1";
        // Blank cells first, then numbers by value, then text ignoring case.
        const QStringList mixed = {"b", "10", "A", "", "2", "a", "B"};
        QTest::newRow("generic asc") << mixed << 1 << "3 4 1 2 5 0 6";
        QTest::newRow("generic desc") << mixed << 2 << "0 6 2 5 1 4 3";
    }
    void sortCodes() {
        QFETCH(QStringList, cells);
        QFETCH(int, code);
        QFETCH(QString, order);
        QCOMPARE(sortedPositions(cells, code), order);
    }

    // Texts built from a few pieces, so that they share long beginnings, checked
    // against a plain stable sort on QStrings; the generic sort against the locale's
    // collator, case ignored.
    void sortMatchesReference_data() {
        QTest::addColumn<int>("code");
        for (int code : {1, 2, 3, 4, 7, 8})
            QTest::addRow("code %d", code) << code;
    }
    void sortMatchesReference() {
        QFETCH(int, code);
        const QStringList pieces = {"The Ship ", "the ship ", "\u00c9",  "\u00e9", "10",     "2",
                                    " ",         "-",         ".5",      "e3",     "Z",      "a",
                                    "\u00df",    "ss",        "a\u0308", "\u00e4", "\u0152", "\t"};
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        auto blank = [](const QString& t) {
            return std::all_of(t.begin(), t.end(), [](QChar c) { return c == ' ' || c == '\t'; });
        };
        QRandomGenerator rng(12345);
        QStringList cells;
        for (int i = 0; i < 500; ++i) {
            QString c;
            for (int k = rng.bounded(6); k > 0; --k)
                c += pieces[rng.bounded(pieces.size())];
            cells << c;
        }
        auto cmp = [](const auto& a, const auto& b) { return a < b ? -1 : (b < a ? 1 : 0); };
        auto compare = [&](const QString& a, const QString& b) {
            double x = 0, y = 0;
            const bool xn = parseNumber(a.toStdString(), &x), yn = parseNumber(b.toStdString(), &y);
            if (code == 3 || code == 4) return cmp(xn ? x : 0, yn ? y : 0);
            if (code == 7 || code == 8) return cmp(a, b);
            const int ra = blank(a) ? 0 : xn ? 1 : 2, rb = blank(b) ? 0 : yn ? 1 : 2;
            if (ra != rb) return cmp(ra, rb);
            if (ra == 1) return cmp(x, y);
            return ra == 0 ? 0 : cmp(collator.compare(a, b), 0);
        };
        QStringList want;
        for (int i = 0; i < cells.size(); ++i)
            want << QString::number(i);
        std::stable_sort(want.begin(), want.end(), [&](const QString& a, const QString& b) {
            const int r = compare(cells[a.toInt()], cells[b.toInt()]);
            return code % 2 == 0 ? r > 0 : r < 0;
        });
        QCOMPARE(sortedPositions(cells, code), want.join(' '));
    }

    void headerClicksSortAndMark() {
        grid->setDataSource(cards());
        auto click = [&](qint16 col, const QString& marker, const QStringList& texts) {
            qint16 clickCol = col, type = sortTypeForColumn(col);
            SortFlexP(grid.get(), grid.get(), col, clickCol, type, [](int) {});
            for (int c = 0; c < 10; ++c)
                QCOMPARE(grid->TextMatrix(0, c), c == col ? cardFields[c] + marker : cardFields[c]);
            QCOMPARE(column(*grid, col), texts);
        };
        click(3, " ^", {"Alpha", "alpha", "beta", "Gamma"});
        click(3, " v", {"Gamma", "beta", "Alpha", "alpha"});
        click(3, " ^", {"Alpha", "alpha", "beta", "Gamma"});
        click(0, " ^", {"1", "2", "10", "33"}); // numeric: 2 before 10
    }

    void selectionCorners() {
        grid->setDataSource(makeRows({"A", "B"}, QList<QStringList>(9, {"a", "b"})));

        grid->setRow(7); // from row 7 up to row 3
        grid->setRowSel(3);
        grid->setCol(0);
        grid->setColSel(1);
        QItemSelectionModel* sm = grid->selectionModel();
        QCOMPARE(sm->selectedIndexes().size(), 10);
        QVERIFY(sm->isSelected(grid->model()->index(2, 1)));      // grid row 3
        QCOMPARE(sm->currentIndex(), grid->model()->index(6, 0)); // the Row/Col corner
    }

    void mouseEvents() {
        grid->setDataSource(cards());
        QStringList events;
        auto log = [&](QString what) {
            events << what + QString(" %1 %2").arg(grid->MouseRow()).arg(grid->MouseCol());
        };
        connect(grid.get(), &FlexGrid::MouseDown, this, [&] { log("down"); });
        connect(grid.get(), &FlexGrid::Click, this, [&] { log("click"); });

        // A header click is row 0 of the grid, and the header does not sort by itself.
        QHeaderView* h = grid->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          {h->sectionViewportPosition(3) + h->sectionSize(3) / 2, h->height() / 2});
        QCOMPARE(events, (QStringList{"down 0 3", "click 0 3"}));
        QCOMPARE(column(*grid, 0), (QStringList{"10", "2", "33", "1"}));

        events.clear();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(*grid, 2, 4));
        QCOMPARE(events, (QStringList{"down 2 4", "click 2 4"}));
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
