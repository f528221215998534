#include "grid/FlexGridModel.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>
#include <numeric>
#include <random>

using namespace krvs;

namespace {

// Cells from a few pieces, so that texts, numbers, blanks and letter case repeat.
QList<QStringList> randomRows(int n, quint32 seed) {
    const QStringList pieces = {"Vellan", "vellan", "Qorth", "\u00c9", "e", "10",    "2",
                                " ",      ".5",     "Z",     "a",      "",  "\u00df"};
    QRandomGenerator rng(seed);
    QList<QStringList> rows;
    for (int r = 0; r < n; ++r) {
        QStringList row{QString::number(r)};
        for (int c = 0; c < 3; ++c) {
            QString cell;
            for (int k = rng.bounded(3); k > 0; --k)
                cell += pieces[rng.bounded(pieces.size())];
            row << cell;
        }
        rows << row;
    }
    return rows;
}

// The rows stored in the order given, shown in the order of rows: stored row i is
// rows[stored[i]].
std::shared_ptr<const db::RowSet> storedAs(const QList<QStringList>& rows,
                                           const std::vector<std::uint32_t>& stored) {
    auto rs = std::make_shared<db::RowSet>();
    rs->fields = {"Id", "A", "B", "C"};
    for (const std::uint32_t i : stored) {
        for (const QString& cell : rows[static_cast<qsizetype>(i)])
            rs->appendCell(cell.toStdString());
        rs->endRow();
    }
    // Shown row r is the stored place holding rows[r].
    std::vector<std::uint32_t> order(stored.size());
    for (std::uint32_t place = 0; place < stored.size(); ++place)
        order[stored[place]] = place;
    rs->setOrder(std::move(order));
    return rs;
}

QString shownIds(const FlexGridModel& m) {
    QStringList ids;
    for (int r = 0; r < m.dataRows(); ++r)
        ids << m.cellText(r, 0) + u':' + m.cellText(r, 2);
    return ids.join(u' ');
}

} // namespace

class TestGridSort : public QObject {
    Q_OBJECT
  private slots:
    void snapshotOrderDoesNotChangeTheSort_data();
    void snapshotOrderDoesNotChangeTheSort();
};

void TestGridSort::snapshotOrderDoesNotChangeTheSort_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("firstCol");
    QTest::addColumn<int>("lastCol");
    for (int code : {1, 2, 3, 4, 7, 8}) {
        QTest::addRow("code %d, one column", code) << code << 1 << 1;
        QTest::addRow("code %d, three columns", code) << code << 1 << 3;
    }
}

// A snapshot ordered after it was read (its rows stored in another order than
// shown) sorts exactly like one stored as shown, with cells written by hand, rows
// added and rows removed.
void TestGridSort::snapshotOrderDoesNotChangeTheSort() {
    QFETCH(int, code);
    QFETCH(int, firstCol);
    QFETCH(int, lastCol);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });

    const QList<QStringList> rows = randomRows(400, 99);
    std::vector<std::uint32_t> asShown(static_cast<std::size_t>(rows.size()));
    std::iota(asShown.begin(), asShown.end(), 0u);
    std::vector<std::uint32_t> shuffled = asShown;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));

    QStringList results;
    QString unsorted;
    for (const auto& stored : {asShown, shuffled}) {
        FlexGridModel m;
        m.bind(storedAs(rows, stored));
        m.setCellText(5, 1, QStringLiteral("written Vellan"));
        m.setCellText(17, 2, QStringLiteral("10"));
        m.setDataRows(m.dataRows() - 3); // the last three go
        m.setDataRows(m.dataRows() + 2); // two empty rows come
        m.setCellText(m.dataRows() - 1, 1, QStringLiteral("vellan"));
        unsorted = shownIds(m);
        QVERIFY(m.sort(code, firstCol, lastCol));
        QVERIFY(m.sort(code % 2 ? code + 1 : code - 1, firstCol, lastCol)); // and back
        results << shownIds(m);
    }
    QCOMPARE(results[1], results[0]);
    QVERIFY(results[0] != unsorted);
}

QTEST_MAIN(TestGridSort)
#include "tst_grid_sort.moc"
