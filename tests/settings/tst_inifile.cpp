#include "settings/IniFile.h"
#include "settings/SettingValues.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace krvs;
using namespace krvs::test;

class tst_IniFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini_;
    long put(const char* s, const char* k, const QString& v) { return WriteINI(s, k, v, ini_); }
    QString get(const char* s, const char* k, const char* def = "") {
        return ReadINI(s, k, def, ini_);
    }

  private slots:
    void init() {
        ini_ = dir_.filePath(QStringLiteral("KRVS.ini"));
        QFile::remove(ini_);
    }

    // Edits stored together leave exactly what the same writes one by one leave, over
    // any earlier file: sections and keys in their order, a section deleted and written
    // afresh at the end, empty values deleting, nothing written when nothing changes.
    void editsTogetherAsOneByOne_data() {
        QTest::addColumn<QByteArray>("earlier");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("earlier settings")
            << QByteArray("[Search_Items]\r\nNumber=3\r\n0=a\r\n1=b\r\n2=c\r\n[Main]\r\n"
                          "Backup_Warn=4\r\nLeft=100\r\n[Checks]\r\nTitle=1\r\n");
        QTest::newRow("comments and odd spacing")
            << QByteArray("; kept\n[main]\nbackup_warn = 9\n\n[Other]\nk=v\n");
    }
    void editsTogetherAsOneByOne() {
        QFETCH(QByteArray, earlier);
        const QString together = dir_.filePath("together.ini");
        QFile::remove(together);
        if (!earlier.isEmpty()) {
            QVERIFY(writeFileBytes(ini_, earlier));
            QVERIFY(writeFileBytes(together, earlier));
        }
        const QList<QStringList> writes = {
            {"Main", "Backup_Warn", "5"},    {"Main", "Left", "-300"},
            {"Main", "Maximized", "False"},  {"Search_Items", "", ""},
            {"Search_Items", "Number", "2"}, {"Search_Items", "Current", ""},
            {"Search_Items", "0", "comet*"}, {"Search_Items", "1", ""},
            {"Checks", "Title", "0"},        {"Search", "Type", "Simple"}};
        IniEdit edit(together);
        for (const QStringList& v : writes) {
            QVERIFY(WriteINI(v[0], v[1], v[2], ini_) != 0);
            edit.write(v[0], v[1], v[2]);
        }
        QVERIFY(edit.commit());
        QCOMPARE(readFileBytes(together), readFileBytes(ini_));
        if (earlier.isEmpty())
            QVERIFY(readFileBytes(together).contains(
                "[Search_Items]\r\nNumber=2\r\n0=comet*\r\n[Checks]"));
        // A second save moves the history to the end; a third changes nothing, and the file
        // is not written again (its time stays).
        const auto saveAgain = [&] {
            IniEdit again(together);
            for (const QStringList& v : writes)
                again.write(v[0], v[1], v[2]);
            return again.commit();
        };
        QVERIFY(saveAgain());
        QVERIFY(readFileBytes(together).endsWith("[Search_Items]\r\nNumber=2\r\n0=comet*\r\n"));
        const QDateTime written = QFileInfo(together).lastModified();
        QTest::qWait(20);
        QVERIFY(saveAgain());
        QCOMPARE(QFileInfo(together).lastModified(), written);
        QCOMPARE(QDir(dir_.path()).entryList({"*.ini.*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // A folder that takes no new file (a user's read-only program folder) still lets a
    // writable settings file be saved, over itself; a read-only file stays as it was.
    // Root may write anywhere, so as root the writes run as an ordinary user.
    void readOnlyFolder_data() {
        QTest::addColumn<bool>("fileWritable");
        QTest::newRow("writable file") << true;
        QTest::newRow("read-only file") << false;
    }
    void readOnlyFolder() {
        QFETCH(bool, fileWritable);
        const QString folder = dir_.filePath("ro");
        QVERIFY(QDir().mkpath(folder));
        const QString ini = folder + "/KRVS.ini";
        const QByteArray before("[Main]\r\nLeft=100\r\n[Search_Items]\r\nNumber=1\r\n0=a\r\n");
        QVERIFY(writeFileBytes(ini, before));
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        ::chmod(QFile::encodeName(ini).constData(), fileWritable ? 0666 : 0444);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        const auto save = [&] {
            IniEdit edit(ini);
            edit.write("Main", "Left", "2000");
            edit.write("Search_Items", "", "");
            edit.write("Search_Items", "Number", "0");
            return edit.commit();
        };
        bool saved = false;
        if (::geteuid() == 0) {
            const pid_t child = ::fork();
            if (child == 0) {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
                ::_exit(save() ? 0 : 1);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) != 3);
            saved = WEXITSTATUS(status) == 0;
        } else {
            saved = save();
        }
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QCOMPARE(saved, fileWritable);
        QCOMPARE(readFileBytes(ini),
                 fileWritable ? QByteArray("[Main]\r\nLeft=2000\r\n[Search_Items]\r\nNumber=0\r\n")
                              : before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"KRVS.ini"});
    }

    void writingAndDeleting() {
        QCOMPARE(get("Main", "Left", "720"), QStringLiteral("720"));
        // Deleting from a file that does not exist creates nothing.
        QVERIFY(put("Main", "Left", "") != 0 && put("Main", "", "") != 0);
        QVERIFY(!QFile::exists(ini_));
        // A file that cannot be made is reported as not written.
        QCOMPARE(WriteINI("Main", "Left", "2", dir_.filePath("no/such/KRVS.ini")), 0L);

        QVERIFY(put("A", "one", "1") != 0);
        put("B", "x", "x");
        put("A", "two", "2");      // a new key goes to the end of its section
        put("C", "y", "y");        // a new section to the end of the file
        put("a", "ONE", "uno");    // an existing key keeps its place and spelling
        put("B", "x", "a = b\nc"); // a line break would break the file
        QCOMPARE(readFileBytes(ini_), QByteArray("[A]\r\none=uno\r\ntwo=2\r\n[B]\r\nx=a = b c\r\n"
                                                 "[C]\r\ny=y\r\n"));
        put("A", "one", ""); // an empty value deletes the key
        QCOMPARE(get("b", "X") + get("A", "one", "gone"), QStringLiteral("a = b cgone"));
        put("A", "", "ignored"); // an empty key deletes the section
        put("A", "two", "2");    // which, written again, comes last
        QCOMPARE(readFileBytes(ini_),
                 QByteArray("[B]\r\nx=a = b c\r\n[C]\r\ny=y\r\n[A]\r\ntwo=2\r\n"));
        // An empty value stored by hand is a value, not a missing key.
        QVERIFY(writeFileBytes(ini_, "[A]\r\ntwo=\r\n"));
        QCOMPARE(get("A", "two", "d"), QString(""));
    }

    void foreignLayoutsAndCharacterSets() {
        // LF line ends, blanks around names and values, blank lines, comments, junk.
        QVERIFY(writeFileBytes(
            ini_, "; kept\n[ Main ]\n\n  Left = 1440  \njunk line\nTop=7\n\n[Columns]\r\nC=9\r\n"));
        QCOMPARE(get("Main", "Left") + get("Columns", "c"), QStringLiteral("14409"));
        put("Main", "Top", "8");
        QCOMPARE(readFileBytes(ini_),
                 QByteArray("; kept\r\n[Main]\r\nLeft=1440\r\nTop=8\r\n[Columns]\r\nC=9\r\n"));
        // A UTF-8 signature is understood; non-ASCII text is kept as UTF-8.
        QVERIFY(writeFileBytes(ini_, "\xEF\xBB\xBF[S]\r\nk=9\r\n"));
        QCOMPARE(get("S", "k"), QStringLiteral("9"));
        const QString text = QString::fromUtf8("Zoë \"Vellan\", 日本");
        put("S", "k", text);
        QVERIFY(get("S", "k") == text && readFileBytes(ini_).contains(text.toUtf8()));
        // A file an older release wrote in an 8-bit code page is read and kept as UTF-8.
        QVERIFY(writeFileBytes(ini_, "[S]\r\n0=Zo\xEB crew\r\n"));
        QCOMPARE(get("S", "0"), QString::fromUtf8("Zoë crew"));
        put("S", "1", "x");
        QCOMPARE(readFileBytes(ini_), QByteArray("[S]\r\n0=Zo\xC3\xAB crew\r\n1=x\r\n"));
        // Also when its last byte could start a UTF-8 character: the file ends there.
        QVERIFY(writeFileBytes(ini_, "[S]\r\n0=Cart\xE3"));
        QCOMPARE(get("S", "0"), QString::fromUtf8("Cartã"));
        put("S", "1", QString::fromUtf8("é"));
        QCOMPARE(get("S", "1"), QString::fromUtf8("é"));
        put("S", "2", QString::fromUtf8("\uFEFF; x"));
        QCOMPARE(get("S", "2"), QString::fromUtf8("\uFEFF; x"));
        // Long values are cut, never inside a character made of two UTF-16 units.
        put("S", "k", QString(3000, 'x'));
        QCOMPARE(get("S", "k"), QString(2047, 'x'));
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
        put("S", "k", QString(2046, 'y') + clef + clef);
        QCOMPARE(get("S", "k"), QString(2046, 'y'));
    }

    void windowFitsTheScreen() {
        const auto fit = [](WindowRect r, qint32 sw) {
            return fitWindowToScreen(r, 10875, sw, 16200);
        };
        QCOMPARE(fit({20000, 10000, 12000, 8400}, 28800), (WindowRect{16800, 7800, 12000, 8400}));
        QCOMPARE(fit({500, 500, 40000, -5}, 28800), (WindowRect{0, 500, 28800, 0}));
        QCOMPARE(fit({500, 500, 12000, 20000}, 9600), (WindowRect{0, 0, 9600, 16200}));
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
