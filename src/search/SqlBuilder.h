#pragma once
#include "search/PanelBoxes.h"
#include "util/TextAndInput.h"

#include <QString>
#include <QStringList>
#include <array>

namespace krvs {

// The search panel's state at the moment a statement is built. Check boxes hold
// 0, 1 or 2; series and categories are in the order of kSeriesBoxes and
// kCategoryBoxes.
struct SearchPanel {
    bool autoAsterisks = true;
    int title = 1;
    int comments = 0;
    std::array<int, kSeriesCount> series = initialTicks(kSeriesBoxes);
    std::array<int, kCategoryCount> categories = initialTicks(kCategoryBoxes);
    bool yesOwn = false, noOwn = false, bothOwn = true;
};

// Normalises a comma-separated key-word list: empty elements vanish, elements are
// trimmed, the separator is a bare comma.
QString Strip(const QString& text);

// "'" + value + "'", nothing inside changed.
QString sqlQuote(const QString& value);

// Doubles every lone apostrophe; a pair already present stays as it is.
QString sqlFixQuotes(const QString& text);

// " ORDER BY tblKRVS101.Index, tblKRVS101.Title;"
QString sqlOrder();

// The WHERE clause, beginning with "WHERE (". keyWords is rewritten in place
// ("*" -> "%", "?" -> "_"). A part that has to be closed while empty throws
// AppError 5. Key words are written as sqlQuote(sqlFixQuotes(word)), so an
// apostrophe cannot end the literal early.
QString buildWhere(QString& keyWords, const SearchPanel& panel);

// "SELECT * FROM tblKRVS101 " + WHERE + ORDER BY.
QString buildSearchStatement(QString& keyWords, const SearchPanel& panel);

// Puts a key-word list at the top of the history unless an equal item (exact,
// case-sensitive) is already there. Returns true when the list changed.
bool addToHistory(QStringList& items, const QString& keyWords);

} // namespace krvs
