#include "db/JetFunctions.h"

#include <QList>
#include <QString>
#include <sqlite3.h>

namespace krvs::db::jet {

namespace {

QString text(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return QString::fromUtf8(t, sqlite3_value_bytes(v));
}

void result(sqlite3_context* ctx, const QString& s) {
    const QByteArray u = s.toUtf8();
    sqlite3_result_text(ctx, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

// Characters, not UTF-16 units: a letter outside the first plane counts once.
QList<uint> chars(sqlite3_value* v) {
    return text(v).toUcs4();
}
QString fromChars(const QList<uint>& c, qsizetype from, qsizetype n) {
    const QList<uint> part = c.mid(from, n);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(part.constData()), part.size());
}

void ucase(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    result(ctx, text(argv[0]).toUpper());
}

void lcase(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    result(ctx, text(argv[0]).toLower());
}

void len(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, chars(argv[0]).size());
}

void left(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    result(ctx, fromChars(chars(argv[0]), 0, n));
}

void right(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const sqlite3_int64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    const QList<uint> c = chars(argv[0]);
    const qsizetype from = n >= c.size() ? 0 : c.size() - n;
    result(ctx, fromChars(c, from, c.size() - from));
}

void mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const sqlite3_int64 start = sqlite3_value_int64(argv[1]);
    const sqlite3_int64 n = argc == 3 ? sqlite3_value_int64(argv[2]) : -1;
    if (start < 1 || (argc == 3 && n < 0))
        return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    const QList<uint> c = chars(argv[0]);
    if (start > c.size()) return result(ctx, QString());
    result(ctx, fromChars(c, start - 1, n));
}

void iif(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool yes =
        sqlite3_value_type(argv[0]) != SQLITE_NULL && sqlite3_value_double(argv[0]) != 0;
    sqlite3_result_value(ctx, argv[yes ? 1 : 2]);
}

void nz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    if (argc == 2) return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

} // namespace

int registerFunctions(sqlite3* db) {
    struct F {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    const F fns[] = {{"UCase", 1, ucase}, {"LCase", 1, lcase}, {"Len", 1, len}, {"Left", 2, left},
                     {"Right", 2, right}, {"Mid", 2, mid},     {"Mid", 3, mid}, {"IIf", 3, iif},
                     {"Nz", 1, nz},       {"Nz", 2, nz}};
    for (const F& f : fns) {
        const int rc =
            sqlite3_create_function(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                    f.fn, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

} // namespace krvs::db::jet
