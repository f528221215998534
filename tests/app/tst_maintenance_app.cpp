#include "ScriptedUi.h"
#include "TestCatalogue.h"
#include "app/frmKRVS.h"
#include "maintenance/frmPassword.h"
#include "search/FlexGrid.h"
#include "util/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace krvs;

namespace {

const QString kLoadAll = QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;");
const QString kAdd = QStringLiteral("Add &Password To Database...");
const QString kChange = QStringLiteral("Change Database &Password...");
const QString kAgain = QStringLiteral("\r\nPlease try again.");
const QColor kGrey(192, 192, 192);
constexpr int kCards = 60;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The number of cards in a catalogue file, or the error number opening it gave.
int cardsOrError(const QString& path, const QString& pwd, const QString& sql = kLoadAll) {
    try {
        db::Connection c;
        c.setMode(db::adModeShareExclusive);
        c.Open(QStringLiteral("Data Source=") + path +
               QStringLiteral(";Jet OLEDB:Database Password=") + pwd);
        return c.execute(sql)->rowCount();
    } catch (const AppError& e) {
        return e.number();
    }
}

int topTw(const QWidget* w) {
    return pxToTwips(w->y());
}

void fill(frmPassword& f, const QString& oldPwd, const QString& newPwd, const QString& retyped) {
    f.txtOldPswd->setText(oldPwd);
    f.txtNewPswd->setText(newPwd);
    f.txtNewPswdRe->setText(retyped);
}

} // namespace

class TstMaintenanceApp : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScriptedUi> ui;
    std::unique_ptr<QTemporaryDir> tmp;
    QString at(const QString& name) const { return tmp->filePath(name); }
    QString catalogue() const { return at(QStringLiteral("KRVS.krv")); }

    // Starts the main window on the folder, typing the password when asked.
    std::unique_ptr<frmKRVS> start(const QString& pwd = QString()) {
        auto w = std::make_unique<frmKRVS>(tmp->path(), QStringLiteral("KRVS"));
        if (!pwd.isEmpty())
            ui->onModal([pwd](QDialog& d) {
                d.findChild<QLineEdit*>(QStringLiteral("txtPwd"))->setText(pwd);
                d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            });
        w->Form_Load();
        return w;
    }

    // Every card in DbId order, the load-all statement and the total in the caption.
    void checkReloaded(frmKRVS& w) {
        QVERIFY(w.g.gConn && w.g.gConn->State() == db::adStateOpen);
        QCOMPARE(w.fgdCards->Rows(), kCards + 1);
        for (int r = 2; r < w.fgdCards->Rows(); ++r)
            QVERIFY(w.fgdCards->TextMatrix(r - 1, 0).toInt() <
                    w.fgdCards->TextMatrix(r, 0).toInt());
        QCOMPARE(w.txtSQL->toPlainText(), kLoadAll);
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvessa Database - (Total records=60)"));
    }

    void passwordDialog(frmKRVS& w, std::function<void(frmPassword&)> act) {
        ui->onModal([act](QDialog& d) { act(static_cast<frmPassword&>(d)); });
        w.mnuPass_Click();
    }

    void setPassword(frmKRVS& w, const QString& pwd) {
        passwordDialog(w, [&](frmPassword& f) {
            fill(f, QString(), pwd, pwd);
            ui->answer(mb::AnsOK, QStringLiteral("Password success"));
            f.cmdOK->click();
        });
    }

  private slots:
    void init() {
        ui.reset(); // the old script restores the real services when it goes
        ui = std::make_unique<test::ScriptedUi>();
        tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(test::makeCatalogue(catalogue(), kCards));
        QFile ini(at(QStringLiteral("KRVS.ini"))); // not the first start: no reminder
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Main]\r\nBackup_Warn=5\r\n") > 0);
    }
    void cleanup() { QVERIFY2(ui->problems().isEmpty(), qPrintable(ui->problems())); }

    void backup() {
        auto w = start();
        ui->setNow(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
        w->bindGrid(QStringLiteral("SELECT * FROM tblKRVS101 WHERE DbId < 5 ORDER BY Title;"));
        w->txtSQL->setPlainText(QStringLiteral("SELECT 1;"));
        // A change made just before is in the copy.
        w->g.gConn->execute(QStringLiteral("UPDATE tblKRVS101 SET UserComments = 'fresh';"));
        const QString target = at(QStringLiteral("backup/DEC06-2026.krv"));
        ui->saveAs(target);
        ui->answer(mb::AnsOK, QStringLiteral("Success"));
        w->mnuBakDB_Click();
        const SaveDialogRequest& r = ui->saveRequests.at(0);
        QCOMPARE(r.fileName, QStringLiteral("DEC06-2026.krv"));
        QCOMPARE(r.initDir, tmp->path() + QStringLiteral("/backup/"));
        QCOMPARE(
            cardsOrError(target, QString(),
                         QStringLiteral("SELECT * FROM tblKRVS101 WHERE UserComments = 'fresh';")),
            kCards);
        checkReloaded(*w);

        // The same name again: No keeps the old file, Yes replaces it.
        QFile::remove(target);
        QVERIFY(QFile::copy(at(QStringLiteral("KRVS.ini")), target));
        ui->saveAs(target);
        ui->answer(mb::AnsNo, QStringLiteral("Over-write file?"));
        w->mnuBakDB_Click();
        QCOMPARE(ui->boxes.last().text, target + QStringLiteral("\r\nThe file already exists!\r\n"
                                                                "Do you want to over-write it?"));
        QCOMPARE(ui->boxes.last().flags, 308);
        QCOMPARE(readAll(target), readAll(at(QStringLiteral("KRVS.ini"))));
        ui->saveAs(target);
        ui->answer(mb::AnsYes, QStringLiteral("Over-write file?"));
        ui->answer(mb::AnsOK, QStringLiteral("Success"));
        w->mnuBakDB_Click();
        QCOMPARE(cardsOrError(target, QString()), kCards);
        checkReloaded(*w);

        // The catalogue itself, however written, is refused before anything closes.
        ui->saveAs(at(QStringLiteral("backup/../KRVS.krv")));
        ui->answer(mb::AnsOK, QStringLiteral("Error in backing up database"));
        w->mnuBakDB_Click();
        QVERIFY(ui->boxes.last().text.startsWith(QStringLiteral("75\r\n")));
        QCOMPARE(w->g.gConn->State(), int(db::adStateOpen));
        QCOMPARE(w->fgdCards->Rows(), kCards + 1);
        QCOMPARE(w->windowTitle(), QStringLiteral("Korvessa Database"));
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
    }

    void failedCopyLeavesDatabaseClosed() {
        auto w = start();
        // The target's folder is a file: the copy fails even for root.
        ui->saveAs(at(QStringLiteral("KRVS.ini/copy.krv")));
        ui->answer(mb::AnsOK, QStringLiteral("Error in backing up database"));
        w->mnuBakDB_Click();
        QVERIFY(ui->boxes.last().text.startsWith(QStringLiteral("76\r\n")));
        QVERIFY(!w->g.gConn);
        QCOMPARE(w->fgdCards->Rows(), 2);
        QCOMPARE(w->fgdCards->TextMatrix(1, 0), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Korvessa Database"));
        // Later commands report the closed database instead of acting on it.
        ui->answer(mb::AnsOK, QStringLiteral("Error in compacting database"));
        w->mnuCompact_Click();
        passwordDialog(*w, [this](frmPassword& f) {
            fill(f, QString(), QStringLiteral("abcd"), QStringLiteral("abcd"));
            ui->answer(mb::AnsOK, QStringLiteral("DB mode"));
            f.cmdOK->click();
        });
        w.reset();
        auto again = start();
        checkReloaded(*again);
    }

    void compactionAndBackupKeepPassword() {
        QByteArray secret;
        auto w = start();
        for (int r = 1; r < w->fgdCards->Rows(); ++r)
            secret = std::max(secret, w->fgdCards->TextMatrix(r, 8).toUtf8(),
                              [](auto& a, auto& b) { return a.size() < b.size(); });
        setPassword(*w, QStringLiteral("Zyn7Vex"));
        ui->answer(mb::AnsOK, QStringLiteral("Compact successful"));
        w->mnuCompact_Click();
        QVERIFY(ui->boxes.last().text.startsWith(catalogue().toUpper()));
        checkReloaded(*w);

        // The engine cannot write its scratch file where a folder is in the way.
        QVERIFY(QDir(tmp->path()).mkpath(QStringLiteral("backup.qmx/inner")));
        ui->answer(mb::AnsOK, QStringLiteral("Compact Error"));
        w->mnuCompact_Click();
        QCOMPARE(ui->boxes.last().text, QStringLiteral("Failure in compacting database!"));
        checkReloaded(*w);

        ui->saveAs(at(QStringLiteral("elsewhere.bak")));
        ui->answer(mb::AnsOK, QStringLiteral("Success"));
        w->mnuBakDB_Click();
        w.reset();
        for (const QString& f : {catalogue(), at(QStringLiteral("elsewhere.bak"))}) {
            QCOMPARE(cardsOrError(f, QString()), int(err::BadPassword));
            QCOMPARE(cardsOrError(f, QStringLiteral("Zyn7Vex")), kCards);
            QVERIFY(!readAll(f).contains(secret));
        }
        QVERIFY(secret.size() > 8);
    }

    void setModeValidation_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("retyped");
        QTest::addColumn<QString>("message");
        const QString len = QStringLiteral("The new password must be between 4 and 16 characters!");
        const QString invalid = QStringLiteral("Invalid password!");
        QTest::newRow("3") << QStringLiteral("abc") << QStringLiteral("abc") << len;
        QTest::newRow("17") << QString(17, QLatin1Char('k')) << QString(17, QLatin1Char('k'))
                            << len;
        QTest::newRow("blanks") << QStringLiteral("    ") << QStringLiteral("    ") << invalid;
        QTest::newRow("token") << QStringLiteral("  ``") << QStringLiteral("  ``") << invalid;
        QTest::newRow("mismatch") << QStringLiteral("abcd") << QStringLiteral("abcD")
                                  << QStringLiteral("There is a mismatch in the new password!");
    }
    void setModeValidation() {
        QFETCH(QString, typed);
        QFETCH(QString, retyped);
        QFETCH(QString, message);
        auto w = start();
        passwordDialog(*w, [&](frmPassword& f) {
            QCOMPARE(f.windowTitle(), QStringLiteral("Set Password"));
            QVERIFY(!f.fraOldPswd->isVisible() && !f.chkDisPass->isVisible());
            QCOMPARE(f.txtOldPswd->palette().color(QPalette::Base), kGrey);
            QCOMPARE(pxToTwips(f.height()), 1860);
            QCOMPARE(topTw(f.fraNewPswd), 120);
            QCOMPARE(topTw(f.cmdOK), 1440);
            fill(f, QString(), typed, retyped);
            QCOMPARE(f.txtNewPswdRe->displayText(), QString(retyped.size(), QLatin1Char('*')));
            ui->answer(mb::AnsOK, QStringLiteral("New password error"));
            f.cmdOK->click();
            QCOMPARE(ui->boxes.last().text, message + kAgain);
            QVERIFY(f.txtNewPswd->text().isEmpty() && f.txtNewPswdRe->text().isEmpty());
            QCOMPARE(f.focusWidget(), f.txtNewPswd);
        });
        QCOMPARE(w->mnuPass->text(), kAdd);
    }

    void changeAndDisable() {
        const QString sixteen = QStringLiteral("P@ssword-16charX");
        setPassword(*start(), QStringLiteral("abcd"));
        auto w = start(QStringLiteral("abcd"));
        QCOMPARE(ui->modalForms.last(), QStringLiteral("frmAsk4Pwd"));
        QCOMPARE(w->mnuPass->text(), kChange);
        passwordDialog(*w, [&](frmPassword& f) {
            QCOMPARE(f.windowTitle(), QStringLiteral("Change Password"));
            QCOMPARE(pxToTwips(f.height()), 3180);
            QCOMPARE(topTw(f.fraNewPswd), 1440);
            // Letter case counts; a rejected entry empties all three boxes.
            for (const QString& old : {QStringLiteral("ABCD"), QStringLiteral("abcd")}) {
                fill(f, old, sixteen + QLatin1Char('!'), sixteen + QLatin1Char('!'));
                ui->answer(mb::AnsOK);
                f.cmdOK->click();
                QVERIFY(f.txtOldPswd->text().isEmpty() && f.txtNewPswdRe->text().isEmpty());
                QCOMPARE(f.focusWidget(), f.txtOldPswd);
            }
            QCOMPARE(ui->titles().mid(ui->titles().size() - 2),
                     QStringList({QStringLiteral("Old password error"),
                                  QStringLiteral("New password error")}));
            fill(f, QStringLiteral("abcd"), sixteen, sixteen);
            ui->answer(mb::AnsOK, QStringLiteral("Password success"));
            f.cmdOK->click();
        });
        w.reset();
        w = start(sixteen);
        passwordDialog(*w, [&](frmPassword& f) {
            fill(f, sixteen, QStringLiteral("junk"), QString());
            f.chkDisPass->click();
            QVERIFY(f.txtNewPswd->text().isEmpty() && !f.fraNewPswd->isVisible());
            QCOMPARE(f.txtNewPswd->palette().color(QPalette::Base), kGrey);
            QCOMPARE(pxToTwips(f.height()), 1860);
            ui->answer(mb::AnsOK, QStringLiteral("Password success"));
            f.cmdOK->click();
        });
        QCOMPARE(ui->boxes.last().text, QStringLiteral("The password was disabled successfully!"));
        QCOMPARE(w->mnuPass->text(), kAdd);
        passwordDialog(
            *w, [](frmPassword& f) { QCOMPARE(f.windowTitle(), QStringLiteral("Set Password")); });
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
    }

    void passwordWithBlankRejectedByEngine() {
        auto w = start();
        passwordDialog(*w, [this](frmPassword& f) {
            fill(f, QString(), QStringLiteral("ab cd"), QStringLiteral("ab cd"));
            ui->answer(mb::AnsOK, QStringLiteral("Error in setting password"));
            f.cmdOK->click();
            QVERIFY(f.isVisible());
            QCOMPARE(f.txtNewPswd->text(), QStringLiteral("ab cd"));
        });
        QCOMPARE(w->g.gDbPwd, QString());
        QCOMPARE(w->mnuPass->text(), kAdd);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), QString()), kCards);
    }
};

QTEST_MAIN(TstMaintenanceApp)
#include "tst_maintenance_app.moc"
