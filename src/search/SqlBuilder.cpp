#include "search/SqlBuilder.h"

#include "util/AppError.h"

namespace krvs {

QString Strip(const QString& text) {
    QString result;
    if (!text.isEmpty()) {
        for (const QString& element : text.split(QLatin1Char(','))) {
            const QString t = trimBlanks(element);
            if (!t.isEmpty()) result += QLatin1Char(',') + t;
        }
    }
    return trimBlanks(result.mid(1));
}

QString sqlQuote(const QString& value) {
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QString sqlFixQuotes(const QString& text) {
    QString s = text;
    qsizetype p = s.indexOf(QLatin1Char('\''));
    while (p >= 0) {
        if (s.mid(p, 2) != QLatin1String("''")) s.insert(p + 1, QLatin1Char('\''));
        p = s.indexOf(QLatin1Char('\''), p + 2);
    }
    return s;
}

QString sqlOrder() {
    return QStringLiteral(" ORDER BY tblKRVS101.Index, tblKRVS101.Title;");
}

namespace {
// "(" + terms without the last " OR " + ")"; an empty part cannot be closed.
QString closePart(const QString& part) {
    if (part.size() < 4) throw AppError::of(err::InvalidArgument);
    return QLatin1Char('(') + part.left(part.size() - 4) + QLatin1Char(')');
}

QString term(const char* field, const QString& quoted) {
    return QStringLiteral("(tblKRVS101.") + QLatin1String(field) + QStringLiteral(" LIKE ") +
           quoted + QStringLiteral(") OR ");
}
} // namespace

QString buildWhere(QString& keyWords, const SearchPanel& p) {
    keyWords.replace(QLatin1Char('*'), QLatin1Char('%'));
    keyWords.replace(QLatin1Char('?'), QLatin1Char('_'));

    // A frame whose boxes add up to fewer than one each narrows the search.
    const auto narrows = [](const auto& values) {
        int sum = 0;
        for (int v : values)
            sum += v;
        return sum < static_cast<int>(values.size());
    };
    const bool seriesNeeded = narrows(p.series);
    const bool categoryNeeded = narrows(p.categories);
    const bool ownNeeded = !p.bothOwn;

    QString keyPart;
    for (const QString& raw : trimBlanks(keyWords).split(QLatin1Char(','))) {
        QString element = trimBlanks(raw);
        if (p.autoAsterisks) element = QLatin1Char('%') + element + QLatin1Char('%');
        if (element.isEmpty()) continue;
        const QString q = sqlQuote(sqlFixQuotes(element));
        if (p.title != 0) keyPart += term("Title", q);
        if (p.comments != 0) {
            keyPart += term("UserComments", q);
            keyPart += term("DBComments", q);
        }
    }
    keyPart = closePart(keyPart);

    // The ticked boxes' values, a term each; a greyed box is not written.
    const auto boxPart = [](const char* field, const auto& boxes, const auto& values) {
        QString part;
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i] == 1) part += term(field, sqlQuote(QString::fromUtf8(boxes[i].value)));
        return closePart(part);
    };
    const QString seriesPart = seriesNeeded ? boxPart("Series", kSeriesBoxes, p.series) : QString();
    const QString categoryPart =
        categoryNeeded ? boxPart("Category", kCategoryBoxes, p.categories) : QString();

    QString ownPart;
    if (ownNeeded) {
        if (p.yesOwn) ownPart += QStringLiteral("(tblKRVS101.Own=True) OR ");
        if (p.noOwn) ownPart += QStringLiteral("(tblKRVS101.Own=False) OR ");
        ownPart = closePart(ownPart);
    }

    if (trimBlanks(seriesPart + categoryPart + ownPart).isEmpty())
        return QStringLiteral("WHERE (") + keyPart + QLatin1Char(')');
    QString joined;
    for (const QString& part : {keyPart, seriesPart, categoryPart, ownPart})
        if (!trimBlanks(part).isEmpty()) joined += QStringLiteral(" AND ") + part;
    return QStringLiteral("WHERE (") + joined.mid(5) + QLatin1Char(')');
}

QString buildSearchStatement(QString& keyWords, const SearchPanel& panel) {
    return QStringLiteral("SELECT * FROM tblKRVS101 ") + buildWhere(keyWords, panel) + sqlOrder();
}

bool addToHistory(QStringList& items, const QString& keyWords) {
    if (items.contains(keyWords, Qt::CaseSensitive)) return false;
    items.prepend(keyWords);
    return true;
}

} // namespace krvs
