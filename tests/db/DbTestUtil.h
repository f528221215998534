#pragma once
#include "db/Connection.h"
#include "support/TestFiles.h"

#include <QString>

namespace krvs::test {

// Opens conn as the program does (held exclusively).
inline void openCatalogue(db::Connection& conn, const QString& path, const QString& password = {}) {
    conn.open(path, password);
}

// Every row of a statement, cells joined by '|', rows by '\n'.
inline QString dump(db::Connection& conn, const QString& sql) {
    QString out;
    const auto rows = conn.execute(sql);
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
