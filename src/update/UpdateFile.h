#pragma once
#include "util/TextAndInput.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// The three small files on the update server and the release numbers they carry.
// Each file is one text: a seven-character tag, one separator character, then the
// payload (everything from the ninth character on, line breaks included).
namespace krvs::update {

using krvs::trimBlanks; // blanks only, as the fetched files are trimmed

inline constexpr auto VersionFile = "/files/KRVS.ver";
inline constexpr auto NewsFile = "/files/KRVS.nwz";
inline constexpr auto InstallerFile = "/files/KRVS.dlf";
inline constexpr auto VersionTag = "QMX_VER";
inline constexpr auto NewsTag = "QMX_NWZ";
inline constexpr auto InstallerTag = "QMX_DLF";

// The first seven characters in upper case, so that a tag written in any case matches.
QString fileTag(const QString& body);
// Whether the file carries the tag (case-insensitive).
bool hasTag(const QString& body, const QString& tag);
// Everything from the ninth character on; empty when the file is shorter.
QString filePayload(const QString& body);

// A release number: major, minor and revision as signed 16-bit integers.
struct Release {
    qint16 major = 0;
    qint16 minor = 0;
    qint16 revision = 0;
    friend bool operator==(const Release&, const Release&) = default;
};

// One piece of a release number as a signed 16-bit integer. White space around the
// number (blanks, tabs, line breaks) is ignored, a sign and leading zeros are
// allowed; anything else, an empty piece or a value outside -32768..32767 fails.
// So a release file that ends in a line break still reads.
std::optional<qint16> toInt16(const QString& piece);

// Splits the payload at "." into at most three pieces (the third keeps any further
// dots, and then fails to convert) and converts each. Fewer than three pieces or a
// piece that is not a number gives nothing.
std::optional<Release> parseRelease(const QString& payload);

// "major.minor.revision" in plain decimal, so "0.081.00" reads back as 0.81.0.
QString releaseText(const Release& r);

// Whether the web release is newer than the running one; equal or lower is not.
bool isNewer(const Release& web, const Release& running);

// The release of this build.
Release runningRelease();

// The installer's address from the installer file's payload, when it is an absolute
// http:// or https:// address (white space around it is dropped). Anything else, a
// local path, another scheme or a damaged text, gives nothing, so that the desktop
// is never asked to open a local program or document read from the network.
std::optional<QString> installerAddress(const QString& payload);

// The program's texts around the check and the download.
QString latestReleaseText(const Release& web, const Release& running);
QString updateCaption(const Release& running, const Release& web);
QString checkFailedText(const QString& makerAddress);
QString downloadFailedText(const QString& makerAddress);
QString instructionsText();
QString newsMissingText();

} // namespace krvs::update
