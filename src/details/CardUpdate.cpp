#include "CardUpdate.h"

#include "search/Globals.h"
#include "search/SqlBuilder.h"
#include "util/AppError.h"

#include <memory>

namespace krvs {

QString ownUpdateStatement(bool own, const QString& dbId) {
    return QStringLiteral("UPDATE tblKRVS101 ") + QStringLiteral("SET Own = ") +
           (own ? QStringLiteral("True") : QStringLiteral("False")) + QStringLiteral(" ") +
           QStringLiteral("WHERE DbId = ") + dbId + QStringLiteral(";");
}

QString commentUpdateStatement(const QString& comment, const QString& dbId) {
    return QStringLiteral("UPDATE tblKRVS101 ") + QStringLiteral("SET UserComments = ") +
           sqlQuote(sqlFixQuotes(commentForUpdate(comment))) + QStringLiteral(" ") +
           QStringLiteral("WHERE DbId = ") + dbId + QStringLiteral(";");
}

QString commentForUpdate(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return out;
}

void runUpdate(Globals& g, const QString& statement) {
    if (!g.gConn)
        throw AppError(91, QStringLiteral("Object variable or With block variable not set"));
    g.gRS = std::make_unique<db::Recordset>();
    g.gRS->Open(statement, *g.gConn, -1, -1, -1);
}

} // namespace krvs
