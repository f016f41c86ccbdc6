#include "app/core/update_check.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/addresses.h"
#include "platform/product.h"

namespace lanqi {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// 1-based position of `needle` in `hay` comparing ASCII letters without case; -1 when missing.
int findIgnoringCase(const Text& hay, const Text& needle, bool last) {
    if (needle.empty() || needle.size() > hay.size()) return -1;
    int found = -1;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lowerAscii(hay[i + k]) == lowerAscii(needle[k])) ++k;
        if (k == needle.size()) {
            found = static_cast<int>(i) + 1;
            if (!last) break;
        }
    }
    return found;
}

// GBK row 0xA3 holds the full-width forms of ASCII 0x21..0x7E; 0xA1A1 is the full-width blank.
Text toHalfWidth(const Text& text) {
    Text out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x80 && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                out.push_back(static_cast<char>(trail - 0x80));
            } else if (lead == 0xA1 && trail == 0xA1) {
                out.push_back(' ');
            } else {
                out.append(text, i, 2);
            }
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The leading decimal number: blanks, a sign, digits with an optional point and fraction, an optional
// exponent. Only this shape is accepted (no hexadecimal, no "inf" or "nan").
float leadingDecimal(const Text& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0.0f;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    return std::strtof(text.substr(start, i - start).c_str(), nullptr);
}

}  // namespace

Text versionInfoFromBytes(const Bytes& fetched) { return fetched.substr(0, fetched.find('\0')); }

float offeredVersion(const Text& versionInfoText) {
    static const Text marker = productName() + "v";
    const int p = findIgnoringCase(versionInfoText, marker, false);
    const long long start = static_cast<long long>(p) + static_cast<long long>(marker.size()) - 1;  // 0-based
    Text candidate;
    if (start >= 0 && static_cast<size_t>(start) < versionInfoText.size())
        candidate = versionInfoText.substr(static_cast<size_t>(start), 3);
    return leadingDecimal(toHalfWidth(candidate));
}

Text updateDownloadAddress(const Text& versionInfoText) {
    const int q = findIgnoringCase(versionInfoText, "http://", true);
    Text address = q < 1 ? versionInfoText : versionInfoText.substr(static_cast<size_t>(q - 1));
    while (!address.empty() &&
           (address.back() == ' ' || address.back() == '\t' || address.back() == '\r' || address.back() == '\n'))
        address.pop_back();
    return address;
}

Text offerText(const Text& versionInfoText) {
    if (versionInfoText.size() <= kOfferTextLimit) return versionInfoText;
    // GBK: a byte from 0x81 on leads a two-byte character; stop before one that the limit would split.
    size_t end = 0;
    while (end < kOfferTextLimit) {
        const size_t width = static_cast<unsigned char>(versionInfoText[end]) >= 0x81 ? 2 : 1;
        if (end + width > kOfferTextLimit) break;
        end += width;
    }
    return versionInfoText.substr(0, end);
}

bool isWebAddress(const Text& address) {
    return findIgnoringCase(address.substr(0, 7), "http://", false) == 1 ||
           findIgnoringCase(address.substr(0, 8), "https://", false) == 1;
}

void checkForUpdate(DesktopRoles<MessageBoxes, HandOffs> desktop, const Text& versionInfoText, bool manualUpdateCheck,
                    const Text& vendorBase) {
    MessageBoxes& messages = desktop.get<MessageBoxes>();
    HandOffs& handOffs = desktop.get<HandOffs>();
    if (offeredVersion(versionInfoText) > kProductVersion) {
        const MessageAnswer answer =
            messages.showMessageBox(offerText(versionInfoText) + gbk(u8"\r\n\r\n是否更新？"),
                                    kMessageYesNo | kMessageIconInformation, gbk(u8"检测到新版本："));
        if (answer != MessageAnswer::Yes) return;
        const Text download = updateDownloadAddress(versionInfoText);
        if (!download.empty() && isWebAddress(download)) handOffs.openAddress(download);
        handOffs.openAddress(vendorBase);
        return;
    }
    if (manualUpdateCheck) {
        messages.showMessageBox(
            gbk(u8"\"") + productName() + "v" + kProductVersionText + gbk(u8"\" 已是最新版本，不需要升级。"),
            kMessageOk | kMessageIconInformation, gbk(u8"软件更新："));
    }
}

void reportUpdateServerUnreachable(MessageBoxes& messages) {
    messages.showMessageBox(gbk(u8"无法连接升级服务器，暂时不能检查更新：请检查网络连接后重新启动软件再试。"),
                            kMessageOk | kMessageIconError, gbk(u8"软件更新："));
}

}  // namespace lanqi
