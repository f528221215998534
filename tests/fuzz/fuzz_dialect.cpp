// The SQL dialect translation on any statement text: no crash, and a password
// statement that it accepts carries its two words exactly, so that writing them
// back into a statement and reading it again gives the same two passwords. The
// reader under it covers the text with its tokens, one after the other, and only
// the last can be left open.
#include "FuzzCheck.h"

#include "db/Dialect.h"
#include "db/SqlReader.h"

#include <cstddef>
#include <cstdint>

using namespace krvs::db;

namespace {

QString wordOf(const QString& password) {
    return password.isEmpty() ? QStringLiteral("``") : password;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SqlReader reader(text);
    qsizetype at = 0;
    for (const SqlToken& t : reader.tokens()) {
        FUZZ_CHECK(t.begin == at && t.end > t.begin, text);
        FUZZ_CHECK(t.closed || t.end == text.size(), text);
        at = t.end;
    }
    FUZZ_CHECK(at == text.size(), text);
    const dialect::Translation tr = dialect::translate(text);
    if (!tr.error.isEmpty()) {
        FUZZ_CHECK(tr.sql.isEmpty() && !tr.password, text);
        return 0;
    }
    if (!tr.password) return 0;
    const auto& p = *tr.password;
    for (const QString& w : {p.newPassword, p.oldPassword})
        for (const QChar c : w)
            FUZZ_CHECK(!c.isSpace(), text);
    const QString again = QStringLiteral("ALTER DATABASE PASSWORD ") + wordOf(p.newPassword) +
                          QLatin1Char(' ') + wordOf(p.oldPassword) + QLatin1Char(';');
    const dialect::Translation back = dialect::translate(again);
    FUZZ_CHECK(back.error.isEmpty() && back.password, again);
    FUZZ_CHECK(back.password->newPassword == p.newPassword, again);
    FUZZ_CHECK(back.password->oldPassword == p.oldPassword, again);
    return 0;
}
