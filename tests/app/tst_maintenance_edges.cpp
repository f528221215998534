// Backup and password at their edges: a read-only folder, a blank name, a damaged catalogue.
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

class TstMaintenanceEdges : public QObject, AppFixture {
    Q_OBJECT

  private slots:
    void init() {
        begin();
        ui->setNow(QDateTime(QDate(2026, 12, 7), QTime(4, 5, 6)));
    }
    void cleanup() {
        QFile::setPermissions(folder->path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(end(), qPrintable(problems()));
    }

    // Tools > password in a read-only folder (root too, whom the system lets write): refused
    // before the dialog, naming the folder; the file, the menu and the window as they were.
    void passwordInReadOnlyFolder_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("add") << QString();
        QTest::newRow("change") << QString("Old-pw1");
    }
    void passwordInReadOnlyFolder() {
        QFETCH(QString, password);
        QVERIFY(makeCatalogue(60, password));
        start(password);
        QCOMPARE(w->windowTitle(), loadedTitle(60));
        const QByteArray before = readFileBytes(catalogue());
        const QString caption = w->mnuPass->text();
        const qsizetype forms = ui->modalForms.size(); // the start's password prompt
        QVERIFY(QFile::setPermissions(folder->path(), QFile::ReadOwner | QFile::ExeOwner |
                                                          QFile::ReadGroup | QFile::ExeGroup |
                                                          QFile::ReadOther | QFile::ExeOther));
        ui->answer(mb::AnsOK, "Error in setting password");
        w->mnuPass->trigger();
        QCOMPARE(ui->titles(), QStringList{"Error in setting password"});
        QCOMPARE(ui->modalForms.size(), forms); // no password dialog
        QCOMPARE(ui->boxes.last().text,
                 "70\r\nPermission denied: " + QDir::toNativeSeparators(folder->path()) +
                     " (Permission denied)");
        QVERIFY(readFileBytes(catalogue()) == before);
        QCOMPARE(w->mnuPass->text(), caption);
        queryWorks();
        close();
        QVERIFY(QFile::setPermissions(folder->path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(cardsOrError(catalogue(), password), 60);
    }

    // A backup name of blanks only is no name: nothing is copied, as after Cancel.
    void blankBackupName_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("blanks and the extension") << QString("   .krv");
        QTest::newRow("blanks") << QString("   ");
    }
    void blankBackupName() {
        QFETCH(QString, name);
        QVERIFY(makeCatalogue(60));
        start();
        ui->saveAs(at("backup/" + name));
        w->mnuBakDB->trigger();
        QCOMPARE(ui->titles(), QStringList());
        QCOMPARE(QDir(at("backup")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(w->windowTitle(), loadedTitle(60));
        queryWorks();
    }

    // A catalogue whose cards cannot be read (a damaged page): the backup copies it, the
    // reload fails again, and the caption claims no records that the grid does not show.
    void backupOfUnreadableCatalogue() {
        QVERIFY(makeCatalogue(3000));
        {
            QFile f(catalogue());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(58 * 4096 + 100)); // page 59
            QVERIFY(f.write(QByteArray(501, char(0xAB))) == 501);
        }
        ui->answer(mb::AnsOK, "Error in Load");
        start();
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        ui->saveAs(at("backup/copy.krv"));
        ui->answer(mb::AnsOK, "Success");
        ui->answer(mb::AnsOK, "Error in backing up database");
        w->mnuBakDB->trigger();
        QCOMPARE(ui->titles(),
                 QStringList({"Error in Load", "Success", "Error in backing up database"}));
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
    }
};

QTEST_MAIN(TstMaintenanceEdges)
#include "tst_maintenance_edges.moc"
