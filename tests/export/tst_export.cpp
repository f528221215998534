#include "export/ResultsExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

using namespace krvs;

namespace {

// A grid held as rows of cells; row 0 is the caption row.
struct Table {
    QList<QStringList> cells;
    QList<int> widths = {}; // per column; missing means 1000

    GridSource source() const {
        return {[this] { return int(cells.size()); },
                [this] { return cells.isEmpty() ? 0 : int(cells[0].size()); },
                [this](int r, int c) { return cells.at(r).at(c); },
                [this](int c) { return c < widths.size() ? widths[c] : 1000; }};
    }
};

ExportHeader header() {
    return {"Korvessa Database - (Matches returned=2)", "C:\\Cards\\KRVS.krv",
            QDateTime(QDate(2026, 12, 5), QTime(3, 32, 47))};
}

QStringList lines(int format, const Table& t) {
    return exportLines(format, t.source(), header());
}

QByteArray utf8Bytes(int format, const Table& t) {
    TextEncoder utf8(QByteArrayLiteral("UTF-8"));
    return exportBytes(format, t.source(), header(), utf8);
}

} // namespace

class tst_Export : public QObject {
    Q_OBJECT
  private slots:
    // The worked examples, then the same grid without its data rows; the dates are in English
    // with a twelve-hour clock whatever the desktop's language.
    void workedExamplesByteForByte() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const QByteArray margin(5, ' '), rule = margin + QByteArray(94, '_') + "\r\n";
        const QByteArray rows = "     |12     | \"A1\" \"First card\" \r\n"
                                "     |345    | \"B7\" \"Second card\" \r\n";
        const QByteArray report = " \r\n"
                                  "     KORVESSA DATABASE (KRVS) RESULTS\r\n"
                                  "     File generated on December 05, 2026 03:32:47 AM\r\n"
                                  "     Korvessa Database - (Matches returned=2)\r\n"
                                  "     Database path: C:\\Cards\\KRVS.krv\r\n" +
                                  margin + QByteArray(94, '-') + "\r\n\r\n" + rule +
                                  "     |DbId    |  Index|  Title\r\n     |_______|" +
                                  QByteArray(85, '_') + "\r\n" + rows + rule;
        const QByteArray csvRows = "\"12\",\"A1\",\"First card\",\r\n"
                                   "\"345\",\"B7\",\"Second card\",\r\n";
        const QByteArray csv = " \r\n"
                               "KORVESSA DATABASE (KRVS) RESULTS\r\n"
                               "File generated on December 05 2026 03:32:47 AM\r\n"
                               "Korvessa Database - (Matches returned=2)\r\n"
                               "Database path: C:\\Cards\\KRVS.krv\r\n"
                               "DbId,Index,Title,\r\n" +
                               csvRows;
        const Table t{
            {{"DbId", "Index", "Title"}, {"12", "A1", "First card"}, {"345", "B7", "Second card"}}};
        QCOMPARE(utf8Bytes(1, t), report);
        QCOMPARE(utf8Bytes(2, t), csv);
        QCOMPARE(utf8Bytes(0, t), csv); // any format but 1
        const Table none{{t.cells[0]}};
        QCOMPARE(utf8Bytes(1, none), QByteArray(report).replace(rows, ""));
        QCOMPARE(utf8Bytes(2, none), QByteArray(csv).replace(csvRows, ""));
        QCOMPARE(reportDate(QDateTime(QDate(2026, 1, 9), QTime(0, 5, 1))) + '|' +
                     csvDate(QDateTime(QDate(2026, 7, 31), QTime(12, 4, 5))),
                 QString("January 09, 2026 12:05:01 AM|July 31 2026 12:04:05 PM"));
    }

    // Seven characters fit before the bar; with eight the rest of the row moves down.
    void reportRowsAndCaptions() {
        const Table t{
            {{"DbId", "Title"}, {"1234567", "seven"}, {"12345678", "eight"}, {"", "none"}}};
        QCOMPARE(lines(1, t).mid(10),
                 QStringList({"     |1234567| \"seven\" ", "     |12345678",
                              QString(13, ' ') + "| \"eight\" ", "     |       | \"none\" ",
                              QString(5, ' ') + QString(94, '_')}));
        QCOMPARE(lines(2, t).at(7), QString("\"12345678\",\"eight\","));
        // Only the report trims captions; a column below width 0 loses only its caption.
        const Table c{{{"DbId ^", "  Title v ", "Index", "Own"}, {" 7 ", " a ", "x", "True"}},
                      {1000, 1000, -1, 0}};
        QCOMPARE(lines(1, c).at(8), QString("     |DbId ^    |  Title v|  Own"));
        QCOMPARE(lines(1, c).at(10), QString("     | 7     | \" a \" \"x\" \"True\" "));
        QCOMPARE(lines(2, c).mid(5),
                 QStringList({"DbId ^,  Title v ,Own,", "\" 7 \",\" a \",\"x\",\"True\","}));
    }

    void csvReadsBackCellForCell() {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty()) QSKIP("python3 is needed to read the CSV file back");
        const Table t{{{"DbId", "Index", "Title", "UserComments"},
                       {"1", "A,1", "the \"Vellan\" crew", "quote \" alone"},
                       {"2", "\"\"", "Zoë, Ångström & 日本", "two\r\nlines"},
                       {"3", "", "  padded  ", "end\""},
                       {"4", "x", "tab\there", "😀 smile"}}};
        QProcess p;
        p.start(python,
                {"-c", "import csv,io,json,sys\n"
                       "f = io.TextIOWrapper(sys.stdin.buffer, encoding='utf-8', newline='')\n"
                       "sys.stdout.write(json.dumps(list(csv.reader(f))))\n"});
        p.write(utf8Bytes(2, t));
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
        // Five preamble lines, then the rows, each ending in one empty field.
        QCOMPARE(rows.size(), 5 + t.cells.size());
        for (int r = 0; r < t.cells.size(); ++r)
            QCOMPARE(rows.at(5 + r).toVariant().toStringList(), t.cells.at(r) + QStringList{""});
        // A caption with a comma or quote in it stays one cell.
        Table odd{{{"a,b", "say \"hi\"", "plain"}, {"1", "2", "3"}}};
        QCOMPARE(lines(2, odd).at(5), QString("\"a,b\",\"say \"\"hi\"\"\",plain,"));
    }

    void eightBitCharacterSetSubstitutes() {
        TextEncoder latin1(QByteArrayLiteral("ISO-8859-1"));
        // One "?" per character the set lacks, one outside the basic plane included.
        QCOMPARE(latin1.encode(QString::fromUtf8("a日本b😀c")), QByteArray("a??b?c"));
        const Table t{{{"Title"}, {QString::fromUtf8("Ångström 日")}}};
        const QByteArray csv = exportBytes(2, t.source(), header(), latin1);
        QVERIFY(csv.endsWith("\"\xC5ngstr\xF6m ?\",\r\n"));
        // The plain C locale names no real set; it is written as UTF-8.
        QVERIFY(TextEncoder(QByteArrayLiteral("ANSI_X3.4-1968")).isUtf8());
    }

    // A character a set lacks spoils nothing after it, in sets Qt converts itself and in
    // those it takes from the system's conversion library.
    void missingCharacterSpoilsNothingAfter_data() {
        QTest::addColumn<QByteArray>("set");
        for (const char* set : {"ISO-8859-1", "ISO-8859-15", "CP1252", "KOI8-R"})
            QTest::newRow(set) << QByteArray(set);
    }
    void missingCharacterSpoilsNothingAfter() {
        QFETCH(QByteArray, set);
        TextEncoder e{set};
        QCOMPARE(e.encode(QString::fromUtf8("aŁb")) + '|' + e.encode("rule"),
                 QByteArray("a?b|rule"));
    }
};

QTEST_GUILESS_MAIN(tst_Export)
#include "tst_export.moc"
