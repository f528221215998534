#include "app/frmKRVS.h"
#include "db/Dialect.h"
#include "db/TextFold.h"
#include "grid/FlexGrid.h"
#include "support/AppFixture.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>

using namespace krvs;
using namespace krvs::test;

namespace {

// Every row of the grid, cells joined by '|', rows by '\n'.
QString gridRows(const frmKRVS& w) {
    QStringList rows;
    for (int r = 1; r < w.fgdCards->Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < w.fgdCards->Cols(); ++c)
            cells << w.fgdCards->TextMatrix(r, c);
        rows << cells.join(u'|');
    }
    return rows.join(u'\n');
}

// The statement run by the engine alone (the program's text functions, Own as True/False).
QString engineRows(const QString& catalogue, const QString& statement) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(catalogue).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK ||
        db::text::registerFunctions(db) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("cannot open");
    }
    const QByteArray sql = db::dialect::translate(statement).sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    QStringList rows;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        QStringList cells;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (qstrcmp(sqlite3_column_name(st, c), "Own") == 0) {
                cells << (sqlite3_column_int(st, c) ? "True" : "False");
                continue;
            }
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            cells << QString::fromUtf8(t ? t : "", sqlite3_column_bytes(st, c));
        }
        rows << cells.join(u'|');
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows.join(u'\n');
}

// Cards orders could tell apart: case, accents, ties on both columns, NULL, empty text, a blob.
const char* const kTrickyCards[] = {
    "UPDATE tblKRVS101 SET Title = 'vellan' WHERE DbId IN (3, 9)",
    "UPDATE tblKRVS101 SET Title = 'VELLAN', \"Index\" = '7' WHERE DbId IN (4, 10)",
    "UPDATE tblKRVS101 SET Title = 'Éclair Vellan', \"Index\" = '7' WHERE DbId = 5",
    "UPDATE tblKRVS101 SET Title = 'eclair vellan', \"Index\" = '7' WHERE DbId = 6",
    "UPDATE tblKRVS101 SET Title = NULL, \"Index\" = '7' WHERE DbId IN (7, 8)",
    "UPDATE tblKRVS101 SET Title = '', \"Index\" = NULL WHERE DbId IN (11, 12)",
    "UPDATE tblKRVS101 SET \"Index\" = X'3700', DBComments = 'Qorth' WHERE DbId = 13",
    "UPDATE tblKRVS101 SET \"Index\" = 'Ä1', DBComments = 'qorth' WHERE DbId = 14",
    "UPDATE tblKRVS101 SET \"Index\" = 'a1', DBComments = 'QORTH' WHERE DbId = 15",
};

} // namespace

class TestResultOrder : public QObject, AppFixture {
    Q_OBJECT

    // Runs the query and keeps its statement and the rows shown.
    void query(QStringList& statements, QStringList& shown) {
        QTest::mouseClick(w->cmdQuery, Qt::LeftButton);
        statements << w->g.gCurSQL;
        shown << gridRows(*w);
    }

  private slots:
    // The grid shows the engine's rows in the engine's order, for built and typed statements,
    // also where an index of the user's makes the engine sort them itself.
    void gridMatchesTheEngine_data() {
        QTest::addColumn<QString>("index");
        QTest::newRow("no index") << QString();
        QTest::newRow("index on Title") << "CREATE INDEX byTitle ON tblKRVS101 (Title);";
    }
    void gridMatchesTheEngine() {
        QFETCH(QString, index);
        begin();
        QVERIFY(makeCatalogue(400));
        start();
        for (const char* update : kTrickyCards)
            w->catalogue().connection().execute(QString::fromUtf8(update));
        if (!index.isEmpty()) w->catalogue().connection().execute(index);
        QStringList statements, shown;
        const QString typed = "SELECT * FROM tblKRVS101 WHERE Title LIKE '%e%' OR Title IS NULL "
                              "ORDER BY Title DESC, Index;";
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        w->txtSQL->clear();
        QTest::keyClicks(w->txtSQL, typed);
        query(statements, shown);
        QCOMPARE(statements.back(), typed);

        // The search panel: key words in titles and comments, every series and category.
        QTest::mouseClick(w->cmdAdv, Qt::LeftButton);
        for (QCheckBox* c : w->findChildren<QCheckBox*>())
            frmKRVS::setChkValue(c, 1);
        w->optBothOwn->setChecked(true);
        for (const char* words : {"Vellan,Qorth", "*"}) {
            w->cboSearch->setEditText(QString());
            QTest::keyClicks(w->cboSearch, words);
            query(statements, shown);
            QVERIFY(statements.back().contains("ORDER BY"));
        }
        close();
        for (qsizetype i = 0; i < statements.size(); ++i) {
            QVERIFY(shown[i].count(u'\n') > 20);
            QCOMPARE(shown[i], engineRows(catalogue(), statements[i]));
        }
        QVERIFY2(end(), qPrintable(problems()));
    }
};

QTEST_MAIN(TestResultOrder)
#include "tst_result_order.moc"
