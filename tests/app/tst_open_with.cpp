// Viewing an export no program is associated with: one the desktop lists, or any other.
#include "app/frmKRVS.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "ui/UiServices.h"
#include "ui/frmOpenWith.h"
#include "update/frmAbout.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

// The test's desktop: a data folder with one program for text and CSV files.
QTemporaryDir& desktop() {
    static QTemporaryDir dir;
    return dir;
}

QString marker(const QString& name) {
    return desktop().filePath(name);
}

// A script that writes its first argument into the marker file of that name.
QString writeMarkerScript(const QString& name) {
    const QString script = desktop().filePath(name + ".sh");
    writeFileBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker(name).toUtf8() + "'\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return script;
}

// Installs the viewer as a desktop does, before the application reads XDG_DATA_HOME.
void prepareDesktop() {
    qputenv("XDG_DATA_HOME", desktop().path().toUtf8());
    QDir().mkpath(desktop().filePath("applications"));
    writeFileBytes(desktop().filePath("applications/krvs-test-viewer.desktop"),
                   "[Desktop Entry]\nType=Application\nName=KRVS Test Viewer\n"
                   "Exec=/bin/sh " +
                       writeMarkerScript("viewer").toUtf8() +
                       " %f\nMimeType=text/plain;text/csv;\n");
    writeFileBytes(desktop().filePath("applications/mimeinfo.cache"),
                   "[MIME Cache]\ntext/csv=krvs-test-viewer.desktop;\n"
                   "text/plain=krvs-test-viewer.desktop;\n");
}

} // namespace

class TestOpenWith : public QObject, AppFixture {
    Q_OBJECT

    // Exports and views as CSV: the chooser gets act, a file dialog other, then a box.
    QString exportAndView(const QString& name, std::function<void(frmOpenWith&)> act,
                          const QString& other = QString(), const char* then = nullptr) {
        const QString file = folder->dir.filePath(name);
        ui->saveAs(file);
        ui->answer(mb::AnsYes, "View file?");
        ui->shellResult(31);
        ui->onModal([act](QDialog& d) {
            auto* chooser = qobject_cast<frmOpenWith*>(&d);
            QVERIFY(chooser);
            act(*chooser);
        });
        if (!other.isEmpty())
            ui->onModal([other](QDialog& d) {
                auto* dlg = qobject_cast<QFileDialog*>(&d);
                QVERIFY(dlg);
                dlg->selectFile(other);
                d.accept(); // the file dialog's own accept, as its Open button
            });
        if (then) ui->answer(mb::AnsOK, then);
        w->mnuSaveIt[1]->trigger();
        return file;
    }

    static void pick(frmOpenWith& f, const QString& name) {
        const auto items = f.lstPrograms->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        const QRect r = f.lstPrograms->visualItemRect(items[0]);
        QTest::mouseClick(f.lstPrograms->viewport(), Qt::LeftButton, {}, r.center());
    }

  private slots:
    void init() {
        begin();
        QVERIFY(makeCatalogue(5));
        start();
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // Cancel ends it quietly; the program chosen from the list gets the file.
    void listedProgramOpensTheFile() {
        bool okEnabled = true;
        QString label;
        exportAndView("cards.csv", [&](frmOpenWith& f) {
            label = f.lblFile->text();
            okEnabled = f.cmdOK->isEnabled(); // nothing chosen yet
            f.cmdCancel->click();
        });
        QVERIFY(!okEnabled);
        QCOMPARE(label,
                 QString("Choose the program you want to use to open this file:\ncards.csv"));
        QCOMPARE(ui->titles(), QStringList{"View file?"});
        QVERIFY(!QFile::exists(marker("viewer")) && w->isEnabled());
        const QString file = exportAndView("listed.csv", [](frmOpenWith& f) {
            pick(f, "KRVS Test Viewer");
            f.cmdOK->click();
        });
        QTRY_COMPARE_WITH_TIMEOUT(readFileBytes(marker("viewer")), file.toUtf8(), 20000);
        QCOMPARE(ui->titles(), QStringList({"View file?", "View file?"}));
    }

    // A web address is a link, not a file: the chooser says so and shows it whole.
    void webAddressIsALink() {
        QString label;
        ui->shellResult(31);
        ui->onModal([&](QDialog& d) {
            auto* about = qobject_cast<frmAbout*>(&d);
            QVERIFY(about);
            ui->onModal([&](QDialog& chooser) {
                auto* f = qobject_cast<frmOpenWith*>(&chooser);
                QVERIFY(f);
                label = f->lblFile->text();
            });
            QTest::mouseClick(about->lblURL, Qt::LeftButton);
            QTest::mouseClick(about->cmdOK, Qt::LeftButton);
        });
        w->mnuAbout->trigger();
        QCOMPARE(label,
                 "Choose the program you want to use to open this link:\n" + makerWebAddress());
        QCOMPARE(ui->shellFiles, QStringList{makerWebAddress()});
        QVERIFY(isLink("mailto:someone@quillmark.example") && !isLink("/tmp/cards.csv") &&
                !isLink("cards.csv"));
    }

    // "Other program..." picks any program; one that cannot run is reported.
    void otherProgram() {
        const QString script = writeMarkerScript("other");
        auto other = [](frmOpenWith& f) { f.cmdOther->click(); };
        const QString file = exportAndView("other.csv", other, script);
        QTRY_COMPARE_WITH_TIMEOUT(readFileBytes(marker("other")), file.toUtf8(), 20000);

        const QString notAProgram = folder->dir.filePath("notes.txt");
        QVERIFY(writeFileBytes(notAProgram, "plain text"));
        ui->reset();
        exportAndView("again.csv", other, notAProgram, "Error in saving file");
        QCOMPARE(ui->boxes.value(1).text, "53\r\nCannot start " + notAProgram + ": File not found");
        QVERIFY(w->isEnabled());
    }
};

int main(int argc, char** argv) {
    prepareDesktop();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    QTEST_SET_MAIN_SOURCE_PATH
    TestOpenWith test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_open_with.moc"
