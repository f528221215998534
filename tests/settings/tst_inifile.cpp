#include "settings/IniFile.h"
#include "settings/SettingValues.h"
#include "util/AppError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace krvs;

namespace {

QByteArray slurp(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class tst_IniFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini_;

  private slots:
    void init() {
        ini_ = dir_.filePath(QStringLiteral("KRVS.ini"));
        QFile::remove(ini_);
    }
    void missingFileAndFirstWrite();
    void orderAndReplacementInPlace();
    void deletionRules();
    void namesIgnoreCase();
    void readingAcceptsForeignLayouts();
    void longValuesAreCut();
    void nonAsciiTextStaysUtf8();
    void legacyCodePageFileIsRead();
    void unwritableFileIsLeftAlone();
    void sampleFileAfterThreeRuns();
    void leadingNumberReading_data();
    void leadingNumberReading();
    void wholeNumbersRoundHalvesToEven();
    void strictReadingsRaise();
    void checkBoxValues();
    void windowFitsTheScreen();
};

void tst_IniFile::missingFileAndFirstWrite() {
    QCOMPARE(ReadINI("Main", "Left", "720", ini_), QStringLiteral("720"));
    QVERIFY(!QFile::exists(ini_));
    // Deleting from a file that does not exist creates nothing.
    QVERIFY(WriteINI("Main", "Left", "", ini_) != 0);
    QVERIFY(WriteINI("Main", "", "", ini_) != 0);
    QVERIFY(!QFile::exists(ini_));

    QVERIFY(WriteINI("Main", "Backup_Warn", "1", ini_) != 0);
    QCOMPARE(slurp(ini_), QByteArray("[Main]\r\nBackup_Warn=1\r\n"));
    QCOMPARE(ReadINI("Main", "Backup_Warn", "0", ini_), QStringLiteral("1"));
    QCOMPARE(ReadINI("Main", "Other", "dflt", ini_), QStringLiteral("dflt"));
    QCOMPARE(ReadINI("Nowhere", "Backup_Warn", "dflt", ini_), QStringLiteral("dflt"));
}

void tst_IniFile::orderAndReplacementInPlace() {
    WriteINI("A", "one", "1", ini_);
    WriteINI("B", "x", "x", ini_);
    WriteINI("A", "two", "2", ini_);   // new key: end of its own section
    WriteINI("C", "y", "y", ini_);     // new section: end of the file
    WriteINI("A", "one", "uno", ini_); // existing key: replaced where it stands
    QCOMPARE(slurp(ini_), QByteArray("[A]\r\none=uno\r\ntwo=2\r\n[B]\r\nx=x\r\n[C]\r\ny=y\r\n"));
    // Blanks around a value are not kept; the value itself may hold '=' and blanks.
    WriteINI("B", "x", "a = b c", ini_);
    QCOMPARE(ReadINI("B", "x", "", ini_), QStringLiteral("a = b c"));
    // A line break in a value would break the file; it becomes a blank.
    WriteINI("B", "x", "two\r\nlines", ini_);
    QCOMPARE(ReadINI("B", "x", "", ini_), QStringLiteral("two  lines"));
    QCOMPARE(ReadINI("C", "y", "", ini_), QStringLiteral("y"));
}

void tst_IniFile::deletionRules() {
    WriteINI("A", "one", "1", ini_);
    WriteINI("A", "two", "2", ini_);
    WriteINI("B", "x", "x", ini_);
    // An empty value deletes the key; the next read gives the default.
    WriteINI("A", "one", "", ini_);
    QCOMPARE(ReadINI("A", "one", "gone", ini_), QStringLiteral("gone"));
    QCOMPARE(slurp(ini_), QByteArray("[A]\r\ntwo=2\r\n[B]\r\nx=x\r\n"));
    // An empty key deletes the section; written again it goes to the end.
    WriteINI("A", "", "ignored", ini_);
    QCOMPARE(slurp(ini_), QByteArray("[B]\r\nx=x\r\n"));
    WriteINI("A", "two", "2", ini_);
    QCOMPARE(slurp(ini_), QByteArray("[B]\r\nx=x\r\n[A]\r\ntwo=2\r\n"));
    // An empty value stored by hand is a value, not a missing key.
    spit(ini_, "[A]\r\ntwo=\r\n");
    QCOMPARE(ReadINI("A", "two", "dflt", ini_), QString(""));
}

void tst_IniFile::namesIgnoreCase() {
    WriteINI("Search", "Type", "Simple", ini_);
    QCOMPARE(ReadINI("SEARCH", "type", "", ini_), QStringLiteral("Simple"));
    // A write through other letter cases keeps the stored names and places.
    WriteINI("search", "TYPE", "Advanced", ini_);
    WriteINI("sEaRcH", "autoasterisks", "True", ini_);
    QCOMPARE(slurp(ini_), QByteArray("[Search]\r\nType=Advanced\r\nautoasterisks=True\r\n"));
    WriteINI("SEARCH", "", "", ini_);
    QVERIFY(slurp(ini_).isEmpty());
}

void tst_IniFile::readingAcceptsForeignLayouts() {
    // LF line ends, blanks around '=' and names, blank lines, comments, junk lines.
    spit(ini_, "; kept comment\n[ Main ]\n\n  Left = 1440  \nnot a value line\nTop=7\n\n"
               "[Columns]\r\nCol0Width=900\r\n");
    QCOMPARE(ReadINI("Main", "Left", "", ini_), QStringLiteral("1440"));
    QCOMPARE(ReadINI("main", "TOP", "", ini_), QStringLiteral("7"));
    QCOMPARE(ReadINI("Columns", "Col0Width", "", ini_), QStringLiteral("900"));
    // Rewritten in our own layout; the comment stays with its section.
    WriteINI("Main", "Top", "8", ini_);
    QCOMPARE(slurp(ini_), QByteArray("; kept comment\r\n[Main]\r\nLeft=1440\r\nTop=8\r\n"
                                     "[Columns]\r\nCol0Width=900\r\n"));
    // Writing the value already stored leaves the file as it is.
    spit(ini_, "[Main]\nTop=8\n");
    WriteINI("Main", "Top", "8", ini_);
    QCOMPARE(slurp(ini_), QByteArray("[Main]\nTop=8\n"));
    // A UTF-8 signature at the start is understood.
    spit(ini_, "\xEF\xBB\xBF[Main]\r\nTop=9\r\n");
    QCOMPARE(ReadINI("Main", "Top", "", ini_), QStringLiteral("9"));
}

void tst_IniFile::longValuesAreCut() {
    const QString longText(3000, QLatin1Char('x'));
    WriteINI("S", "k", longText, ini_);
    QCOMPARE(ReadINI("S", "k", "", ini_), QString(2047, QLatin1Char('x')));
    // The cut never splits a character made of two UTF-16 units.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    WriteINI("S", "k", QString(2046, QLatin1Char('y')) + clef + clef, ini_);
    QCOMPARE(ReadINI("S", "k", "", ini_), QString(2046, QLatin1Char('y')));
    // A long default is cut as a stored value is.
    QCOMPARE(ReadINI("S", "none", longText, ini_).size(), 2047);
}

void tst_IniFile::nonAsciiTextStaysUtf8() {
    const QString text = QString::fromUtf8("Zoë \"Vellan\", 日本");
    WriteINI("Search_Items", "Current", text, ini_);
    QCOMPARE(ReadINI("search_items", "current", "", ini_), text);
    QVERIFY(slurp(ini_).contains(text.toUtf8()));
}

void tst_IniFile::legacyCodePageFileIsRead() {
    spit(ini_, "[Search_Items]\r\n0=Zo\xEB crew\r\n1=caf\xE9\r\n");
    QCOMPARE(ReadINI("Search_Items", "0", "", ini_), QString::fromUtf8("Zoë crew"));
    WriteINI("Search_Items", "Number", "2", ini_);
    QCOMPARE(slurp(ini_),
             QByteArray("[Search_Items]\r\n0=Zo\xC3\xAB crew\r\n1=caf\xC3\xA9\r\nNumber=2\r\n"));
}

void tst_IniFile::unwritableFileIsLeftAlone() {
    // A file in a folder that does not exist cannot be made.
    const QString nowhere = dir_.filePath(QStringLiteral("no/such/KRVS.ini"));
    QCOMPARE(WriteINI("Main", "Left", "2", nowhere), 0L);
    QCOMPARE(ReadINI("Main", "Left", "d", nowhere), QStringLiteral("d"));
    // A folder standing where the file belongs cannot be written either.
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("folder.ini")));
    QCOMPARE(WriteINI("Main", "Left", "2", dir_.filePath(QStringLiteral("folder.ini"))), 0L);

    WriteINI("Main", "Left", "1", ini_);
    QFile::setPermissions(ini_, QFile::ReadOwner);
    if (QFile probe(ini_); probe.open(QIODevice::Append)) {
        QFile::setPermissions(ini_, QFile::ReadOwner | QFile::WriteOwner);
        QSKIP("file permissions do not bind this user");
    }
    QCOMPARE(WriteINI("Main", "Left", "2", ini_), 0L);
    QCOMPARE(WriteINI("Main", "", "", ini_), 0L);
    QFile::setPermissions(ini_, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(slurp(ini_), QByteArray("[Main]\r\nLeft=1\r\n"));
}

// Three runs of the program as the settings routines write them: the first start
// stores the counter and saves with an empty history, the second and third save
// two searches, the third closes in the advanced mode.
void tst_IniFile::sampleFileAfterThreeRuns() {
    auto save = [this](int runs, const QStringList& history, const QString& type) {
        WriteINI("Main", "Backup_Warn", QString::number(runs), ini_);
        WriteINI("Main", "Left", "1440", ini_);
        WriteINI("Main", "Top", "1080", ini_);
        WriteINI("Main", "Width", "12000", ini_);
        WriteINI("Main", "Height", "8400", ini_);
        WriteINI("Main", "Maximized", "False", ini_);
        WriteINI("Columns", "Col0Width", "1000", ini_);
        WriteINI("Columns", "Col1Width", "1000", ini_);
        WriteINI("Search", "AutoAsterisks", "True", ini_);
        WriteINI("Search_Items", "", "", ini_);
        WriteINI("Search_Items", "Number", QString::number(history.size()), ini_);
        WriteINI("Search_Items", "Current", "Vellan,Qorth", ini_);
        for (int i = 0; i < history.size(); ++i)
            WriteINI("Search_Items", QString::number(i), history[i], ini_);
        const char* checks[][2] = {{"Title", "1"},      {"Comments", "0"},  {"VEX", "0"},
                                   {"NOR", "1"},        {"ZYN", "1"},       {"DR7", "0"},
                                   {"YesOwn", "False"}, {"NoOwn", "False"}, {"BothOwn", "True"},
                                   {"BTS", "0"},        {"Char", "1"},      {"Crew", "1"},
                                   {"Culture", "0"},    {"Episode", "1"},   {"FilmSyn", "0"},
                                   {"Race", "0"},       {"Ship", "0"},      {"Tech", "0"}};
        for (const auto& c : checks)
            WriteINI("Checks", c[0], c[1], ini_);
        WriteINI("Search", "Type", type, ini_);
    };
    for (int run = 1; run <= 3; ++run) {
        const int count = ReadINI("Main", "Backup_Warn", "0", ini_).toInt() + 1;
        WriteINI("Main", "Backup_Warn", QString::number(count), ini_);
        save(count, run == 1 ? QStringList() : QStringList{"Vellan,Qorth", "comet*"},
             run == 3 ? "Simple" : "Advanced");
    }
    const QByteArray expected = "[Main]\r\n"
                                "Backup_Warn=3\r\n"
                                "Left=1440\r\n"
                                "Top=1080\r\n"
                                "Width=12000\r\n"
                                "Height=8400\r\n"
                                "Maximized=False\r\n"
                                "[Columns]\r\n"
                                "Col0Width=1000\r\n"
                                "Col1Width=1000\r\n"
                                "[Search]\r\n"
                                "AutoAsterisks=True\r\n"
                                "Type=Simple\r\n"
                                "[Checks]\r\n"
                                "Title=1\r\n"
                                "Comments=0\r\n"
                                "VEX=0\r\n"
                                "NOR=1\r\n"
                                "ZYN=1\r\n"
                                "DR7=0\r\n"
                                "YesOwn=False\r\n"
                                "NoOwn=False\r\n"
                                "BothOwn=True\r\n"
                                "BTS=0\r\n"
                                "Char=1\r\n"
                                "Crew=1\r\n"
                                "Culture=0\r\n"
                                "Episode=1\r\n"
                                "FilmSyn=0\r\n"
                                "Race=0\r\n"
                                "Ship=0\r\n"
                                "Tech=0\r\n"
                                "[Search_Items]\r\n"
                                "Number=2\r\n"
                                "Current=Vellan,Qorth\r\n"
                                "0=Vellan,Qorth\r\n"
                                "1=comet*\r\n";
    QCOMPARE(slurp(ini_), expected);
}

// The error number a call raises, 0 when it raises none.
template <typename F> int errorOf(F f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

void tst_IniFile::leadingNumberReading_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "1440" << 1440.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("text") << "abc" << 0.0;
    QTest::newRow("trailing text") << "12abc" << 12.0;
    QTest::newRow("blanks anywhere") << " 1 2\t3 " << 123.0;
    QTest::newRow("negative") << "-300" << -300.0;
    QTest::newRow("sign apart") << "- 30" << -30.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("double sign") << "--7" << 0.0;
    QTest::newRow("decimal") << "2.5x" << 2.5;
    QTest::newRow("bare point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1.5E3" << 1500.0;
    QTest::newRow("D exponent") << "2d2" << 200.0;
    QTest::newRow("exponent without digits") << "3e+" << 3.0;
    QTest::newRow("comma stops") << "12,5" << 12.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
}

void tst_IniFile::leadingNumberReading() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(leadingNumber(text), value);
}

void tst_IniFile::wholeNumbersRoundHalvesToEven() {
    QCOMPARE(leadingWhole("2.5"), 2);
    QCOMPARE(leadingWhole("3.5"), 4);
    QCOMPARE(leadingWhole("-2.5"), -2);
    QCOMPARE(leadingWhole("2.51"), 3);
    QCOMPARE(leadingWhole("abc"), 0);
    // A damaged placement never raises: far too large values are held at the ends.
    QCOMPARE(leadingWhole("99999999999"), std::numeric_limits<qint32>::max());
    QCOMPARE(leadingWhole("-1e400"), std::numeric_limits<qint32>::min());
    QCOMPARE(leadingInt16("40"), qint16(40));
    QCOMPARE(leadingInt16("32767.4"), qint16(32767));
    QCOMPARE(leadingInt16("-32768"), qint16(-32768));
    QCOMPARE(errorOf([] { leadingInt16("32767.5"); }), 6);
    QCOMPARE(errorOf([] { leadingInt16("100000"); }), 6);
    QCOMPARE(strictWhole(" 1000 "), 1000);
    QCOMPARE(strictWhole("1000.5"), 1000);
    QCOMPARE(strictWhole("-1"), -1);
    QCOMPARE(errorOf([] { strictWhole("1e10"); }), 6);
}

void tst_IniFile::strictReadingsRaise() {
    QCOMPARE(strictBool("True"), true);
    QCOMPARE(strictBool("fALSE"), false);
    QCOMPARE(strictBool(" true "), true);
    QCOMPARE(strictBool("0"), false);
    QCOMPARE(strictBool("-1"), true);
    QCOMPARE(strictBool("0.5"), true);
    for (const char* bad : {"", " ", "yes", "Truex", "1a", "T"})
        QVERIFY2(errorOf([bad] { strictBool(bad); }) == 13, bad);
    for (const char* bad : {"", "abc", "12abc", "1 2", "-", "."})
        QVERIFY2(errorOf([bad] { strictWhole(bad); }) == 13, bad);
    QCOMPARE(errorOf([] { strictNumber("1e999"); }), 6);
}

void tst_IniFile::checkBoxValues() {
    for (int v : {0, 1, 2})
        QCOMPARE(checkBoxValue(v), v);
    for (int v : {-1, 3, 1000})
        QCOMPARE(errorOf([v] { checkBoxValue(v); }), 380);
    // A damaged check box reads as 0 and clears the box.
    QCOMPARE(checkBoxValue(leadingWhole("ticked")), 0);
    QCOMPARE(checkBoxValue(leadingWhole("2.5")), 2);
}

void tst_IniFile::windowFitsTheScreen() {
    const qint32 sw = 28800, sh = 16200, minW = 10875;
    // Too narrow: the smallest width.
    QCOMPARE(fitWindowToScreen({1440, 1080, 5000, 8400}, minW, sw, sh),
             (WindowRect{1440, 1080, 10875, 8400}));
    // Off the left and top edges: moved to 0.
    QCOMPARE(fitWindowToScreen({-300, -15, 12000, 8400}, minW, sw, sh),
             (WindowRect{0, 0, 12000, 8400}));
    // Past the right and bottom edges: ends at the edge.
    QCOMPARE(fitWindowToScreen({20000, 10000, 12000, 8400}, minW, sw, sh),
             (WindowRect{16800, 7800, 12000, 8400}));
    // Larger than the screen: the screen's size at its corner.
    QCOMPARE(fitWindowToScreen({500, 500, 40000, 20000}, minW, sw, sh), (WindowRect{0, 0, sw, sh}));
    // A negative height becomes 0.
    QCOMPARE(fitWindowToScreen({0, 100, 12000, -5}, minW, sw, sh), (WindowRect{0, 100, 12000, 0}));
    // A screen narrower than the smallest width wins over it.
    QCOMPARE(fitWindowToScreen({100, 0, 12000, 5000}, minW, 9600, sh),
             (WindowRect{0, 0, 9600, 5000}));
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
