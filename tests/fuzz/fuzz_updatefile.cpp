// The update files as they come from the network: the release number reads back
// as it is written, and only an absolute http(s) address with a host is ever
// handed on as the installer's address.
#include "FuzzCheck.h"

#include "update/UpdateFile.h"

#include <QUrl>
#include <cstddef>
#include <cstdint>

using namespace krvs::update;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString body =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString payload = filePayload(body);
    (void)hasTag(body, QString::fromLatin1(VersionTag));

    if (const auto r = parseRelease(payload)) {
        const auto again = parseRelease(releaseText(*r));
        FUZZ_CHECK(again && *again == *r, payload);
        FUZZ_CHECK(!(isNewer(*r, *r)), payload);
        (void)latestReleaseText(*r, runningRelease());
    }
    if (const auto address = installerAddress(payload)) {
        const QUrl url(*address, QUrl::StrictMode);
        FUZZ_CHECK(url.isValid() && !url.host().isEmpty(), *address);
        FUZZ_CHECK(url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"),
                   *address);
    }
    return 0;
}
