#include "support/AppFixture.h"

#include "app/frmKRVS.h"
#include "details/CardUpdate.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "grid/FlexGrid.h"

#include <QTest>
#include <QtWidgets>

using namespace krvs;

// The card's form over the main window's grid, refreshing it as the window does.
class tst_details : public QObject, test::AppFixture {
    Q_OBJECT
    FlexGrid* grid_ = nullptr;
    int refreshes_ = 0;
    Card card_; // the card the details dialog shows

    // The main window on a fresh copy of the catalogue; sql runs on the file first.
    void openCatalogue(const QString& sql = QString()) {
        close();
        QVERIFY(makeCatalogue(12) && test::runSql(catalogue(), sql));
        grid_ = start().fgdCards;
        refreshes_ = 0;
    }
    std::unique_ptr<frmDetails> openDetails(int row) {
        const auto t = [&](int c) { return grid_->TextMatrix(row, c); };
        card_ = Card{t(0).toInt(), t(1), t(2), t(3), t(4), t(5), t(6), t(7) == "True", t(8), t(9)};
        return std::make_unique<frmDetails>(w->catalogue(), card_, [this] {
            ++refreshes_;
            w->bindGrid(w->shownSearch());
        });
    }
    QString stored(const QString& dbId, const char* field) {
        const QString sql = QString("SELECT %1 FROM tblKRVS101 WHERE DbId = %2;").arg(field, dbId);
        return w->catalogue().connection().execute(sql)->cell(0, 0);
    }
    // Every cell of the file's table and of the grid.
    QString tableAndGrid() {
        auto rows = w->catalogue().connection().execute(w->g.gCurSQL);
        QString t;
        for (int r = 0; r < rows->rowCount(); ++r)
            for (int c = 0; c < rows->colCount(); ++c)
                t += rows->cell(r, c) + '|' + grid_->TextMatrix(r + 1, c) + '|';
        return t;
    }
    // Answers the confirmation with answer and the box after it (titled then, when given).
    void update(QPushButton* button, const char* what, int answer, const char* then = nullptr) {
        ui->answer(answer, QString(what) + " update");
        if (then) ui->answer(mb::AnsOK, then);
        button->click();
    }

  private slots:
    void init() {
        begin();
        openCatalogue();
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // 255 characters typed or pasted, a line break two; stored, CR LF becomes a blank.
    void commentText() {
        QCOMPARE(commentForUpdate("a\r\nb\r\n\r\nc\rd\ne\n\r"), "a b  c\rd\ne\n\r");
        frmDetails form(w->catalogue(), card_, {});
        MultiLineTextBox* box = form.txtUcomm;
        QTest::keyClicks(box, QString(300, 'x'));
        QCOMPARE(box->text().size(), 255);
        box->setText(QString(254, 'y'));
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Return); // needs two
        QCOMPARE(box->text(), QString(254, 'y'));
        box->setText(QString(250, 'a'));
        box->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText("bc\r\ndefgh");
        box->paste();
        QCOMPARE(box->text(), QString(250, 'a') + "bc\r\nd");
    }

    // Each comment written, read back from the file and shown in the grid; the form keeps it.
    void commentWrittenAndReadBack_data() {
        QTest::addColumn<QString>("typed"); // '\n' = a line break
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* typed, const char* expected) {
            QTest::newRow(name) << QString(typed) << QString(expected);
        };
        row("apostrophe", "Vellan's card", "Vellan's card");
        row("three lines", "first line\nsecond\nthird", "first line second third");
        row("empty", "", "");
        row("sql", "'; DELETE FROM tblKRVS101; --", "'; DELETE FROM tblKRVS101; --");
    }
    void commentWrittenAndReadBack() {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        auto form = openDetails(5);
        form->txtUcomm->setText(typed.replace("\n", "\r\n"));
        update(form->cmdUpUcomm, "User comment", mb::AnsYes, "User comments update");
        QCOMPARE(stored(grid_->TextMatrix(5, 0), "UserComments") + '|' + grid_->TextMatrix(5, 9),
                 expected + '|' + expected);
        QCOMPARE(refreshes_, 1);
        QCOMPARE(form->txtUcomm->text(), typed);
    }

    void ownWrittenBothWays() {
        auto form = openDetails(5);
        for (QRadioButton* choice : {form->optOwnYes, form->optOwnNo}) {
            choice->setChecked(true);
            update(form->cmdUpOwn, "Own field", mb::AnsYes, "Own field update");
            const QString own = choice == form->optOwnYes ? "True" : "False";
            QCOMPARE(stored(grid_->TextMatrix(5, 0), "Own") + grid_->TextMatrix(5, 7), own + own);
        }
    }

    // No or Cancel change nothing; a refused statement leaves the file and grid as they were.
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
            QVERIFY2(ui->boxes[1].text.contains("card is locked"), qPrintable(ui->boxes[1].text));
            update(form->cmdUpOwn, "Own field", mb::AnsYes, "Error in updating Own field");
        }
        QVERIFY(form->isEnabled() && form->MousePointer() == 0);
        QCOMPARE(refreshes_, 0);
        QCOMPARE(tableAndGrid(), before);
    }
};

QTEST_MAIN(tst_details)
#include "tst_details.moc"
