#include "grid/FlexGrid.h"
#include "grid/FlexGridModel.h"
#include "grid/HeaderSort.h"
#include "support/ScriptedUi.h"
#include "ui/Twips.h"

#include <QCollator>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <memory>
#include <numeric>
#include <random>

using namespace krvs;
using namespace krvs::test;

namespace {

// The rows as a snapshot; with `stored`, shown row r is kept at the place stored[...] == r,
// as in a snapshot ordered after it was read.
std::shared_ptr<const db::RowSet> makeRows(const QStringList& fields,
                                           const QList<QStringList>& rows,
                                           std::vector<std::uint32_t> stored = {}) {
    auto rs = std::make_shared<db::RowSet>();
    rs->fields = fields;
    for (qsizetype place = 0; place < rows.size(); ++place) {
        const qsizetype r = stored.empty() ? place : stored[static_cast<std::size_t>(place)];
        for (const QString& cell : rows[r])
            rs->appendCell(cell.toStdString());
        rs->endRow();
    }
    if (!stored.empty()) {
        std::vector<std::uint32_t> order(stored.size());
        for (std::uint32_t place = 0; place < stored.size(); ++place)
            order[stored[place]] = place;
        rs->setOrder(std::move(order));
    }
    return rs;
}

// Texts built from a few pieces, so that they share long beginnings and repeat.
QStringList randomCells(int n, int maxPieces, quint32 seed) {
    static const QStringList pieces = {
        "The Ship ", "the ship ", "\u00c9", "\u00e9", "10", "2",       " ",      "-",      ".5",
        "e3",        "Z",         "a",      "\u00df", "ss", "a\u0308", "\u00e4", "\u0152", "\t"};
    QRandomGenerator rng(seed);
    QStringList cells;
    for (int i = 0; i < n; ++i) {
        QString c;
        for (int k = rng.bounded(maxPieces + 1); k > 0; --k)
            c += pieces[rng.bounded(pieces.size())];
        cells << c;
    }
    return cells;
}

// The texts of one column in grid order: data rows only, or the header row when col < 0.
QStringList column(const FlexGrid& g, int col) {
    QStringList out;
    const int n = col < 0 ? g.Cols() : g.Rows();
    for (int i = col < 0 ? 0 : 1; i < n; ++i)
        out << (col < 0 ? g.TextMatrix(0, i) : g.TextMatrix(i, col));
    return out;
}

// One column of cells as rows of one cell.
QList<QStringList> columnsOf(const QStringList& cells) {
    QList<QStringList> rows;
    for (const QString& c : cells)
        rows << QStringList{c};
    return rows;
}

// The original positions of the rows in the order a plain stable sort gives, comparing the
// cells column by column: the generic sort against the locale's collator, case ignored.
QString referenceOrder(const QList<QStringList>& rows, SortKind kind, SortDirection direction) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    auto blank = [](const QString& t) {
        return std::all_of(t.begin(), t.end(), [](QChar c) { return c == ' ' || c == '\t'; });
    };
    auto cmp = [](const auto& a, const auto& b) { return a < b ? -1 : (b < a ? 1 : 0); };
    auto compare = [&](const QString& a, const QString& b) {
        double x = 0, y = 0;
        const bool xn = parseNumber(a.toStdString(), &x), yn = parseNumber(b.toStdString(), &y);
        if (kind == SortKind::Numeric) return cmp(xn ? x : 0, yn ? y : 0);
        if (kind == SortKind::Text) return cmp(a, b);
        const int ra = blank(a) ? 0 : xn ? 1 : 2, rb = blank(b) ? 0 : yn ? 1 : 2;
        if (ra != rb) return cmp(ra, rb);
        if (ra == 1) return cmp(x, y);
        return ra == 0 ? 0 : cmp(collator.compare(a, b), 0);
    };
    std::vector<int> order(static_cast<std::size_t>(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (qsizetype c = 0; c < rows[a].size(); ++c) {
            const int r = compare(rows[a][c], rows[b][c]);
            if (r != 0) return direction == SortDirection::Descending ? r > 0 : r < 0;
        }
        return false;
    });
    QStringList out;
    for (const int i : order)
        out << QString::number(i);
    return out.join(' ');
}

const QStringList cardFields = {"DbId",   "Index",  "CardType", "Title",      "Category",
                                "Series", "Season", "Own",      "DBComments", "UserComments"};

// DbId and Index chosen so that a text sort of DbId or a numeric sort of Index gives
// a different order than the right one.
std::shared_ptr<const db::RowSet> cards(const QString& title = "Title") {
    QStringList fields = cardFields;
    fields[3] = title;
    auto card = [](const char* id, const char* index, const char* title) {
        return QStringList{id, index, "T", title, "Crew", "VEX", "1", "False", "", ""};
    };
    return makeRows(fields, {card("10", "2", "beta"), card("2", "10", "Alpha"),
                             card("33", "B", "alpha"), card("1", "a", "Gamma")});
}

} // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<FlexGrid> grid;

    // Binds the cells plus each row's original position, sorts by the cells, and
    // returns the positions in grid order.
    QString sortedPositions(const QStringList& cells, SortKind kind, SortDirection direction) {
        return sortedPositions(columnsOf(cells), kind, direction);
    }
    // The same with rows of one or more key columns, sorted by all of them; with
    // writeEvery, the keys of every so many rows are written by hand over other texts.
    QString sortedPositions(const QList<QStringList>& keys, SortKind kind, SortDirection direction,
                            int writeEvery = 0) {
        const int cols = keys.isEmpty() ? 1 : static_cast<int>(keys[0].size());
        QStringList fields;
        for (int c = 0; c < cols; ++c)
            fields << QStringLiteral("Key%1").arg(c);
        auto written = [&](int i) { return writeEvery > 0 && i % writeEvery == 1; };
        QList<QStringList> rows;
        for (int i = 0; i < keys.size(); ++i)
            rows << (written(i) ? QStringList(cols, "bound") : keys[i]) +
                        QStringList{QString::number(i)};
        grid->setDataSource(makeRows(fields + QStringList{"Pos"}, rows));
        for (int i = 0; i < keys.size(); ++i)
            for (int c = 0; written(i) && c < cols; ++c)
                grid->setTextMatrix(i + 1, c, keys[i][c]);
        grid->setCol(0);
        grid->setColSel(cols - 1);
        grid->sort(kind, direction);
        return column(*grid, cols).join(' ');
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

    void bindingWidthsAndSelection() {
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

    // Worked examples for each sort kind and direction, then random texts against a plain stable
    // sort on QStrings, the generic sort against the locale's collator, case ignored.
    void sortMatchesReference_data() {
        QTest::addColumn<SortKind>("kind");
        QTest::addColumn<SortDirection>("direction");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("order"); // original positions in sorted order
        // Numbers by value, other text counts as 0; equal keys keep their order.
        const QStringList numbers = {"10", "2", "x", "-1.5", "1e1", " 3 "};
        constexpr auto asc = SortDirection::Ascending, desc = SortDirection::Descending;
        QTest::newRow("numeric asc") << SortKind::Numeric << asc << numbers << "3 2 1 5 0 4";
        QTest::newRow("numeric desc") << SortKind::Numeric << desc << numbers << "0 4 5 1 2 3";
        // Code points: digits, then capitals, then small letters; "10" before "2".
        const QStringList text = {"b", "10", "B", "a", "2", "b"};
        QTest::newRow("text asc") << SortKind::Text << asc << text << "1 4 2 3 0 5";
        QTest::newRow("text desc") << SortKind::Text << desc << text << "0 5 3 2 4 1";
        // Blank cells first, then numbers by value, then text ignoring case.
        const QStringList mixed = {"b", "10", "A", "", "2", "a", "B"};
        QTest::newRow("generic asc") << SortKind::Generic << asc << mixed << "3 4 1 2 5 0 6";
        QTest::newRow("generic desc") << SortKind::Generic << desc << mixed << "0 6 2 5 1 4 3";
    }
    void sortMatchesReference() {
        QFETCH(SortKind, kind);
        QFETCH(SortDirection, direction);
        QFETCH(QStringList, cells);
        QTEST(sortedPositions(cells, kind, direction), "order");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        cells = randomCells(500, 5, 12345);
        QCOMPARE(sortedPositions(cells, kind, direction),
                 referenceOrder(columnsOf(cells), kind, direction));

        // A snapshot ordered after it was read sorts exactly like one stored as shown, with
        // cells written by hand, rows added and rows removed, on one column or three.
        const QStringList more = randomCells(1200, 2, 99);
        QList<QStringList> rows;
        for (int r = 0; r < 400; ++r)
            rows << QStringList{QString::number(r)} + more.mid(3 * r, 3);
        std::vector<std::uint32_t> asShown(400);
        std::iota(asShown.begin(), asShown.end(), 0u);
        std::vector<std::uint32_t> shuffled = asShown;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
        auto shownIds = [](const FlexGridModel& m) {
            QStringList ids;
            for (int r = 0; r < m.dataRows(); ++r)
                ids << m.cellText(r, 0) + u':' + m.cellText(r, 2);
            return ids.join(u' ');
        };
        for (int lastCol : {1, 3}) {
            QStringList results;
            QString unsorted;
            for (const auto& stored : {asShown, shuffled}) {
                FlexGridModel m;
                m.bind(makeRows({"Id", "A", "B", "C"}, rows, stored));
                m.setCellText(5, 1, QStringLiteral("written Vellan"));
                m.setCellText(17, 2, QStringLiteral("10"));
                m.setDataRows(m.dataRows() - 3); // the last three go
                m.setDataRows(m.dataRows() + 2); // two empty rows come
                m.setCellText(m.dataRows() - 1, 1, QStringLiteral("vellan"));
                unsorted = shownIds(m);
                const auto back = direction == SortDirection::Ascending ? SortDirection::Descending
                                                                        : SortDirection::Ascending;
                m.sort(kind, direction, 1, lastCol);
                m.sort(kind, back, 1, lastCol); // and back
                results << shownIds(m);
            }
            QCOMPARE(results[1], results[0]);
            QVERIFY(results[0] != unsorted);
        }
    }

    // Thousands of rows, of which a second thread reads some blocks (cells written by hand
    // among them), thousands of distinct texts, whose collation keys are made on two threads
    // that split them at an odd count, and sorts on three columns whose rows tie on the
    // first, against the plain stable sort.
    void sortManyRowsMatchesReference_data() {
        QTest::addColumn<SortKind>("kind");
        QTest::addColumn<SortDirection>("direction");
        QTest::addColumn<int>("cols");
        QTest::addColumn<bool>("mixed"); // numbers and blank cells among the first column's
        constexpr auto asc = SortDirection::Ascending, desc = SortDirection::Descending;
        for (const SortKind kind : {SortKind::Generic, SortKind::Text, SortKind::Numeric}) {
            const char* name = kind == SortKind::Generic ? "generic"
                               : kind == SortKind::Text  ? "text"
                                                         : "numeric";
            for (const int cols : {1, 3}) {
                for (const bool mixed : {false, true}) {
                    const char* what = mixed ? ", numbers" : "";
                    QTest::addRow("%s asc, %d columns%s", name, cols, what)
                        << kind << asc << cols << mixed;
                    QTest::addRow("%s desc, %d columns%s", name, cols, what)
                        << kind << desc << cols << mixed;
                }
            }
        }
    }
    void sortManyRowsMatchesReference() {
        QFETCH(SortKind, kind);
        QFETCH(SortDirection, direction);
        QFETCH(int, cols);
        QFETCH(bool, mixed);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        // 8,201 rows of 2,049 distinct texts (no numbers, no blank cells); the further
        // columns repeat a lot.
        QStringList distinct = randomCells(6000, 6, 4242);
        distinct.removeDuplicates();
        distinct.removeIf([](const QString& t) {
            double d = 0;
            return t.trimmed().isEmpty() || parseNumber(t.toStdString(), &d);
        });
        QVERIFY(distinct.size() > 2049);
        distinct = distinct.mid(0, 2049);
        QStringList first = distinct + distinct + distinct + distinct + distinct.mid(0, 5);
        std::shuffle(first.begin(), first.end(), std::mt19937(3));
        QList<QStringList> rows;
        const QStringList second = randomCells(static_cast<int>(first.size()), 1, 5);
        const QStringList third = randomCells(static_cast<int>(first.size()), 2, 6);
        for (qsizetype i = 0; i < first.size(); ++i) {
            // With more columns the first repeats a lot too, so that rows tie on it.
            QStringList row{cols == 1 ? first[i] : first[i].left(3)};
            if (mixed && i % 13 == 0)
                row[0] = QStringLiteral(" ");
            else if (mixed && i % 3 == 0)
                row[0] = QString::number((i * 7) % 61 - 30) + (i % 2 ? ".5" : "");
            if (cols == 3) row << second[i] << third[i];
            rows << row;
        }
        QCOMPARE(sortedPositions(rows, kind, direction, 97), referenceOrder(rows, kind, direction));
    }

    // The program's handler sorts by the clicked column and marks its caption alone.
    void headerClicksSortAndMark() {
        grid->setDataSource(cards());
        auto click = [&](int col, const QString& marker, const QStringList& texts) {
            sortByHeader(grid.get(), grid.get(), col, col, sortKindForColumn(col), [](int) {});
            for (int c = 0; c < 10; ++c)
                QCOMPARE(grid->TextMatrix(0, c), c == col ? cardFields[c] + marker : cardFields[c]);
            QCOMPARE(column(*grid, col), texts);
        };
        click(3, " ^", {"Alpha", "alpha", "beta", "Gamma"});
        click(3, " v", {"Gamma", "beta", "Alpha", "alpha"});
        click(3, " ^", {"Alpha", "alpha", "beta", "Gamma"});
        click(0, " ^", {"1", "2", "10", "33"}); // numeric: 2 before 10
    }

    // The direction comes from the last click, not from the caption: a field named with
    // a mark at its end keeps its name, and a new binding or a caption written by hand
    // starts the next click ascending.
    void headerMarkIsNotReadBack_data() {
        QTest::addColumn<QString>("title");      // column 3's field name
        QTest::addColumn<QStringList>("steps");  // a column clicked, "bind" or "write"
        QTest::addColumn<QString>("captions");   // columns 0 and 3 afterwards
        QTest::addColumn<QStringList>("titles"); // column 3 top to bottom
        const QStringList asc = {"Alpha", "alpha", "beta", "Gamma"};
        const QStringList desc = {"Gamma", "beta", "Alpha", "alpha"};
        QTest::newRow("name ends in ^") << "Title ^" << QStringList{"3"} << "DbId|Title ^ ^" << asc;
        QTest::newRow("name ends in ^, twice")
            << "Title ^" << QStringList{"3", "3"} << "DbId|Title ^ v" << desc;
        QTest::newRow("name ends in v, then DbId")
            << "Title v" << QStringList{"3", "0"} << "DbId ^|Title v"
            << QStringList{"Gamma", "Alpha", "beta", "alpha"};
        QTest::newRow("bound again")
            << "Title" << QStringList{"3", "bind", "3"} << "DbId|Title ^" << asc;
        QTest::newRow("caption written")
            << "Title" << QStringList{"3", "write", "3"} << "DbId|Name ^" << asc;
    }
    void headerMarkIsNotReadBack() {
        QFETCH(QString, title);
        QFETCH(QStringList, steps);
        grid->setDataSource(cards(title));
        for (const QString& step : steps) {
            if (step == "bind") {
                grid->setDataSource(cards(title));
            } else if (step == "write") {
                grid->setTextMatrix(0, 3, "Name");
            } else {
                const int col = step.toInt();
                sortByHeader(grid.get(), grid.get(), col, col, sortKindForColumn(col), [](int) {});
            }
        }
        QTEST(grid->TextMatrix(0, 0) + '|' + grid->TextMatrix(0, 3), "captions");
        QTEST(column(*grid, 3), "titles");
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
