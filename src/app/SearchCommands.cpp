#include "app/SearchCommands.h"

#include "grid/FlexGrid.h"
#include "ui/CheckBoxValue.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/TextAndInput.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>
#include <optional>

namespace krvs {

namespace {
const QString kCaption = QStringLiteral("Korvessa Database");
const QString kEmptyEntry = QStringLiteral("No keywords entered. To return all ") +
                            QStringLiteral("\r\n") +
                            QStringLiteral("entries, enter an asterisks (*).");
} // namespace

SearchCommands::SearchCommands(const SearchControls& controls, WindowOps window)
    : c_(controls), window_(std::move(window)) {}

void SearchCommands::setCaption(const QString& text) {
    window_.window->setWindowTitle(text);
}

QString SearchCommands::typedKeyWords() {
    QString keyWords = Strip(trimBlanks(c_.cboSearch->currentText()));
    c_.cboSearch->setEditText(keyWords);
    if (keyWords.isEmpty())
        ui().msgBox(kEmptyEntry, mb::OKOnly | mb::Exclamation, QStringLiteral("Empty Entry"));
    return keyWords;
}

void SearchCommands::addToList(QString& keyWords) {
    QStringList items;
    for (int i = 0; i < c_.cboSearch->count(); ++i)
        items << c_.cboSearch->itemText(i);
    if (!addToHistory(items, keyWords)) return;
    c_.cboSearch->insertItem(0, keyWords);
    c_.cboSearch->setEditText(keyWords);
}

SearchPanel SearchCommands::panel() const {
    SearchPanel p;
    p.autoAsterisks = c_.mnuAutoAst->isChecked();
    p.title = checkBoxState(c_.chkTitle);
    p.comments = checkBoxState(c_.chkComm);
    for (std::size_t i = 0; i < kSeriesCount; ++i)
        p.series[i] = checkBoxState(c_.chkSeries[i]);
    for (std::size_t i = 0; i < kCategoryCount; ++i)
        p.categories[i] = checkBoxState(c_.chkCategory[i]);
    p.yesOwn = c_.optYesOwn->isChecked();
    p.noOwn = c_.optNoOwn->isChecked();
    p.bothOwn = c_.optBothOwn->isChecked();
    return p;
}

void SearchCommands::generate() {
    bool failed = false;
    try {
        QString keyWords = typedKeyWords();
        if (!keyWords.isEmpty()) {
            statement_ = buildSearchStatement(keyWords, panel());
            c_.txtSQL->setPlainText(statement_);
        }
        window_.setMousePointer(pointer::Default);
    } catch (const AppError& e) {
        failed = true;
        window_.setMousePointer(pointer::Default);
        setCaption(kCaption);
        ui().msgBox(errorBoxText(e), mb::Critical, QStringLiteral("Error in Query"));
    }
    if (!failed)
        setCaption(kCaption + QStringLiteral(" - (Returned ") +
                   QString::number(c_.fgdCards->Rows() - 1) + QStringLiteral(" results.)"));
}

void SearchCommands::toggleAllSeries() {
    allSeries_ = !allSeries_;
    for (QCheckBox* box : c_.chkSeries)
        setCheckBoxState(box, allSeries_ ? 1 : 0);
}

void SearchCommands::toggleAllCategories() {
    allCategories_ = !allCategories_;
    for (QCheckBox* box : c_.chkCategory)
        setCheckBoxState(box, allCategories_ ? 1 : 0);
}

// The check mark is the setting itself.
void SearchCommands::toggleAutoAsterisks() {
    c_.mnuAutoAst->setChecked(!c_.mnuAutoAst->isChecked());
}

void SearchCommands::showAllCards() {
    const SearchRequest all = loadAllRequest();
    statement_ = all.text;
    c_.txtSQL->setPlainText(statement_);
    window_.bindGrid(all);
}

// The user's words are in the statement, or all of it. One without rows has done its
// work; the grid shows the rows it showed before, read again as after any update.
void SearchCommands::runRequest(const SearchRequest& request) {
    if (window_.bindGrid(request)) {
        window_.setShownSearch(request);
        return;
    }
    try {
        window_.bindGrid(window_.shownSearch());
    } catch (const AppError&) {
        // The statement ran, and took away what the grid showed (the table it read):
        // every card is shown instead, no failure.
        window_.setShownSearch(loadAllRequest());
        window_.bindGrid(window_.shownSearch());
    }
}

void SearchCommands::query() {
    std::optional<AppError> error;
    try {
        const auto emptyChecks = [](const QString& text) {
            ui().msgBox(text, mb::OKOnly | mb::Exclamation, QStringLiteral("Empty Checks"));
        };
        const auto noneTicked = [](const auto& values) {
            return std::all_of(values.begin(), values.end(), [](int v) { return v == 0; });
        };
        const SearchPanel shown = panel();
        if (shown.title + shown.comments == 0) {
            emptyChecks(QStringLiteral("Must select at least one field in keywords."));
        } else if (noneTicked(shown.series)) {
            emptyChecks(QStringLiteral("Must select at least one series."));
        } else if (noneTicked(shown.categories)) {
            emptyChecks(QStringLiteral("Must select at least one category."));
        } else {
            window_.setMousePointer(pointer::Hourglass);
            c_.fgdCards->Clear();
            c_.fgdCards->setRows(2);
            QCoreApplication::processEvents();
            if (window_.searchMode() == SearchMode::Advanced) {
                // goes to the engine unchanged
                const SearchRequest request = typedRequest(c_.txtSQL->toPlainText());
                statement_ = request.text;
                runRequest(request);
            } else if (QString keyWords = typedKeyWords(); !keyWords.isEmpty()) {
                addToList(keyWords);
                const SearchRequest request = panelRequest(keyWords, panel());
                statement_ = request.text;
                runRequest(request);
            }
        }
    } catch (const AppError& e) {
        error = e;
    }
    window_.setMousePointer(pointer::Default);
    c_.cboSearch->setFocus();
    if (error) {
        setCaption(kCaption);
        ui().msgBox(errorBoxText(*error), mb::OKOnly | mb::Critical,
                    QStringLiteral("Error in Query"));
    } else {
        setCaption(kCaption + QStringLiteral(" - (Matches returned=") +
                   QString::number(c_.fgdCards->Rows() - 1) + QLatin1Char(')'));
    }
}

} // namespace krvs
