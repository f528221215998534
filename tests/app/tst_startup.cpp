#include "AppFixture.h"
#include "app/frmKRVS.h"
#include "search/FlexGrid.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

namespace {
// Types a password into the start-up prompt and presses a button.
std::function<void(QDialog&)> typePassword(const QString& text, const char* button = "cmdOK") {
    return [text, button](QDialog& form) {
        QVERIFY(!form.findChild<QPushButton*>("cmdOK")->isEnabled());
        form.findChild<QLineEdit*>("txtPwd")->setText(text);
        form.findChild<QPushButton*>(button)->click();
    };
}

QString iniText(const AppFolder& f) {
    QFile file(f.iniFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<ScriptedUi> ui;

  private slots:
    void init() { ui = std::make_unique<ScriptedUi>(); }
    void cleanup() {
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    void firstStartWarnsOnceThenLoadsEveryCard() {
        AppFolder f;
        QVERIFY(makeCatalogue(f.catalogue(), 120));
        {
            ui->answer(mb::AnsOK, "First and Only Backup Warning");
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QCOMPARE(ui->boxes.size(), 1);
            QCOMPARE(
                ui->boxes[0].text,
                QString("Make sure you backup your database on a regular basis. If the \r\n"
                        "program is uninstalled then the main database will be deleted but \r\n"
                        "the backups will remain untouched. \r\n"
                        "Go to \"File>Backup Database\" to backup your database."));
            QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=120)"));
            QCOMPARE(w.fgdCards->Rows(), 121);
            QCOMPARE(w.fgdCards->TextMatrix(0, 0), QString("DbId"));
            QCOMPARE(w.fgdCards->TextMatrix(0, 9), QString("UserComments"));
            for (int r = 1; r < w.fgdCards->Rows(); ++r) // ordered by DbId
                QVERIFY(w.fgdCards->TextMatrix(r, 0).toInt() >
                            w.fgdCards->TextMatrix(r - 1, 0).toInt() ||
                        r == 1);
            QCOMPARE(w.g.gCurSQL, QString("SELECT * FROM tblKRVS101 ORDER BY DbId;"));
            QCOMPARE(w.mnuPass->text(), QString("Add &Password To Database..."));
            QVERIFY(w.cmdQuery->isEnabled() && w.mnuPass->isEnabled() && w.mnuCompact->isEnabled());
            QVERIFY(w.fgdCards->isEnabled());
            w.close();
        }
        QVERIFY(iniText(f).contains("Backup_Warn=1"));
        ui->boxes.clear();
        frmKRVS again(f.path(), "KRVS");
        again.Form_Load();
        QVERIFY(ui->boxes.isEmpty()); // no warning on the second start
        QCOMPARE(again.g.gRunCount, 2);
    }

    void passwordAcceptedAfterOneWrongTry() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 30, " Secret 1"));
        ui->onModal([](QDialog& form) { // blanks alone keep OK disabled; case matters
            auto* ok = form.findChild<QPushButton*>("cmdOK");
            form.findChild<QLineEdit*>("txtPwd")->setText("    ");
            QVERIFY(!ok->isEnabled());
            form.findChild<QLineEdit*>("txtPwd")->setText("secret 1");
            ok->click();
        });
        ui->onModal(typePassword(" Secret 1")); // used exactly as typed
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(ui->modalForms, QStringList({"frmAsk4Pwd", "frmAsk4Pwd"}));
        QCOMPARE(w.g.gDbPwd, QString(" Secret 1"));
        QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=30)"));
        QCOMPARE(w.mnuPass->text(), QString("Change Database &Password..."));
        QVERIFY(w.mConnStr.endsWith("Jet OLEDB:Database Password= Secret 1"));
    }

    void cancelAtPromptLeavesCommandsDisabledAndStillSaves() {
        AppFolder f;
        QVERIFY(makeCatalogue(f.catalogue(), 5, "pw12"));
        ui->answer(mb::AnsOK, "First and Only Backup Warning");
        ui->onModal(typePassword("", "cmdCancel"));
        ui->answer(mb::AnsOK, "Error in Load");
        {
            frmKRVS w(f.path(), "KRVS");
            w.Form_Load();
            QCOMPARE(ui->boxes.last().text, QString("Error in loading the database!"));
            QCOMPARE(w.windowTitle(), QString("Korvessa Database"));
            QVERIFY(!w.cmdQuery->isEnabled() && !w.mnuPass->isEnabled() &&
                    !w.mnuCompact->isEnabled());
            QVERIFY(!w.fgdCards->isEnabled());
            QVERIFY(!w.g.gConn);
            QVERIFY(w.mnuExit->isEnabled());
            w.mnuExit_Click();
        }
        QVERIFY(iniText(f).contains("Backup_Warn=1"));
    }

    void missingCatalogueGivesLongReport() {
        AppFolder f;
        f.skipFirstStartWarning();
        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        const QString text = ui->boxes.last().text;
        QVERIFY2(text.startsWith("\r\nVB Error # -2147467259\r\n   Source "), qPrintable(text));
        QVERIFY(text.contains("\r\n   Description  "));
        QVERIFY2(text.contains("\r\nADO Error 0:\r\n   Error   #-2147467259\r\n   Source       "),
                 qPrintable(text));
        QVERIFY2(text.contains("KRVS.krv"), qPrintable(text)); // the engine names the file
        QVERIFY(!QFile::exists(f.catalogue()));                // and does not create one
        QVERIFY(w.g.gConn->Errors().isEmpty());                // the list was emptied
        QVERIFY(!w.cmdQuery->isEnabled());
    }

    void secondProgramCannotOpenTheCatalogue() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogue(f.catalogue(), 10));
        frmKRVS first(f.path(), "KRVS");
        first.Form_Load();
        QCOMPARE(first.windowTitle(), QString("Korvessa Database - (Total records=10)"));
        ui->answer(mb::AnsOK, "Error in Load");
        frmKRVS second(f.path(), "KRVS");
        second.Form_Load();
        QVERIFY(ui->boxes.last().text.contains("ADO Error 0:"));
        QVERIFY(!second.cmdQuery->isEnabled());
        // The first copy goes on working.
        first.bindGrid(first.g.gCurSQL);
        QCOMPARE(first.fgdCards->Rows(), 11);
    }

    void emptyTableCountsZero() {
        AppFolder f;
        f.skipFirstStartWarning();
        QVERIFY(makeCatalogueFromCsv(f.catalogue(), "DbId,Index,CardType,Title,Category,Series,"
                                                    "Season,Own,DBComments,UserComments\r\n"));
        frmKRVS w(f.path(), "KRVS");
        w.Form_Load();
        QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=0)"));
    }

    void folderAtRootGetsNoDoubledSeparator() {
        QCOMPARE(frmKRVS("/", "KRVS").programFolderWithSep(), QString("/"));
        QCOMPARE(frmKRVS("/opt/krvs", "KRVS").programFolderWithSep(), QString("/opt/krvs/"));
        QCOMPARE(
            startupConnectionString("/KRVS.krv", "  "),
            QString("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/KRVS.krv; Persist Security "
                    "Info=False; Jet OLEDB:Database Password=``"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
