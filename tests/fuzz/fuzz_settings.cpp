// The settings file: any file content is read without harm, and a value the
// program writes reads back as written (on one line, blanks around it dropped,
// cut at 2047 characters), while the values of other keys stay as they were.
#include "FuzzCheck.h"

#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <cstddef>
#include <cstdint>

using namespace krvs;

namespace {

const QString& iniPath() {
    static const QString p = QDir::temp().filePath(
        QStringLiteral("krvs-fuzz-%1.ini").arg(QCoreApplication::applicationPid()));
    return p;
}

// Keys of the program's own settings file, and a few spellings of them.
const QList<QPair<QString, QString>> kKeys = {
    {QStringLiteral("Main"), QStringLiteral("Run_Count")},
    {QStringLiteral("Main"), QStringLiteral("Backup_Warn")},
    {QStringLiteral("main"), QStringLiteral("WINDOWSTATE")},
    {QStringLiteral("Search"), QStringLiteral("Search0")},
    {QStringLiteral("Grid"), QStringLiteral("Col3")},
    {QStringLiteral("Options"), QStringLiteral("AutoAst")},
};

QString trimEdges(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input: the file's bytes, then after the last NUL byte the value to write.
    const QByteArray all(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = all.lastIndexOf('\0');
    const QByteArray file = cut < 0 ? all : all.left(cut);
    const QString value = cut < 0 ? QString() : QString::fromUtf8(all.mid(cut + 1));
    const auto& [section, key] = kKeys[static_cast<qsizetype>(size) % kKeys.size()];

    {
        QFile f(iniPath());
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), iniPath());
        f.write(file);
    }
    QStringList before;
    for (const auto& [s, k] : kKeys)
        before << ReadINI(s, k, QStringLiteral("<none>"), iniPath());

    QString expected = value;
    expected.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    expected = trimEdges(expected);
    if (!value.isEmpty() && !expected.isEmpty()) {
        FUZZ_CHECK(WriteINI(section, key, value, iniPath()) != 0, value);
        QString read = ReadINI(section, key, QStringLiteral("<none>"), iniPath());
        QString want = expected.left(2047);
        if (want.size() == 2047 && want.back().isHighSurrogate()) want.chop(1);
        FUZZ_CHECK(read == want, QStringLiteral("wrote [%1] read [%2]").arg(value, read));
        for (qsizetype i = 0; i < kKeys.size(); ++i) {
            if (kKeys[i].first.compare(section, Qt::CaseInsensitive) == 0 &&
                kKeys[i].second.compare(key, Qt::CaseInsensitive) == 0)
                continue;
            const QString now =
                ReadINI(kKeys[i].first, kKeys[i].second, QStringLiteral("<none>"), iniPath());
            FUZZ_CHECK(now == before[i], QStringLiteral("%1/%2 was [%3] is [%4]")
                                             .arg(kKeys[i].first, kKeys[i].second, before[i], now));
        }
    }
    QFile::remove(iniPath());
    return 0;
}
