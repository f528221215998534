#include "app/frmKRVS.h"

#include "grid/FlexGrid.h"
#include "util/MousePointer.h"
#include "util/ScopeGuard.h"
#include "util/UiServices.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <optional>

namespace krvs {

namespace {
const QString kCaption = QStringLiteral("Korvessa Database");
const QString kEmptyEntry = QStringLiteral("No keywords entered. To return all ") +
                            QStringLiteral("\r\n") +
                            QStringLiteral("entries, enter an asterisks (*).");
} // namespace

QString frmKRVS::sqlWhere(QString& keyWords) {
    return buildWhere(keyWords, searchPanel());
}

void frmKRVS::AddToList(QString& keyWords) {
    QStringList items;
    for (int i = 0; i < cboSearch->count(); ++i)
        items << cboSearch->itemText(i);
    if (!addToHistory(items, keyWords)) return;
    cboSearch->insertItem(0, keyWords);
    cboSearch->setEditText(keyWords);
}

void frmKRVS::cmdGen_Click() {
    bool failed = false;
    try {
        QString keyWords = Strip(trimBlanks(cboSearch->currentText()));
        cboSearch->setEditText(keyWords);
        if (!keyWords.isEmpty()) {
            QString arg = keyWords;
            mSQL = QStringLiteral("SELECT * FROM tblKRVS101 ") + sqlWhere(arg) + sqlOrder();
            txtSQL->setPlainText(mSQL);
        } else {
            ui().msgBox(kEmptyEntry, mb::OKOnly | mb::Exclamation, QStringLiteral("Empty Entry"));
        }
        setMousePointer(pointer::Default);
    } catch (const AppError& e) {
        failed = true;
        setMousePointer(pointer::Default);
        setWindowTitle(kCaption);
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in Query"));
    }
    if (!failed)
        setWindowTitle(kCaption + QStringLiteral(" - (Returned ") +
                       QString::number(fgdCards->Rows() - 1) + QStringLiteral(" results.)"));
}

void frmKRVS::cmdAllSeries_Click() {
    g.gAllSeries = !g.gAllSeries;
    for (QCheckBox* c : {chkVEX, chkNOR, chkDR7, chkZYN})
        setChkValue(c, g.gAllSeries ? 1 : 0);
}

void frmKRVS::cmdAllCat_Click() {
    g.gAllCat = !g.gAllCat;
    for (QCheckBox* c :
         {chkBTS, chkChar, chkCrew, chkCulture, chkEpisode, chkFilmSyn, chkRace, chkShip, chkTech})
        setChkValue(c, g.gAllCat ? 1 : 0);
}

// The check mark is the setting itself.
void frmKRVS::mnuAutoAst_Click() {
    mnuAutoAst->setChecked(!mnuAutoAst->isChecked());
}

void frmKRVS::cmdQuery_Click() {
    std::optional<AppError> error;
    try {
        const auto emptyChecks = [](const QString& text) {
            ui().msgBox(text, mb::OKOnly | mb::Exclamation, QStringLiteral("Empty Checks"));
        };
        if (chkValue(chkTitle) + chkValue(chkComm) == 0) {
            emptyChecks(QStringLiteral("Must select at least one field in keywords."));
        } else if (chkValue(chkVEX) + chkValue(chkNOR) + chkValue(chkDR7) + chkValue(chkZYN) == 0) {
            emptyChecks(QStringLiteral("Must select at least one series."));
        } else if ([this] {
                       int sum = 0;
                       for (int v : searchPanel().categories)
                           sum += v;
                       return sum == 0;
                   }()) {
            emptyChecks(QStringLiteral("Must select at least one category."));
        } else {
            setMousePointer(pointer::Hourglass);
            fgdCards->Clear();
            fgdCards->setRows(2);
            DoEvents();
            bool run = true;
            if (cmdAdv->text() != QLatin1String("Go To &Advanced")) {
                mSQL = txtSQL->toPlainText(); // typed text goes to the engine unchanged
            } else {
                QString keyWords = Strip(trimBlanks(cboSearch->currentText()));
                cboSearch->setEditText(keyWords);
                if (keyWords.isEmpty()) {
                    ui().msgBox(kEmptyEntry, mb::OKOnly | mb::Exclamation,
                                QStringLiteral("Empty Entry"));
                    run = false;
                } else {
                    QString copy = keyWords;
                    AddToList(copy);
                    QString arg = keyWords;
                    mSQL = QStringLiteral("SELECT * FROM tblKRVS101 ") + sqlWhere(arg) + sqlOrder();
                }
            }
            if (run) {
                requireConnection();
                g.gRS = std::make_unique<db::Recordset>();
                g.gRS->setTypedByUser(true); // the user's words are in it, or all of it
                g.gRS->Open(mSQL, *g.gConn, -1, -1, -1);
                if (g.gRS->State() == db::adStateOpen) {
                    g.gRS->Requery(-1);
                    fgdCards->setDataSource(g.gRS->rows());
                    g.gCurSQL = mSQL;
                } else {
                    // A statement without rows has done its work; the grid shows the
                    // rows it showed before, read again as after any update.
                    bindGrid(g.gCurSQL);
                }
            }
        }
    } catch (const AppError& e) {
        error = e;
    }
    setMousePointer(pointer::Default);
    cboSearch->setFocus();
    if (error) {
        setWindowTitle(kCaption);
        ui().msgBox(errorBoxText(*error), mb::OKOnly | mb::Critical,
                    QStringLiteral("Error in Query"));
    } else {
        setWindowTitle(kCaption + QStringLiteral(" - (Matches returned=") +
                       QString::number(fgdCards->Rows() - 1) + QLatin1Char(')'));
    }
}

} // namespace krvs
