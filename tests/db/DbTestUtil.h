#pragma once
#include "db/Connection.h"
#include "db/Recordset.h"
#include "support/TestFiles.h"

#include <QString>

namespace krvs::test {

// The two connection-string forms the program builds.
inline QString startupString(const QString& path, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + path +
           QStringLiteral("; Persist Security Info=False; Jet OLEDB:Database Password=") +
           (password.trimmed().isEmpty() ? db::kNoPasswordToken : password);
}
inline QString reopenString(const QString& path, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
           QStringLiteral(";Persist Security Info=False;Jet OLEDB:Database Password=") + password +
           QStringLiteral(";");
}

// Opens conn share-exclusive with client cursors, as the program does.
inline void openCatalogue(db::Connection& conn, const QString& path, const QString& password = {}) {
    conn.setCursorLocation(db::adUseClient);
    conn.setMode(db::adModeShareExclusive);
    conn.Open(startupString(path, password), QString(), QString(), -1);
}

// Every row of a statement, cells joined by '|', rows by '\n'.
inline QString dump(db::Connection& conn, const QString& sql) {
    db::Recordset rs;
    rs.Open(sql, conn);
    QString out;
    const auto rows = rs.rows();
    for (int r = 0; r < rows->rowCount(); ++r) {
        if (r) out += u'\n';
        for (int c = 0; c < rows->colCount(); ++c) {
            if (c) out += u'|';
            out += rows->cell(r, c);
        }
    }
    return out;
}

// The number of the AppError that f throws, 0 when it throws none.
template <class F> int errorNumber(F&& f, QString* description = nullptr) {
    try {
        f();
    } catch (const AppError& e) {
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace krvs::test
