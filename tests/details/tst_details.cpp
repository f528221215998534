#include "ScriptedUi.h"
#include "TestCatalogue.h"

#include "details/CardUpdate.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "search/FlexGrid.h"
#include "search/Globals.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace krvs;

class tst_details : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<test::ScriptedUi> ui_;
    std::unique_ptr<Globals> g_;
    std::unique_ptr<FlexGrid> grid_;
    int refreshes_ = 0;

    // A fresh copy of the catalogue, opened the way the program opens it; sql runs
    // on the file first.
    void openCatalogue(const QString& sql = QString()) {
        path_ = dir_.filePath(QStringLiteral("KRVS.krv"));
        QFile::remove(path_);
        QVERIFY(QFile::copy(dir_.filePath(QStringLiteral("template.krv")), path_));
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        if (!sql.isEmpty()) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(path_.toUtf8().constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
        }
        g_ = std::make_unique<Globals>();
        g_->gConn = std::make_unique<db::Connection>();
        g_->gConn->setMode(db::adModeShareExclusive);
        g_->gConn->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path_ +
                        "; Persist Security Info=False; Jet OLEDB:Database Password=``");
        g_->gCurSQL = QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;");
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
    QString stored(int dbId, const char* field) {
        auto rows = g_->gConn->execute(
            QStringLiteral("SELECT %1 FROM tblKRVS101 WHERE DbId = %2;").arg(field).arg(dbId));
        return rows->cell(0, 0);
    }
    static QString text(const db::RowSet& rows) {
        QString t;
        for (int r = 0; r < rows.rowCount(); ++r)
            for (int c = 0; c < rows.colCount(); ++c)
                t += rows.cell(r, c) + '|';
        return t;
    }
    QString tableText() { return text(*g_->gConn->execute(g_->gCurSQL)); }
    QString gridText() {
        QString t;
        for (int r = 1; r < grid_->Rows(); ++r)
            for (int c = 0; c < grid_->Cols(); ++c)
                t += grid_->TextMatrix(r, c) + '|';
        return t;
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

    void statementsAndLineBreaks() {
        QCOMPARE(ownUpdateStatement(true, "17"),
                 "UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;");
        QCOMPARE(commentUpdateStatement("Vellan's card", "5"),
                 "UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;");
        QCOMPARE(commentUpdateStatement("", "9"),
                 "UPDATE tblKRVS101 SET UserComments = '' WHERE DbId = 9;");
        // CR LF pairs become one blank each; a lone CR or LF stays.
        QCOMPARE(commentForUpdate("a\r\nb\r\n\r\nc\rd\ne\n\r"), "a b  c\rd\ne\n\r");
        // The box shows CR LF as a line break and gives lone CR / LF back unchanged.
        MultiLineTextBox box;
        for (const QString& t : {QString("one\r\ntwo\r\nthree"), QString("\r\n\ra\n\r\n")}) {
            box.setText(t);
            QCOMPARE(box.text(), t);
            QCOMPARE(box.blockCount(), 3);
        }
    }

    void loadSelectsOwn() {
        for (const bool own : {true, false}) {
            g_->gCard =
                Card{-42, "10", "Rare", "Title", "Crew", "NOR", "S2", own, "db\r\nc", "mine"};
            frmDetails form(*g_, {});
            QCOMPARE(form.txtCardId->text(), QString("-42"));
            QCOMPARE(form.txtCardSeason->text(), QString("S2"));
            QCOMPARE(form.txtDBcomm->text(), QString("db\r\nc"));
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
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, "z");
        QCOMPARE(box->text(), QString(253, 'y') + "\r\n");
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, "zzz");
        QCOMPARE(box->text(), QString(253, 'y') + "zz");
        box->selectAll();
        QTest::keyClicks(box, "new");
        QCOMPARE(box->text(), QString("new"));
        box->setText(QString(250, 'a'));
        box->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText("bc\r\ndefgh");
        box->paste();
        QCOMPARE(box->text(), QString(250, 'a') + "bc\r\nd");
    }

    void commentWrittenAndReadBack_data() {
        QTest::addColumn<QString>("typed"); // '\n' = Enter
        QTest::addColumn<QString>("expected");
        QTest::newRow("apostrophe") << "Vellan's card"
                                    << "Vellan's card";
        QTest::newRow("two apostrophes") << "it''s"
                                         << "it's";
        QTest::newRow("three lines") << "first line\nsecond\nthird"
                                     << "first line second third";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("sql-looking") << "x'; DELETE FROM tblKRVS101; --"
                                     << "x'; DELETE FROM tblKRVS101; --";
    }
    void commentWrittenAndReadBack() {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const int row = 5, id = grid_->TextMatrix(row, 0).toInt();
        auto form = openDetails(row);
        form->txtUcomm->setText("old text");
        form->txtUcomm->selectAll();
        QTest::keyClick(form->txtUcomm, Qt::Key_Delete);
        const QStringList lines = typed.split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0) QTest::keyClick(form->txtUcomm, Qt::Key_Return);
            QTest::keyClicks(form->txtUcomm, lines[i]);
        }
        ui_->answer(mb::AnsYes, "User comment update");
        ui_->answer(mb::AnsOK, "User comments update");
        QTest::mouseClick(form->cmdUpUcomm, Qt::LeftButton);

        QCOMPARE(
            ui_->boxes[0].text,
            QString(
                "This will update the User comment in the database!\r\nDo you want to continue?"));
        QCOMPARE(ui_->boxes[0].flags, 4 + 64 + 256);
        QCOMPARE(ui_->boxes[1].text, QString("The update was successful."));
        QCOMPARE(ui_->boxes[1].flags, 64);
        QCOMPARE(stored(id, "UserComments"), expected);
        QCOMPARE(grid_->TextMatrix(row, 9), expected);
        QCOMPARE(refreshes_, 1);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->MousePointer(), 0);
        QCOMPARE(form->txtUcomm->text(), QString(typed).replace("\n", "\r\n")); // not reloaded
    }

    void ownWrittenBothWays() {
        const int row = 3, id = grid_->TextMatrix(row, 0).toInt();
        const bool wasOwned = stored(id, "Own") == "True";
        auto form = openDetails(row);
        for (const bool own : {!wasOwned, wasOwned}) {
            ui_->boxes.clear();
            (own ? form->optOwnYes : form->optOwnNo)->setChecked(true);
            ui_->answer(mb::AnsYes, "Own field update");
            ui_->answer(mb::AnsOK, "Own field update");
            QTest::mouseClick(form->cmdUpOwn, Qt::LeftButton);
            QCOMPARE(
                ui_->boxes[0].text,
                QString(
                    "This will update the Own field in the database!\r\nDo you want to continue?"));
            QCOMPARE(ui_->boxes[0].flags, 4 + 64 + 256);
            QCOMPARE(stored(id, "Own"), QString(own ? "True" : "False"));
            QCOMPARE(grid_->TextMatrix(row, 7), QString(own ? "True" : "False"));
        }
    }

    void noAndCloseChangeNothing() {
        const QString before = tableText(), shown = gridText();
        auto form = openDetails(2);
        (form->optOwnYes->isChecked() ? form->optOwnNo : form->optOwnYes)->setChecked(true);
        form->txtUcomm->setText("never written");
        ui_->answer(mb::AnsNo, "Own field update");
        form->cmdUpOwn->click();
        ui_->answer(mb::AnsCancel, "User comment update");
        form->cmdUpUcomm->click();
        QVERIFY(form->isEnabled());
        form->show();
        form->cmdOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(refreshes_, 0);
        QCOMPARE(gridText(), shown);
        QCOMPARE(tableText(), before);
    }

    // The engine refuses both statements: the file and the grid stay as they were.
    void refusedUpdateChangesNothing() {
        openCatalogue("CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 "
                      "BEGIN SELECT RAISE(ABORT, 'card is locked'); END;");
        const QString before = tableText(), shown = gridText();
        auto form = openDetails(4);
        form->txtUcomm->setText("refused");
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, "Error in updating User comment");
        form->cmdUpUcomm->click();
        QCOMPARE(ui_->boxes[1].flags, 16);
        QVERIFY2(ui_->boxes[1].text.contains("card is locked"), qPrintable(ui_->boxes[1].text));
        (form->optOwnYes->isChecked() ? form->optOwnNo : form->optOwnYes)->setChecked(true);
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, "Error in updating Own field");
        form->cmdUpOwn->click();
        QCOMPARE(ui_->boxes.size(), 4);
        QCOMPARE(refreshes_, 0);
        QCOMPARE(gridText(), shown);
        QCOMPARE(tableText(), before);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->MousePointer(), 0);
    }
};

QTEST_MAIN(tst_details)
#include "tst_details.moc"
