#include "app/frmKRVS.h"

#include "grid/FlexGrid.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/ScopeGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <optional>

namespace krvs {

namespace {
const QString kCaption = QStringLiteral("Korvessa Database");
const QString kEmptyEntry = QStringLiteral("No keywords entered. To return all ") +
                            QStringLiteral("\r\n") +
                            QStringLiteral("entries, enter an asterisks (*).");
} // namespace

// The key words as typed, tidied and shown so in the search box; when none are
// left, the "Empty Entry" box has been shown and the result is empty.
QString frmKRVS::typedKeyWords() {
    QString keyWords = Strip(trimBlanks(cboSearch->currentText()));
    cboSearch->setEditText(keyWords);
    if (keyWords.isEmpty())
        ui().msgBox(kEmptyEntry, mb::OKOnly | mb::Exclamation, QStringLiteral("Empty Entry"));
    return keyWords;
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
        QString keyWords = typedKeyWords();
        if (!keyWords.isEmpty()) {
            mSQL = buildSearchStatement(keyWords, searchPanel());
            txtSQL->setPlainText(mSQL);
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
    for (QCheckBox* c : chkSeries)
        setChkValue(c, g.gAllSeries ? 1 : 0);
}

void frmKRVS::cmdAllCat_Click() {
    g.gAllCat = !g.gAllCat;
    for (QCheckBox* c : chkCategory)
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
        const auto noneTicked = [](const auto& values) {
            return std::all_of(values.begin(), values.end(), [](int v) { return v == 0; });
        };
        const SearchPanel panel = searchPanel();
        if (panel.title + panel.comments == 0) {
            emptyChecks(QStringLiteral("Must select at least one field in keywords."));
        } else if (noneTicked(panel.series)) {
            emptyChecks(QStringLiteral("Must select at least one series."));
        } else if (noneTicked(panel.categories)) {
            emptyChecks(QStringLiteral("Must select at least one category."));
        } else {
            setMousePointer(pointer::Hourglass);
            fgdCards->Clear();
            fgdCards->setRows(2);
            DoEvents();
            bool run = true;
            SearchRequest request;
            if (searchMode_ == SearchMode::Advanced) {
                request = typedRequest(txtSQL->toPlainText()); // goes to the engine unchanged
                mSQL = request.text;
            } else {
                QString keyWords = typedKeyWords();
                run = !keyWords.isEmpty();
                if (run) {
                    AddToList(keyWords);
                    request = panelRequest(keyWords, searchPanel());
                    mSQL = request.text;
                }
            }
            // The user's words are in the statement, or all of it. One without rows
            // has done its work; the grid shows the rows it showed before, read
            // again as after any update.
            if (run) {
                if (bindGrid(request)) {
                    setShownSearch(request);
                } else {
                    try {
                        bindGrid(shownSearch());
                    } catch (const AppError&) {
                        // The statement ran, and took away what the grid showed (the
                        // table it read): every card is shown instead, no failure.
                        setShownSearch(loadAllRequest());
                        bindGrid(shownSearch());
                    }
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
