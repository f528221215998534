#include "AppFixture.h"
#include "app/frmKRVS.h"
#include "maintenance/frmPassword.h"
#include "search/FlexGrid.h"
#include "util/Twips.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;

namespace {

const QString kLoadAll = "SELECT * FROM tblKRVS101 ORDER BY DbId;";
const QString kAdd = "Add &Password To Database...";
constexpr int kCards = 60;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The number of cards sql finds in a catalogue file, or the error number opening it gave.
int cardsOrError(const QString& path, const QString& pwd, const QString& sql = kLoadAll) {
    try {
        db::Connection c;
        c.setMode(db::adModeShareExclusive);
        c.Open("Data Source=" + path + ";Jet OLEDB:Database Password=" + pwd);
        return c.execute(sql)->rowCount();
    } catch (const AppError& e) {
        return e.number();
    }
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
    std::unique_ptr<test::AppFolder> tmp;
    QString at(const QString& name) const { return tmp->dir.filePath(name); }
    QString catalogue() const { return tmp->catalogue(); }

    // Starts the main window on the folder, typing the password when asked.
    std::unique_ptr<frmKRVS> start(const QString& pwd = QString()) {
        auto w = std::make_unique<frmKRVS>(tmp->path(), "KRVS");
        if (!pwd.isEmpty())
            ui->onModal([pwd](QDialog& d) {
                d.findChild<QLineEdit*>("txtPwd")->setText(pwd);
                d.findChild<QPushButton*>("cmdOK")->click();
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
        QCOMPARE(w.windowTitle(), QString("Korvessa Database - (Total records=60)"));
    }

    // Opens the password dialog and acts on it; submit fills it in, answering the box titled box.
    void passwordDialog(frmKRVS& w, std::function<void(frmPassword&)> act) {
        ui->onModal([act](QDialog& d) { act(static_cast<frmPassword&>(d)); });
        w.mnuPass_Click();
    }
    void submit(frmKRVS& w, const QString& oldPwd, const QString& pwd, const char* box) {
        passwordDialog(w, [&](frmPassword& f) {
            fill(f, oldPwd, pwd, pwd);
            ui->answer(mb::AnsOK, box);
            f.cmdOK->click();
        });
    }

    void backupTo(frmKRVS& w, const QString& name, QList<QPair<int, const char*>> answers) {
        ui->saveAs(name);
        for (const auto& [answer, title] : answers)
            ui->answer(answer, title);
        w.mnuBakDB_Click();
    }

  private slots:
    void init() {
        ui.reset(); // the old script restores the real services when it goes
        ui = std::make_unique<test::ScriptedUi>();
        tmp = std::make_unique<test::AppFolder>();
        tmp->skipFirstStartWarning();
        QVERIFY(test::makeCatalogue(catalogue(), kCards));
    }
    void cleanup() { QVERIFY2(ui->problems().isEmpty(), qPrintable(ui->problems())); }

    void backup() {
        auto w = start();
        ui->setNow(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
        w->bindGrid("SELECT * FROM tblKRVS101 WHERE DbId < 5 ORDER BY Title;");
        w->txtSQL->setPlainText("SELECT 1;");
        // A change made just before is in the copy; the backup folder is made when missing.
        w->g.gConn->execute("UPDATE tblKRVS101 SET UserComments = 'fresh';");
        const QString target = at("backup/DEC06-2026.krv");
        backupTo(*w, target, {{mb::AnsOK, "Success"}});
        QCOMPARE(ui->saveRequests[0].fileName, QString("DEC06-2026.krv"));
        QCOMPARE(ui->saveRequests[0].initDir, tmp->path() + "/backup/");
        QCOMPARE(cardsOrError(target, "", "SELECT * FROM tblKRVS101 WHERE UserComments = 'fresh';"),
                 kCards);
        checkReloaded(*w);

        // The same name again: No keeps the old file, Yes replaces it.
        QFile::remove(target);
        QVERIFY(QFile::copy(at("KRVS.ini"), target));
        backupTo(*w, target, {{mb::AnsNo, "Over-write file?"}});
        QCOMPARE(ui->boxes.last().text,
                 target + "\r\nThe file already exists!\r\nDo you want to over-write it?");
        QCOMPARE(ui->boxes.last().flags, 308);
        QCOMPARE(readAll(target), readAll(at("KRVS.ini")));
        backupTo(*w, target, {{mb::AnsYes, "Over-write file?"}, {mb::AnsOK, "Success"}});
        QCOMPARE(cardsOrError(target, ""), kCards);

        // The catalogue itself, however written, is refused before anything closes.
        backupTo(*w, at("backup/../KRVS.krv"), {{mb::AnsOK, "Error in backing up database"}});
        QVERIFY(ui->boxes.last().text.startsWith("75\r\n"));
        QCOMPARE(w->g.gConn->State(), int(db::adStateOpen));
        QCOMPARE(w->fgdCards->Rows(), kCards + 1);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), ""), kCards);
    }

    void failedCopyLeavesDatabaseClosed() {
        auto w = start();
        // The target's folder is a file: the copy fails even for root.
        backupTo(*w, at("KRVS.ini/copy.krv"), {{mb::AnsOK, "Error in backing up database"}});
        QVERIFY(ui->boxes.last().text.startsWith("76\r\n"));
        QVERIFY(!w->g.gConn);
        QCOMPARE(w->fgdCards->Rows(), 2);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        // Later commands report the closed database instead of acting on it.
        ui->answer(mb::AnsOK, "Error in compacting database");
        w->mnuCompact_Click();
        submit(*w, "", "abcd", "DB mode");
        w.reset();
        checkReloaded(*start());
    }

    void compactionAndBackupKeepPassword() {
        auto w = start();
        QByteArray secret; // the longest database comment, which must not show in the file
        for (int r = 1; r < w->fgdCards->Rows(); ++r)
            secret = std::max(secret, w->fgdCards->TextMatrix(r, 8).toUtf8(),
                              [](auto& a, auto& b) { return a.size() < b.size(); });
        QVERIFY(secret.size() > 8);
        submit(*w, "", "Zyn7Vex", "Password success");
        ui->answer(mb::AnsOK, "Compact successful");
        w->mnuCompact_Click();
        QVERIFY(ui->boxes.last().text.startsWith(catalogue().toUpper()));
        checkReloaded(*w);

        // The engine cannot write its scratch file where a folder is in the way.
        QVERIFY(QDir(tmp->path()).mkpath("backup.qmx/inner"));
        ui->answer(mb::AnsOK, "Compact Error");
        w->mnuCompact_Click();
        QCOMPARE(ui->boxes.last().text, QString("Failure in compacting database!"));
        checkReloaded(*w);

        backupTo(*w, at("elsewhere.bak"), {{mb::AnsOK, "Success"}});
        w.reset();
        for (const QString& f : {catalogue(), at("elsewhere.bak")}) {
            QCOMPARE(cardsOrError(f, ""), int(err::BadPassword));
            QCOMPARE(cardsOrError(f, "Zyn7Vex"), kCards);
            QVERIFY(!readAll(f).contains(secret));
        }
    }

    // Each refused new password in the set mode: the box, the boxes emptied, nothing changed.
    void setModeRefusals_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("retyped");
        QTest::addColumn<QString>("message"); // empty: the engine refuses it
        auto row = [](const char* name, const QString& typed, const QString& retyped,
                      const QString& message) {
            QTest::newRow(name) << typed << retyped << message;
        };
        const QString len = "The new password must be between 4 and 16 characters!";
        row("3", "abc", "abc", len);
        row("17", QString(17, 'k'), QString(17, 'k'), len);
        row("blanks", "    ", "    ", "Invalid password!");
        row("token", "  ``", "  ``", "Invalid password!");
        row("mismatch", "abcd", "abcD", "There is a mismatch in the new password!");
        row("inner blank", "ab cd", "ab cd", "");
    }
    void setModeRefusals() {
        QFETCH(QString, typed);
        QFETCH(QString, retyped);
        QFETCH(QString, message);
        auto w = start();
        passwordDialog(*w, [&](frmPassword& f) {
            QCOMPARE(f.windowTitle(), QString("Set Password"));
            QVERIFY(!f.fraOldPswd->isVisible() && !f.chkDisPass->isVisible());
            fill(f, "", typed, retyped);
            QCOMPARE(f.txtNewPswdRe->displayText(), QString(retyped.size(), '*'));
            ui->answer(mb::AnsOK,
                       message.isEmpty() ? "Error in setting password" : "New password error");
            f.cmdOK->click();
            if (message.isEmpty()) { // the dialog stays with what was typed
                QVERIFY(f.isVisible());
                QCOMPARE(f.txtNewPswd->text(), typed);
                return;
            }
            QCOMPARE(ui->boxes.last().text, message + "\r\nPlease try again.");
            QVERIFY(f.txtNewPswd->text().isEmpty() && f.txtNewPswdRe->text().isEmpty());
            QCOMPARE(f.focusWidget(), f.txtNewPswd);
        });
        QCOMPARE(w->g.gDbPwd, QString());
        QCOMPARE(w->mnuPass->text(), kAdd);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), ""), kCards);
    }

    void changeAndDisable() {
        const QString sixteen = "P@ssword-16charX";
        submit(*start(), "", "abcd", "Password success");
        auto w = start("abcd");
        QCOMPARE(ui->modalForms.last(), QString("frmAsk4Pwd"));
        QCOMPARE(w->mnuPass->text(), QString("Change Database &Password..."));
        passwordDialog(*w, [&](frmPassword& f) {
            QCOMPARE(f.windowTitle(), QString("Change Password"));
            // Letter case counts; a rejected entry empties all three boxes.
            for (const char* old : {"ABCD", "abcd"}) {
                fill(f, old, sixteen + '!', sixteen + '!');
                ui->answer(mb::AnsOK);
                f.cmdOK->click();
                QVERIFY(f.txtOldPswd->text().isEmpty() && f.txtNewPswdRe->text().isEmpty());
                QCOMPARE(f.focusWidget(), f.txtOldPswd);
            }
            QCOMPARE(ui->titles().mid(ui->titles().size() - 2),
                     QStringList({"Old password error", "New password error"}));
            fill(f, "abcd", sixteen, sixteen);
            ui->answer(mb::AnsOK, "Password success");
            f.cmdOK->click();
        });
        w.reset();
        w = start(sixteen);
        passwordDialog(*w, [&](frmPassword& f) {
            fill(f, sixteen, "junk", "");
            f.chkDisPass->click();
            QVERIFY(f.txtNewPswd->text().isEmpty() && !f.fraNewPswd->isVisible());
            QCOMPARE(pxToTwips(f.height()), 1860);
            ui->answer(mb::AnsOK, "Password success");
            f.cmdOK->click();
        });
        QCOMPARE(ui->boxes.last().text, QString("The password was disabled successfully!"));
        QCOMPARE(w->mnuPass->text(), kAdd);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), ""), kCards);
    }
};

QTEST_MAIN(TstMaintenanceApp)
#include "tst_maintenance_app.moc"
