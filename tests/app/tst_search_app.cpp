#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "util/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace krvs;
using namespace krvs::test;

namespace {
struct CardText {
    QString title, category, series, own, dbComments, userComments;
};

// A Series or Category box, by its name.
QCheckBox* box(const frmKRVS& w, const char* name) {
    return w.findChild<QCheckBox*>(name);
}

QList<CardText> allCards(const frmKRVS& w) {
    QList<CardText> cards;
    for (int r = 1; r < w.fgdCards->Rows(); ++r)
        cards.append({w.fgdCards->TextMatrix(r, 3), w.fgdCards->TextMatrix(r, 4),
                      w.fgdCards->TextMatrix(r, 5), w.fgdCards->TextMatrix(r, 7),
                      w.fgdCards->TextMatrix(r, 8), w.fgdCards->TextMatrix(r, 9)});
    return cards;
}
} // namespace

class TestSearchApp : public QObject, AppFixture {
    Q_OBJECT
    QList<CardText> cards;

  private slots:
    void init() {
        begin();
        QVERIFY(makeCatalogue(600));
        cards = allCards(start());
        QVERIFY(w->cmdQuery->isEnabled());
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    void startStateOfThePanel() {
        QCOMPARE(w->cboSearch->currentText(), QString("Vellan,Qorth"));
        QVERIFY(w->mnuAutoAst->isChecked());
        QCOMPARE(frmKRVS::chkValue(w->chkTitle), 1);
        QCOMPARE(frmKRVS::chkValue(w->chkComm), 0);
        QCOMPARE(frmKRVS::chkValue(box(*w, "chkNOR")) + frmKRVS::chkValue(box(*w, "chkZYN")), 2);
        QCOMPARE(frmKRVS::chkValue(box(*w, "chkVEX")) + frmKRVS::chkValue(box(*w, "chkDR7")), 0);
        QVERIFY(w->optBothOwn->isChecked() && !w->optYesOwn->isChecked());
        QCOMPARE(w->cmdAdv->text(), QString("Go To &Advanced"));
        // The select-all buttons alternate, whatever the boxes show.
        w->cmdAllCat_Click();
        QCOMPARE(frmKRVS::chkValue(box(*w, "chkBTS")) + frmKRVS::chkValue(box(*w, "chkTech")), 2);
        w->cmdAllCat_Click();
        QCOMPARE(frmKRVS::chkValue(box(*w, "chkBTS")) + frmKRVS::chkValue(box(*w, "chkChar")), 0);
        w->mnuAutoAst->trigger();
        QVERIFY(!w->mnuAutoAst->isChecked());
    }

    // The default search, counted independently of the statement builder.
    void defaultSearchMatchesAnIndependentCount() {
        int expected = 0;
        const QStringList series{"NOR", "ZYN"};
        const QStringList categories{"Character", "Crew", "Episode"};
        for (const CardText& c : cards)
            if ((c.title.contains("Vellan", Qt::CaseInsensitive) ||
                 c.title.contains("Qorth", Qt::CaseInsensitive)) &&
                series.contains(c.series, Qt::CaseInsensitive) &&
                categories.contains(c.category, Qt::CaseInsensitive))
                ++expected;
        QVERIFY(expected > 0);
        w->cmdQuery_Click();
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Matches returned=%1)").arg(expected));
        QCOMPARE(w->fgdCards->Rows() - 1, expected);
        // The cards come by their Index (as text), not as they are stored.
        for (int r = 2; r < w->fgdCards->Rows(); ++r)
            QVERIFY2(QString::compare(w->fgdCards->TextMatrix(r - 1, 1),
                                      w->fgdCards->TextMatrix(r, 1), Qt::CaseInsensitive) <= 0,
                     qPrintable(QString("row %1").arg(r)));
        QCOMPARE(w->g.gCurSQL, w->mSQL);
        QVERIFY(w->g.gCurSQL.contains("LIKE '%Vellan%'"));
        QCOMPARE(w->cboSearch->itemText(0), QString("Vellan,Qorth"));
    }

    void apostropheKeyWordFindsItsCards() {
        int expected = 0;
        for (const CardText& c : cards)
            if (c.title.contains("Vellan's", Qt::CaseInsensitive) ||
                c.userComments.contains("Vellan's", Qt::CaseInsensitive) ||
                c.dbComments.contains("Vellan's", Qt::CaseInsensitive))
                ++expected;
        QVERIFY2(expected > 0, "the demo catalogue has cards with Vellan's");
        w->cmdAllSeries_Click(); // all series
        w->cmdAllCat_Click();    // all categories
        frmKRVS::setChkValue(w->chkComm, 1);
        w->cboSearch->setEditText("vellan's");
        w->cmdQuery_Click();
        QCOMPARE(w->fgdCards->Rows() - 1, expected);
    }

    void emptyChecksComeInOrder() {
        frmKRVS::setChkValue(w->chkTitle, 0);
        w->cmdAllSeries_Click();
        w->cmdAllSeries_Click(); // all series cleared
        ui->answer(mb::AnsOK, "Empty Checks");
        w->cmdQuery_Click();
        QCOMPARE(ui->boxes.last().text, QString("Must select at least one field in keywords."));
        QCOMPARE(w->fgdCards->Rows(), (int)cards.size() + 1); // grid untouched
        frmKRVS::setChkValue(w->chkComm, 1);
        ui->answer(mb::AnsOK, "Empty Checks");
        w->cmdQuery_Click();
        QCOMPARE(ui->boxes.last().text, QString("Must select at least one series."));
        frmKRVS::setChkValue(box(*w, "chkVEX"), 1);
        w->cmdAllCat_Click();
        w->cmdAllCat_Click();
        ui->answer(mb::AnsOK, "Empty Checks");
        w->cmdQuery_Click();
        QCOMPARE(ui->boxes.last().text, QString("Must select at least one category."));
        QVERIFY(w->windowTitle().startsWith("Korvessa Database - (Matches returned="));
    }

    void emptyEntryClearsTheGrid() {
        const QString before = w->g.gCurSQL;
        w->cboSearch->setEditText(",, ,");
        ui->answer(mb::AnsOK, "Empty Entry");
        w->cmdQuery_Click();
        QCOMPARE(
            ui->boxes.last().text,
            QString("No keywords entered. To return all \r\nentries, enter an asterisks (*)."));
        QCOMPARE(w->cboSearch->currentText(), QString());
        QCOMPARE(w->fgdCards->Rows(), 2);
        QCOMPARE(w->g.gCurSQL, before);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=1)"));
    }

    void advancedModeRunsTypedTextAndKeepsLastGoodStatement() {
        const int gridHeight = w->twipsGeometry(w->fgdCards).height();
        w->cmdAdv_Click();
        QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));
        QVERIFY(w->txtSQL->isEnabled() && w->cmdGen->isEnabled());
        QCOMPARE(w->twipsGeometry(w->fgdCards).height(), gridHeight - 950);

        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101 WHERE DbId <= 25 ORDER BY DbId DESC;");
        w->cmdQuery_Click();
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=25)"));
        QCOMPARE(w->fgdCards->TextMatrix(1, 0), QString("25"));
        const QString good = w->g.gCurSQL;

        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101 WHERE Titel LIKE 'x';");
        ui->answer(mb::AnsOK, "Error in Query");
        w->cmdQuery_Click();
        QVERIFY(ui->boxes.last().text.startsWith("-2147467259\r\n"));
        QVERIFY(ui->boxes.last().text.contains("Titel"));
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        QCOMPARE(w->g.gCurSQL, good);
        QCOMPARE(w->mSQL, w->txtSQL->toPlainText());
        QCOMPARE(w->cboSearch->count(), 0); // advanced mode keeps no history

        w->cmdAdv_Click();
        QCOMPARE(w->twipsGeometry(w->fgdCards).height(), gridHeight);
        QVERIFY(!w->txtSQL->isEnabled());
    }

    // The engine would stop reading at the NUL and delete every card.
    void pastedStatementHoldingANulIsRefusedWhole() {
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        QApplication::clipboard()->setText(QStringLiteral("DELETE FROM tblKRVS101") + QChar(0) +
                                           QStringLiteral(" WHERE DbId = 1;"));
        w->txtSQL->setFocus();
        QTest::keyClick(w->txtSQL, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->txtSQL, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(w->txtSQL->toPlainText().contains(QChar(0)));
        ui->answer(mb::AnsOK, "Error in Query");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);

        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101;");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(w->fgdCards->Rows() - 1, cards.size());
        QCOMPARE(ui->titles(), QStringList{"Error in Query"});
        QVERIFY(ui->boxes.last().text.contains("NUL"));
    }

    void generateShowsTheStatementOrError5() {
        w->cboSearch->setEditText(" Vellan , ,Qorth ,");
        w->cmdGen_Click();
        QCOMPARE(w->cboSearch->currentText(), QString("Vellan,Qorth"));
        QVERIFY(w->txtSQL->toPlainText().startsWith(
            "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%')"));
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Returned %1 results.)").arg(cards.size()));
        QCOMPARE(w->cboSearch->count(), 0); // no history from Generate

        const QString shown = w->txtSQL->toPlainText();
        frmKRVS::setChkValue(w->chkTitle, 0);
        ui->answer(mb::AnsOK, "Error in Query");
        w->cmdGen_Click();
        QVERIFY(ui->boxes.last().text.startsWith("5\r\n"));
        QCOMPARE(w->txtSQL->toPlainText(), shown);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));

        w->cboSearch->setEditText(",,");
        ui->answer(mb::AnsOK, "Empty Entry");
        w->cmdGen_Click();
    }

    void queryWithNoOwnOptionIsError5() {
        w->optBothOwn->setChecked(false);
        ui->answer(mb::AnsOK, "Error in Query");
        w->cmdQuery_Click();
        QVERIFY(ui->boxes.last().text.startsWith("5\r\n"));
        QCOMPARE(w->cboSearch->itemText(0), QString("Vellan,Qorth")); // history already kept
    }

    void historyOrder() {
        for (const char* kw : {"Vellan,Qorth", "Qorth", "Vellan,Qorth", "vellan"}) {
            w->cboSearch->setEditText(kw);
            w->cmdQuery_Click();
        }
        QStringList items;
        for (int i = 0; i < w->cboSearch->count(); ++i)
            items << w->cboSearch->itemText(i);
        QCOMPARE(items, QStringList({"vellan", "Qorth", "Vellan,Qorth"}));
    }

    void layoutFollowsTheWindow() {
        w->show();
        w->resize(twipsToPx(14000), twipsToPx(9000));
        QTRY_COMPARE(w->twipsGeometry(w->fgdCards).height(), w->clientHeightTw() - 2000);
        const int client = w->clientHeightTw();
        const QRect grid = w->twipsGeometry(w->fgdCards);
        QCOMPARE(grid.height(), client - 2000);
        QCOMPARE(grid.width(), w->outerWidthTw() - 315);
        const int frameTop = 120 + grid.height() + 105;
        for (QWidget* f :
             {(QWidget*)w->Frame1, (QWidget*)w->Frame2, (QWidget*)w->Frame3, (QWidget*)w->Frame4})
            QCOMPARE(w->twipsGeometry(f).top(), frameTop);
        QCOMPARE(w->twipsGeometry(w->cmdExit).top(), frameTop + 1320);
        QCOMPARE(w->twipsGeometry(w->cmdQuery).top(), frameTop + 1320);
        QCOMPARE(w->twipsGeometry(w->txtSQL).top(), frameTop + 1800);
        QCOMPARE(w->twipsGeometry(w->cmdGen).top(), frameTop + 2280);
        // Buttons end 80 twips above the client bottom in the simple mode.
        QCOMPARE(client - (frameTop + 1320 + 375), 80);
        w->cmdAdv_Click();
        QCOMPARE(w->clientHeightTw() - (w->twipsGeometry(w->cmdGen).top() + 375), 70);

        // Too small snaps back to the smallest size.
        w->resize(twipsToPx(5000), twipsToPx(3000));
        QTRY_VERIFY(qAbs(w->outerWidthTw() - 10875) <= 15 && qAbs(w->outerHeightTw() - 5625) <= 15);
    }
};

QTEST_MAIN(TestSearchApp)
#include "tst_search_app.moc"
