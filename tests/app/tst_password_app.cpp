// The password dialog typed into, the catalogue on disk and the next start; the scratch files.
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "util/WriteBudget.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 60;

enum Mode { Set, Change, Remove };
constexpr int kNone = -1;

} // namespace

class TstPasswordApp : public QObject, AppFixture {
    Q_OBJECT
    bool stayedOpen = false; // the password dialog, after its OK

    void checkLoaded(frmKRVS& w) { QCOMPARE(w.windowTitle(), loadedTitle(kCards)); }

    // Types into the dialog from the menu and clicks OK; a dialog left open is cancelled.
    void changePassword(const QString& oldPwd, const QString& newPwd, const char* box,
                        std::function<void()> beforeOk = {}) {
        ui->onModal([&](QDialog& d) {
            auto& f = static_cast<frmPassword&>(d);
            if (f.changeMode()) typeText(f.txtOldPswd, oldPwd);
            if (newPwd.isEmpty()) {
                f.chkDisPass->click();
            } else {
                typeText(f.txtNewPswd, newPwd);
                typeText(f.txtNewPswdRe, newPwd);
            }
            ui->answer(mb::AnsOK, box);
            if (beforeOk) beforeOk();
            f.cmdOK->click();
            setWriteBudget(-1);
            // a refusal leaves the dialog open with what was typed
            stayedOpen = f.isVisible() && f.txtNewPswd->text() == newPwd;
            if (f.isVisible()) f.cmdCancel->click();
        });
        w->mnuPass->trigger();
    }

    // Makes the catalogue for a mode and starts on it: the password before the change.
    void startFor(Mode mode, const QString& current) {
        if (mode != Set) QVERIFY(makeCatalogue(kCards, current));
        checkLoaded(start(current));
    }

    // Scratch files as a crash leaves them (a whole plain copy among them), and the user's own.
    QStringList scratch() const {
        return {at("KRVS.krv.newkey"),         at("KRVS.krv.newkey-journal"),
                at("KRVS.krv.newkey-wal"),     at("KRVS.krv.newkey-shm"),
                at("backup.qmx.part"),         at("backup.qmx.part-journal"),
                at("backup/.krvs-copy-Xy12Zq")};
    }
    QStringList keepers() const {
        return {at("backup/DEC05-2026.krv"), at("KRVS.krv.newkey.txt"),
                at("backup/krvs-copy-notes.txt")};
    }
    void layFiles() {
        QDir(folder->path()).mkpath("backup");
        QVERIFY(copyOfCatalogue(scratch()[0], kCards));
        for (const QString& f : scratch().mid(1))
            QVERIFY(writeFileBytes(f, "partly written"));
        for (const QString& f : keepers())
            QVERIFY(writeFileBytes(f, "mine"));
    }
    static QStringList existing(const QStringList& files) {
        QStringList out;
        for (const QString& f : files)
            if (QFileInfo::exists(f)) out << QFileInfo(f).fileName();
        return out;
    }

  private slots:
    void init() {
        begin();
        QVERIFY(makeCatalogue(kCards));
    }
    void cleanup() {
        setWriteBudget(-1);
        QVERIFY2(end(), qPrintable(problems()));
    }

    // The typed password is exactly the key, in backups and at the next start too; on a full
    // disk nothing changes.
    void passwordChange_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("fault"); // kNone, or sixteenths written before the disk fills
        const QStringList awkward{"[abcd]",  "ab]cd", "`abc`",       "it's",
                                  "\"quo\"", "ab;cd", "back\\slash", QString::fromUtf8("Kärtø€ñ")};
        for (const auto& [mode, name] :
             {std::pair{Set, "set"}, {Change, "change"}, {Remove, "remove"}}) {
            for (const QString& p : awkward)
                QTest::addRow("%s %s", name, qPrintable(p)) << int(mode) << p << kNone;
            for (const int part : {0, 8, 15})
                QTest::addRow("%s, disk full after %d/16", name, part)
                    << int(mode) << "Next-pw2" << part;
        }
        // What looks like the end of a setting or another setting is part of the password.
        for (const char* p : {"a;Mode=1", "abcd;"})
            QTest::addRow("set %s", p) << int(Set) << p << kNone;
        for (const char* p : {"x;Provider=y", "abcd;;", ";;;;"})
            QTest::addRow("change to %s", p) << int(Change) << p << kNone;
    }
    void passwordChange() {
        QFETCH(int, mode);
        QFETCH(QString, password);
        QFETCH(int, fault);
        const QString before = mode == Set ? "" : mode == Change ? "Start-pw1" : password;
        const QString after = mode == Remove ? "" : password;
        startFor(Mode(mode), before);
        const QByteArray bytes = readFileBytes(catalogue());
        QVERIFY(bytes.size() > 8192);
        changePassword(before, after,
                       fault == kNone ? "Password success" : "Error in setting password", [&] {
                           if (fault >= 0) setWriteBudget(bytes.size() * fault / 16);
                       });
        if (fault == kNone) {
            QVERIFY(!stayedOpen);
            QCOMPARE(w->catalogue().password(), after);
            ui->saveAs(at("copy.krv"));
            ui->answer(mb::AnsOK, "Success");
            w->mnuBakDB->trigger();
            checkLoaded(*w);
            QCOMPARE(cardsOrError(at("copy.krv"), after), kCards);
            w.reset();
            QCOMPARE(cardsOrError(catalogue(), after), kCards);
            if (!after.isEmpty()) QCOMPARE(cardsOrError(catalogue(), ""), int(err::BadPassword));
            checkLoaded(start(after));
            return;
        }
        QVERIFY2(ui->boxes.last().text.contains("the disk is full", Qt::CaseInsensitive),
                 qPrintable(ui->boxes.last().text));
        QVERIFY(stayedOpen);
        QCOMPARE(w->catalogue().password(), before);
        QVERIFY(readFileBytes(catalogue()) == bytes);
        QCOMPARE(existing({at("KRVS.krv.newkey"), at("KRVS.krv.newkey-journal")}), QStringList());
        w->cmdQuery->click();
        QVERIFY2(w->windowTitle().startsWith("Korvessa Database - (Matches returned="),
                 qPrintable(w->windowTitle()));
        w.reset();
        checkLoaded(start(before));
    }

    // Scratch files go at start and before each file operation; the user's files stay.
    void scratchLeftoversRemoved_data() {
        QTest::addColumn<QString>("when");
        for (const char* when : {"start", "backup", "compaction", "password change"})
            QTest::newRow(when) << QString(when);
    }
    void scratchLeftoversRemoved() {
        QFETCH(QString, when);
        QVERIFY(makeCatalogue(kCards, "abcd"));
        if (when == "start") layFiles();
        checkLoaded(start("abcd"));
        if (when != "start") layFiles();
        if (when == "backup") {
            ui->saveAs(at("elsewhere.krv"));
            ui->answer(mb::AnsOK, "Success");
            w->mnuBakDB->trigger();
        } else if (when == "compaction") {
            ui->answer(mb::AnsOK, "Compact successful");
            w->mnuCompact->trigger();
        } else if (when == "password change") {
            changePassword("abcd", "efgh", "Password success");
        }
        checkLoaded(*w);
        QCOMPARE(existing(scratch()), QStringList());
        QCOMPARE(existing(keepers()).size(), keepers().size());
    }

    // A second start that finds the catalogue held by the first leaves its scratch files.
    void heldCatalogueKeepsItsScratchFiles() {
        checkLoaded(start());
        layFiles();
        ui->answer(mb::AnsOK, "Error in Load");
        const auto second = startMainWindow(ui.get(), folder->path());
        QVERIFY(ui->boxes.last().text.contains("in use"));
        QCOMPARE(existing(scratch()).size(), scratch().size());
    }
};

QTEST_MAIN(TstPasswordApp)
#include "tst_password_app.moc"
