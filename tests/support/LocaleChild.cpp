#include "support/LocaleChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace krvs::test {

namespace {

const char* const kChildMark = "KRVS_LOCALE_CHILD";

QTemporaryDir& localeFolder() {
    static QTemporaryDir dir;
    return dir;
}

} // namespace

QString buildLocale(const NamedLocale& locale, QString* why) {
    static QHash<QString, QString> built; // name -> the reason it failed, empty when built
    QTemporaryDir& dir = localeFolder();
    if (!dir.isValid()) {
        *why = QStringLiteral("no temporary folder for the locales");
        return QString();
    }
    const QString target = dir.filePath(locale.name);
    if (!built.contains(locale.name)) {
        QString failure;
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty()) {
            failure = QStringLiteral("localedef was not found (Debian package \"locales\")");
        } else {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            // Warnings about the sources give exit code 1 with a usable locale; what
            // counts is that the locale's files were written.
            p.start(localedef, {QStringLiteral("-i"), locale.source, QStringLiteral("-f"),
                                locale.charmap, target});
            const bool finished = p.waitForFinished(300000);
            const QString out = QString::fromLocal8Bit(p.readAll()).trimmed();
            if (!finished || !QFileInfo::exists(target + QStringLiteral("/LC_CTYPE")))
                failure = QStringLiteral("localedef -i %1 -f %2 failed: %3")
                              .arg(locale.source, locale.charmap, out);
        }
        built.insert(locale.name, failure);
    }
    *why = built.value(locale.name);
    if (!why->isEmpty())
        *why = QStringLiteral("cannot build the locale %1: %2").arg(locale.name, *why);
    return why->isEmpty() ? dir.path() : QString();
}

ChildResult runChildInLocale(const QString& locpath, const QString& locale, const QString& function,
                             const QProcessEnvironment& extra) {
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
    p.start(QCoreApplication::applicationFilePath(), {function});
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
