#include "ScriptedUi.h"
#include "TestCatalogue.h"

#include "details/CardUpdate.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "search/FlexGrid.h"
#include "search/Globals.h"

#include <QTest>
#include <QtWidgets>
#include <sqlite3.h>

using namespace krvs;

class tst_details : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<test::ScriptedUi> ui_;
    std::unique_ptr<Globals> g_;
    std::unique_ptr<FlexGrid> grid_;
    int refreshes_ = 0;

    // A fresh copy of the catalogue, opened the way the program opens it; sql runs
    // on the file first.
    void openCatalogue(const QString& sql = QString()) {
        const QString path = dir_.filePath("KRVS.krv");
        QFile::remove(path);
        QVERIFY(QFile::copy(dir_.filePath("template.krv"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        g_ = std::make_unique<Globals>();
        g_->gConn = std::make_unique<db::Connection>();
        g_->gConn->setMode(db::adModeShareExclusive);
        g_->gConn->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path +
                        "; Persist Security Info=False; Jet OLEDB:Database Password=``");
        g_->gCurSQL = "SELECT * FROM tblKRVS101 ORDER BY DbId;";
        refresh();
        refreshes_ = 0;
    }
    // What the main window does after an update.
    void refresh() {
        ++refreshes_;
        g_->gRS = std::make_unique<db::Recordset>();
        g_->gRS->Open(g_->gCurSQL, *g_->gConn);
        g_->gRS->Requery();
        grid_->setDataSource(g_->gRS->rows());
    }
    std::unique_ptr<frmDetails> openDetails(int row) {
        const auto t = [&](int c) { return grid_->TextMatrix(row, c); };
        g_->gCard =
            Card{t(0).toInt(), t(1), t(2), t(3), t(4), t(5), t(6), t(7) == "True", t(8), t(9)};
        return std::make_unique<frmDetails>(*g_, [this] { refresh(); });
    }
    QString stored(const QString& dbId, const char* field) {
        return g_->gConn
            ->execute(QString("SELECT %1 FROM tblKRVS101 WHERE DbId = %2;").arg(field, dbId))
            ->cell(0, 0);
    }
    // Every cell of the file's table and of the grid.
    QString tableAndGrid() {
        auto rows = g_->gConn->execute(g_->gCurSQL);
        QString t;
        for (int r = 0; r < rows->rowCount(); ++r)
            for (int c = 0; c < rows->colCount(); ++c)
                t += rows->cell(r, c) + '|' + grid_->TextMatrix(r + 1, c) + '|';
        return t;
    }
    // Answers the confirmation with answer and the box after it (titled then, when given).
    void update(QPushButton* button, const char* what, int answer, const char* then = nullptr) {
        ui_->answer(answer, QString(what) + " update");
        if (then) ui_->answer(mb::AnsOK, then);
        button->click();
    }

  private slots:
    void initTestCase() { QVERIFY(test::makeCatalogue(dir_.filePath("template.krv"), 12)); }
    void init() {
        ui_ = std::make_unique<test::ScriptedUi>();
        grid_ = std::make_unique<FlexGrid>();
        openCatalogue();
    }
    void cleanup() {
        const QString problems = ui_->problems();
        grid_.reset();
        g_.reset();
        ui_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void lineBreaksAndLoading() {
        // CR LF pairs become one blank each; a lone CR or LF stays.
        QCOMPARE(commentForUpdate("a\r\nb\r\n\r\nc\rd\ne\n\r"), "a b  c\rd\ne\n\r");
        for (const bool own : {true, false}) {
            g_->gCard = Card{-42, "10", "Rare", "Title", "Crew", "NOR", "S2", own, "db\r\nc", "m"};
            frmDetails form(*g_, {});
            QCOMPARE(form.txtCardId->text() + form.txtCardSeason->text() + form.txtDBcomm->text(),
                     QString("-42S2db\r\nc"));
            QCOMPARE(form.optOwnYes->isChecked(), own);
            QCOMPARE(form.optOwnNo->isChecked(), !own);
        }
    }

    // 255 characters of the CR LF text can be typed or pasted; a line break counts two.
    void typingLimit() {
        frmDetails form(*g_, {});
        MultiLineTextBox* box = form.txtUcomm;
        box->setText(QString());
        QTest::keyClicks(box, QString(300, 'x'));
        QCOMPARE(box->text().size(), 255);
        box->setText(QString(254, 'y'));
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Return); // needs two
        QCOMPARE(box->text(), QString(254, 'y'));
        box->setText(QString(253, 'y'));
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, "z");
        QCOMPARE(box->text(), QString(253, 'y') + "\r\n");
        box->setText(QString(250, 'a'));
        box->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText("bc\r\ndefgh");
        box->paste();
        QCOMPARE(box->text(), QString(250, 'a') + "bc\r\nd");
    }

    // Each field written, read back from the file and shown in the grid; the form stays.
    void updateWrittenAndReadBack_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed"); // '\n' = a line break
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* field, const char* typed,
                      const char* expected) {
            QTest::newRow(name) << QString(field) << QString(typed) << QString(expected);
        };
        row("apostrophe", "UserComments", "Vellan's card", "Vellan's card");
        row("two apostrophes", "UserComments", "it''s", "it's");
        row("three lines", "UserComments", "first line\nsecond\nthird", "first line second third");
        row("empty", "UserComments", "", "");
        row("sql-looking", "UserComments", "x'; DELETE FROM tblKRVS101; --",
            "x'; DELETE FROM tblKRVS101; --");
        row("own", "Own", "True", "True");
        row("not own", "Own", "False", "False");
    }
    void updateWrittenAndReadBack() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const int row = 5;
        const bool own = field == "Own";
        auto form = openDetails(row);
        if (own)
            (typed == "True" ? form->optOwnYes : form->optOwnNo)->setChecked(true);
        else
            form->txtUcomm->setText(QString(typed).replace("\n", "\r\n"));
        const char* what = own ? "Own field" : "User comment";
        update(own ? form->cmdUpOwn : form->cmdUpUcomm, what, mb::AnsYes,
               own ? "Own field update" : "User comments update");
        QCOMPARE(ui_->boxes[0].text,
                 QString("This will update the %1 in the database!\r\nDo you want to continue?")
                     .arg(what));
        QCOMPARE(ui_->boxes[0].flags, 4 + 64 + 256);
        QCOMPARE(ui_->boxes[1].text, QString("The update was successful."));
        QCOMPARE(stored(grid_->TextMatrix(row, 0), qPrintable(field)), expected);
        QCOMPARE(grid_->TextMatrix(row, own ? 7 : 9), expected);
        QCOMPARE(refreshes_, 1);
        QVERIFY(form->isEnabled() && form->MousePointer() == 0);
        if (!own) QCOMPARE(form->txtUcomm->text(), QString(typed).replace("\n", "\r\n")); // kept
    }

    // No (or Cancel) and close change nothing; a refused statement leaves the file and
    // the grid as they were.
    void nothingChanges_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("no") << QString();
        QTest::newRow("refused") << "CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 "
                                    "BEGIN SELECT RAISE(ABORT, 'card is locked'); END;";
    }
    void nothingChanges() {
        QFETCH(QString, sql);
        openCatalogue(sql);
        const QString before = tableAndGrid();
        auto form = openDetails(4);
        (form->optOwnYes->isChecked() ? form->optOwnNo : form->optOwnYes)->setChecked(true);
        form->txtUcomm->setText("never written");
        if (sql.isEmpty()) {
            update(form->cmdUpOwn, "Own field", mb::AnsNo);
            update(form->cmdUpUcomm, "User comment", mb::AnsCancel);
        } else {
            update(form->cmdUpUcomm, "User comment", mb::AnsYes, "Error in updating User comment");
            QCOMPARE(ui_->boxes[1].flags, 16);
            QVERIFY2(ui_->boxes[1].text.contains("card is locked"), qPrintable(ui_->boxes[1].text));
            update(form->cmdUpOwn, "Own field", mb::AnsYes, "Error in updating Own field");
        }
        QVERIFY(form->isEnabled() && form->MousePointer() == 0);
        form->show();
        form->cmdOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(refreshes_, 0);
        QCOMPARE(tableAndGrid(), before);
    }
};

QTEST_MAIN(tst_details)
#include "tst_details.moc"
