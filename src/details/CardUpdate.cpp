#include "details/CardUpdate.h"

#include "search/SqlBuilder.h"
#include "state/Globals.h"
#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"
#include "util/ValueText.h"

#include <QWidget>

#include <memory>

namespace krvs {

QString ownUpdateStatement(bool own, const QString& dbId) {
    return QStringLiteral("UPDATE tblKRVS101 ") + QStringLiteral("SET Own = ") + boolText(own) +
           QStringLiteral(" ") + QStringLiteral("WHERE DbId = ") + dbId + QStringLiteral(";");
}

QString commentUpdateStatement(const QString& comment, const QString& dbId) {
    // Every apostrophe is doubled, also one of a pair the user typed, so the comment
    // is stored exactly as typed.
    QString literal = commentForUpdate(comment);
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("UPDATE tblKRVS101 ") + QStringLiteral("SET UserComments = ") +
           sqlQuote(literal) + QStringLiteral(" ") + QStringLiteral("WHERE DbId = ") + dbId +
           QStringLiteral(";");
}

QString commentForUpdate(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return out;
}

void runUpdate(Globals& g, const QString& statement) {
    if (!g.gConn) throw AppError::of(err::ObjectNotSet);
    g.gRS = std::make_unique<db::Recordset>();
    g.gRS->Open(statement, *g.gConn, -1, -1, -1);
}

void applyUpdates(QWidget* form, const std::function<void(int)>& setPointer, Globals& g,
                  const std::function<QString(int)>& statement, int count,
                  const QString& successTitle, const QString& errorTitle,
                  const std::function<void()>& refresh) {
    form->setEnabled(false);
    setPointer(pointer::Hourglass);
    ScopeGuard restore([&] {
        form->setEnabled(true);
        setPointer(pointer::Default);
    });
    try {
        for (int i = 0; i < count; ++i)
            runUpdate(g, statement(i));
        ui().msgBox(QStringLiteral("The update was successful."), mb::OKOnly | mb::Information,
                    successTitle);
        if (refresh) refresh();
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, errorTitle);
    }
}

} // namespace krvs
