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
constexpr int kCards = 60;
} // namespace

class TstMaintenanceApp : public QObject, test::AppFixture {
    Q_OBJECT

    // Every card in DbId order, the load-all statement and the total in the caption.
    void checkReloaded() {
        QVERIFY(w->catalogue().isOpen());
        QCOMPARE(w->fgdCards->TextMatrix(1, 0) + ',' + w->fgdCards->TextMatrix(kCards, 0), "1,60");
        QCOMPARE(w->txtSQL->toPlainText(), QString("SELECT * FROM tblKRVS101 ORDER BY DbId;"));
        QCOMPARE(w->windowTitle(), loadedTitle(kCards));
    }

    // The password dialog: old, new, retyped (default: new), a fourth ticks "disable"; then OK.
    void password(const QStringList& typed, const char* box,
                  const std::function<void(frmPassword&)>& after = {}) {
        ui->onModal([&](QDialog& d) {
            auto& f = static_cast<frmPassword&>(d);
            f.txtOldPswd->setText(typed[0]);
            f.txtNewPswd->setText(typed[1]);
            f.txtNewPswdRe->setText(typed.value(2, typed[1]));
            if (typed.size() > 3) f.chkDisPass->click();
            ui->answer(mb::AnsOK, box);
            f.cmdOK->click();
            if (after) after(f);
        });
        w->mnuPass_Click();
    }

    void backupTo(const QString& name, QList<QPair<int, const char*>> answers) {
        ui->saveAs(name);
        for (const auto& [answer, title] : answers)
            ui->answer(answer, title);
        w->mnuBakDB_Click();
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
        w->bindGrid(typedRequest("SELECT * FROM tblKRVS101 WHERE DbId < 5 ORDER BY Title;"));
        w->txtSQL->setPlainText("SELECT 1;");
        // A change made just before is in the copy; the backup folder is made when missing.
        w->catalogue().connection().execute("UPDATE tblKRVS101 SET UserComments = 'fresh';");
        const QString target = at("backup/DEC06-2026.krv");
        backupTo(target, {{mb::AnsOK, "Success"}});
        QCOMPARE(ui->saveRequests[0].fileName, QString("DEC06-2026.krv"));
        QCOMPARE(ui->saveRequests[0].initDir, folder->path() + "/backup/");
        QCOMPARE(cardsOrError(target, "", "SELECT * FROM tblKRVS101 WHERE UserComments = 'fresh';"),
                 kCards);
        checkReloaded();

        // The same name again: No keeps the old file, Yes replaces it.
        const QString old = at("backup/old.krv");
        QVERIFY(QFile::copy(at("KRVS.ini"), old));
        backupTo(old, {{mb::AnsNo, "Over-write file?"}});
        QCOMPARE(readFileBytes(old), readFileBytes(at("KRVS.ini")));
        backupTo(old, {{mb::AnsYes, "Over-write file?"}, {mb::AnsOK, "Success"}});
        QCOMPARE(cardsOrError(old, ""), kCards);

        // The catalogue itself, however written, is refused before anything closes.
        backupTo(at("backup/../KRVS.krv"), {{mb::AnsOK, "Error in backing up database"}});
        QVERIFY(ui->boxes.last().text.startsWith("75\r\n"));
        QVERIFY(w->catalogue().isOpen() && w->fgdCards->Rows() == kCards + 1);

        // A failed copy (its folder is a file) says so and opens the catalogue again.
        backupTo(at("KRVS.ini/copy.krv"), {{mb::AnsOK, "Error in backing up database"}});
        checkReloaded();
        w.reset();
        start();
        checkReloaded();
    }

    // Compaction and backup keep the password (no card text readable); changed or removed, as
    // asked.
    void passwordKeptChangedAndDisabled() {
        start();
        const QByteArray secret = "Plainly readable card note";
        w->catalogue().connection().execute("UPDATE tblKRVS101 SET UserComments = '" + secret +
                                            "';");
        password({"", "abcd"}, "Password success");
        const qint64 before = QFileInfo(catalogue()).size();
        ui->answer(mb::AnsOK, "Compact successful");
        w->mnuCompact_Click();
        QCOMPARE(ui->boxes.last().text,
                 catalogue().toUpper() +
                     " compacted successfully.\r\n\r\nSize before compacting:\t" +
                     fileSizeTextFor(before) + "\r\nSize after compacting:\t" +
                     fileSizeTextFor(QFileInfo(catalogue()).size()));
        checkReloaded();
        QVERIFY(QDir(folder->path()).mkpath("backup.qmx/inner")); // where the scratch file goes
        ui->answer(mb::AnsOK, "Compact Error");
        w->mnuCompact_Click();
        checkReloaded();
        backupTo(at("elsewhere.bak"), {{mb::AnsOK, "Success"}});
        w.reset();
        for (const QString& f : {catalogue(), at("elsewhere.bak")}) {
            QCOMPARE(cardsOrError(f, ""), int(err::BadPassword));
            QCOMPARE(cardsOrError(f, "abcd"), kCards);
            QVERIFY(!readFileBytes(f).contains(secret));
        }

        const QString sixteen = "P@ssword-16charX";
        start("abcd");
        password({"abcd", sixteen}, "Password success");
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), "abcd"), int(err::BadPassword));
        start(sixteen);
        password({sixteen, "junk", "", "disable"}, "Password success", [](frmPassword& f) {
            QVERIFY(f.txtNewPswd->text().isEmpty() && !f.fraNewPswd->isVisibleTo(&f));
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
        const auto row = [](const char* name, const QStringList& typed, const QString& message) {
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
        QFETCH(QString, message);
        const QString current = typed[0].isEmpty() ? "" : "abcd";
        if (!current.isEmpty()) QVERIFY(makeCatalogue(kCards, current));
        start(current);
        password(typed, nullptr, [&](frmPassword& f) {
            QCOMPARE(ui->boxes.last().text, message + "\r\nPlease try again.");
            QVERIFY(f.txtOldPswd->text().isEmpty() && f.txtNewPswd->text().isEmpty() &&
                    f.txtNewPswdRe->text().isEmpty());
            QCOMPARE(f.focusWidget(), current.isEmpty() ? f.txtNewPswd : f.txtOldPswd);
        });
        QCOMPARE(w->catalogue().password(), current);
        w.reset();
        QCOMPARE(cardsOrError(catalogue(), current), kCards);
    }
};

QTEST_MAIN(TstMaintenanceApp)
#include "tst_maintenance_app.moc"
