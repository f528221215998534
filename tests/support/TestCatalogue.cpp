#include "support/TestCatalogue.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace krvs::test {

int runMakeDb(const QStringList& args, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(KRVS_MAKEDB_EXE), args);
    if (!p.waitForFinished(600000)) return -1;
    if (output) *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool makeCatalogue(const QString& path, int cards, const QString& password) {
    QStringList args{QStringLiteral("--cards"), QString::number(cards), QStringLiteral("--force")};
    if (!password.isEmpty()) args << QStringLiteral("--password") << password;
    args << path;
    return runMakeDb(args) == 0;
}

bool makeCatalogueFromCsv(const QString& path, const QString& csvText) {
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("cards.csv"));
    QFile f(csv);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(csvText.toUtf8());
    f.close();
    return runMakeDb({QStringLiteral("--from-csv"), csv, QStringLiteral("--force"), path}) == 0;
}

} // namespace krvs::test
