#include "ScriptedUi.h"
#include "TestCatalogue.h"

#include "details/CardUpdate.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "search/FlexGrid.h"
#include "search/Globals.h"
#include "util/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace krvs;
using krvs::test::ScriptedUi;

namespace {
const QString kLoadAll = QStringLiteral("SELECT * FROM tblKRVS101 ORDER BY DbId;");

QString connectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + path +
           QStringLiteral("; Persist Security Info=False; Jet OLEDB:Database Password=``");
}

// Runs raw SQL on a closed catalogue file (a plain SQLite file without password).
bool rawSql(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}
} // namespace

class tst_details : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString template_;
    QString path_;
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<Globals> g_;
    std::unique_ptr<FlexGrid> grid_;
    int refreshes_ = 0;

    void openCatalogue() {
        g_->gConn = std::make_unique<db::Connection>();
        g_->gConn->setCursorLocation(db::adUseClient);
        g_->gConn->setMode(db::adModeShareExclusive);
        g_->gConn->Open(connectionString(path_));
        g_->gCurSQL = kLoadAll;
        refresh();
        refreshes_ = 0;
    }
    // What the main window does after an update: gCurSQL again, bound to the grid.
    void refresh() {
        ++refreshes_;
        g_->gRS = std::make_unique<db::Recordset>();
        g_->gRS->Open(g_->gCurSQL, *g_->gConn);
        g_->gRS->Requery();
        grid_->setDataSource(g_->gRS->rows());
    }
    std::unique_ptr<frmDetails> openDetails(int gridRow) {
        Card& c = g_->gCard;
        c.DbId = grid_->TextMatrix(gridRow, 0).toInt();
        c.Index = grid_->TextMatrix(gridRow, 1);
        c.CardType = grid_->TextMatrix(gridRow, 2);
        c.Title = grid_->TextMatrix(gridRow, 3);
        c.Category = grid_->TextMatrix(gridRow, 4);
        c.Series = grid_->TextMatrix(gridRow, 5);
        c.Season = grid_->TextMatrix(gridRow, 6);
        c.Own = grid_->TextMatrix(gridRow, 7) == QLatin1String("True");
        c.DBComments = grid_->TextMatrix(gridRow, 8);
        c.UserComments = grid_->TextMatrix(gridRow, 9);
        return std::make_unique<frmDetails>(*g_, [this] { refresh(); });
    }
    QString stored(int dbId, const char* field) {
        auto rows = g_->gConn->execute(QStringLiteral("SELECT %1 FROM tblKRVS101 WHERE DbId = %2;")
                                           .arg(QLatin1String(field))
                                           .arg(dbId));
        return rows->rowCount() == 1 ? rows->cell(0, 0) : QStringLiteral("<no row>");
    }
    // Everything the grid shows, as one text.
    QString gridText() const {
        QString t;
        for (int r = 0; r < grid_->Rows(); ++r)
            for (int c = 0; c < grid_->Cols(); ++c)
                t += grid_->TextMatrix(r, c) + QLatin1Char('|');
        return t;
    }
    // Every stored row, as one text.
    QString tableText() {
        auto rows = g_->gConn->execute(kLoadAll);
        QString t;
        for (int r = 0; r < rows->rowCount(); ++r)
            for (int c = 0; c < rows->colCount(); ++c)
                t += rows->cell(r, c) + QLatin1Char('|');
        return t;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        template_ = dir_.filePath(QStringLiteral("template.krv"));
        QVERIFY(test::makeCatalogue(template_, 12));
    }

    void init() {
        path_ = dir_.filePath(QStringLiteral("KRVS.krv"));
        QFile::remove(path_);
        QVERIFY(QFile::copy(template_, path_));
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        ui_ = std::make_unique<ScriptedUi>();
        g_ = std::make_unique<Globals>();
        grid_ = std::make_unique<FlexGrid>();
        openCatalogue();
        QCOMPARE(grid_->Rows(), 13);
    }

    void cleanup() {
        const QString problems = ui_->problems();
        grid_.reset();
        if (g_->gConn && g_->gConn->State() == db::adStateOpen) g_->gConn->Close();
        g_.reset();
        ui_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // ---- statements and texts -------------------------------------------------------

    void statements() {
        QCOMPARE(ownUpdateStatement(true, QStringLiteral("17")),
                 QStringLiteral("UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;"));
        QCOMPARE(ownUpdateStatement(false, QStringLiteral("3")),
                 QStringLiteral("UPDATE tblKRVS101 SET Own = False WHERE DbId = 3;"));
        QCOMPARE(commentUpdateStatement(QStringLiteral("Vellan's card"), QStringLiteral("5")),
                 QStringLiteral(
                     "UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;"));
        QCOMPARE(commentUpdateStatement(QStringLiteral("it''s"), QStringLiteral("5")),
                 QStringLiteral("UPDATE tblKRVS101 SET UserComments = 'it''s' WHERE DbId = 5;"));
        QCOMPARE(commentUpdateStatement(QString(), QStringLiteral("9")),
                 QStringLiteral("UPDATE tblKRVS101 SET UserComments = '' WHERE DbId = 9;"));
        // CR LF pairs become one blank each; a lone CR or LF stays.
        QCOMPARE(commentForUpdate(QStringLiteral("a\r\nb\r\n\r\nc")), QStringLiteral("a b  c"));
        QCOMPARE(commentForUpdate(QStringLiteral("a\rb\nc\n\r")), QStringLiteral("a\rb\nc\n\r"));
        QCOMPARE(commentForUpdate(QStringLiteral("\r\r\n\n")), QStringLiteral("\r \n"));
    }

    // The box shows CR LF as a line break and keeps lone CR / LF apart from it.
    void commentBoxKeepsLineBreakKinds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("plain") << QStringLiteral("one line") << 1;
        QTest::newRow("crlf") << QStringLiteral("one\r\ntwo\r\nthree") << 3;
        QTest::newRow("lone cr and lf") << QStringLiteral("a\rb\nc") << 1;
        QTest::newRow("mixed") << QStringLiteral("\r\n\ra\n\r\n") << 3;
        QTest::newRow("empty") << QString() << 1;
    }
    void commentBoxKeepsLineBreakKinds() {
        QFETCH(QString, text);
        QFETCH(int, lines);
        MultiLineTextBox box;
        box.setText(text);
        QCOMPARE(box.text(), text);
        QCOMPARE(box.blockCount(), lines);
    }

    // ---- loading ----------------------------------------------------------------------

    void loadShowsTheCard_data() {
        QTest::addColumn<bool>("own");
        QTest::newRow("owned") << true;
        QTest::newRow("not owned") << false;
    }
    void loadShowsTheCard() {
        QFETCH(bool, own);
        g_->gCard = Card{-42,
                         QStringLiteral("10"),
                         QStringLiteral("Rare"),
                         QStringLiteral("The Title"),
                         QStringLiteral("Crew"),
                         QStringLiteral("NOR"),
                         QStringLiteral("S2"),
                         own,
                         QStringLiteral("db\r\ncomment"),
                         QStringLiteral("mine")};
        frmDetails form(*g_, {});
        QCOMPARE(form.objectName(), QStringLiteral("frmDetails"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Card Details"));
        QCOMPARE(form.txtCardId->text(), QStringLiteral("-42"));
        QCOMPARE(form.txtCardIdx->text(), QStringLiteral("10"));
        QCOMPARE(form.txtCardType->text(), QStringLiteral("Rare"));
        QCOMPARE(form.txtCardTitle->text(), QStringLiteral("The Title"));
        QCOMPARE(form.txtCardCat->text(), QStringLiteral("Crew"));
        QCOMPARE(form.txtCardSeries->text(), QStringLiteral("NOR"));
        QCOMPARE(form.txtCardSeason->text(), QStringLiteral("S2"));
        QCOMPARE(form.txtDBcomm->text(), QStringLiteral("db\r\ncomment"));
        QCOMPARE(form.txtUcomm->text(), QStringLiteral("mine"));
        QCOMPARE(form.optOwnYes->isChecked(), own);
        QCOMPARE(form.optOwnNo->isChecked(), !own);
    }

    void controlsAndTabOrder() {
        frmDetails form(*g_, {});
        const QStringList order{"txtCardIdx",    "txtCardType", "txtCardCat", "txtCardSeries",
                                "txtCardSeason", "optOwnYes",   "optOwnNo",   "cmdUpOwn",
                                "txtCardTitle",  "txtDBcomm",   "txtUcomm",   "cmdUpUcomm",
                                "cmdOK",         "txtCardId"};
        QWidget* w = form.txtCardIdx;
        for (int i = 1; i < order.size(); ++i) {
            w = w->nextInFocusChain();
            while (w && w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
            QVERIFY(w);
            QCOMPARE(w->objectName(), order[i]);
        }
        for (QLineEdit* box :
             {form.txtCardIdx, form.txtCardType, form.txtCardCat, form.txtCardSeries,
              form.txtCardSeason, form.txtCardTitle, form.txtCardId})
            QVERIFY2(box->isReadOnly(), qPrintable(box->objectName()));
        QVERIFY(form.txtDBcomm->isReadOnly());
        QVERIFY(!form.txtUcomm->isReadOnly());
        QCOMPARE(form.txtCardId->palette().color(QPalette::Base), QColor(128, 128, 255));
        QCOMPARE(form.txtCardTitle->palette().color(QPalette::Base),
                 form.palette().color(QPalette::Button));
        QCOMPARE(form.cmdUpOwn->text(), QStringLiteral("~~"));
        QCOMPARE(form.cmdUpOwn->toolTip(), QStringLiteral("Update the Own field"));
        QCOMPARE(form.cmdUpUcomm->text(), QStringLiteral("&Update User Comments"));
        QCOMPARE(form.cmdOK->text(), QStringLiteral("&Close"));
        QCOMPARE(form.Label1[6]->text(), QStringLiteral("U Comments"));
        QCOMPARE(form.Label1[6]->geometry(), twipsRect(120, 2520, 1485, 225));
        QCOMPARE(form.cmdUpOwn->parentWidget(), form.optOwnYes->parentWidget());
        QCOMPARE(form.cmdUpOwn->geometry(), twipsRect(1560, 0, 495, 195));
        QCOMPARE(form.picOwn->geometry(), twipsRect(4560, 875, 2115, 195));
        QCOMPARE(form.txtCardId->geometry(), twipsRect(3720, 3480, 1875, 330));
        // Every control lies inside the dialog.
        for (QWidget* c : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(form.rect().contains(c->geometry()), qPrintable(c->objectName()));
    }

    // ---- the 255-character typing limit ---------------------------------------------------

    void typingStopsAt255() {
        frmDetails form(*g_, {});
        MultiLineTextBox* box = form.txtUcomm;
        box->setText(QString());
        QTest::keyClicks(box, QString(300, QLatin1Char('x')));
        QCOMPARE(box->text().size(), 255);

        // A line break is CR LF: two characters. With one left it cannot be typed.
        box->setText(QString(253, QLatin1Char('y')));
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text().size(), 255);
        QVERIFY(box->text().endsWith(QStringLiteral("\r\n")));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, QStringLiteral("z"));
        QCOMPARE(box->text().size(), 255);

        // Deleting makes room again; typing over a selection counts what it replaces.
        QTest::keyClick(box, Qt::Key_Backspace); // the line break: two characters
        QTest::keyClicks(box, QStringLiteral("zzz"));
        QCOMPARE(box->text(), QString(253, QLatin1Char('y')) + QStringLiteral("zz"));
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("new"));
        QCOMPARE(box->text(), QStringLiteral("new"));

        // A text put in by the program is not cut.
        box->setText(QString(400, QLatin1Char('p')));
        QCOMPARE(box->text().size(), 400);
    }

    void pastingIsCutToTheLimit() {
        frmDetails form(*g_, {});
        MultiLineTextBox* box = form.txtUcomm;
        box->setText(QString(250, QLatin1Char('a')));
        box->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText(QStringLiteral("bc\r\ndefgh"));
        if (QApplication::clipboard()->text().isEmpty()) QSKIP("no clipboard on this platform");
        box->paste();
        QCOMPARE(box->text(), QString(250, QLatin1Char('a')) + QStringLiteral("bc\r\nd"));
    }

    // ---- writing the comment --------------------------------------------------------------

    void commentWrittenAndReadBack_data() {
        QTest::addColumn<QString>("typed"); // '\n' = Enter
        QTest::addColumn<QString>("expected");
        QTest::newRow("apostrophe")
            << QStringLiteral("Vellan's card") << QStringLiteral("Vellan's card");
        QTest::newRow("two apostrophes") << QStringLiteral("it''s") << QStringLiteral("it's");
        QTest::newRow("three apostrophes") << QStringLiteral("a'''b") << QStringLiteral("a''b");
        QTest::newRow("three lines") << QStringLiteral("first line\nsecond\nthird")
                                     << QStringLiteral("first line second third");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("sql-looking") << QStringLiteral("x'; DELETE FROM tblKRVS101; --")
                                     << QStringLiteral("x'; DELETE FROM tblKRVS101; --");
    }
    void commentWrittenAndReadBack() {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const int row = 5;
        const int id = grid_->TextMatrix(row, 0).toInt();
        auto form = openDetails(row);
        form->txtUcomm->setText(QStringLiteral("old text"));
        form->txtUcomm->selectAll();
        if (typed.isEmpty()) {
            QTest::keyClick(form->txtUcomm, Qt::Key_Delete);
        } else {
            const QStringList lines = typed.split(QLatin1Char('\n'));
            for (int i = 0; i < lines.size(); ++i) {
                if (i > 0) QTest::keyClick(form->txtUcomm, Qt::Key_Return);
                QTest::keyClicks(form->txtUcomm, lines[i]);
            }
        }

        ui_->answer(mb::AnsYes, QStringLiteral("User comment update"));
        ui_->answer(mb::AnsOK, QStringLiteral("User comments update"));
        QTest::mouseClick(form->cmdUpUcomm, Qt::LeftButton);

        QCOMPARE(ui_->boxes.size(), 2);
        QCOMPARE(ui_->boxes[0].text, QStringLiteral("This will update the User comment in the "
                                                    "database!\r\nDo you want to continue?"));
        QCOMPARE(ui_->boxes[0].flags, 4 + 64 + 256);
        QCOMPARE(ui_->boxes[1].text, QStringLiteral("The update was successful."));
        QCOMPARE(ui_->boxes[1].flags, 64);
        QCOMPARE(stored(id, "UserComments"), expected);
        // The grid shows the written value and the dialog is ready for more.
        QCOMPARE(refreshes_, 1);
        QCOMPARE(grid_->TextMatrix(row, 9), expected);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->MousePointer(), 0);
        // The box is not reloaded: it keeps what the user typed.
        QCOMPARE(form->txtUcomm->text(),
                 QString(typed).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    }

    // ---- writing Own ------------------------------------------------------------------------

    void ownWrittenBothWays() {
        const int row = 3;
        const int id = grid_->TextMatrix(row, 0).toInt();
        const bool wasOwned = stored(id, "Own") == QLatin1String("True");
        auto form = openDetails(row);
        QCOMPARE(form->optOwnYes->isChecked(), wasOwned);

        for (const bool own : {!wasOwned, wasOwned}) {
            ui_->boxes.clear();
            (own ? form->optOwnYes : form->optOwnNo)->setChecked(true);
            ui_->answer(mb::AnsYes, QStringLiteral("Own field update"));
            ui_->answer(mb::AnsOK, QStringLiteral("Own field update"));
            QTest::mouseClick(form->cmdUpOwn, Qt::LeftButton);
            QCOMPARE(ui_->boxes[0].text, QStringLiteral("This will update the Own field in the "
                                                        "database!\r\nDo you want to continue?"));
            QCOMPARE(ui_->boxes[0].flags, 4 + 64 + 256);
            QCOMPARE(ui_->boxes[1].text, QStringLiteral("The update was successful."));
            const QString text = own ? QStringLiteral("True") : QStringLiteral("False");
            QCOMPARE(stored(id, "Own"), text);
            QCOMPARE(grid_->TextMatrix(row, 7), text);
            QVERIFY(form->isEnabled());
        }
        QCOMPARE(refreshes_, 2);
    }

    // The refresh puts the grid back into the order of gCurSQL.
    void refreshUndoesASort() {
        grid_->setCol(0);
        grid_->setColSel(0);
        grid_->setSort(4); // numeric, descending
        QCOMPARE(grid_->TextMatrix(1, 0).toInt(), 12);
        auto form = openDetails(1);
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK);
        form->cmdUpOwn->click();
        QCOMPARE(grid_->TextMatrix(1, 0).toInt(), 1);
    }

    // ---- nothing written -----------------------------------------------------------------

    void noAndCloseChangeNothing() {
        const QString before = tableText();
        const QString shown = gridText();
        db::Recordset* rs = g_->gRS.get();
        auto form = openDetails(2);
        form->optOwnYes->setChecked(!form->optOwnYes->isChecked());
        form->optOwnNo->setChecked(!form->optOwnYes->isChecked());
        form->txtUcomm->setText(QStringLiteral("never written"));

        ui_->answer(mb::AnsNo, QStringLiteral("Own field update"));
        form->cmdUpOwn->click();
        ui_->answer(mb::AnsCancel, QStringLiteral("User comment update"));
        form->cmdUpUcomm->click();
        QCOMPARE(ui_->boxes.size(), 2);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->MousePointer(), 0);

        form->show();
        form->cmdOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(refreshes_, 0);
        QCOMPARE(g_->gRS.get(), rs);
        QCOMPARE(gridText(), shown);
        QCOMPARE(tableText(), before);
    }

    // ---- failures ---------------------------------------------------------------------------

    // The engine refuses the UPDATE: the file and the grid stay as they were.
    void refusedUpdateChangesNothing() {
        g_->gConn->Close();
        const int row = 4;
        const int id = grid_->TextMatrix(row, 0).toInt();
        QVERIFY(rawSql(path_, QStringLiteral("CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 "
                                             "BEGIN SELECT RAISE(ABORT, 'card is locked'); END;")));
        openCatalogue();
        const QString shown = gridText();
        const QString before = tableText();
        const QString own = stored(id, "Own");
        auto form = openDetails(row);

        form->txtUcomm->setText(QStringLiteral("refused"));
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, QStringLiteral("Error in updating User comment"));
        form->cmdUpUcomm->click();
        QCOMPARE(ui_->boxes.size(), 2);
        QCOMPARE(ui_->boxes[1].flags, 16);
        QVERIFY2(ui_->boxes[1].text.contains(QStringLiteral("\r\n")),
                 qPrintable(ui_->boxes[1].text));
        QVERIFY2(ui_->boxes[1].text.contains(QStringLiteral("card is locked")),
                 qPrintable(ui_->boxes[1].text));

        (own == QLatin1String("True") ? form->optOwnNo : form->optOwnYes)->setChecked(true);
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, QStringLiteral("Error in updating Own field"));
        form->cmdUpOwn->click();

        QCOMPARE(ui_->boxes.size(), 4);
        QCOMPARE(refreshes_, 0);
        QCOMPARE(gridText(), shown);
        QCOMPARE(tableText(), before);
        QVERIFY(form->isEnabled());
        QCOMPARE(form->MousePointer(), 0);
    }

    // A lost connection is reported the same way and nothing is refreshed.
    void lostConnectionIsReported() {
        const QString shown = gridText();
        auto form = openDetails(1);
        g_->gConn->Close();
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, QStringLiteral("Error in updating Own field"));
        form->cmdUpOwn->click();
        g_->gConn.reset();
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, QStringLiteral("Error in updating User comment"));
        form->cmdUpUcomm->click();
        QCOMPARE(ui_->boxes.last().text,
                 QStringLiteral("91\r\nObject variable or With block variable not set"));
        QCOMPARE(refreshes_, 0);
        QCOMPARE(gridText(), shown);
        QVERIFY(form->isEnabled());
    }

    // The write succeeds but the refresh fails: the change stays, the grid is old.
    void failedRefreshKeepsTheChange() {
        const int row = 6;
        const int id = grid_->TextMatrix(row, 0).toInt();
        const QString shown = gridText();
        g_->gCurSQL = QStringLiteral("SELECT * FROM tblMissing;");
        auto form = openDetails(row);
        form->txtUcomm->setText(QStringLiteral("kept"));
        ui_->answer(mb::AnsYes);
        ui_->answer(mb::AnsOK, QStringLiteral("User comments update"));
        ui_->answer(mb::AnsOK, QStringLiteral("Error in updating User comment"));
        form->cmdUpUcomm->click();
        QCOMPARE(stored(id, "UserComments"), QStringLiteral("kept"));
        QCOMPARE(gridText(), shown);
        QVERIFY(form->isEnabled());
    }

    void gotFocusSelectsTheComment() {
        auto form = openDetails(1);
        form->txtUcomm->setText(QStringLiteral("select me\r\nall"));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->txtUcomm->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(form->txtUcomm->textCursor().selectedText(),
                     QStringLiteral("select me") + QChar(QChar::ParagraphSeparator) +
                         QStringLiteral("all"));
    }
};

QTEST_MAIN(tst_details)
#include "tst_details.moc"
