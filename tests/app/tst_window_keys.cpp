// The keyboard: key words stay as typed, Tab moves on, Enter presses only the buttons meant for it.
#include "app/SearchCommands.h"
#include "app/frmAsk4Pwd.h"
#include "app/frmKRVS.h"
#include "details/MultiLineTextBox.h"
#include "details/frmDetails.h"
#include "grid/FlexGrid.h"
#include "maintenance/frmPassword.h"
#include "support/AppFixture.h"
#include "ui/LabelFit.h"
#include "update/frmAbout.h"
#include "update/frmUpdate.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

QStringList history(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList defaultButtons(const QWidget* dialog) {
    QStringList names;
    for (const QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->isDefault()) names << b->objectName();
    return names;
}

void press(int key, Qt::KeyboardModifiers mods = {}) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), mods);
}

void focus(QWidget* widget) {
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
}

void showActive(QWidget* window) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

} // namespace

class TestWindowKeys : public QObject, AppFixture {
    Q_OBJECT
    Card card_; // the card the details dialogs show

  private slots:
    void initTestCase() { useProgramFont(); }
    void init() {
        begin();
        QVERIFY(makeCatalogue(40));
        start();
        QVERIFY(w->cmdQuery->isEnabled());
        showActive(w.get());
    }
    void cleanup() {
        w->mnuPopUp1->hide();
        QVERIFY2(end(), qPrintable(problems()));
    }

    // A key word an older history item starts with (other case) is searched as typed, however left.
    void keyWordsStayAsTyped_data() {
        QTest::addColumn<int>("leaveBy"); // a key, or 0 for a click on Query
        QTest::newRow("tab away") << int(Qt::Key_Tab);
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("click on query") << 0;
    }
    void keyWordsStayAsTyped() {
        QFETCH(int, leaveBy);
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(history(w->cboSearch), QStringList{"Vellan,Qorth"});

        QTest::mouseClick(w->cboSearch->lineEdit(), Qt::LeftButton);
        QTRY_VERIFY(w->cboSearch->lineEdit()->hasFocus());
        w->cboSearch->lineEdit()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), "vellan");
        if (leaveBy) {
            press(leaveBy);
            QCOMPARE(w->cboSearch->currentText(), QString("vellan"));
            // The history is the program's: neither Enter nor leaving the box adds to it.
            QCOMPARE(history(w->cboSearch), QStringList{"Vellan,Qorth"});
        }
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(w->cboSearch->currentText(), QString("vellan"));
        QVERIFY2(w->searchCommands->statement().contains("'%vellan%'") &&
                     !w->searchCommands->statement().contains("Qorth"),
                 qPrintable(w->searchCommands->statement()));
        QCOMPARE(history(w->cboSearch), QStringList({"vellan", "Vellan,Qorth"}));
    }

    // Tab walks the panel by frames and columns; it passes the SQL box leaving the statement alone.
    void tabOrder() {
        focus(w->chkTitle);
        QStringList walked;
        while (walked.size() < 30 && !w->cmdExit->hasFocus()) {
            press(Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked.join(' '),
                 QString("chkComm chkVEX chkNOR chkZYN chkDR7 cmdAllSeries optYesOwn optNoOwn "
                         "optBothOwn chkBTS chkChar chkCrew chkCulture chkEpisode chkFilmSyn "
                         "chkRace chkShip chkTech cmdAllCat cmdQuery cmdAdv cmdExit"));

        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        const QString statement = w->txtSQL->toPlainText();
        QVERIFY(w->txtSQL->isEnabled() && !statement.isEmpty());
        focus(w->cmdExit);
        press(Qt::Key_Tab);
        QTRY_VERIFY(w->txtSQL->hasFocus());
        QCOMPARE(w->txtSQL->textCursor().selectedText(), statement); // selected on entry
        press(Qt::Key_Tab);
        QTRY_VERIFY(w->cmdGen->hasFocus());
        press(Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_VERIFY(w->txtSQL->hasFocus());
        press(Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_VERIFY(w->cmdExit->hasFocus());
        QCOMPARE(w->txtSQL->toPlainText(), statement);

        w->cboSearch->setEditText("Qorth");
        focus(w->cmdGen);
        press(Qt::Key_Space);
        QTRY_VERIFY(w->txtSQL->toPlainText().contains("'%Qorth%'"));
    }

    // Only the buttons designed as a dialog's default ever are one.
    void onlyDesignedDefaults_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("defaults");
        QTest::newRow("frmAsk4Pwd") << "frmAsk4Pwd" << QStringList{"cmdOK"};
        QTest::newRow("frmPassword") << "frmPassword" << QStringList{"cmdOK"};
        QTest::newRow("frmUpdate") << "frmUpdate" << QStringList{"cmdDown"};
        QTest::newRow("frmDetails") << "frmDetails" << QStringList{};
        QTest::newRow("frmAbout") << "frmAbout" << QStringList{};
    }
    void onlyDesignedDefaults() {
        QFETCH(QString, dialog);
        QFETCH(QStringList, defaults);
        std::unique_ptr<QDialog> form;
        if (dialog == "frmAsk4Pwd")
            form = std::make_unique<frmAsk4Pwd>(w.get());
        else if (dialog == "frmPassword")
            form = std::make_unique<frmPassword>(w->catalogue(), w->mnuPass, w.get());
        else if (dialog == "frmUpdate")
            form = std::make_unique<frmUpdate>(w.get(), w.get());
        else if (dialog == "frmDetails")
            form = std::make_unique<frmDetails>(
                w->catalogue(), card_, [] {}, w.get());
        else
            form = std::make_unique<frmAbout>(w.get(), w.get());
        showActive(form.get());
        QCOMPARE(defaultButtons(form.get()), defaults);
        for (int i = 0; i < 20; ++i) // walking the focus through every control changes nothing
            press(Qt::Key_Tab);
        QCOMPARE(defaultButtons(form.get()), defaults);
        form->hide();
    }

    // On a grid row, Enter opens the row's card as a double click does; the Menu key and
    // Shift+F10 open the grid's menu at that row, whose items then work from the keyboard.
    void gridByKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<bool>("menu");
        QTest::newRow("enter") << int(Qt::Key_Return) << 0 << false;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false;
        QTest::newRow("menu key") << int(Qt::Key_Menu) << 0 << true;
        QTest::newRow("shift f10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << true;
    }
    void gridByKeyboard() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(bool, menu);
        FlexGrid* grid = w->fgdCards;
        focus(grid);
        const int row = 30; // below the rows shown at first
        for (int r = 1; r < row; ++r)
            press(Qt::Key_Down);
        QCOMPARE(grid->RowSel(), row);
        const QString card = grid->TextMatrix(row, 0);
        QString shown;
        ui->onModal([&](QDialog& d) { shown = static_cast<frmDetails&>(d).txtCardId->text(); });
        press(key, Qt::KeyboardModifiers(mods));
        if (menu) {
            QTRY_COMPARE(QApplication::activePopupWidget(), w->mnuPopUp1);
            // At the row, not where the mouse happens to be.
            const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
            const QPoint at = grid->viewport()->mapToGlobal(cell.center());
            QVERIFY2(
                qAbs(w->mnuPopUp1->pos().y() - at.y()) <= cell.height(),
                qPrintable(
                    QString("menu at %1, row at %2").arg(w->mnuPopUp1->pos().y()).arg(at.y())));
            QTest::keyClick(w->mnuPopUp1, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QVERIFY(shown.isEmpty());
            // Again, and take "View Details" with the keys.
            press(key, Qt::KeyboardModifiers(mods));
            QTRY_COMPARE(QApplication::activePopupWidget(), w->mnuPopUp1);
            QTest::keyClick(w->mnuPopUp1, Qt::Key_Down);
            QCOMPARE(w->mnuPopUp1->activeAction(), w->mnuStuff[0]);
            QTest::keyClick(w->mnuPopUp1, Qt::Key_Return);
        }
        QTRY_COMPARE(shown, card);
        QCOMPARE(ui->modalForms, QStringList{"frmDetails"});
    }

    // A keyboard user reaches the bulk Own commands for the rows chosen with Shift+Down.
    void bulkOwnByKeyboard() {
        FlexGrid* grid = w->fgdCards;
        focus(grid);
        press(Qt::Key_Down);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_F10, Qt::ShiftModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), w->mnuPopUp1);
        for (const int k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
            QTest::keyClick(w->mnuPopUp1, Qt::Key(k));
        QCOMPARE(w->mnuPopUp1->activeAction(), w->mnuStuff[3]);
        ui->answer(mb::AnsNo, "Own field update");
        QTest::keyClick(w->mnuPopUp1, Qt::Key_Return);
        QTRY_COMPARE(ui->titles(), QStringList{"Own field update"});
        QCOMPARE(QList<int>({grid->Row(), grid->RowSel()}), QList<int>({2, 3}));
    }

    // Enter in the card's boxes neither asks nor writes; on a focused button it presses that one.
    void enterInCardDetails() {
        card_.DbId = w->fgdCards->TextMatrix(1, 0).toInt();
        card_.Own = false;
        int refreshed = 0;
        frmDetails form(
            w->catalogue(), card_, [&] { ++refreshed; }, w.get());
        showActive(&form);
        for (QLineEdit* box : form.findChildren<QLineEdit*>()) {
            QTest::mouseClick(box, Qt::LeftButton);
            QTRY_VERIFY(box->hasFocus());
            press(Qt::Key_Return);
            QVERIFY2(ui->boxes.isEmpty() && form.isVisible(), qPrintable(box->objectName()));
        }
        QVERIFY(refreshed == 0 && form.optOwnNo->isChecked());

        focus(form.cmdUpOwn);
        ui->answer(mb::AnsNo, "Own field update");
        press(Qt::Key_Return);
        QCOMPARE(ui->titles(), QStringList{"Own field update"});
        QCOMPARE(refreshed, 0);
        focus(form.cmdOK);
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!form.isVisible());
    }

    // Tab reaches both Own options whichever is selected, and Space on one selects it alone.
    void cardDetailsTabReachesBothOwnOptions_data() {
        QTest::addColumn<bool>("own");
        QTest::newRow("owned") << true;
        QTest::newRow("not owned") << false;
    }
    void cardDetailsTabReachesBothOwnOptions() {
        QFETCH(bool, own);
        card_.Own = own;
        frmDetails form(
            w->catalogue(), card_, [] {}, w.get());
        showActive(&form);
        focus(form.txtCardSeason);
        QStringList walked;
        for (int i = 0; i < 3; ++i) {
            press(Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        for (int i = 0; i < 2; ++i) {
            press(Qt::Key_Tab, Qt::ShiftModifier);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked.join(' '), QString("optOwnYes optOwnNo cmdUpOwn optOwnNo optOwnYes"));
        QCOMPARE(form.optOwnYes->isChecked(), own); // passing by selects nothing
        QRadioButton* other = own ? form.optOwnNo : form.optOwnYes;
        focus(other);
        press(Qt::Key_Space);
        QVERIFY(other->isChecked());
        QVERIFY(!(own ? form.optOwnYes : form.optOwnNo)->isChecked());
        press(Qt::Key_Space); // pressing the selected one keeps it
        QVERIFY(other->isChecked());
        form.hide();
    }

    // After an update by the keyboard the focus stays on the button that made it.
    void cardDetailsFocusStaysAfterUpdate() {
        const QString card = w->fgdCards->TextMatrix(3, 0);
        card_.DbId = card.toInt();
        card_.Own = false;
        frmDetails form(
            w->catalogue(), card_, [&] { w->bindGrid(w->shownSearch()); }, w.get());
        showActive(&form);
        focus(form.optOwnYes);
        press(Qt::Key_Space);
        press(Qt::Key_Tab, Qt::ShiftModifier);
        press(Qt::Key_Tab);
        QVERIFY(form.optOwnYes->hasFocus());
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        QVERIFY(form.cmdUpOwn->hasFocus());
        ui->answer(mb::AnsYes, "Own field update");
        ui->answer(mb::AnsOK, "Own field update");
        press(Qt::Key_Space);
        QCOMPARE(ui->boxes.size(), 2);
        QCOMPARE(QApplication::focusWidget(), form.cmdUpOwn);
        QCOMPARE(ownColumn()[card.toInt() - 1], QChar('T'));

        focus(form.txtUcomm);
        QTest::keyClicks(form.txtUcomm, "by keys");
        press(Qt::Key_Tab);
        QVERIFY(form.cmdUpUcomm->hasFocus());
        ui->answer(mb::AnsYes, "User comment update");
        ui->answer(mb::AnsOK, "User comments update");
        press(Qt::Key_Space);
        QCOMPARE(ui->boxes.size(), 4);
        QCOMPARE(QApplication::focusWidget(), form.cmdUpUcomm);
        QCOMPARE(w->catalogue()
                     .connection()
                     .execute("SELECT UserComments FROM tblKRVS101 WHERE DbId = " + card)
                     ->cell(0, 0),
                 QString("by keys"));
        form.hide();
    }

    // Enter is OK once something is typed (the checks answer), and Cancel on Cancel.
    void enterInPasswordForms() {
        for (const bool onCancel : {false, true}) {
            frmAsk4Pwd form(w.get());
            showActive(&form);
            QTRY_VERIFY(form.txtPwd->hasFocus());
            press(Qt::Key_Return); // OK is still disabled
            QVERIFY(form.isVisible());
            QTest::keyClicks(form.txtPwd, "pw 12");
            QCOMPARE(form.txtPwd->displayText(), QString("*****"));
            if (onCancel) focus(form.cmdCancel);
            press(Qt::Key_Return);
            QVERIFY(!form.isVisible());
            QCOMPARE(form.outcome(), onCancel ? 2 : 1);
            QCOMPARE(form.entered(), onCancel ? QString() : QString("pw 12"));
        }

        frmPassword form(w->catalogue(), w->mnuPass, w.get());
        showActive(&form);
        QTRY_VERIFY(form.txtNewPswd->hasFocus());
        QTest::keyClicks(form.txtNewPswd, "abc");
        QCOMPARE(form.txtNewPswd->displayText(), QString("***"));
        ui->answer(mb::AnsOK, "New password error");
        QTest::mouseClick(form.txtNewPswdRe, Qt::LeftButton);
        QTRY_VERIFY(form.txtNewPswdRe->hasFocus());
        press(Qt::Key_Return);
        QVERIFY(ui->boxes.last().text.startsWith("The new password must be between 4 and 16"));
        QVERIFY(form.isVisible());
        focus(form.cmdCancel);
        press(Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(w->catalogue().password(), QString());
        QCOMPARE(ui->boxes.size(), 1);
    }
};

QTEST_MAIN(TestWindowKeys)
#include "tst_window_keys.moc"
