#include "scrape/result_entry.h"

#include <array>
#include <utility>

namespace lanqi {
namespace {

constexpr std::array<std::string_view, 10> kArchiveExtensions{"rar", "zip", "7z", "tar", "iso",
                                                              "RAR", "ZIP", "7Z", "TAR", "ISO"};
constexpr std::array<std::string_view, 44> kVideoExtensions{
    "mp4", "3gp", "amr", "ass", "avi", "cda", "flv",  "ifo", "mkv", "mov", "mpg", "pmp", "ra",  "rm",  "smi",
    "swf", "vcd", "vob", "wav", "wma", "wmv", "rmvb", "MP4", "3GP", "AMR", "ASS", "AVI", "CDA", "FLV", "IFO",
    "MKV", "MOV", "MPG", "PMP", "RA",  "RM",  "SMI",  "SWF", "VCD", "VOB", "WAV", "WMA", "WMV", "RMVB"};

template <size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view extension) {
    for (std::string_view entry : list)
        if (entry == extension) return true;
    return false;
}

}  // namespace

const Text& placeholderTitle() {
    static const Text title = gbk(u8"*获取文件标题失败，但您依然可以点击播放或下载*");
    return title;
}

int fileKindOf(std::string_view title) {
    const size_t dot = title.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? title : title.substr(dot + 1);
    if (listed(kArchiveExtensions, extension)) return kArchive;
    if (listed(kVideoExtensions, extension)) return kVideo;
    return kOther;
}

bool isInfoHash(std::string_view hash) {
    const auto all = [&](auto digit) {
        for (char c : hash)
            if (!digit(c)) return false;
        return true;
    };
    if (hash.size() == 40)
        return all([](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); });
    if (hash.size() == 32)
        return all([](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '2' && c <= '7'); });
    return false;
}

Text magnetLinkOf(std::string_view infoHash) {
    static constexpr std::string_view kPrefix = "magnet:?xt=urn:btih:";
    if (!isInfoHash(infoHash)) infoHash = {};
    Text link;
    link.reserve(kPrefix.size() + infoHash.size());
    link.append(kPrefix).append(infoHash);
    return link;
}

void startDetailText(Text& detail, const Text& title) {
    static const Text label = gbk(u8"文件名：\r\n");
    detail.append(label).append(title);
}

void appendDownloadBlock(Text& detail, const Text& magnetLink) {
    static const Text before = gbk(u8"\r\n\r\n下载链接：");
    static const Text after =
        gbk(u8"\r\n用鼠标左键双击文件即可直接在线播放，或单击鼠标右键用迅雷影音播放。如不能播放，请使用迅雷下载。");
    detail.append(before).append(magnetLink).append(after);
}

void appendSiteLine(Text& detail, int site) {
    static const Text label = gbk(u8"\r\n\r\n文件分类：");
    detail.append(label).append(decimalText(site));
}

void cutGbkText(Text& text, size_t from, size_t limit) {
    if (text.size() <= limit) return;
    // A character begins at `end`: from `from`, or from the start when `from` lies past the limit. A byte of
    // 0x81 or more (a lead byte) and the byte after it are one character; every other byte is one.
    size_t end = from <= limit ? from : 0;
    while (end < text.size()) {
        const size_t next = end + (static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1);
        if (next > limit) break;
        end = next;
    }
    text.resize(end);
}

void trimSizeText(std::string_view raw, Bytes& out) {
    out.clear();
    const size_t dot = raw.rfind('.');
    if (dot != std::string_view::npos) out.append(raw.substr(0, dot + 2));  // substr stops at the end
    out.append(raw.substr(raw.size() >= 2 ? raw.size() - 2 : 0));
}

Bytes trimSizeText(std::string_view raw) {
    Bytes out;
    trimSizeText(raw, out);
    return out;
}

void unwrapFileItem(std::string_view raw, Bytes& out) {
    out.clear();
    const size_t firstOpen = raw.find('<');
    if (firstOpen == std::string_view::npos) return;
    out.append(raw.substr(0, firstOpen));
    const size_t firstClose = raw.find('>');
    const size_t lastOpen = raw.rfind('<');
    if (firstClose != std::string_view::npos && firstClose < lastOpen)
        out.append(raw.substr(firstClose + 1, lastOpen - firstClose - 1));
}

Bytes unwrapFileItem(std::string_view raw) {
    Bytes out;
    unwrapFileItem(raw, out);
    return out;
}

namespace {

// The character a reference body names ("amp", "#39", "#x27"), as GBK; "" when it names none GBK holds.
Text referencedCharacter(std::string_view body) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, character] : kNamed)
        if (body == name) return Text(1, character);
    if (body.size() < 2 || body[0] != '#') return {};
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 7) return {};
    unsigned long code = 0;
    for (char c : digits) {
        const int digit = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0) return {};
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    if (code < 0x80) return Text(1, static_cast<char>(code));
    std::string utf8Form;
    if (code < 0x800) {
        utf8Form = {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
    } else if (code < 0x10000) {
        utf8Form = {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (code & 0x3F))};
    } else {
        utf8Form = {static_cast<char>(0xF0 | (code >> 18)), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    }
    return gbk(utf8Form);
}

}  // namespace

Text decodeCharacterReferences(const Text& text) {
    if (text.find('&') == Text::npos) return text;
    Text out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x81 && i + 1 < text.size()) {  // a two-byte character, copied whole
            out.append(text, i, 2);
            i += 2;
            continue;
        }
        if (byte == '&') {
            const size_t end = text.find(';', i + 1);
            if (end != Text::npos && end - i <= 10) {
                const Text character = referencedCharacter(std::string_view(text).substr(i + 1, end - i - 1));
                if (!character.empty()) {
                    out += character;
                    i = end + 1;
                    continue;
                }
            }
        }
        out.push_back(static_cast<char>(byte));
        ++i;
    }
    return out;
}

}  // namespace lanqi
