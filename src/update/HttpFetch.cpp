#include "update/HttpFetch.h"

#include "krvs_version.h"
#include "util/AppError.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace krvs {

namespace {

bool isWeb(const QUrl& url) {
    const QString s = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (s == QLatin1String("http") || s == QLatin1String("https"));
}

[[noreturn]] void fail(const QString& why) {
    throw AppError::of(err::FetchFailed, why);
}

} // namespace

QByteArray HttpFetch::OpenURL(const QString& url) const {
    const QUrl target(url, QUrl::StrictMode);
    if (!isWeb(target)) fail(QStringLiteral("Not a web address: %1").arg(url));

    QNetworkAccessManager manager;
    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("KRVS/%1.%2.%3")
                                                            .arg(KRVS_VERSION_MAJOR)
                                                            .arg(KRVS_VERSION_MINOR)
                                                            .arg(KRVS_VERSION_PATCH));

    QNetworkReply* reply = manager.get(request);
    QByteArray body;
    QString refused;
    bool timedOut = false;
    QUrl current = target;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);

    auto take = [&] {
        body += reply->readAll();
        if (body.size() > maxBytes_ && refused.isEmpty()) {
            refused = QStringLiteral("The response is larger than %1 bytes").arg(maxBytes_);
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes_ && refused.isEmpty()) {
            refused = QStringLiteral("The response is larger than %1 bytes").arg(maxBytes_);
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl& to) {
        const QUrl next = current.resolved(to);
        const bool downgrade =
            current.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http");
        if (!isWeb(next) || downgrade) {
            refused = QStringLiteral("Redirect refused: %1").arg(next.toString());
            reply->abort();
            return;
        }
        current = next;
        emit reply->redirectAllowed();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });

    deadline.start(timeoutMs_);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    if (refused.isEmpty() && !timedOut && reply->isOpen()) take();

    if (timedOut) fail(QStringLiteral("The request timed out"));
    if (!refused.isEmpty()) fail(refused);
    if (reply->error() != QNetworkReply::NoError) fail(reply->errorString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        fail(QStringLiteral("The server answered with status %1").arg(status));
    return body;
}

QString bodyText(const QByteArray& body) {
    QByteArray b = body;
    if (b.startsWith("\xEF\xBB\xBF")) b.remove(0, 3);
    return QString::fromUtf8(b);
}

} // namespace krvs
