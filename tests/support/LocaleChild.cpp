#include "support/LocaleChild.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace krvs::test {

namespace {
const char* const kChildMark = "KRVS_LOCALE_CHILD";
} // namespace

QString buildLocale(const NamedLocale& locale, QString* why) {
    static QTemporaryDir dir;
    static QHash<QString, QString> built; // name -> why it failed, empty when built
    const QString target = dir.filePath(locale.name);
    if (!built.contains(locale.name)) {
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        QString out = QStringLiteral("localedef was not found (Debian package \"locales\")");
        if (!localedef.isEmpty()) {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(localedef, {QStringLiteral("-i"), locale.source, QStringLiteral("-f"),
                                locale.charmap, target});
            p.waitForFinished(300000);
            out = QString::fromLocal8Bit(p.readAll()).trimmed();
        }
        // Warnings give exit code 1 with a usable locale: what counts is the files written.
        built.insert(locale.name,
                     QFileInfo::exists(target + QStringLiteral("/LC_CTYPE"))
                         ? QString()
                         : QStringLiteral("cannot build the locale %1: %2").arg(locale.name, out));
    }
    *why = built.value(locale.name);
    return why->isEmpty() ? dir.path() : QString();
}

ChildResult runChildInLocale(const QString& locpath, const QString& locale,
                             const QStringList& functions, const QProcessEnvironment& extra) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys())
        if (key.startsWith(QLatin1String("LC_"))) env.remove(key);
    env.insert(QStringLiteral("LOCPATH"), locpath);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANGUAGE"), QString());
    env.insert(QString::fromLatin1(kChildMark), QStringLiteral("1"));
    env.insert(extra);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(), functions);
    ChildResult r;
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        r.output = QStringLiteral("the child did not finish: ");
    }
    r.output += QString::fromUtf8(p.readAll());
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

bool isLocaleChild() {
    return qEnvironmentVariableIsSet(kChildMark);
}

} // namespace krvs::test
