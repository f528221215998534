#pragma once
#include <QByteArray>
#include <QString>

namespace krvs {

// The update dialog's transfer control: fetches a web address and returns its body,
// blocking its caller (a local event loop runs meanwhile; keyboard and mouse input
// waits). Any failure throws AppError: an address that is not http:// or https://,
// no connection, an HTTP error status (4xx, 5xx), a redirect to anything but
// http:// or https:// (or from https:// down to http://), a transfer that takes
// longer than the time-out, or a body larger than the size cap.
class HttpFetch {
  public:
    static constexpr int DefaultTimeoutMs = 15000;
    static constexpr qint64 DefaultMaxBytes = qint64{1024} * 1024;
    static constexpr int MaxRedirects = 5;

    int timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    qint64 maxBytes() const { return maxBytes_; }
    void setMaxBytes(qint64 bytes) { maxBytes_ = bytes; }

    // Fetches the address synchronously and returns the body as it came.
    QByteArray OpenURL(const QString& url) const;

  private:
    int timeoutMs_ = DefaultTimeoutMs;
    qint64 maxBytes_ = DefaultMaxBytes;
};

// The body of a fetched text file as text (UTF-8; a leading byte-order mark dropped).
QString bodyText(const QByteArray& body);

} // namespace krvs
