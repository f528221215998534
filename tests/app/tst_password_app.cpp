// The password dialog and the program's scratch files, the way the user meets them: the
// dialog opened from the main window's menu and typed into, the catalogue on disk, the
// next start answering the password prompt.
#include "app/frmKRVS.h"
#include "db/WriteBudget.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

constexpr int kCards = 60;

enum Mode { Set, Change, Remove };

} // namespace

class TstPasswordApp : public QObject, AppFixture {
    Q_OBJECT
    bool stayedOpen = false; // the password dialog, after its OK

    void checkLoaded(frmKRVS& w) { QCOMPARE(w.windowTitle(), loadedTitle(kCards)); }

    // Opens the dialog from the Tools menu, types into its boxes and clicks OK; the box
    // that follows is answered and, when the dialog stays open, it is cancelled.
    void changePassword(frmKRVS& w, const QString& oldPwd, const QString& newPwd, const char* box,
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
            db::engine::setWriteBudget(-1);
            // a refusal leaves the dialog open with what was typed
            stayedOpen = f.isVisible() && f.txtNewPswd->text() == newPwd;
            if (f.isVisible()) f.cmdCancel->click();
        });
        w.mnuPass->trigger();
    }

    // Makes the catalogue for a mode and starts on it: the password before the change.
    void startFor(Mode mode, const QString& current) {
        if (mode != Set) QVERIFY(makeCatalogue(kCards, current));
        checkLoaded(start(current));
    }

    // The program's scratch files, laid beside the catalogue as a crash leaves them;
    // the interrupted password removal left a whole readable copy.
    QStringList layLeftovers() {
        const QStringList files{at("KRVS.krv.newkey"),         at("KRVS.krv.newkey-journal"),
                                at("KRVS.krv.newkey-wal"),     at("KRVS.krv.newkey-shm"),
                                at("backup.qmx.part"),         at("backup.qmx.part-journal"),
                                at("backup/.krvs-copy-Xy12Zq")};
        QDir(folder->path()).mkpath("backup");
        [&] { QVERIFY(copyOfCatalogue(files[0], kCards)); }();
        [&] { QVERIFY(readFileBytes(files[0]).startsWith("SQLite format 3")); }();
        for (const QString& f : files.mid(1))
            [&] { QVERIFY(writeFileBytes(f, "partly written")); }();
        return files;
    }
    // The user's own files in the same places, which stay.
    QStringList layKeepers() {
        const QStringList files{at("backup/DEC05-2026.krv"), at("KRVS.krv.newkey.txt"),
                                at("backup/krvs-copy-notes.txt")};
        QDir(folder->path()).mkpath("backup");
        for (const QString& f : files)
            [&] { QVERIFY(writeFileBytes(f, "mine")); }();
        return files;
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
        db::engine::setWriteBudget(-1);
        QVERIFY2(end(), qPrintable(problems()));
    }

    // Whatever characters a password holds, the file gets exactly that key: backups
    // keep it and the next start accepts exactly what was typed.
    void typedPasswordIsTheKey_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("password");
        const QStringList awkward{"[abcd]",  "ab]cd", "`abc`",       "it's",
                                  "\"quo\"", "ab;cd", "back\\slash", QString::fromUtf8("Kärtø€ñ")};
        const std::pair<Mode, const char*> modes[] = {
            {Set, "set"}, {Change, "change"}, {Remove, "remove"}};
        for (const auto& [mode, name] : modes)
            for (const QString& p : awkward)
                QTest::addRow("%s %s", name, qPrintable(p)) << int(mode) << p;
    }
    void typedPasswordIsTheKey() {
        QFETCH(int, mode);
        QFETCH(QString, password);
        const QString before = mode == Set ? "" : mode == Change ? "Start-pw1" : password;
        const QString after = mode == Remove ? "" : password;
        startFor(Mode(mode), before);
        changePassword(*w, before, after, "Password success");
        QVERIFY(!stayedOpen);
        QCOMPARE(w->g.gDbPwd, after);

        ui->saveAs(at("copy.krv"));
        ui->answer(mb::AnsOK, "Success");
        w->mnuBakDB->trigger();
        checkLoaded(*w);
        QCOMPARE(cardsOrError(at("copy.krv"), after), kCards);
        w.reset();

        QCOMPARE(cardsOrError(catalogue(), after), kCards);
        if (!after.isEmpty()) QCOMPARE(cardsOrError(catalogue(), ""), int(err::BadPassword));
        checkLoaded(start(after));
    }

    // A password the program's statements or connection settings would read back
    // differently is refused before anything changes.
    void passwordTheSettingsCannotCarryIsRefused_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("password");
        QTest::newRow("set, a setting inside") << ""
                                               << "a;Mode=1";
        QTest::newRow("set, ends in ;") << ""
                                        << "abcd;";
        QTest::newRow("change, a setting inside") << "Start-pw1"
                                                  << "x;Provider=y";
        QTest::newRow("change, ends in ;") << "Start-pw1"
                                           << "abcd;;";
    }
    void passwordTheSettingsCannotCarryIsRefused() {
        QFETCH(QString, current);
        QFETCH(QString, password);
        startFor(current.isEmpty() ? Set : Change, current);
        const QByteArray bytes = readFileBytes(catalogue());
        changePassword(*w, current, password, "Error in setting password");
        QCOMPARE(ui->boxes.last().flags, int(mb::Critical));
        QVERIFY(stayedOpen);
        QCOMPARE(w->g.gDbPwd, current);
        w.reset();
        QVERIFY(readFileBytes(catalogue()) == bytes);
        checkLoaded(start(current));
    }

    // The disk fills up while the password changes: the user is told so, the catalogue is
    // byte for byte as it was, the window goes on working and the old password still opens it.
    void diskFullDuringChangeLeavesAllAsItWas_data() {
        QTest::addColumn<int>("mode");
        // Sixteenths of the catalogue's size written before the disk fills.
        QTest::addColumn<int>("part");
        for (const auto& [mode, name] :
             {std::pair{Set, "set"}, {Change, "change"}, {Remove, "remove"}}) {
            QTest::addRow("%s, first write", name) << int(mode) << 0;
            QTest::addRow("%s, part way", name) << int(mode) << 8;
            QTest::addRow("%s, near the end of the copy", name) << int(mode) << 15;
        }
    }
    void diskFullDuringChangeLeavesAllAsItWas() {
        QFETCH(int, mode);
        QFETCH(int, part);
        const QString before = mode == Set ? "" : "Start-pw1";
        const QString after = mode == Remove ? "" : "Next-pw2";
        startFor(Mode(mode), before);
        const QByteArray bytes = readFileBytes(catalogue());
        QVERIFY(bytes.size() > 8192);
        changePassword(*w, before, after, "Error in setting password",
                       [&] { db::engine::setWriteBudget(bytes.size() * part / 16); });
        QVERIFY2(ui->boxes.last().text.contains("the disk is full", Qt::CaseInsensitive),
                 qPrintable(ui->boxes.last().text));
        QVERIFY(stayedOpen);
        QCOMPARE(w->g.gDbPwd, before);
        QVERIFY(readFileBytes(catalogue()) == bytes);
        QCOMPARE(existing({at("KRVS.krv.newkey"), at("KRVS.krv.newkey-journal")}), QStringList());

        w->cmdQuery->click();
        QVERIFY2(w->windowTitle().startsWith("Korvessa Database - (Matches returned="),
                 qPrintable(w->windowTitle()));
        w.reset();
        checkLoaded(start(before));
    }

    // Scratch files a crash left are gone after the next start and before each backup,
    // compaction and password change; the user's files beside them stay.
    void scratchLeftoversRemoved_data() {
        QTest::addColumn<QString>("when");
        for (const char* when : {"start", "backup", "compaction", "password change"})
            QTest::newRow(when) << QString(when);
    }
    void scratchLeftoversRemoved() {
        QFETCH(QString, when);
        QVERIFY(makeCatalogue(kCards, "abcd"));
        const QStringList keep = layKeepers();
        QStringList scratch;
        if (when == "start") scratch = layLeftovers();
        checkLoaded(start("abcd"));
        if (when != "start") scratch = layLeftovers();
        if (when == "backup") {
            ui->saveAs(at("elsewhere.krv"));
            ui->answer(mb::AnsOK, "Success");
            w->mnuBakDB->trigger();
        } else if (when == "compaction") {
            ui->answer(mb::AnsOK, "Compact successful");
            w->mnuCompact->trigger();
        } else if (when == "password change") {
            changePassword(*w, "abcd", "efgh", "Password success");
        }
        checkLoaded(*w);
        QCOMPARE(existing(scratch), QStringList());
        QCOMPARE(existing(keep).size(), keep.size());
    }

    // A second start that finds the catalogue held by the first leaves the first one's
    // scratch files alone.
    void heldCatalogueKeepsItsScratchFiles() {
        checkLoaded(start());
        const QStringList scratch = layLeftovers();
        ui->answer(mb::AnsOK, "Error in Load");
        const auto second = startMainWindow(ui.get(), folder->path());
        QVERIFY(ui->boxes.last().text.contains("in use"));
        QCOMPARE(existing(scratch).size(), scratch.size());
    }
};

QTEST_MAIN(TstPasswordApp)
#include "tst_password_app.moc"
