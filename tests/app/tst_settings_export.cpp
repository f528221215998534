#include "AppFixture.h"
#include "Twips.h"
#include "app/frmKRVS.h"
#include "search/FlexGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

namespace {

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Loads the settings into w; the AppError number raised, 0 for none.
int load(frmKRVS& w) {
    try {
        w.LoadINI();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

// Everything the settings restore, as "|key=value|" pieces; ticks names the boxes not
// clear, with the value when it is not 1.
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
    const QRect r = w.frameGeometry();
    const QString place = n(pxToTwips(r.x())) + ',' + n(pxToTwips(r.y())) + ' ' +
                          n(w.outerWidthTw()) + 'x' + n(w.outerHeightTw());
    const QString own = QString(w.optYesOwn->isChecked() ? "Y" : "") +
                        (w.optNoOwn->isChecked() ? "N" : "") +
                        (w.optBothOwn->isChecked() ? "B" : "");
    return QString("|run=%1|place=%2|max=%3|auto=%4|cols=%5|items=%6|current=%7|ticks=%8|own=%9")
               .arg(n(w.g.gRunCount), place, n(w.isMaximized()), n(w.mnuAutoAst->isChecked()),
                    cols.join(','), items.join(','), w.cboSearch->currentText(), ticks.join(','),
                    own) +
           "|mode=" + w.cmdAdv->text() + '|';
}

// Every "|"-separated piece of expected is one of the pieces restored.
void expectRestored(const frmKRVS& w, const QString& expected) {
    const QString all = restored(w);
    for (const QString& piece : expected.split('|'))
        QVERIFY2(all.contains('|' + piece + '|'), qPrintable(piece + " not in " + all));
}

} // namespace

class TestSettingsExport : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;

  private slots:
    void init() { ui = std::make_unique<ScriptedUi>(); }
    void cleanup() {
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    void defaultsWithoutFile() {
        AppFolder f;
        frmKRVS w(f.path(), "KRVS");
        const int designW = w.outerWidthTw(), designH = w.outerHeightTw();
        QCOMPARE(load(w), 0);
        QCOMPARE(slurp(f.iniFile()), QByteArray("[Main]\r\nBackup_Warn=1\r\n"));
        QCOMPARE(w.g.gPanelHeight, 2000);
        expectRestored(w, "run=1|max=0|auto=1|cols=1000,1000,1000,1000,1000,1000,1000,1000,1000,"
                          "1000|items=|current=Vellan,Qorth|ticks=Title,ZYN,NOR,Char,Episode,Crew|"
                          "own=B|mode=Go To &Advanced");
        // Centred at the design size, at least the smallest width.
        QCOMPARE(QSize(w.outerWidthTw(), w.outerHeightTw()), QSize(qMax(designW, 10875), designH));
        const QSize s = w.screen()->geometry().size(),
                    gap(pxToTwips(s.width()) - designW, pxToTwips(s.height()) - designH);
        const QPoint at = w.frameGeometry().topLeft();
        QVERIFY(qAbs(pxToTwips(at.x()) - gap.width() / 2) <= 15);
        QVERIFY(qAbs(pxToTwips(at.y()) - gap.height() / 2) <= 15);
    }

    void roundTripAndFileLayout() {
        AppFolder f;
        auto run = [&](const std::function<void(frmKRVS&)>& use) {
            frmKRVS w(f.path(), "KRVS");
            QCOMPARE(load(w), 0);
            use(w);
            w.SaveINI();
        };
        // The third run ends in the advanced mode with the default controls and two searches.
        run([](frmKRVS&) {});
        run([](frmKRVS&) {});
        run([](frmKRVS& w) {
            w.cboSearch->addItems({"Vellan,Qorth", "comet*"});
            w.cboSearch->setEditText("Vellan,Qorth");
            w.cmdAdv_Click();
        });
        QString text = QString::fromUtf8(slurp(f.iniFile()));
        // Only the placement depends on the screen.
        text.replace(QRegularExpression("^(Left|Top|Width|Height)=-?\\d+\\r$",
                                        QRegularExpression::MultilineOption),
                     "\\1=#\r");
        QString columns;
        for (int c = 0; c < 10; ++c)
            columns += QString("Col%1Width=1000\r\n").arg(c);
        QCOMPARE(text,
                 "[Main]\r\nBackup_Warn=3\r\nLeft=#\r\nTop=#\r\nWidth=#\r\nHeight=#\r\n"
                 "Maximized=False\r\n[Columns]\r\n" +
                     columns +
                     "[Search]\r\nAutoAsterisks=True\r\nType=Simple\r\n"
                     "[Checks]\r\nTitle=1\r\nComments=0\r\nVEX=0\r\nNOR=1\r\nZYN=1\r\nDR7=0\r\n"
                     "YesOwn=False\r\nNoOwn=False\r\nBothOwn=True\r\nBTS=0\r\nChar=1\r\n"
                     "Crew=1\r\nCulture=0\r\nEpisode=1\r\nFilmSyn=0\r\nRace=0\r\nShip=0\r\n"
                     "Tech=0\r\n[Search_Items]\r\nNumber=2\r\nCurrent=Vellan,Qorth\r\n"
                     "0=Vellan,Qorth\r\n1=comet*\r\n");

        // Every key comes back as it was left; the empty entry is stored as nothing and
        // skipped when read.
        QRect placed;
        run([&](frmKRVS& w) {
            expectRestored(w, "mode=Go To S&imple");
            QCOMPARE(w.g.gPanelHeight, 2950);
            w.cmdAdv_Click(); // back to simple
            w.move(twipsToPx(300), twipsToPx(450));
            w.resize(twipsToPx(11400), twipsToPx(7200));
            placed = w.frameGeometry();
            for (int c = 0; c < w.fgdCards->Cols(); ++c)
                w.fgdCards->setColWidth(c, 600 + 150 * c);
            w.mnuAutoAst->setChecked(false);
            w.cboSearch->clear();
            w.cboSearch->addItems({"  Zoë crew  ", "b*", ""});
            w.cboSearch->setEditText("  new text ");
            frmKRVS::setChkValue(w.chkTitle, 0);
            frmKRVS::setChkValue(w.chkComm, 1);
            frmKRVS::setChkValue(w.chkVEX, 2);
            frmKRVS::setChkValue(w.chkTech, 1);
            w.optYesOwn->setChecked(true);
        });
        run([&](frmKRVS& w) {
            QCOMPARE(w.frameGeometry(), placed);
            expectRestored(w, "run=5|auto=0|cols=600,750,900,1050,1200,1350,1500,1650,1800,1950|"
                              "items=Zoë crew,b*|current=new text|"
                              "ticks=Comm,VEX:2,ZYN,NOR,Char,Episode,Crew,Tech|own=Y|"
                              "mode=Go To &Advanced");
            // Maximised, the placement of an earlier save stays; 15 searches at most are
            // kept, and a blank current text is not.
            w.WriteINI("Main", "Left", "777");
            w.setWindowState(Qt::WindowMaximized);
            w.cboSearch->clear();
            for (int i = 0; i < 20; ++i)
                w.cboSearch->addItem(QString("k%1").arg(i));
            w.cboSearch->setEditText("   ");
        });
        text = QString::fromUtf8(slurp(f.iniFile()));
        QVERIFY(text.contains("Left=777\r\n") && text.contains("Number=15\r\n"));
        QVERIFY(!text.contains("15=k") && !text.contains("Current="));
        run([](frmKRVS& w) {
            expectRestored(w, "max=1|items=k0,k1,k2,k3,k4,k5,k6,k7,k8,k9,k10,k11,k12,k13,k14|"
                              "current=Vellan,Qorth");
        });
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
        row("text count", "[Main]\r\nBackup_Warn=abc\r\n", "run=1");
        row("negative count", "[Main]\r\nBackup_Warn=-5\r\n", "run=-4");
        row("off the left, too narrow",
            "[Main]\r\nLeft=-300\r\nTop=x\r\nWidth=5000\r\nHeight=6000\r\n",
            "place=0,0 10875x6000");
        row("40 searches", many, "items=a,b,c,d,e,f,g,h,i,j,k,l,m,n,o|current=now");
        row("number is the last index",
            "[Search_Items]\r\nNumber=2\r\nCurrent=now\r\n0=a\r\n1=b\r\n2=c\r\n3=d\r\n",
            "items=a,b,c|current=now");
        row("all owns", "[Checks]\r\nYesOwn=True\r\nNoOwn=true\r\nBothOwn=TRUE\r\n", "own=B");
        row("no owns", "[Checks]\r\nYesOwn=False\r\nNoOwn=False\r\nBothOwn=0\r\n", "own=");
        row("odd ticks", "[Checks]\r\nTitle=ticked\r\nNOR=1.5\r\n",
            "ticks=ZYN,NOR:2,Char,Episode,Crew");
        row("type lower case", "[Search]\r\nType=simple\r\n", "mode=Go To &Advanced");
        row("names lower case", "[search]\r\ntype=Simple\r\n", "mode=Go To S&imple");
        row("maximized", "[Main]\r\nMaximized=maybe\r\n", "error=13");
        row("asterisks", "[Search]\r\nAutoAsterisks=on\r\n", "error=13");
        row("huge number", "[Search_Items]\r\nNumber=99999\r\n", "error=6");
        row("tick 3", "[Checks]\r\nVEX=3\r\n", "error=380");
        row("own no", "[Checks]\r\nNoOwn=no\r\n", "error=13");
    }
    void damagedValues() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        AppFolder f;
        spit(f.iniFile(), ini);
        frmKRVS w(f.path(), "KRVS");
        const int error = load(w);
        QCOMPARE(error, expected.startsWith("error=") ? expected.mid(6).toInt() : 0);
        if (!error) expectRestored(w, expected);
    }

    void badValueStopsTheRestore() {
        // A column width that is not a number: start-up reports it before the
        // database is opened, and the columns before it are already restored.
        AppFolder f;
        spit(f.iniFile(), "[Main]\r\nBackup_Warn=4\r\n[Columns]\r\nCol0Width=700\r\n"
                          "Col1Width=800\r\nCol2Width=900\r\nCol3Width=abc\r\nCol4Width=500\r\n"
                          "[Search]\r\nAutoAsterisks=False\r\n");
        {
            ui->answer(mb::AnsOK, "Error in Load");
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QVERIFY(ui->boxes[0].text.contains("VB Error #  13"));
            QVERIFY(ui->boxes[0].text.contains("Type mismatch"));
            QVERIFY(!w.g.gConn);
            QVERIFY(w.fgdCards->ColWidth(2) == 900 && w.fgdCards->ColWidth(4) != 500);
            QVERIFY(w.mnuAutoAst->isChecked()); // not reached
            w.close();
        }
        // Shutdown wrote the grid's real widths: the next start restores normally.
        frmKRVS again(f.path(), "KRVS");
        QCOMPARE(load(again), 0);
        QCOMPARE(again.fgdCards->ColWidth(0), 700);
        expectRestored(again, "run=6|auto=1");
    }

    void exportThroughTheMenu() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 12));
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        // Saves as name in the format given, the boxes answered in turn.
        auto save = [&](int format, const QString& name, QList<QPair<int, const char*>> answers,
                        int shell = 42) {
            ui->reset();
            ui->shellResult(shell);
            ui->openWithResult(shell == 42);
            ui->saveAs(name);
            for (const auto& [answer, title] : answers)
                ui->answer(answer, title);
            w.mnuSaveIt_Click(format);
        };
        // Sorted by title, descending: the export follows the grid's order and captions.
        w.fgdCards->setCol(3);
        w.fgdCards->setColSel(3);
        w.fgdCards->setSort(2);
        w.fgdCards->setTextMatrix(0, 3, "Title v");
        const QString csv = f.dir.filePath("cards.csv");
        save(1, csv, {{mb::AnsYes, "View file?"}});
        QCOMPARE(ui->shellFiles, QStringList({csv}));
        QCOMPARE(ui->saveRequests[0].title, QString("Save List as CSV..."));
        QCOMPARE(ui->saveRequests[0].initDir, f.path());
        QCOMPARE(ui->boxes[0].text, QString("Would you like to view the file?"));
        const QList<QByteArray> lines = slurp(csv).split('\n');
        QCOMPARE(lines.size(), 5 + 13 + 1); // preamble, caption row, 12 cards, after the last CR LF
        QCOMPARE(lines[2] + lines[3] + lines[4], "File generated on December 05 2026 03:32:47 AM\r"
                                                 "Korvessa Database - (Total records=12)\r"
                                                 "Database path: " +
                                                     w.g.gDbPath.toUtf8() + "\r");
        QVERIFY(lines[5].startsWith("DbId,Index,CardType,Title v,"));
        QVERIFY(lines[6].startsWith(QString("\"%1\",").arg(w.fgdCards->TextMatrix(1, 0)).toUtf8()));

        // An existing file: No keeps it, Yes replaces it.
        const QString file = f.dir.filePath(".hidden.txt");
        spit(file, "old");
        save(0, file, {{mb::AnsNo, "File already exists"}, {mb::AnsOK, "File write aborted"}});
        QCOMPARE(ui->boxes[0].text,
                 file + "\r\nThe file already exists.\r\nDo you want to overwrite it?");
        QCOMPARE(ui->boxes[0].flags, mb::YesNo | mb::Exclamation | mb::DefaultButton2);
        QCOMPARE(ui->boxes[1].text, QString("The file was not generated."));
        QCOMPARE(slurp(file), QByteArray("old"));
        save(0, file, {{mb::AnsYes, "File already exists"}, {mb::AnsNo, "View file?"}});
        QVERIFY(slurp(file).contains("     |DbId    |  Index|  CardType|  Title v|"));
        QVERIFY(ui->shellFiles.isEmpty());

        // Cancel and an empty name end silently.
        ui->reset();
        ui->cancelSave();
        w.mnuSaveIt_Click(0);
        save(1, "   ", {});
        QVERIFY(ui->boxes.isEmpty());

        // A folder that does not exist, or a device that takes no bytes: the write fails
        // and the question still follows.
        save(0, f.dir.filePath("missing/out.txt"),
             {{mb::AnsOK, "Error in dump-to-text"}, {mb::AnsNo, "View file?"}});
        QCOMPARE(ui->boxes[0].text, QString("76\r\nPath not found"));
        QCOMPARE(ui->boxes[0].flags, mb::Critical);
        if (QFile::exists("/dev/full")) {
            save(1, "/dev/full", {{mb::AnsOK, "Error in dump-to-text"}, {mb::AnsNo, "View file?"}});
            QCOMPARE(ui->boxes[0].text, QString("61\r\nDisk full"));
        }

        // Nothing can open the file and the chooser does not start: the handler's own box.
        save(1, f.dir.filePath("x.csv"),
             {{mb::AnsYes, "View file?"}, {mb::AnsOK, "Error in saving file"}}, 31);
        QCOMPARE(ui->boxes.last().text, QString("53\r\nFile not found"));
        QVERIFY(w.isEnabled() && w.MousePointer() == 0);
    }
};

QTEST_MAIN(TestSettingsExport)
#include "tst_settings_export.moc"
