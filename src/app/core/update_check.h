#pragma once

#include <cstddef>

#include "platform/desktop.h"

namespace lanqi {

// versionInfoText from the fetched version file: its bytes up to the first zero byte; "" for a failed fetch.
Text versionInfoFromBytes(const Bytes& fetched);

// The version the vendor's version file offers: the 3 bytes just after the first "岚栖种子搜索神器v"
// (letter case ignored; position 16 when the marker is missing), full-width characters made half-width,
// then the leading decimal number in single precision; 0 when there is none.
float offeredVersion(const Text& versionInfoText);

// The text from the last "http://" (letter case ignored) to the end, without the blanks, tabs, CR and LF
// that end it; the whole text (so trimmed) when there is none.
Text updateDownloadAddress(const Text& versionInfoText);

// What the offer box shows of the version file: at most its first 2,000 bytes, cut before a character
// that would not fit whole, so that a huge file can never hold up the window.
inline constexpr std::size_t kOfferTextLimit = 2000;
Text offerText(const Text& versionInfoText);

// True for an address that starts with "http://" or "https://", letter case ignored.
bool isWebAddress(const Text& address);

// Offers a newer version when the version file announces one (showing offerText); with
// `manualUpdateCheck` also reports that the running version is the latest. After Yes it opens the download address, but
// only when it is a web address (the file arrives over plain HTTP and must not make the shell open a local program),
// and then the vendor site at `vendorBase`.
void checkForUpdate(DesktopRoles<MessageBoxes, HandOffs> desktop, const Text& versionInfoText, bool manualUpdateCheck,
                    const Text& vendorBase);

// What a check the user asked for says when the version file could not be fetched at start-up.
void reportUpdateServerUnreachable(MessageBoxes& messages);

}  // namespace lanqi
