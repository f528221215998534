// The SQL dialect translation on any statement text: no crash, and a password
// statement that it accepts carries its two words exactly, so that writing them
// back into a statement and reading it again gives the same two passwords.
#include "FuzzCheck.h"

#include "db/Dialect.h"

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
