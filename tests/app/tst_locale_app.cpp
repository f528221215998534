// What the user sees depends on the desktop's locale: the character set of the export
// files, the decimal point of size texts and the order of text in the grid. Each case
// runs the program again as a child in a locale built for the run.
#include "app/frmKRVS.h"
#include "export/ResultsExport.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/LocaleChild.h"
#include "support/TestFiles.h"
#include "util/SizeText.h"

#include <QHeaderView>
#include <QStringDecoder>
#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

// A title with characters that only some sets hold: Polish, Danish, a dash, Cyrillic
// and the euro sign.
const QString kMixed = QString::fromUtf8("Łódź Ærø – Жук €");

// Environment entries handed from the test to its child.
QString childValue(const char* name) {
    return qEnvironmentVariable(name);
}

} // namespace

// The cases as they run inside the locale.
class InLocale : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() { begin(); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // Both formats through File > Save Results As, into the files the test names.
    void exportThroughTheMenu() {
        const QByteArray charset = childValue("KRVS_CHARSET").toLatin1();
        QVERIFY2(TextEncoder::localeCharset() == charset,
                 qPrintable("the program runs with the character set \"" +
                            TextEncoder::localeCharset() + "\", not " + charset));
        w = startMainWindow(ui.get(), childValue("KRVS_FOLDER"));
        QCOMPARE(w->fgdCards->Rows(), 5);
        for (int i : {0, 1}) {
            ui->saveAs(childValue(i == 0 ? "KRVS_TEXT" : "KRVS_CSV"));
            ui->answer(mb::AnsNo, "View file?");
            w->mnuSaveIt[i]->trigger();
        }
        w->close();
    }

    void sizeTexts_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text"); // with "." for the locale's decimal point
        const qint64 k = 1024, m = k * k, g = m * k;
        auto row = [](const char* name, qint64 n, const char* text) {
            QTest::newRow(name) << n << QString(text);
        };
        row("empty", 0, "0 bytes");
        row("1023", 1023, "1023 bytes");
        row("1 KB", k, "1.00 KB");
        row("1.5 KB", 1536, "1.50 KB");
        row("below 1 MB", m - 1, "1024.00 KB"); // the unit is chosen before rounding
        row("1 MB", m, "1.00 MB");
        row("1000 MB", 1000 * m + 5 * k * 1024 / 100, "1000.05 MB");
        row("below 2 GB", 2 * g - 1, "2.00 GB");
        row("2 GB", 2 * g, "2.00 GB");
        row("3 GB", 3 * g, "3.00 GB");
    }
    // Sparse files of the sizes: no disk space is used.
    void sizeTexts() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath("sized.bin");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(bytes));
        f.close();
        QCOMPARE(FileSizeText(path), text.replace('.', childValue("KRVS_POINT")));
    }

    // Compaction's result box gives both sizes in the locale's number format.
    void compactionBox() {
        w = startMainWindow(ui.get(), childValue("KRVS_FOLDER"));
        const qint64 before = QFileInfo(w->g.gDbPath).size();
        ui->answer(mb::AnsOK, "Compact successful");
        w->mnuCompact->trigger();
        const qint64 after = QFileInfo(w->g.gDbPath).size();
        auto kb = [](qint64 n) {
            return QString::number(n / 1024.0, 'f', 2).replace('.', childValue("KRVS_POINT")) +
                   " KB";
        };
        QVERIFY(before >= 1024 && before < 1048576);
        QVERIFY2(ui->boxes.value(0).text.endsWith("Size before compacting:\t" + kb(before) +
                                                  "\r\nSize after compacting:\t" + kb(after)),
                 qPrintable(ui->boxes.value(0).text));
        w->close();
    }

    // A click on the Title header sorts ascending, a second one descending (the blank
    // cells last, in their own order).
    void headerClickSorts() {
        w = startMainWindow(ui.get(), childValue("KRVS_FOLDER"));
        FlexGrid* grid = w->fgdCards;
        QHeaderView* h = grid->horizontalHeader();
        const QPoint title(h->sectionViewportPosition(3) + h->sectionSize(3) / 2, h->height() / 2);
        auto titles = [grid] {
            QStringList t;
            for (int r = 1; r < grid->Rows(); ++r)
                t << grid->TextMatrix(r, 3);
            return t.join('|');
        };
        const QString expected = childValue("KRVS_ORDER");
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(grid->TextMatrix(0, 3), QString("Title ^"));
        QCOMPARE(titles(), expected);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(grid->TextMatrix(0, 3), QString("Title v"));
        QCOMPARE(titles(), childValue("KRVS_ORDER_DOWN"));
        w->close();
    }
};

class TestLocaleApp : public QObject {
    Q_OBJECT
    QMap<QString, QStringList> exported_; // locale -> the text and CSV files' bytes decoded

    // Builds the locale and runs the child's function in it; empty when the child passed,
    // otherwise why not (the child's report).
    QString runIn(const NamedLocale& locale, const QString& function,
                  const QProcessEnvironment& env) {
        QString why;
        const QString locpath = buildLocale(locale, &why);
        if (locpath.isEmpty()) return why;
        const ChildResult r = runChildInLocale(locpath, locale.name, function, env);
        return r.exitCode == 0 ? QString() : QString("in %1: %2").arg(locale.name, r.output);
    }

    // A program folder with a catalogue of the cards in csv.
    static std::unique_ptr<AppFolder> folderWith(const QString& csv) {
        auto f = std::make_unique<AppFolder>();
        f->skipFirstStartWarning();
        if (!makeCatalogueFromCsv(f->catalogue(), csv)) return nullptr;
        return f;
    }

    std::unique_ptr<AppFolder> exportFolder_;

    // The two export files made in the locale, decoded from its character set.
    QStringList exportIn(const NamedLocale& locale, QString* failed) {
        if (exported_.contains(locale.name)) return exported_[locale.name];
        QProcessEnvironment env;
        const QString text = exportFolder_->dir.filePath(locale.name + ".txt");
        const QString csv = exportFolder_->dir.filePath(locale.name + ".csv");
        env.insert("KRVS_FOLDER", exportFolder_->path());
        env.insert("KRVS_CHARSET", locale.charmap);
        env.insert("KRVS_TEXT", text);
        env.insert("KRVS_CSV", csv);
        *failed = runIn(locale, "exportThroughTheMenu", env);
        if (!failed->isEmpty()) return {};
        QStringList files;
        for (const QString& path : {text, csv}) {
            QStringDecoder decode(locale.charmap.toLatin1().constData());
            const QString decoded = decode(readFileBytes(path));
            if (decode.hasError()) {
                *failed = path + " is not in " + locale.charmap;
                return {};
            }
            files << decoded;
        }
        return exported_[locale.name] = files;
    }

  private slots:
    void initTestCase() {
        exportFolder_ = folderWith("DbId,Index,Title,UserComments\n"
                                   "1,A1,Vellan crew,first\n"
                                   "2,A2," +
                                   kMixed + ',' + kMixed +
                                   "\n"
                                   "3,A3,Zhadek,after\n"
                                   "4,A4,Qorth,last\n");
        QVERIFY(exportFolder_);
    }

    // Only the characters an 8-bit set cannot hold become "?"; every later row and the
    // closing rule are written as in a UTF-8 desktop.
    void exportInTheDesktopCharacterSet_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("charmap");
        QTest::addColumn<QString>("written"); // the mixed title as the file holds it
        auto row = [](const char* name, const char* source, const char* charmap,
                      const char* written) {
            QTest::newRow(charmap) << QString(name) << QString(source) << QString(charmap)
                                   << QString::fromUtf8(written);
        };
        row("de_DE.ISO-8859-15", "de_DE", "ISO-8859-15", "?ód? Ærø ? ??? €");
        row("ru_RU.KOI8-R", "ru_RU", "KOI8-R", "??d? ?r? ? Жук ?");
        row("de_DE.CP1252", "de_DE", "CP1252", "?ód? Ærø – ??? €");
        row("de_DE.UTF-8", "de_DE", "UTF-8", "Łódź Ærø – Жук €");
    }
    void exportInTheDesktopCharacterSet() {
        QFETCH(QString, name);
        QFETCH(QString, source);
        QFETCH(QString, charmap);
        QFETCH(QString, written);
        QString failed;
        const QStringList utf8 = exportIn({"de_DE.UTF-8", "de_DE", "UTF-8"}, &failed);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QStringList files = exportIn({name, source, charmap}, &failed);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QString rule = QString(5, ' ') + QString(94, '_') + "\r\n";
        QVERIFY(utf8[0].endsWith("\"last\" \r\n" + rule));
        QVERIFY(utf8[1].endsWith("\"last\",\r\n"));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(utf8[i].count(kMixed), 2); // the title and the comment of card 2
            QCOMPARE(files[i], QString(utf8[i]).replace(kMixed, written));
        }
    }

    // The decimal point follows the locale; no group separator, however large the file.
    void sizeTextsFollowTheLocale_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("point");
        QTest::newRow("en_US") << "en_US.UTF-8"
                               << ".";
        QTest::newRow("de_DE") << "de_DE.UTF-8"
                               << ",";
    }
    void sizeTextsFollowTheLocale() {
        QFETCH(QString, name);
        QFETCH(QString, point);
        auto folder = folderWith("DbId,Index,Title\n1,A1,One\n2,A2,Two\n");
        QVERIFY(folder);
        QProcessEnvironment env;
        env.insert("KRVS_POINT", point);
        env.insert("KRVS_FOLDER", folder->path());
        const NamedLocale locale{name, name.left(5), "UTF-8"};
        for (const char* function : {"sizeTexts", "compactionBox"}) {
            const QString failed = runIn(locale, function, env);
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
        }
    }

    // Text by the locale's collation with case ignored, numbers by value, blank cells
    // first. Swedish puts "Ö" after "Z"; German sorts it with "O".
    void headerClickSortsByTheLocale_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("down");
        QTest::newRow("de_DE") << "de_DE.UTF-8"
                               << "|   |2|10|ábaco|Abend|Éverin|ewer|Öland|Ostwind|Zhadek"
                               << "Zhadek|Ostwind|Öland|ewer|Éverin|Abend|ábaco|10|2||   ";
        QTest::newRow("sv_SE") << "sv_SE.UTF-8"
                               << "|   |2|10|ábaco|Abend|Éverin|ewer|Ostwind|Zhadek|Öland"
                               << "Öland|Zhadek|Ostwind|ewer|Éverin|Abend|ábaco|10|2||   ";
    }
    void headerClickSortsByTheLocale() {
        QFETCH(QString, name);
        QFETCH(QString, order);
        QFETCH(QString, down);
        const QStringList titles = {"Zhadek", "10",    "Éverin", "",        "Öland", "ewer",
                                    "2",      "Abend", "   ",    "Ostwind", "ábaco"};
        QString csv = "DbId,Index,Title\n";
        for (int i = 0; i < titles.size(); ++i)
            csv += QString("%1,X%1,%2\n").arg(i + 1).arg(titles[i]);
        auto folder = folderWith(csv);
        QVERIFY(folder);
        QProcessEnvironment env;
        env.insert("KRVS_FOLDER", folder->path());
        env.insert("KRVS_ORDER", order);
        env.insert("KRVS_ORDER_DOWN", down);
        const QString failed = runIn({name, name.left(5), "UTF-8"}, "headerClickSorts", env);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
};

KRVS_CHILD_TEST_MAIN(TestLocaleApp, InLocale, )
#include "tst_locale_app.moc"
