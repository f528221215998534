// What follows the desktop's locale, run in a child in a locale built for the run.
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
// Characters only some sets hold: Polish, Danish, a dash, Cyrillic and the euro sign.
const QString kMixed = QString::fromUtf8("Łódź Ærø – Жук €");

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

    // Both formats through File > Save Results As, into the files the parent names.
    void exportThroughTheMenu() {
        const QByteArray charset = childValue("KRVS_CHARSET").toLatin1();
        QVERIFY2(TextEncoder::localeCharset() == charset,
                 qPrintable("the program runs with \"" + TextEncoder::localeCharset() + "\""));
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
        const QList<std::pair<qint64, const char*>> rows = {
            {0, "0 bytes"},         {1023, "1023 bytes"},
            {k, "1.00 KB"},         {1536, "1.50 KB"},
            {m - 1, "1024.00 KB"}, // the unit is chosen before rounding
            {m, "1.00 MB"},         {1000 * m + 5 * k * 1024 / 100, "1000.05 MB"},
            {2 * g - 1, "2.00 GB"}, {2 * g, "2.00 GB"},
            {3 * g, "3.00 GB"}};
        for (const auto& [n, text] : rows)
            QTest::addRow("%lld", n) << n << QString(text);
    }
    // Sparse files of the sizes: no disk space is used.
    void sizeTexts() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QFile f(dir.filePath("sized.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(bytes));
        f.close();
        QCOMPARE(FileSizeText(f.fileName()), text.replace('.', childValue("KRVS_POINT")));
    }

    // Compaction's result box gives both sizes in the locale's number format.
    void compactionBox() {
        w = startMainWindow(ui.get(), childValue("KRVS_FOLDER"));
        const qint64 before = QFileInfo(w->catalogue().file()).size();
        ui->answer(mb::AnsOK, "Compact successful");
        w->mnuCompact->trigger();
        const qint64 after = QFileInfo(w->catalogue().file()).size();
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

    // A click on the Title header sorts ascending, a second one descending.
    void headerClickSorts() {
        w = startMainWindow(ui.get(), childValue("KRVS_FOLDER"));
        FlexGrid* grid = w->fgdCards;
        QHeaderView* h = grid->horizontalHeader();
        const QPoint title(h->sectionViewportPosition(3) + h->sectionSize(3) / 2, h->height() / 2);
        for (const auto& [caption, order] :
             {std::pair("Title ^", "KRVS_ORDER"), std::pair("Title v", "KRVS_ORDER_DOWN")}) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
            QStringList titles;
            for (int r = 1; r < grid->Rows(); ++r)
                titles << grid->TextMatrix(r, 3);
            QCOMPARE(grid->TextMatrix(0, 3), QString(caption));
            QCOMPARE(titles.join('|'), childValue(order));
        }
        w->close();
    }
};

class TestLocaleApp : public QObject {
    Q_OBJECT
    QMap<QString, QStringList> exported_; // locale -> the text and CSV files, decoded
    std::unique_ptr<AppFolder> exportFolder_;

    // Runs the child's functions in the locale: empty when they passed, else the report.
    QString runIn(const NamedLocale& locale, const QStringList& functions,
                  const QProcessEnvironment& env) {
        QString why;
        const QString locpath = buildLocale(locale, &why);
        if (locpath.isEmpty()) return why;
        const ChildResult r = runChildInLocale(locpath, locale.name, functions, env);
        return r.exitCode == 0 ? QString() : QString("in %1: %2").arg(locale.name, r.output);
    }

    static std::unique_ptr<AppFolder> folderWith(const QString& csv) {
        auto f = std::make_unique<AppFolder>();
        f->skipFirstStartWarning();
        return makeCatalogueFromCsv(f->catalogue(), csv) ? std::move(f) : nullptr;
    }

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
        *failed = runIn(locale, {"exportThroughTheMenu"}, env);
        QStringList files;
        for (const QString& path : {text, csv}) {
            QStringDecoder decode(locale.charmap.toLatin1().constData());
            files << decode(readFileBytes(path));
            if (decode.hasError() && failed->isEmpty())
                *failed = path + " is not in " + locale.charmap;
        }
        return failed->isEmpty() ? exported_[locale.name] = files : QStringList();
    }

  private slots:
    void initTestCase() {
        exportFolder_ =
            folderWith("DbId,Index,Title,UserComments\n1,A1,Vellan crew,first\n2,A2," + kMixed +
                       ',' + kMixed + "\n3,A3,Zhadek,after\n4,A4,Qorth,last\n");
        QVERIFY(exportFolder_);
    }

    // Only what an 8-bit set cannot hold becomes "?"; the rest as in a UTF-8 desktop.
    void exportInTheDesktopCharacterSet_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written"); // the mixed title as the file holds it
        QTest::newRow("ISO-8859-15") << "de_DE.ISO-8859-15" << QString("?ód? Ærø ? ??? €");
        QTest::newRow("KOI8-R") << "ru_RU.KOI8-R" << QString("??d? ?r? ? Жук ?");
        QTest::newRow("CP1252") << "de_DE.CP1252" << QString("?ód? Ærø – ??? €");
        QTest::newRow("UTF-8") << "de_DE.UTF-8" << kMixed;
    }
    void exportInTheDesktopCharacterSet() {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QString failed;
        const QStringList utf8 = exportIn({"de_DE.UTF-8", "de_DE", "UTF-8"}, &failed);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QStringList files = exportIn({name, name.left(5), name.mid(6)}, &failed);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QVERIFY(utf8[0].endsWith("\"last\" \r\n" + QString(5, ' ') + QString(94, '_') + "\r\n"));
        QVERIFY(utf8[1].endsWith("\"last\",\r\n"));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(utf8[i].count(kMixed), 2); // the title and the comment of card 2
            QCOMPARE(files[i], QString(utf8[i]).replace(kMixed, written));
        }
    }

    // The decimal point, and the collation (Swedish puts "Ö" after "Z", German with "O").
    void sizeTextsFollowTheLocale_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("down");
        const QString de = "|   |2|10|ábaco|Abend|Éverin|ewer|Öland|Ostwind|Zhadek",
                      deDown = "Zhadek|Ostwind|Öland|ewer|Éverin|Abend|ábaco|10|2||   ";
        QTest::newRow("en_US") << "en_US.UTF-8"
                               << "." << de << deDown;
        QTest::newRow("de_DE") << "de_DE.UTF-8"
                               << "," << de << deDown;
        QTest::newRow("sv_SE") << "sv_SE.UTF-8"
                               << ","
                               << "|   |2|10|ábaco|Abend|Éverin|ewer|Ostwind|Zhadek|Öland"
                               << "Öland|Zhadek|Ostwind|ewer|Éverin|Abend|ábaco|10|2||   ";
    }
    void sizeTextsFollowTheLocale() {
        QFETCH(QString, name);
        QString csv = "DbId,Index,Title\n";
        const QStringList titles = {"Zhadek", "10",    "Éverin", "",        "Öland", "ewer",
                                    "2",      "Abend", "   ",    "Ostwind", "ábaco"};
        for (int i = 0; i < titles.size(); ++i)
            csv += QString("%1,X%1,%2\n").arg(i + 1).arg(titles[i]);
        auto folder = folderWith(csv);
        QVERIFY(folder);
        QProcessEnvironment env;
        env.insert("KRVS_FOLDER", folder->path());
        QFETCH(QString, point);
        QFETCH(QString, order);
        QFETCH(QString, down);
        env.insert("KRVS_POINT", point);
        env.insert("KRVS_ORDER", order);
        env.insert("KRVS_ORDER_DOWN", down);
        const QString failed = runIn({name, name.left(5), "UTF-8"},
                                     {"sizeTexts", "compactionBox", "headerClickSorts"}, env);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
};

KRVS_CHILD_TEST_MAIN(TestLocaleApp, InLocale, )
#include "tst_locale_app.moc"
