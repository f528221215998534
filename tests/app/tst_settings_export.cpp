#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "settings/IniFile.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "ui/Twips.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

// Loads the settings into w; the AppError number raised, 0 for none.
int load(frmKRVS& w) try {
    w.LoadINI();
    return 0;
} catch (const AppError& e) {
    return e.number();
}

// Everything the settings restore as "|key=value|" pieces; ticks: boxes set (":value" unless 1).
QString restored(const frmKRVS& w) {
    const auto n = [](int v) { return QString::number(v); };
    QStringList cols, items, ticks;
    for (int c = 0; c < w.fgdCards->Cols(); ++c)
        cols << n(w.fgdCards->ColWidth(c));
    for (int i = 0; i < w.cboSearch->count(); ++i)
        items << w.cboSearch->itemText(i);
    for (const QCheckBox* c : w.findChildren<QCheckBox*>())
        if (const int v = frmKRVS::chkValue(c))
            ticks << c->objectName().mid(3) + (v == 1 ? QString() : ":" + n(v));
    const QString place = QString("%1,%2 %3x%4")
                              .arg(pxToTwips(w.x()))
                              .arg(pxToTwips(w.y()))
                              .arg(w.outerWidthTw())
                              .arg(w.outerHeightTw());
    const QString own = QString(w.optYesOwn->isChecked() ? "Y" : "") +
                        (w.optNoOwn->isChecked() ? "N" : "") +
                        (w.optBothOwn->isChecked() ? "B" : "");
    // The start count is stored again as soon as it is read.
    const QString ini = QDir(w.programFolder()).filePath(w.exeName() + ".ini");
    const QString run = ReadINI("Main", "Backup_Warn", "", ini);
    return QString("|run=%1|place=%2|max=%3|auto=%4|cols=%5|items=%6|current=%7|ticks=%8|own=%9")
               .arg(run, place, n(w.isMaximized()), n(w.mnuAutoAst->isChecked()), cols.join(','),
                    items.join(','), w.cboSearch->currentText(), ticks.join(','), own) +
           "|mode=" + w.cmdAdv->text() + '|';
}

// Every "|"-separated piece of expected is one of the pieces restored.
void expectRestored(const frmKRVS& w, const QString& expected) {
    const QString all = restored(w);
    for (const QString& piece : expected.split('|', Qt::SkipEmptyParts))
        QVERIFY2(all.contains('|' + piece + '|'), qPrintable(piece + " not in " + all));
}

} // namespace

class TestSettingsExport : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() { begin(false); }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // No file: defaults, centred; the file's layout byte for byte; every key comes back as left.
    void defaultsRoundTripAndFileLayout() {
        auto run = [&](const std::function<void(frmKRVS&)>& use) {
            frmKRVS w(folder->path(), "KRVS");
            QCOMPARE(load(w), 0);
            use(w);
            w.SaveINI();
        };
        run([&](frmKRVS& w) {
            QCOMPARE(readFileBytes(iniFile()), QByteArray("[Main]\r\nBackup_Warn=1\r\n"));
            // The other defaults show in the file written below.
            expectRestored(w, "items=|current=Vellan,Qorth|mode=Go To &Advanced");
            // Centred at the design size, though at least the smallest width.
            const frmKRVS design(folder->path(), "KRVS");
            const QRect s = w.screen()->geometry(), r = w.frameGeometry();
            QVERIFY(qAbs(pxToTwips(2 * r.x() - s.width()) + design.outerWidthTw()) <= 30);
            QVERIFY(qAbs(pxToTwips(2 * r.y() - s.height()) + w.outerHeightTw()) <= 30);
            w.cboSearch->addItems({"Vellan,Qorth", "comet*"});
            w.cboSearch->setEditText("Vellan,Qorth");
            w.cmdAdv_Click();
        });
        QString text = QString::fromUtf8(readFileBytes(iniFile()));
        // Only the placement depends on the screen.
        text.replace(QRegularExpression("^(Left|Top|Width|Height)=-?\\d+\\r$",
                                        QRegularExpression::MultilineOption),
                     "\\1=#\r");
        QString columns;
        for (int c = 0; c < 10; ++c)
            columns += QString("Col%1Width=1000\r\n").arg(c);
        QCOMPARE(text,
                 "[Main]\r\nBackup_Warn=1\r\nLeft=#\r\nTop=#\r\nWidth=#\r\nHeight=#\r\n"
                 "Maximized=False\r\n[Columns]\r\n" +
                     columns +
                     "[Search]\r\nAutoAsterisks=True\r\nType=Simple\r\n"
                     "[Checks]\r\nTitle=1\r\nComments=0\r\nVEX=0\r\nNOR=1\r\nZYN=1\r\nDR7=0\r\n"
                     "YesOwn=False\r\nNoOwn=False\r\nBothOwn=True\r\nBTS=0\r\nChar=1\r\n"
                     "Crew=1\r\nCulture=0\r\nEpisode=1\r\nFilmSyn=0\r\nRace=0\r\nShip=0\r\n"
                     "Tech=0\r\n[Search_Items]\r\nNumber=2\r\nCurrent=Vellan,Qorth\r\n"
                     "0=Vellan,Qorth\r\n1=comet*\r\n");

        QRect placed;
        run([&](frmKRVS& w) {
            expectRestored(w, "mode=Go To S&imple");
            w.cmdAdv_Click(); // back to simple
            w.move(twipsToPx(300), twipsToPx(450));
            w.resize(twipsToPx(11400), twipsToPx(7200));
            placed = w.frameGeometry();
            for (int c = 0; c < w.fgdCards->Cols(); ++c)
                w.fgdCards->setColWidth(c, 600 + 150 * c);
            w.mnuAutoAst->setChecked(false);
            w.cboSearch->clear();
            w.cboSearch->addItems({"  Zoë crew  ", "b*", ""}); // the empty one is not kept
            w.cboSearch->setEditText("  new text ");
            for (auto [box, v] : {std::pair{w.chkTitle, 0},
                                  {w.chkComm, 1},
                                  {w.findChild<QCheckBox*>("chkVEX"), 2},
                                  {w.findChild<QCheckBox*>("chkTech"), 1}})
                frmKRVS::setChkValue(box, v);
            w.optYesOwn->setChecked(true);
        });
        run([&](frmKRVS& w) {
            QCOMPARE(w.frameGeometry(), placed);
            expectRestored(w, "run=3|auto=0|cols=600,750,900,1050,1200,1350,1500,1650,1800,1950|"
                              "items=Zoë crew,b*|current=new text|"
                              "ticks=Comm,VEX:2,NOR,ZYN,Char,Crew,Episode,Tech|own=Y|"
                              "mode=Go To &Advanced");
            w.setWindowState(Qt::WindowMaximized);
            w.cboSearch->setEditText("   "); // a blank current text is not kept
        });
        run([](frmKRVS& w) { expectRestored(w, "max=1|current=Vellan,Qorth"); });
    }

    // Values a hand or an older release damaged are fitted, or raise their error.
    void damagedValues_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected"); // pieces restored, or "error=N"
        auto row = [](const char* name, const QByteArray& ini, const char* expected) {
            QTest::newRow(name) << ini << QString(expected);
        };
        QByteArray many = "[Search_Items]\r\nNumber=40\r\nCurrent=now\r\n";
        for (int i = 0; i < 17; ++i)
            many += QByteArray::number(i) + '=' + char('a' + i) + "\r\n";
        row("off the left", "[Main]\r\nLeft=-300\r\nTop=x\r\nWidth=5000\r\nHeight=6000\r\n",
            "place=0,0 10875x6000");
        row("40 searches", many, "items=a,b,c,d,e,f,g,h,i,j,k,l,m,n,o|current=now");
        row("number is the last index", "[Search_Items]\r\nNumber=1\r\n0=a\r\n1=b\r\n2=c\r\n",
            "items=a,b");
        row("all owns", "[Checks]\r\nYesOwn=True\r\nNoOwn=true\r\nBothOwn=TRUE\r\n", "own=B");
        row("odd ticks", "[Checks]\r\nTitle=ticked\r\nNOR=1.5\r\n",
            "ticks=NOR:2,ZYN,Char,Crew,Episode");
        row("maximized", "[Main]\r\nMaximized=maybe\r\n", "error=13");
        // Only "Simple" exactly restores the advanced mode.
        row("mode in lower case", "[Search]\r\nType=simple\r\n", "mode=Go To &Advanced");
        // The restore stops at a width that is no number: what came before it is kept.
        row("bad width",
            "[Columns]\r\nCol0Width=700\r\nCol2Width=900\r\nCol3Width=abc\r\n"
            "Col4Width=500\r\n[Search]\r\nAutoAsterisks=False\r\n",
            "error=13|cols=700,1000,900,1000,1000,1000,1000,1000,1000,1000|auto=1");
    }
    void damagedValues() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        QVERIFY(writeFileBytes(iniFile(), ini));
        frmKRVS w(folder->path(), "KRVS");
        const int error = load(w);
        QCOMPARE(error,
                 expected.startsWith("error=") ? expected.section('|', 0, 0).mid(6).toInt() : 0);
        expectRestored(w, error ? expected.section('|', 1) : expected);
    }

    void exportThroughTheMenu() {
        folder->skipFirstStartWarning();
        QVERIFY(makeCatalogue(12));
        start();
        // File > Save List As, the text (0) or CSV (1) item.
        auto saveItem = [&](int format) {
            auto* item = w->findChild<QAction*>(QString("mnuSaveIt_%1").arg(format));
            QVERIFY(item && item->isEnabled());
            item->trigger();
        };
        // Saves as name in the format given, the boxes answered in turn.
        auto save = [&](int format, const QString& name, QList<QPair<int, const char*>> answers) {
            ui->reset();
            ui->saveAs(name);
            for (const auto& [answer, title] : answers)
                ui->answer(answer, title);
            saveItem(format);
        };
        // Sorted by title, descending: the export follows the grid's order and captions.
        w->fgdCards->setCol(3);
        w->fgdCards->setColSel(3);
        w->fgdCards->sort(SortKind::Generic, SortDirection::Descending);
        const QString csv = at("cards.csv");
        save(1, csv, {{mb::AnsYes, "View file?"}});
        QCOMPARE(ui->shellFiles, QStringList({csv}));
        QCOMPARE(ui->saveRequests[0].initDir, folder->path());
        const QList<QByteArray> lines = readFileBytes(csv).split('\n');
        QCOMPARE(lines.size(), 5 + 13 + 1); // preamble, caption row, 12 cards, after the last CR LF
        QCOMPARE(lines[2] + lines[3] + lines[4], "File generated on December 05 2026 03:32:47 AM\r"
                                                 "Korvessa Database - (Total records=12)\r"
                                                 "Database path: " +
                                                     w->catalogue().file().toUtf8() + "\r");
        QVERIFY(lines[5].startsWith("DbId,Index,CardType,Title,") &&
                lines[6].startsWith('"' + w->fgdCards->TextMatrix(1, 0).toUtf8() + "\","));

        // An existing file: No keeps it, Yes replaces it.
        const QString file = at(".hidden.txt");
        QVERIFY(writeFileBytes(file, "old"));
        save(0, file, {{mb::AnsNo, "File already exists"}, {mb::AnsOK, "File write aborted"}});
        QCOMPARE(readFileBytes(file), QByteArray("old"));
        save(0, file, {{mb::AnsYes, "File already exists"}, {mb::AnsNo, "View file?"}});
        const QByteArray report = readFileBytes(file);
        QVERIFY(report.contains("     |DbId    |  Index|  CardType|  Title|"));
        QVERIFY(report.endsWith("\r\n     " + QByteArray(94, '_') + "\r\n"));

        ui->reset();
        ui->cancelSave(); // ends silently
        saveItem(0);

        // A folder that does not exist: the write fails and the question still follows.
        save(0, at("missing/out.txt"),
             {{mb::AnsOK, "Error in dump-to-text"}, {mb::AnsNo, "View file?"}});
        QCOMPARE(ui->boxes[0].text, QString("76\r\nPath not found"));
        QVERIFY(w->isEnabled() && w->MousePointer() == 0);
    }
};

QTEST_MAIN(TestSettingsExport)
#include "tst_settings_export.moc"
