// Key words typed into the search box, with any panel settings, through the
// statement builder, the dialect translation and the engine's parser: whatever
// the words hold, exactly one statement comes out, and it only reads.
#include "FuzzCheck.h"

#include "db/Dialect.h"
#include "db/JetFunctions.h"
#include "db/Schema.h"
#include "db/TextFold.h"
#include "search/SqlBuilder.h"
#include "util/AppError.h"

#include <cstddef>
#include <cstdint>
#include <sqlite3.h>

using namespace krvs;

namespace {

sqlite3* catalogue() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        db::text::registerFunctions(d);
        db::jet::registerFunctions(d);
        sqlite3_exec(d, db::kCardTableSql, nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

bool onlyBlanksAndSemicolons(const char* p) {
    for (; p && *p; ++p)
        if (*p != ';' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // Three bytes of panel settings, then the key words.
    SearchPanel panel;
    const std::uint8_t a = data[0], b = data[1], c = data[2];
    panel.autoAsterisks = a & 1;
    panel.title = (a >> 1) % 3;
    panel.comments = (a >> 3) % 3;
    panel.series = {(a >> 5) & 1, (a >> 6) & 1, (a >> 7) & 1, b & 1};
    for (int i = 0; i < 9; ++i)
        panel.categories[static_cast<std::size_t>(i)] = (((b >> 1) | (c << 7)) >> i) & 1;
    const int own = (c >> 2) % 3;
    panel.yesOwn = own == 0;
    panel.noOwn = own == 1;
    panel.bothOwn = own == 2;

    QString keyWords = Strip(trimBlanks(QString::fromUtf8(reinterpret_cast<const char*>(data + 3),
                                                          static_cast<qsizetype>(size - 3))));
    if (keyWords.isEmpty()) return 0;
    QString statement;
    try {
        statement = buildSearchStatement(keyWords, panel);
    } catch (const AppError& e) {
        FUZZ_CHECK(e.number() == 5, e.description()); // a part closed while empty
        return 0;
    }
    const db::dialect::Translation tr = db::dialect::translate(statement);
    if (statement.contains(QChar(0))) { // refused whole rather than cut short
        FUZZ_CHECK(!tr.error.isEmpty(), statement);
        return 0;
    }
    FUZZ_CHECK(tr.error.isEmpty() && !tr.password, statement);

    const QByteArray sql = tr.sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    const int rc =
        sqlite3_prepare_v2(catalogue(), sql.constData(), static_cast<int>(sql.size()), &st, &tail);
    FUZZ_CHECK(rc == SQLITE_OK && st,
               QString::fromUtf8(sqlite3_errmsg(catalogue())) + QStringLiteral(": ") + tr.sql);
    FUZZ_CHECK(sqlite3_stmt_readonly(st), tr.sql);
    FUZZ_CHECK(onlyBlanksAndSemicolons(tail), tr.sql);
    sqlite3_finalize(st);
    return 0;
}
