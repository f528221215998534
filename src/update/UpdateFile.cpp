#include "update/UpdateFile.h"

#include "krvs_version.h"

#include <QStringList>
#include <QUrl>

namespace krvs::update {

QString fileTag(const QString& body) {
    return body.left(7).toUpper();
}

bool hasTag(const QString& body, const QString& tag) {
    return fileTag(body) == tag.toUpper();
}

QString filePayload(const QString& body) {
    return body.size() > 8 ? body.mid(8) : QString();
}

std::optional<qint16> toInt16(const QString& piece) {
    const QString t = piece.trimmed();
    if (t.isEmpty()) return std::nullopt;
    qsizetype i = 0;
    if (t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('-')) ++i;
    if (i == t.size()) return std::nullopt;
    for (qsizetype k = i; k < t.size(); ++k)
        if (t.at(k) < QLatin1Char('0') || t.at(k) > QLatin1Char('9')) return std::nullopt;
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    if (!ok || value < -32768 || value > 32767) return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<Release> parseRelease(const QString& payload) {
    // Split at most twice: the third piece holds the rest of the text.
    QStringList pieces;
    qsizetype from = 0;
    for (int n = 0; n < 2; ++n) {
        const qsizetype dot = payload.indexOf(QLatin1Char('.'), from);
        if (dot < 0) break;
        pieces << payload.mid(from, dot - from);
        from = dot + 1;
    }
    pieces << payload.mid(from);
    if (pieces.size() < 3) return std::nullopt;
    const auto major = toInt16(pieces[0]);
    const auto minor = toInt16(pieces[1]);
    const auto revision = toInt16(pieces[2]);
    if (!major || !minor || !revision) return std::nullopt;
    return Release{*major, *minor, *revision};
}

QString releaseText(const Release& r) {
    return QString::number(r.major) + QLatin1Char('.') + QString::number(r.minor) +
           QLatin1Char('.') + QString::number(r.revision);
}

bool isNewer(const Release& web, const Release& running) {
    if (web.major != running.major) return web.major > running.major;
    if (web.minor != running.minor) return web.minor > running.minor;
    return web.revision > running.revision;
}

Release runningRelease() {
    return Release{static_cast<qint16>(KRVS_VERSION_MAJOR), static_cast<qint16>(KRVS_VERSION_MINOR),
                   static_cast<qint16>(KRVS_VERSION_PATCH)};
}

std::optional<QString> installerAddress(const QString& payload) {
    const QString text = payload.trimmed();
    if (text.isEmpty()) return std::nullopt;
    for (const QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control) return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    const QString scheme = url.scheme(); // QUrl keeps schemes in lower case
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    return text;
}

QString latestReleaseText(const Release& web, const Release& running) {
    return QStringLiteral("Web release = ") + releaseText(web) +
           QStringLiteral("\r\nYour release = ") + releaseText(running) +
           QStringLiteral("\r\nYou have the latest release of KRVS.");
}

QString updateCaption(const Release& running, const Release& web) {
    return QStringLiteral("Update available from v") + releaseText(running) +
           QStringLiteral(" to v") + releaseText(web);
}

QString checkFailedText(const QString& makerAddress) {
    return QStringLiteral("The update check failed. You must check for the\r\n"
                          "new version of this application manually at\r\n") +
           makerAddress + QLatin1Char('.');
}

QString downloadFailedText(const QString& makerAddress) {
    return QStringLiteral("An error has occured. You must manually download the new\r\n"
                          "version of KRVS at ") +
           makerAddress + QLatin1Char('.');
}

QString instructionsText() {
    return QStringLiteral("This feature will download the installer package\r\n"
                          "for the new version of KRVS. After the download\r\n"
                          "is complete, please exit the current running version\r\n"
                          "of KRVS before installing the new version.");
}

QString newsMissingText() {
    return QStringLiteral("Unable to get news for KRVS.");
}

} // namespace krvs::update
