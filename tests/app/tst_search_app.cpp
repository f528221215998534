#include "app/SearchCommands.h"
#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"
#include "ui/Twips.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {
struct CardText {
    QString title, category, series, comments;
};

QCheckBox* box(const frmKRVS& w, const char* name) {
    return w.findChild<QCheckBox*>(name);
}

QStringList history(const frmKRVS& w) {
    QStringList items;
    for (int i = 0; i < w.cboSearch->count(); ++i)
        items << w.cboSearch->itemText(i);
    return items;
}
} // namespace

class TestSearchApp : public QObject, AppFixture {
    Q_OBJECT
    QList<CardText> cards;

    void query(const char* error = nullptr) {
        if (error) ui->answer(mb::AnsOK, error);
        w->cmdQuery_Click();
    }
    QString lastBox() const { return ui->boxes.isEmpty() ? QString() : ui->boxes.last().text; }

  private slots:
    void init() {
        begin();
        QVERIFY(makeCatalogue(600));
        start();
        QVERIFY(w->cmdQuery->isEnabled());
        cards.clear();
        for (int r = 1; r < w->fgdCards->Rows(); ++r) {
            const auto cell = [&](int c) { return w->fgdCards->TextMatrix(r, c); };
            cards.append({cell(3), cell(4), cell(5), cell(8) + '\n' + cell(9)});
        }
    }
    void cleanup() { QVERIFY2(end(), qPrintable(problems())); }

    // The default search, counted independently of the statement builder; then the history.
    void defaultSearchMatchesAnIndependentCount() {
        qsizetype expected = 0;
        for (const CardText& c : cards)
            expected += (c.title.contains("Vellan", Qt::CaseInsensitive) ||
                         c.title.contains("Qorth", Qt::CaseInsensitive)) &&
                        QStringList{"NOR", "ZYN"}.contains(c.series, Qt::CaseInsensitive) &&
                        QStringList{"Character", "Crew", "Episode"}.contains(c.category,
                                                                             Qt::CaseInsensitive);
        QVERIFY(expected > 0);
        query();
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Matches returned=%1)").arg(expected));
        QCOMPARE(w->fgdCards->Rows() - 1, expected);
        // The cards come by their Index (as text), not as they are stored.
        for (int r = 2; r < w->fgdCards->Rows(); ++r)
            QVERIFY2(QString::compare(w->fgdCards->TextMatrix(r - 1, 1),
                                      w->fgdCards->TextMatrix(r, 1), Qt::CaseInsensitive) <= 0,
                     qPrintable(QString("row %1").arg(r)));
        QCOMPARE(w->g.gCurSQL, w->searchCommands->statement());
        QCOMPARE(history(*w), QStringList{"Vellan,Qorth"});
        // A repeat does not move up; letter case tells items apart.
        for (const char* kw : {"Qorth", "Vellan,Qorth", "vellan"}) {
            w->cboSearch->setEditText(kw);
            query();
        }
        QCOMPARE(history(*w), QStringList({"vellan", "Qorth", "Vellan,Qorth"}));
    }

    // An apostrophe stays inside its literal: the cards holding it, in titles or comments.
    void apostropheKeyWordFindsItsCards() {
        qsizetype expected = 0;
        for (const CardText& c : cards)
            expected += (c.title + '\n' + c.comments).contains("Vellan's", Qt::CaseInsensitive);
        QVERIFY2(expected > 0, "the demo catalogue has cards with Vellan's");
        w->cmdAllSeries_Click();
        w->cmdAllCat_Click();
        frmKRVS::setChkValue(w->chkComm, 1);
        w->cboSearch->setEditText("vellan's");
        query();
        QCOMPARE(w->fgdCards->Rows() - 1, expected);
    }

    // Each empty group is named in turn, the grid kept; two select-all clicks clear a group.
    void emptyChecksAndEmptyEntry() {
        frmKRVS::setChkValue(w->chkTitle, 0);
        w->cmdAllSeries_Click();
        w->cmdAllSeries_Click();
        query("Empty Checks");
        QCOMPARE(lastBox(), QString("Must select at least one field in keywords."));
        QCOMPARE(w->fgdCards->Rows(), cards.size() + 1);
        frmKRVS::setChkValue(w->chkComm, 1);
        query("Empty Checks");
        QCOMPARE(lastBox(), QString("Must select at least one series."));
        frmKRVS::setChkValue(box(*w, "chkVEX"), 1);
        w->cmdAllCat_Click();
        w->cmdAllCat_Click();
        query("Empty Checks");
        QCOMPARE(lastBox(), QString("Must select at least one category."));
        QVERIFY(w->windowTitle().startsWith("Korvessa Database - (Matches returned="));

        // Key words that are only commas and blanks: the grid is emptied, its statement kept.
        w->cmdAllCat_Click();
        const QString before = w->g.gCurSQL;
        w->cboSearch->setEditText(",, ,");
        query("Empty Entry");
        QCOMPARE(
            lastBox(),
            QString("No keywords entered. To return all \r\nentries, enter an asterisks (*)."));
        QCOMPARE(w->cboSearch->currentText(), QString());
        QCOMPARE(w->fgdCards->Rows(), 2);
        QCOMPARE(w->g.gCurSQL, before);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=1)"));
    }

    // The mode comes back at the next start, and Query follows it: the typed statement in the
    // advanced mode, the key words again after the button goes back to the simple one.
    void advancedModeComesBackAtTheNextStart() {
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        close();
        start();
        QCOMPARE(w->cmdAdv->text(), QString("Go To S&imple"));
        QVERIFY(w->txtSQL->isEnabled() && w->cmdGen->isEnabled());
        w->txtSQL->clear();
        QTest::keyClicks(w->txtSQL, "SELECT * FROM tblKRVS101 WHERE DbId <= 7;");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=7)"));
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        QCOMPARE(w->cmdAdv->text(), QString("Go To &Advanced"));
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QVERIFY(w->searchCommands->statement().contains("Vellan"));
    }

    // A failing statement keeps the grid's last good one; a pasted NUL (a cut DELETE) is refused.
    void advancedModeRunsTypedTextAndKeepsLastGoodStatement() {
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101 WHERE DbId <= 25 ORDER BY DbId DESC;");
        query();
        QCOMPARE(w->windowTitle(), QString("Korvessa Database - (Matches returned=25)"));
        QCOMPARE(w->fgdCards->TextMatrix(1, 0), QString("25"));
        const QString good = w->g.gCurSQL;

        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101 WHERE Titel LIKE 'x';");
        query("Error in Query");
        QVERIFY(lastBox().startsWith("-2147467259\r\n") && lastBox().contains("Titel"));
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));
        QCOMPARE(w->g.gCurSQL, good);
        QCOMPARE(w->searchCommands->statement(), w->txtSQL->toPlainText());
        QCOMPARE(w->cboSearch->count(), 0); // advanced mode keeps no history

        QApplication::clipboard()->setText(QStringLiteral("DELETE FROM tblKRVS101") + QChar(0) +
                                           QStringLiteral(" WHERE DbId = 1;"));
        w->txtSQL->setFocus();
        QTest::keyClick(w->txtSQL, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->txtSQL, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(w->txtSQL->toPlainText().contains(QChar(0)));
        ui->answer(mb::AnsOK, "Error in Query");
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        QVERIFY(lastBox().contains("NUL"));
        w->txtSQL->setPlainText("SELECT * FROM tblKRVS101;");
        query();
        QCOMPARE(w->fgdCards->Rows() - 1, cards.size());
        QCOMPARE(ui->boxes.size(), 2);
    }

    // Generate tidies the key words, keeps no history; an empty part is error 5 there and at Query.
    void generateShowsTheStatementOrError5() {
        w->cboSearch->setEditText(" Vellan , ,Qorth ,");
        w->cmdGen_Click();
        QCOMPARE(w->cboSearch->currentText(), QString("Vellan,Qorth"));
        QVERIFY(w->txtSQL->toPlainText().startsWith(
            "SELECT * FROM tblKRVS101 WHERE (((tblKRVS101.Title LIKE '%Vellan%')"));
        QCOMPARE(w->windowTitle(),
                 QString("Korvessa Database - (Returned %1 results.)").arg(cards.size()));
        QCOMPARE(w->cboSearch->count(), 0);

        const QString shown = w->txtSQL->toPlainText();
        frmKRVS::setChkValue(w->chkTitle, 0);
        ui->answer(mb::AnsOK, "Error in Query");
        w->cmdGen_Click();
        QVERIFY(lastBox().startsWith("5\r\n"));
        QCOMPARE(w->txtSQL->toPlainText(), shown);
        QCOMPARE(w->windowTitle(), QString("Korvessa Database"));

        frmKRVS::setChkValue(w->chkTitle, 1);
        w->optBothOwn->setChecked(false);
        query("Error in Query");
        QVERIFY(lastBox().startsWith("5\r\n"));
        QCOMPARE(history(*w), QStringList{"Vellan,Qorth"});

        w->cboSearch->setEditText(",,");
        ui->answer(mb::AnsOK, "Empty Entry");
        w->cmdGen_Click();
    }

    // The grid takes the room, frames and buttons follow; too small snaps back.
    void layoutFollowsTheWindow() {
        w->show();
        w->resize(twipsToPx(14000), twipsToPx(9000));
        QTRY_COMPARE(w->twipsGeometry(w->fgdCards).height(), w->clientHeightTw() - 2000);
        const QRect grid = w->twipsGeometry(w->fgdCards);
        QCOMPARE(grid.width(), w->outerWidthTw() - 315);
        const int frameTop = 120 + grid.height() + 105;
        for (QWidget* f : {w->Frame1, w->Frame2, w->Frame3, w->Frame4})
            QCOMPARE(w->twipsGeometry(f).top(), frameTop);
        QCOMPARE(w->twipsGeometry(w->cmdExit).top(), frameTop + 1320);
        QCOMPARE(w->twipsGeometry(w->cmdQuery).top(), frameTop + 1320);
        QCOMPARE(w->twipsGeometry(w->txtSQL).top(), frameTop + 1800);
        QCOMPARE(w->twipsGeometry(w->cmdGen).top(), frameTop + 2280);
        w->cmdAdv_Click();
        QCOMPARE(w->twipsGeometry(w->fgdCards).height(), grid.height() - 950);
        QCOMPARE(w->clientHeightTw() - (w->twipsGeometry(w->cmdGen).top() + 375), 70);
        w->cmdAdv_Click();
        QCOMPARE(w->twipsGeometry(w->fgdCards), grid);
        QVERIFY(!w->txtSQL->isEnabled());

        w->resize(twipsToPx(5000), twipsToPx(3000));
        QTRY_VERIFY(qAbs(w->outerWidthTw() - 10875) <= 15 && qAbs(w->outerHeightTw() - 5625) <= 15);
    }
};

QTEST_MAIN(TestSearchApp)
#include "tst_search_app.moc"
