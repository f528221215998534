#include "export/ResultsExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace krvs;

namespace {

// A grid held as rows of cells; row 0 is the caption row.
struct Table {
    QList<QStringList> cells;
    QList<int> widths; // per column; missing means 1000

    GridSource source() const {
        GridSource g;
        g.rows = [this] { return int(cells.size()); };
        g.cols = [this] { return cells.isEmpty() ? 0 : int(cells[0].size()); };
        g.textMatrix = [this](int r, int c) { return cells.at(r).at(c); };
        g.colWidth = [this](int c) { return c < widths.size() ? widths[c] : 1000; };
        return g;
    }
};

const QDateTime Morning(QDate(2026, 12, 5), QTime(3, 32, 47));

ExportHeader workedHeader() {
    return {QStringLiteral("Korvessa Database - (Matches returned=2)"),
            QStringLiteral("C:\\Cards\\KRVS.krv"), Morning};
}

Table workedGrid() {
    return {{{"DbId", "Index", "Title"}, {"12", "A1", "First card"}, {"345", "B7", "Second card"}},
            {}};
}

QByteArray utf8Bytes(int format, const Table& t, const ExportHeader& h) {
    TextEncoder utf8(QByteArrayLiteral("UTF-8"));
    return exportBytes(format, t.source(), h, utf8);
}

} // namespace

class tst_Export : public QObject {
    Q_OBJECT
  private slots:
    void workedExamplesByteForByte();
    void headerOnlyGrid();
    void longFirstCellMovesToNextLine();
    void captionsAndWidths();
    void datesAreEnglishTwelveHour();
    void csvReadsBackCellForCell();
    void eightBitCharacterSetSubstitutes();
};

void tst_Export::workedExamplesByteForByte() {
    const QByteArray report =
        " \r\n"
        "     KORVESSA DATABASE (KRVS) RESULTS\r\n"
        "     File generated on December 05, 2026 03:32:47 AM\r\n"
        "     Korvessa Database - (Matches returned=2)\r\n"
        "     Database path: C:\\Cards\\KRVS.krv\r\n"
        "     ----------------------------------------------------------------------------------"
        "------------\r\n"
        "\r\n"
        "     __________________________________________________________________________________"
        "____________\r\n"
        "     |DbId    |  Index|  Title\r\n"
        "     "
        "|_______|_____________________________________________________________________________"
        "________\r\n"
        "     |12     | \"A1\" \"First card\" \r\n"
        "     |345    | \"B7\" \"Second card\" \r\n"
        "     __________________________________________________________________________________"
        "____________\r\n";
    QCOMPARE(utf8Bytes(1, workedGrid(), workedHeader()), report);

    const QByteArray csv = " \r\n"
                           "KORVESSA DATABASE (KRVS) RESULTS\r\n"
                           "File generated on December 05 2026 03:32:47 AM\r\n"
                           "Korvessa Database - (Matches returned=2)\r\n"
                           "Database path: C:\\Cards\\KRVS.krv\r\n"
                           "DbId,Index,Title,\r\n"
                           "\"12\",\"A1\",\"First card\",\r\n"
                           "\"345\",\"B7\",\"Second card\",\r\n";
    QCOMPARE(utf8Bytes(2, workedGrid(), workedHeader()), csv);
    // Any format but 1 is the CSV file.
    QCOMPARE(utf8Bytes(0, workedGrid(), workedHeader()), csv);
}

void tst_Export::headerOnlyGrid() {
    const Table t{{{"DbId", "Index", "Title"}}, {}};
    const QStringList report = exportLines(1, t.source(), workedHeader());
    QCOMPARE(report.size(), 11);
    QCOMPARE(report.at(8), QStringLiteral("     |DbId    |  Index|  Title"));
    QVERIFY(report.at(9).startsWith(QStringLiteral("     |_______|")));
    QCOMPARE(report.at(10), QString(5, ' ') + QString(94, '_'));
    const QStringList csv = exportLines(2, t.source(), workedHeader());
    QCOMPARE(csv.size(), 6);
    QCOMPARE(csv.last(), QStringLiteral("DbId,Index,Title,"));
}

void tst_Export::longFirstCellMovesToNextLine() {
    const Table t{{{"DbId", "Title"}, {"1234567", "seven"}, {"12345678", "eight"}, {"", "none"}},
                  {}};
    const QStringList lines = exportLines(1, t.source(), workedHeader());
    // Seven characters end in column 13: the bar stands right after them.
    QCOMPARE(lines.at(10), QStringLiteral("     |1234567| \"seven\" "));
    // Eight pass column 14: the rest of the row starts on the next line there.
    QCOMPARE(lines.at(11), QStringLiteral("     |12345678"));
    QCOMPARE(lines.at(12), QString(13, ' ') + QStringLiteral("| \"eight\" "));
    QCOMPARE(lines.at(13), QStringLiteral("     |       | \"none\" "));
    QCOMPARE(lines.size(), 15);
    // The CSV file has no columns to keep.
    QCOMPARE(exportLines(2, t.source(), workedHeader()).at(7),
             QStringLiteral("\"12345678\",\"eight\","));
}

void tst_Export::captionsAndWidths() {
    // The report trims captions (sort markers stay), the CSV file does not; data
    // cells are untrimmed in both. A column below width 0 loses only its caption.
    const Table t{{{"DbId ^", "  Title v ", "Index", "Own"}, {" 7 ", " a ", "x", "True"}},
                  {1000, 1000, -1, 0}};
    const QStringList report = exportLines(1, t.source(), workedHeader());
    QCOMPARE(report.at(8), QStringLiteral("     |DbId ^    |  Title v|  Own"));
    QCOMPARE(report.at(10), QStringLiteral("     | 7     | \" a \" \"x\" \"True\" "));
    const QStringList csv = exportLines(2, t.source(), workedHeader());
    QCOMPARE(csv.at(5), QStringLiteral("DbId ^,  Title v ,Own,"));
    QCOMPARE(csv.at(6), QStringLiteral("\" 7 \",\" a \",\"x\",\"True\","));
}

void tst_Export::datesAreEnglishTwelveHour() {
    QCOMPARE(reportDate(QDateTime(QDate(2026, 1, 9), QTime(0, 5, 1))),
             QStringLiteral("January 09, 2026 12:05:01 AM"));
    // Whatever the desktop's language.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString d = csvDate(QDateTime(QDate(2026, 7, 31), QTime(12, 4, 5)));
    QLocale::setDefault(before);
    QCOMPARE(d, QStringLiteral("July 31 2026 12:04:05 PM"));
}

void tst_Export::csvReadsBackCellForCell() {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) QSKIP("python3 is needed to read the CSV file back");
    const Table t{{{"DbId", "Index", "Title", "UserComments"},
                   {"1", "A,1", "the \"Vellan\" crew", "quote \" alone"},
                   {"2", "\"\"", "Zoë, Ångström & 日本", "two\r\nlines"},
                   {"3", "", "  padded  ", "end\""},
                   {"4", "x", "tab\there", "😀 smile"}},
                  {}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(utf8Bytes(2, t, workedHeader()));
    }
    QProcess p;
    p.start(python, {QStringLiteral("-c"),
                     QStringLiteral("import csv,json,sys\n"
                                    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                    "    rows = list(csv.reader(f))\n"
                                    "sys.stdout.write(json.dumps(rows))\n"),
                     path});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QJsonArray rows = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    // Five preamble lines, the caption row and one row per data row.
    QCOMPARE(rows.size(), 5 + t.cells.size());
    for (int r = 0; r < t.cells.size(); ++r) {
        const QJsonArray got = rows.at(5 + r).toArray();
        const QStringList& want = t.cells.at(r);
        // The trailing comma leaves one empty field at the end of every row.
        QCOMPARE(got.size(), want.size() + 1);
        QCOMPARE(got.last().toString(), QString());
        for (int c = 0; c < want.size(); ++c)
            QCOMPARE(got.at(c).toString(), want.at(c));
    }
    // A caption with a comma or quote in it is quoted so that it stays one cell.
    Table odd{{{"a,b", "say \"hi\"", "plain"}, {"1", "2", "3"}}, {}};
    QCOMPARE(exportLines(2, odd.source(), workedHeader()).at(5),
             QStringLiteral("\"a,b\",\"say \"\"hi\"\"\",plain,"));
}

void tst_Export::eightBitCharacterSetSubstitutes() {
    TextEncoder latin1(QByteArrayLiteral("ISO-8859-1"));
    QVERIFY(!latin1.isUtf8());
    QCOMPARE(latin1.encode(QStringLiteral("Zoë")), QByteArray("Zo\xEB"));
    // One "?" per character the set lacks, a character outside the basic plane included.
    QCOMPARE(latin1.encode(QString::fromUtf8("a日本b😀c")), QByteArray("a??b?c"));
    const Table t{{{"Title"}, {QString::fromUtf8("Ångström 日")}}, {}};
    const QByteArray csv = exportBytes(2, t.source(), workedHeader(), latin1);
    QVERIFY(csv.endsWith("\"\xC5ngstr\xF6m ?\",\r\n"));
    // UTF-8 keeps everything.
    TextEncoder utf8(QByteArrayLiteral("UTF-8"));
    QCOMPARE(utf8.encode(QString::fromUtf8("日😀")), QByteArray("\xE6\x97\xA5\xF0\x9F\x98\x80"));
    // The plain C locale names no real set; it is written as UTF-8.
    QVERIFY(TextEncoder(QByteArrayLiteral("ANSI_X3.4-1968")).isUtf8());
}

QTEST_GUILESS_MAIN(tst_Export)
#include "tst_export.moc"
