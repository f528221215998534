#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
