#include "AppFixture.h"
#include "app/frmKRVS.h"
#include "details/frmDetails.h"
#include "search/FlexGrid.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {
const QString kOwnTitle = QStringLiteral("Own field update");

// Runs raw SQL on a catalogue no program holds open (a plain file without password).
bool rawSql(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

QPoint cellCentre(FlexGrid* grid, int row, int col) {
    return grid->visualRect(grid->model()->index(row - 1, col)).center();
}

QPoint headerCentre(FlexGrid* grid, int col) {
    QHeaderView* h = grid->horizontalHeader();
    return QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
}
} // namespace

class TestGridApp : public QObject {
    Q_OBJECT
    QTemporaryDir template_;
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmKRVS> w;

    QString catalogueTemplate() const { return template_.filePath(QStringLiteral("KRVS.krv")); }

    // Starts the main window on a fresh copy of the catalogue; sql runs on the
    // file first.
    void start(const QString& sql = QString()) {
        folder = std::make_unique<AppFolder>();
        folder->skipFirstStartWarning();
        QVERIFY(QFile::copy(catalogueTemplate(), folder->catalogue()));
        QFile::setPermissions(folder->catalogue(), QFile::ReadOwner | QFile::WriteOwner);
        if (!sql.isEmpty()) QVERIFY(rawSql(folder->catalogue(), sql));
        w = std::make_unique<frmKRVS>(folder->path(), "KRVS");
        w->Form_Load();
        QVERIFY(w->cmdQuery->isEnabled());
        QCOMPARE(w->fgdCards->Rows(), 21);
        ui->boxes.clear();
    }
    QString stored(int dbId, const char* field) {
        auto rows = w->g.gConn->execute(QStringLiteral("SELECT %1 FROM tblKRVS101 WHERE DbId = %2;")
                                            .arg(QLatin1String(field))
                                            .arg(dbId));
        return rows->rowCount() == 1 ? rows->cell(0, 0) : QStringLiteral("<no row>");
    }
    // The Own column as stored, one character a card in DbId order.
    QString ownColumn() {
        auto rows =
            w->g.gConn->execute(QStringLiteral("SELECT Own FROM tblKRVS101 ORDER BY DbId;"));
        QString t;
        for (int r = 0; r < rows->rowCount(); ++r)
            t += rows->cell(r, 0) == "True" ? 'T' : 'F';
        return t;
    }
    QString gridOwnColumn() {
        QString t;
        for (int r = 1; r < w->fgdCards->Rows(); ++r)
            t += w->fgdCards->TextMatrix(r, 7) == "True" ? 'T' : 'F';
        return t;
    }
    int id(int row) { return w->fgdCards->TextMatrix(row, 0).toInt(); }
    void rightPress(int row, int col) {
        FlexGrid* grid = w->fgdCards;
        if (row == 0)
            QTest::mousePress(grid->horizontalHeader()->viewport(), Qt::RightButton, {},
                              headerCentre(grid, col));
        else
            QTest::mousePress(grid->viewport(), Qt::RightButton, {}, cellCentre(grid, row, col));
    }

  private slots:
    void initTestCase() {
        QVERIFY(template_.isValid());
        QVERIFY(makeCatalogue(catalogueTemplate(), 20));
    }
    void init() { ui = std::make_unique<ScriptedUi>(); }
    void cleanup() {
        if (w && w->mnuPopUp1) w->mnuPopUp1->hide();
        w.reset();
        folder.reset();
        const QString p = ui->problems();
        ui.reset();
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    // ---- header click -----------------------------------------------------------------

    void headerClickSorts() {
        start();
        FlexGrid* grid = w->fgdCards;
        QWidget* header = grid->horizontalHeader()->viewport();
        QTest::mouseClick(header, Qt::LeftButton, {}, headerCentre(grid, 0));
        QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("DbId ^"));
        QTest::mouseClick(header, Qt::LeftButton, {}, headerCentre(grid, 0));
        QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("DbId v"));
        // Numeric: 20 first, 9 after 10.
        QCOMPARE(id(1), 20);
        QCOMPARE(id(11), 10);
        QCOMPARE(id(12), 9);
        QCOMPARE(w->MousePointer(), 0);

        QTest::mouseClick(header, Qt::LeftButton, {}, headerCentre(grid, 3));
        QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("DbId"));
        QCOMPARE(grid->TextMatrix(0, 3), QStringLiteral("Title ^"));
        for (int r = 2; r < grid->Rows(); ++r)
            QVERIFY(QString::compare(grid->TextMatrix(r - 1, 3), grid->TextMatrix(r, 3),
                                     Qt::CaseInsensitive) <= 0);
        // A click on a data row does not sort.
        const QString before = grid->TextMatrix(0, 3);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, 3));
        QCOMPARE(grid->TextMatrix(0, 3), before);
        QVERIFY(ui->boxes.isEmpty());
    }

    // ---- double click and View Details --------------------------------------------------

    void doubleClickShowsTheRow() {
        start();
        FlexGrid* grid = w->fgdCards;
        const int row = 4;
        bool shown = false;
        ui->onModal([&](QDialog& d) {
            auto& form = static_cast<frmDetails&>(d);
            shown = true;
            QCOMPARE(form.objectName(), QStringLiteral("frmDetails"));
            QCOMPARE(form.txtCardId->text(), grid->TextMatrix(row, 0));
            QCOMPARE(form.txtCardTitle->text(), grid->TextMatrix(row, 3));
            QCOMPARE(form.txtCardSeason->text(), grid->TextMatrix(row, 6));
            QCOMPARE(form.optOwnYes->isChecked(), grid->TextMatrix(row, 7) == "True");
            form.cmdOK->click();
        });
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, 2));
        QVERIFY(shown);
        QCOMPARE(w->g.gCard.DbId, id(row));
        QCOMPARE(w->g.gCard.UserComments, grid->TextMatrix(row, 9));
        QCOMPARE(ui->modalForms, QStringList{"frmDetails"});
    }

    void doubleClickThatDoesNothing() {
        start();
        // Selection on the header row.
        w->fgdCards->setRow(0);
        w->fgdCards_DblClick();
        // No catalogue loaded (querying disabled).
        w->fgdCards->setRow(3);
        w->cmdQuery->setEnabled(false);
        w->fgdCards_DblClick();
        QVERIFY(ui->modalForms.isEmpty());
        QVERIFY(ui->boxes.isEmpty());
    }

    void doubleClickOnRowsThatAreNoCards_data() {
        QTest::addColumn<QString>("columns");
        QTest::newRow("text as DbId") << "Title, Index, CardType, Title, Category, Series, "
                                         "Season, Own, DBComments, UserComments";
        QTest::newRow("text as Own") << "DbId, Index, CardType, Title, Category, Series, "
                                        "Season, Title, DBComments, UserComments";
    }
    void doubleClickOnRowsThatAreNoCards() {
        QFETCH(QString, columns);
        start();
        w->bindGrid("SELECT " + columns + " FROM tblKRVS101 ORDER BY DbId;");
        w->fgdCards->setRow(2);
        ui->answer(mb::AnsOK, "DblClick Error");
        w->fgdCards_DblClick();
        QCOMPARE(ui->boxes.size(), 1);
        QCOMPARE(ui->boxes[0].text, QStringLiteral("13\r\nType mismatch"));
        QCOMPARE(ui->boxes[0].flags, 16);
        QVERIFY(ui->modalForms.isEmpty());
    }

    void viewDetailsTakesTheRowUnderThePointer() {
        start();
        FlexGrid* grid = w->fgdCards;
        grid->setRow(2);
        grid->setRowSel(3);
        rightPress(6, 4);
        QCOMPARE(w->mDownRow, 6);
        QCOMPARE(w->mDownRowSel, 3);
        QVERIFY(w->mnuPopUp1->isVisible());
        QCOMPARE(grid->Row(), 2); // a right press leaves the selection alone
        w->mnuPopUp1->hide();

        QString shownId;
        ui->onModal([&](QDialog& d) { shownId = static_cast<frmDetails&>(d).txtCardId->text(); });
        w->mnuStuff[0]->trigger();
        QCOMPARE(shownId, grid->TextMatrix(6, 0));
        QCOMPARE(grid->Row(), 6);
        QCOMPARE(grid->RowSel(), 6);
        QCOMPARE(grid->Col(), 0);
        QCOMPARE(grid->ColSel(), grid->Cols() - 1);
    }

    void viewDetailsOverTheHeaderDoesNothing() {
        start();
        w->fgdCards->setRow(5);
        rightPress(0, 2);
        QCOMPARE(w->mDownRow, 0);
        QCOMPARE(w->mDownRowSel, 5);
        w->mnuPopUp1->hide();
        w->mnuStuff_Click(0);
        QVERIFY(ui->modalForms.isEmpty());
        QCOMPARE(w->fgdCards->Row(), 5);
        // A left press records where it happened too, but opens no menu.
        QTest::mousePress(w->fgdCards->viewport(), Qt::LeftButton, {},
                          cellCentre(w->fgdCards, 8, 1));
        QCOMPARE(w->mDownRow, 8);
        QVERIFY(!w->mnuPopUp1->isVisible());
    }

    // ---- bulk ownership ----------------------------------------------------------------------

    void bulkSetsTheSelectedRows_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("value");
        QTest::newRow("yes") << 2 << "True";
        QTest::newRow("no") << 3 << "False";
    }
    void bulkSetsTheSelectedRows() {
        QFETCH(int, index);
        QFETCH(QString, value);
        start();
        // Sort first: the rows selected are the grid's rows, whatever their DbId.
        w->fgdCards->setCol(0);
        w->fgdCards->setColSel(0);
        w->fgdCards->setSort(4);
        QList<int> ids;
        for (int r = 3; r <= 7; ++r)
            ids << id(r);
        QString expected = ownColumn();
        for (int i : ids)
            expected[i - 1] = value == "True" ? 'T' : 'F';

        w->fgdCards->setRow(7);
        w->fgdCards->setRowSel(3);
        ui->answer(mb::AnsYes, kOwnTitle);
        ui->answer(mb::AnsOK, kOwnTitle);
        w->mnuStuff[index]->trigger();

        QCOMPARE(ui->boxes[0].text, "This will update all selected Own fields in the database\r\n"
                                    "to " +
                                        value + ".  Do you want to continue?");
        QCOMPARE(ui->boxes[0].flags, 4 + 64 + 256);
        QCOMPARE(ui->boxes[1].text, QStringLiteral("The update was successful."));
        QCOMPARE(ui->boxes[1].flags, 64);
        QCOMPARE(ownColumn(), expected);
        // Refreshed from gCurSQL: DbId order again, with the new values.
        QCOMPARE(id(1), 1);
        QCOMPARE(gridOwnColumn(), expected);
        QVERIFY(w->isEnabled());
        QCOMPARE(w->MousePointer(), 0);
    }

    void bulkAnsweredNoChangesNothing() {
        start();
        const QString before = ownColumn();
        w->fgdCards->setRow(1);
        w->fgdCards->setRowSel(20);
        ui->answer(mb::AnsNo, kOwnTitle);
        w->mnuStuff_Click(2);
        QCOMPARE(ownColumn(), before);
        QCOMPARE(ui->boxes.size(), 1);
        QVERIFY(w->isEnabled());
    }

    // The rows come in increasing grid order, one statement each, no transaction:
    // with the card of row 5 refused, rows 3 and 4 are written, 6 and 7 not tried.
    void bulkFailurePartWay() {
        start(QStringLiteral("CREATE TRIGGER locked BEFORE UPDATE ON tblKRVS101 WHEN OLD.DbId = 5 "
                             "BEGIN SELECT RAISE(ABORT, 'card 5 is locked'); END;"));
        QString expected = ownColumn();
        const QString gridBefore = gridOwnColumn();
        QCOMPARE(gridBefore, expected);
        for (int i : {3, 4})
            expected[i - 1] = 'T';

        w->fgdCards->setRow(7);
        w->fgdCards->setRowSel(3);
        ui->answer(mb::AnsYes, kOwnTitle);
        ui->answer(mb::AnsOK, "Error in updating Own field");
        w->mnuStuff_Click(2);

        QCOMPARE(ui->boxes.size(), 2);
        QCOMPARE(ui->boxes[1].flags, 16);
        QVERIFY2(ui->boxes[1].text.contains("card 5 is locked"), qPrintable(ui->boxes[1].text));
        QCOMPARE(ownColumn(), expected);
        QCOMPARE(gridOwnColumn(), gridBefore); // not refreshed
        QVERIFY(w->isEnabled());
        QCOMPARE(w->MousePointer(), 0);
    }

    // A DbId that no longer exists updates nothing and still counts as success; a
    // list of one sends one statement.
    void bulkDirectCalls() {
        start();
        const QString before = ownColumn();
        QList<qint32> ids{999};
        bool own = true;
        ui->answer(mb::AnsYes, kOwnTitle);
        ui->answer(mb::AnsOK, kOwnTitle);
        w->UpdateOwnBulk(ids, own);
        QCOMPARE(ownColumn(), before);
        QCOMPARE(ui->boxes[1].text, QStringLiteral("The update was successful."));

        ids = {12};
        own = stored(12, "Own") != "True";
        ui->answer(mb::AnsYes, kOwnTitle);
        ui->answer(mb::AnsOK, kOwnTitle);
        w->UpdateOwnBulk(ids, own);
        QCOMPARE(stored(12, "Own"), own ? QStringLiteral("True") : QStringLiteral("False"));
    }

    // Rows without a card (the empty row of a cleared grid) are left out; with no
    // card selected at all the user is told and nothing changes.
    void bulkOverRowsWithoutCards() {
        start();
        FlexGrid* grid = w->fgdCards;
        const QString before = ownColumn();
        grid->setRows(grid->Rows() + 1); // one empty row after the last card
        grid->setRow(grid->Rows() - 2);
        grid->setRowSel(grid->Rows() - 1);
        ui->answer(mb::AnsYes, kOwnTitle);
        ui->answer(mb::AnsOK, kOwnTitle);
        w->mnuStuff_Click(2);
        QString expected = before;
        expected[19] = 'T';
        QCOMPARE(ownColumn(), expected);

        ui->boxes.clear();
        grid->Clear();
        grid->setRow(1);
        grid->setRowSel(4);
        ui->answer(mb::AnsOK, kOwnTitle);
        w->mnuStuff_Click(3);
        QCOMPARE(ui->boxes.size(), 1);
        QCOMPARE(ui->boxes[0].text, QStringLiteral("The selected rows hold no card to update."));
        QCOMPARE(ui->boxes[0].flags, 64);
        QCOMPARE(ownColumn(), expected);
    }
};

QTEST_MAIN(TestGridApp)
#include "tst_grid_app.moc"
