#include "AppFixture.h"
#include "Twips.h"
#include "app/frmKRVS.h"
#include "search/FlexGrid.h"

#include <QAction>
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

QStringList items(const QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i)
        l << box->itemText(i);
    return l;
}

// The three ownership options as "YNB" letters for the selected ones.
QString owns(const frmKRVS& w) {
    return QString(w.optYesOwn->isChecked() ? "Y" : "") + (w.optNoOwn->isChecked() ? "N" : "") +
           (w.optBothOwn->isChecked() ? "B" : "");
}

QSize screenTw(const frmKRVS& w) {
    const QSize px = w.screen()->geometry().size();
    return QSize(pxToTwips(px.width()), pxToTwips(px.height()));
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
    void defaultsWithoutFile();
    void roundTripAndFileLayout();
    void damagedValuesAreFitted();
    void badValueStopsTheRestore();
    void shutdownRules();
    void exportThroughTheMenu();
    void exportDialogsAndFailures();
};

void TestSettingsExport::defaultsWithoutFile() {
    AppFolder f;
    frmKRVS w(f.path(), "KRVS");
    const int designW = w.outerWidthTw(), designH = w.outerHeightTw();
    QCOMPARE(load(w), 0);
    QCOMPARE(w.g.gIniFile, f.path() + "/KRVS.ini");
    QCOMPARE(w.g.gRunCount, 1);
    QCOMPARE(slurp(f.iniFile()), QByteArray("[Main]\r\nBackup_Warn=1\r\n"));
    QCOMPARE(w.mMinWidth, 10875);
    QCOMPARE(w.mMinHeight, 5625);
    QCOMPARE(w.g.gPanelHeight, 2000);
    // Centred at the design size, at least the smallest width.
    const QSize s = screenTw(w);
    const int width = qMax(designW, 10875);
    QCOMPARE(w.outerWidthTw(), width);
    QCOMPARE(w.outerHeightTw(), designH);
    QVERIFY(qAbs(pxToTwips(w.frameGeometry().x()) - (s.width() - designW) / 2) <= 15);
    QVERIFY(qAbs(pxToTwips(w.frameGeometry().y()) - (s.height() - designH) / 2) <= 15);
    QVERIFY(!w.isMaximized());
    for (int c = 0; c < w.fgdCards->Cols(); ++c)
        QCOMPARE(w.fgdCards->ColWidth(c), 1000);
    QVERIFY(w.mnuAutoAst->isChecked());
    QCOMPARE(w.cboSearch->currentText(), QString("Vellan,Qorth"));
    QCOMPARE(w.cboSearch->count(), 0);
    const QList<QCheckBox*> ticked{w.chkTitle, w.chkNOR,  w.chkZYN,
                                   w.chkChar,  w.chkCrew, w.chkEpisode};
    for (QCheckBox* c : w.findChildren<QCheckBox*>())
        QCOMPARE(frmKRVS::chkValue(c), ticked.contains(c) ? 1 : 0);
    QCOMPARE(owns(w), QString("B"));
    QCOMPARE(w.cmdAdv->text(), QString("Go To &Advanced"));
}

void TestSettingsExport::roundTripAndFileLayout() {
    AppFolder f;
    auto run = [&](const std::function<void(frmKRVS&)>& use) {
        frmKRVS w(f.path(), "KRVS");
        QCOMPARE(load(w), 0);
        use(w);
        w.SaveINI();
    };
    // Three runs as a user would have them: the last ends in the advanced mode
    // with the default controls and two searches.
    run([](frmKRVS&) {});
    run([](frmKRVS& w) { w.cboSearch->addItems({"Vellan,Qorth", "comet*"}); });
    run([](frmKRVS& w) {
        QCOMPARE(items(w.cboSearch), QStringList({"Vellan,Qorth", "comet*"}));
        w.cboSearch->clear();
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
    const QString expected =
        "[Main]\r\nBackup_Warn=3\r\nLeft=#\r\nTop=#\r\nWidth=#\r\nHeight=#\r\nMaximized=False\r\n"
        "[Columns]\r\n" +
        columns +
        "[Search]\r\nAutoAsterisks=True\r\nType=Simple\r\n"
        "[Checks]\r\nTitle=1\r\nComments=0\r\nVEX=0\r\nNOR=1\r\nZYN=1\r\nDR7=0\r\n"
        "YesOwn=False\r\nNoOwn=False\r\nBothOwn=True\r\nBTS=0\r\nChar=1\r\nCrew=1\r\n"
        "Culture=0\r\nEpisode=1\r\nFilmSyn=0\r\nRace=0\r\nShip=0\r\nTech=0\r\n"
        "[Search_Items]\r\nNumber=2\r\nCurrent=Vellan,Qorth\r\n0=Vellan,Qorth\r\n1=comet*\r\n";
    QCOMPARE(text, expected);

    // Every key comes back as it was left.
    QRect placed;
    run([&](frmKRVS& w) {
        QCOMPARE(w.cmdAdv->text(), QString("Go To S&imple"));
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
    frmKRVS w(f.path(), "KRVS");
    QCOMPARE(load(w), 0);
    QCOMPARE(w.g.gRunCount, 5);
    QCOMPARE(w.frameGeometry(), placed);
    for (int c = 0; c < w.fgdCards->Cols(); ++c)
        QCOMPARE(w.fgdCards->ColWidth(c), 600 + 150 * c);
    QVERIFY(!w.mnuAutoAst->isChecked());
    QCOMPARE(w.cboSearch->currentText(), QString("new text"));
    // The empty entry is stored as nothing and skipped when read.
    QCOMPARE(items(w.cboSearch), QStringList({"Zoë crew", "b*"}));
    QCOMPARE(frmKRVS::chkValue(w.chkTitle), 0);
    QCOMPARE(frmKRVS::chkValue(w.chkComm), 1);
    QCOMPARE(frmKRVS::chkValue(w.chkVEX), 2);
    QCOMPARE(frmKRVS::chkValue(w.chkTech), 1);
    QCOMPARE(owns(w), QString("Y"));
    QCOMPARE(w.cmdAdv->text(), QString("Go To &Advanced"));
}

void TestSettingsExport::damagedValuesAreFitted() {
    struct Case {
        const char* ini;
        std::function<void(frmKRVS&)> check;
    };
    const QList<Case> cases{
        {"[Main]\r\nBackup_Warn=abc\r\n", [](frmKRVS& w) { QCOMPARE(w.g.gRunCount, 1); }},
        {"[Main]\r\nBackup_Warn=-5\r\n", [](frmKRVS& w) { QCOMPARE(w.g.gRunCount, -4); }},
        {"[Main]\r\nLeft=-300\r\nTop=x\r\nWidth=5000\r\nHeight=6000\r\n",
         [](frmKRVS& w) {
             QCOMPARE(w.frameGeometry().topLeft(), QPoint(0, 0));
             QCOMPARE(w.outerWidthTw(), 10875);
             QCOMPARE(w.outerHeightTw(), 6000);
         }},
        {"[Main]\r\nLeft=999999\r\nTop=999999\r\nWidth=12000\r\nHeight=6000\r\n",
         [](frmKRVS& w) {
             const QSize s = screenTw(w);
             QVERIFY(qAbs(pxToTwips(w.frameGeometry().right() + 1) - s.width()) <= 15);
             QVERIFY(qAbs(pxToTwips(w.frameGeometry().bottom() + 1) - s.height()) <= 15);
         }},
        {"[Search_Items]\r\nNumber=40\r\n0=a\r\n1=b\r\n2=c\r\n3=d\r\n4=e\r\n5=f\r\n6=g\r\n7=h\r\n"
         "8=i\r\n9=j\r\n10=k\r\n11=l\r\n12=m\r\n13=n\r\n14=o\r\n15=p\r\n16=q\r\n",
         [](frmKRVS& w) {
             QCOMPARE(w.cboSearch->count(), 15);
             QCOMPARE(w.cboSearch->itemText(14), QString("o"));
         }},
        {"[Search_Items]\r\nNumber=2\r\nCurrent=now\r\n0=a\r\n1=b\r\n2=c\r\n3=d\r\n",
         [](frmKRVS& w) {
             QCOMPARE(items(w.cboSearch), QStringList({"a", "b", "c"}));
             QCOMPARE(w.cboSearch->currentText(), QString("now"));
         }},
        {"[Checks]\r\nYesOwn=True\r\nNoOwn=true\r\nBothOwn=TRUE\r\n",
         [](frmKRVS& w) { QCOMPARE(owns(w), QString("B")); }},
        {"[Checks]\r\nYesOwn=False\r\nNoOwn=False\r\nBothOwn=0\r\n",
         [](frmKRVS& w) { QCOMPARE(owns(w), QString()); }},
        {"[Checks]\r\nTitle=ticked\r\nNOR=1.5\r\n",
         [](frmKRVS& w) {
             QCOMPARE(frmKRVS::chkValue(w.chkTitle), 0);
             QCOMPARE(frmKRVS::chkValue(w.chkNOR), 2);
         }},
        {"[Search]\r\nType=simple\r\n",
         [](frmKRVS& w) { QCOMPARE(w.cmdAdv->text(), QString("Go To &Advanced")); }},
        {"[search]\r\ntype=Simple\r\n",
         [](frmKRVS& w) { QCOMPARE(w.cmdAdv->text(), QString("Go To S&imple")); }},
    };
    for (const Case& c : cases) {
        AppFolder f;
        spit(f.iniFile(), c.ini);
        frmKRVS w(f.path(), "KRVS");
        QCOMPARE(load(w), 0);
        c.check(w);
        if (QTest::currentTestFailed()) qWarning("with the settings file: %s", c.ini);
    }
}

void TestSettingsExport::badValueStopsTheRestore() {
    // A column width that is not a number: start-up reports it before the
    // database is opened, and the columns before it are already restored.
    AppFolder f;
    spit(f.iniFile(), "[Main]\r\nBackup_Warn=4\r\n[Columns]\r\nCol0Width=700\r\nCol1Width=800\r\n"
                      "Col2Width=900\r\nCol3Width=abc\r\nCol4Width=500\r\n"
                      "[Search]\r\nAutoAsterisks=False\r\n");
    {
        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(ui->titles(), QStringList({"Error in Load"}));
        QVERIFY(ui->boxes[0].text.contains("VB Error #  13"));
        QVERIFY(ui->boxes[0].text.contains("Type mismatch"));
        QVERIFY(!w.g.gConn);
        QCOMPARE(w.fgdCards->ColWidth(2), 900);
        QVERIFY(w.fgdCards->ColWidth(4) != 500);
        QVERIFY(w.mnuAutoAst->isChecked()); // not reached
        w.close();
    }
    // Shutdown wrote the grid's real widths: the next start restores normally.
    frmKRVS again(f.path(), "KRVS");
    QCOMPARE(load(again), 0);
    QCOMPARE(again.g.gRunCount, 6);
    QCOMPARE(again.fgdCards->ColWidth(0), 700);
    QVERIFY(again.mnuAutoAst->isChecked());

    // The other values that raise, each with its error number.
    const QList<QPair<const char*, int>> raising{
        {"[Main]\r\nMaximized=maybe\r\n", 13},    {"[Main]\r\nMaximized=\r\n", 13},
        {"[Search]\r\nAutoAsterisks=on\r\n", 13}, {"[Search_Items]\r\nNumber=99999\r\n", 6},
        {"[Checks]\r\nVEX=3\r\n", 380},           {"[Checks]\r\nNoOwn=no\r\n", 13}};
    for (const auto& [ini, number] : raising) {
        AppFolder other;
        spit(other.iniFile(), ini);
        frmKRVS w(other.path(), "KRVS");
        QVERIFY2(load(w) == number, ini);
    }
}

void TestSettingsExport::shutdownRules() {
    AppFolder f;
    {
        frmKRVS w(f.path(), "KRVS");
        QCOMPARE(load(w), 0);
        w.SaveINI();
        // Maximised: the placement of an earlier save stays in the file.
        w.WriteINI("Main", "Left", "777");
        w.setWindowState(Qt::WindowMaximized);
        for (int i = 0; i < 20; ++i)
            w.cboSearch->addItem(QString("k%1").arg(i));
        w.cboSearch->setEditText("   ");
        w.SaveINI();
        const QByteArray after = slurp(f.iniFile());
        QVERIFY(after.contains("Left=777\r\n"));
        QVERIFY(after.contains("Maximized=True\r\n"));
        QVERIFY(after.contains("Number=15\r\n"));
        QVERIFY(after.contains("14=k14\r\n"));
        QVERIFY(!after.contains("15=k15"));
        QVERIFY(!after.contains("Current="));
    }
    frmKRVS w(f.path(), "KRVS");
    QCOMPARE(load(w), 0);
    QVERIFY(w.windowState() & Qt::WindowMaximized);
    QCOMPARE(w.cboSearch->currentText(), QString("Vellan,Qorth"));
    QCOMPARE(w.cboSearch->count(), 15);
}

void TestSettingsExport::exportThroughTheMenu() {
    AppFolder f;
    f.skipFirstStartWarning();
    QVERIFY(makeCatalogue(f.catalogue(), 12));
    frmKRVS w(f.path(), "KRVS");
    w.Form_Load();
    QVERIFY(w.fgdCards->isEnabled());
    // Sorted by title, descending: the export follows the grid's order.
    w.fgdCards->setCol(3);
    w.fgdCards->setColSel(3);
    w.fgdCards->setSort(2);
    w.fgdCards->setTextMatrix(0, 3, "Title v");

    const QString csv = f.dir.filePath("cards.csv");
    ui->saveAs(csv);
    ui->answer(mb::AnsYes, "View file?");
    w.mnuSaveIt[1]->trigger();
    QCOMPARE(ui->shellFiles, QStringList({csv}));
    QCOMPARE(ui->saveRequests.size(), 1);
    QCOMPARE(ui->saveRequests[0].title, QString("Save List as CSV..."));
    QCOMPARE(ui->saveRequests[0].filter, QString("CSV File (*.csv)|*.csv|All Files (*.*)|*.*"));
    QCOMPARE(ui->saveRequests[0].flags, 4);
    QCOMPARE(ui->saveRequests[0].filterIndex, 1);
    QCOMPARE(ui->saveRequests[0].initDir, f.path());
    QVERIFY(ui->saveRequests[0].fileName.isEmpty());
    QCOMPARE(ui->boxes[0].flags, mb::YesNo | mb::Question);
    QCOMPARE(ui->boxes[0].text, QString("Would you like to view the file?"));

    const QList<QByteArray> lines = slurp(csv).split('\n');
    QCOMPARE(lines.size(), 5 + 13 + 1); // preamble, caption row, 12 cards, after the last CR LF
    QCOMPARE(lines[2], QByteArray("File generated on December 05 2026 03:32:47 AM\r"));
    QCOMPARE(lines[3], QByteArray("Korvessa Database - (Total records=12)\r"));
    QCOMPARE(lines[4], ("Database path: " + w.g.gDbPath).toUtf8() + "\r");
    QVERIFY(lines[5].startsWith("DbId,Index,CardType,Title v,"));
    QVERIFY(lines[6].startsWith(QString("\"%1\",").arg(w.fgdCards->TextMatrix(1, 0)).toUtf8()));

    const QString txt = f.dir.filePath("cards.txt");
    ui->reset();
    ui->saveAs(txt);
    ui->answer(mb::AnsNo, "View file?");
    w.mnuSaveIt_Click(0);
    QCOMPARE(ui->saveRequests[0].title, QString("Save List as Plain Text..."));
    QCOMPARE(ui->saveRequests[0].filter,
             QString("Text File (*.txt)|*.txt|Data File (*.dat)|*.dat|All Files (*.*)|*.*"));
    QVERIFY(ui->shellFiles.isEmpty());
    const QByteArray report = slurp(txt);
    QVERIFY(report.startsWith(" \r\n     KORVESSA DATABASE (KRVS) RESULTS\r\n"));
    QVERIFY(report.contains("     |DbId    |  Index|  CardType|  Title v|"));
    QVERIFY(w.isEnabled());
    QCOMPARE(w.MousePointer(), 0);
}

void TestSettingsExport::exportDialogsAndFailures() {
    AppFolder f;
    frmKRVS w(f.path(), "KRVS");
    w.fgdCards->setRows(2);
    w.fgdCards->setTextMatrix(0, 0, "DbId");
    w.fgdCards->setTextMatrix(1, 0, "1");

    // Cancel and an empty name end silently.
    ui->cancelSave();
    w.mnuSaveIt_Click(0);
    ui->saveAs("   ");
    w.mnuSaveIt_Click(1);
    QVERIFY(ui->boxes.isEmpty());
    QVERIFY(w.isEnabled());

    // An existing file: No keeps it, Yes replaces it.
    const QString file = f.dir.filePath(".hidden.txt");
    spit(file, "old");
    ui->saveAs(file);
    ui->answer(mb::AnsNo, "File already exists");
    ui->answer(mb::AnsOK, "File write aborted");
    w.mnuSaveIt_Click(0);
    QCOMPARE(ui->boxes[0].text,
             file + "\r\nThe file already exists.\r\nDo you want to overwrite it?");
    QCOMPARE(ui->boxes[0].flags, mb::YesNo | mb::Exclamation | mb::DefaultButton2);
    QCOMPARE(ui->boxes[1].text, QString("The file was not generated."));
    QCOMPARE(ui->boxes[1].flags, mb::Information);
    QCOMPARE(slurp(file), QByteArray("old"));
    ui->reset();
    ui->saveAs(file);
    ui->answer(mb::AnsYes, "File already exists");
    ui->answer(mb::AnsNo, "View file?");
    w.mnuSaveIt_Click(1);
    QVERIFY(slurp(file).endsWith(
        "DbId,,,,,,,,,,\r\n\"1\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\r\n"));

    // A folder that does not exist: the write fails, the question still follows.
    ui->reset();
    ui->saveAs(f.dir.filePath("missing/out.txt"));
    ui->answer(mb::AnsOK, "Error in dump-to-text");
    ui->answer(mb::AnsNo, "View file?");
    w.mnuSaveIt_Click(0);
    QCOMPARE(ui->boxes[0].text, QString("76\r\nPath not found"));
    QCOMPARE(ui->boxes[0].flags, mb::Critical);

    // A device that takes no bytes: a write error, reported the same way.
    if (QFile::exists("/dev/full")) {
        ui->reset();
        ui->saveAs("/dev/full");
        ui->answer(mb::AnsOK, "Error in dump-to-text");
        ui->answer(mb::AnsNo, "View file?");
        w.mnuSaveIt_Click(1);
        QCOMPARE(ui->boxes[0].text, QString("61\r\nDisk full"));
    }

    // Nothing can open the file and the chooser does not start: the handler's own box.
    ui->reset();
    const QString csv = f.dir.filePath("x.csv");
    ui->saveAs(csv);
    ui->answer(mb::AnsYes, "View file?");
    ui->shellResult(31);
    ui->openWithResult(false);
    ui->answer(mb::AnsOK, "Error in saving file");
    w.mnuSaveIt_Click(1);
    QCOMPARE(ui->boxes.last().text, QString("53\r\nFile not found"));
    QVERIFY(w.isEnabled());
    QCOMPARE(w.MousePointer(), 0);
}

QTEST_MAIN(TestSettingsExport)
#include "tst_settings_export.moc"
