#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "util/SizeText.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

const QString kLoadAll = "SELECT * FROM tblKRVS101 ORDER BY DbId;";
constexpr int kCards = 60;

void fill(frmPassword& f, const QString& oldPwd, const QString& newPwd, const QString& retyped) {
    f.txtOldPswd->setText(oldPwd);
    f.txtNewPswd->setText(newPwd);
    f.txtNewPswdRe->setText(retyped);
}

} // namespace

class TstMaintenanceApp : public QObject, test::AppFixture {
    Q_OBJECT

    // Every card in DbId order, the load-all statement and the total in the caption.
    void checkReloaded(frmKRVS& w) {
        QVERIFY(w.g.gConn && w.g.gConn->State() == db::adStateOpen);
        QCOMPARE(w.fgdCards->TextMatrix(1, 0) + ',' + w.fgdCards->TextMatrix(kCards, 0), "1,60");
        QCOMPARE(w.txtSQL->toPlainText(), kLoadAll);
        QCOMPARE(w.windowTitle(), loadedTitle(60));
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
        begin();
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    void backup() {
        start();
        ui->setNow(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
        w->bindGrid("SELECT * FROM tblKRVS101 WHERE DbId < 5 ORDER BY Title;");
        w->txtSQL->setPlainText("SELECT 1;");
        // A change made just before is in the copy; the backup folder is made when missing.
        w->g.gConn->execute("UPDATE tblKRVS101 SET UserComments = 'fresh';");
        const QString target = at("backup/DEC06-2026.krv");
        backupTo(*w, target, {{mb::AnsOK, "Success"}});
        QCOMPARE(ui->saveRequests[0].fileName, QString("DEC06-2026.krv"));
        QCOMPARE(ui->saveRequests[0].initDir, folder->path() + "/backup/");
        QCOMPARE(cardsOrError(target, "", "SELECT * FROM tblKRVS101 WHERE UserComments = 'fresh';"),
                 kCards);
        checkReloaded(*w);

        // The same name again: No keeps the old file, Yes replaces it.
        const QString old = at("backup/old.krv");
        QVERIFY(QFile::copy(at("KRVS.ini"), old));
        backupTo(*w, old, {{mb::AnsNo, "Over-write file?"}});
        QCOMPARE(readFileBytes(old), readFileBytes(at("KRVS.ini")));
        backupTo(*w, old, {{mb::AnsYes, "Over-write file?"}, {mb::AnsOK, "Success"}});
        QCOMPARE(cardsOrError(old, ""), kCards);

        // The catalogue itself, however written, is refused before anything closes.
        backupTo(*w, at("backup/../KRVS.krv"), {{mb::AnsOK, "Error in backing up database"}});
        QVERIFY(ui->boxes.last().text.startsWith("75\r\n"));
        QVERIFY(w->g.gConn->State() == db::adStateOpen && w->fgdCards->Rows() == kCards + 1);

        // A failed copy (its folder is a file) says so and opens the catalogue again.
        backupTo(*w, at("KRVS.ini/copy.krv"), {{mb::AnsOK, "Error in backing up database"}});
        checkReloaded(*w);
        w.reset();
        checkReloaded(start());
    }

    // Compaction and backup keep the password, and no card text shows in the files; a
    // compaction the engine cannot do leaves the catalogue loaded. A changed password is
    // the one the next start asks for; disabled, none is asked.
    void passwordKeptChangedAndDisabled() {
        start();
        const QByteArray secret = "Plainly readable card note";
        w->g.gConn->execute("UPDATE tblKRVS101 SET UserComments = '" + secret + "';");
        submit(*w, "", "abcd", "Password success");
        const qint64 before = QFileInfo(catalogue()).size();
        ui->answer(mb::AnsOK, "Compact successful");
        w->mnuCompact_Click();
        QCOMPARE(ui->boxes.last().text,
                 catalogue().toUpper() +
                     " compacted successfully.\r\n\r\nSize before compacting:\t" +
                     fileSizeTextFor(before) + "\r\nSize after compacting:\t" +
                     fileSizeTextFor(QFileInfo(catalogue()).size()));
        checkReloaded(*w);
        QVERIFY(QDir(folder->path()).mkpath("backup.qmx/inner")); // where the scratch file goes
        ui->answer(mb::AnsOK, "Compact Error");
        w->mnuCompact_Click();
        checkReloaded(*w);
        backupTo(*w, at("elsewhere.bak"), {{mb::AnsOK, "Success"}});
        w.reset();
        for (const QString& f : {catalogue(), at("elsewhere.bak")}) {
            QCOMPARE(cardsOrError(f, ""), int(err::BadPassword));
            QCOMPARE(cardsOrError(f, "abcd"), kCards);
            QVERIFY(!readFileBytes(f).contains(secret));
        }

        const QString sixteen = "P@ssword-16charX";
        start("abcd");
        submit(*w, "abcd", sixteen, "Password success");
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), "abcd"), int(err::BadPassword));
        start(sixteen);
        passwordDialog(*w, [&](frmPassword& f) {
            fill(f, sixteen, "junk", "");
            f.chkDisPass->click();
            QVERIFY(f.txtNewPswd->text().isEmpty() && !f.fraNewPswd->isVisible());
            ui->answer(mb::AnsOK, "Password success");
            f.cmdOK->click();
        });
        QCOMPARE(w->mnuPass->text(), QString("Add &Password To Database..."));
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), ""), kCards);
    }

    // A refused password: the box, the boxes to type again emptied, nothing changed.
    void passwordRefusals_data() {
        QTest::addColumn<QStringList>("typed"); // old (when abcd is set), new, retyped
        QTest::addColumn<QString>("message");
        const QString len = "The new password must be between 4 and 16 characters!",
                      invalid = "Invalid password!", k17(17, 'k');
        auto row = [](const char* name, const QStringList& typed, const QString& message) {
            QTest::newRow(name) << typed << message;
        };
        row("3", {"", "abc", "abc"}, len);
        row("blanks", {"", "    ", "    "}, invalid);
        row("token", {"", "  ``", "  ``"}, invalid);
        row("mismatch", {"", "abcd", "abcD"}, "There is a mismatch in the new password!");
        row("old in other case", {"ABCD", "efgh", "efgh"},
            "The old password was entered incorrectly!");
        row("change to 17", {"abcd", k17, k17}, len);
    }
    void passwordRefusals() {
        QFETCH(QStringList, typed);
        const QString current = typed[0].isEmpty() ? "" : "abcd";
        QFETCH(QString, message);
        if (!current.isEmpty()) QVERIFY(makeCatalogue(kCards, current));
        start(current);
        passwordDialog(*w, [&](frmPassword& f) {
            fill(f, typed[0], typed[1], typed[2]);
            ui->answer(mb::AnsOK);
            f.cmdOK->click();
            QCOMPARE(ui->boxes.last().text, message + "\r\nPlease try again.");
            QVERIFY(f.txtOldPswd->text().isEmpty() && f.txtNewPswd->text().isEmpty() &&
                    f.txtNewPswdRe->text().isEmpty());
            QCOMPARE(f.focusWidget(), current.isEmpty() ? f.txtNewPswd : f.txtOldPswd);
        });
        QCOMPARE(w->g.gDbPwd, current);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), current), kCards);
    }
};

QTEST_MAIN(TstMaintenanceApp)
#include "tst_maintenance_app.moc"
