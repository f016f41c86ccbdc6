#include "scrape/result_entry.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "scrape/scrape.h"

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

Text infoHashKey(std::string_view hash) {
    if (!isInfoHash(hash)) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    Text key;
    key.reserve(40);
    if (hash.size() == 40) {
        for (char c : hash) key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        return key;
    }
    // 32 base32 characters are 160 bits: five bits each, read four at a time as hexadecimal digits.
    unsigned buffer = 0;
    int bits = 0;
    for (char c : hash) {
        const unsigned char u = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
        buffer = (buffer << 5) | static_cast<unsigned>(u >= 'A' && u <= 'Z' ? u - 'A' : u - '2' + 26);
        bits += 5;
        while (bits >= 4) {
            bits -= 4;
            key.push_back(kHex[(buffer >> bits) & 0xF]);
        }
        buffer &= (1u << bits) - 1;
    }
    return key;
}

namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<unsigned long long> sizeInBytes(std::string_view printed) {
    printed = trimBlanks(printed);
    size_t i = 0;
    while (i < printed.size() && (isDigit(printed[i]) || printed[i] == '.')) ++i;
    if (i == 0) return std::nullopt;
    const std::string number(printed.substr(0, i));
    if (number.find('.') != number.rfind('.')) return std::nullopt;
    std::string unit;
    for (char c : trimBlanks(printed.substr(i)))
        unit.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    static constexpr std::array<std::string_view, 5> kUnits{"B", "KB", "MB", "GB", "TB"};
    double scale = 0;
    if (unit == "BYTES" || unit == "BYTE") scale = 1;
    for (size_t k = 0; k < kUnits.size(); ++k) {
        if (unit == kUnits[k] || (k > 0 && unit == std::string(1, kUnits[k][0]) + "IB"))
            scale = std::pow(1024.0, static_cast<double>(k));
    }
    if (scale == 0) return std::nullopt;
    const double bytes = std::strtod(number.c_str(), nullptr) * scale;
    if (!(bytes >= 0) || bytes > static_cast<double>(std::numeric_limits<long long>::max())) return std::nullopt;
    return static_cast<unsigned long long>(std::llround(bytes));
}

std::optional<ResultDate> dateOf(std::string_view text) {
    text = trimBlanks(text);
    size_t at = 0;
    // The digits at `at`, at least `least` and at most `most` of them; -1 when fewer.
    const auto number = [&](size_t least, size_t most) {
        int value = 0;
        size_t digits = 0;
        while (at < text.size() && isDigit(text[at]) && digits < most) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        return digits < least ? -1 : value;
    };
    ResultDate date;
    date.year = number(4, 4);
    if (date.year < 0 || at >= text.size()) return std::nullopt;
    const char separator = text[at];
    if (separator != '-' && separator != '/' && separator != '.') return std::nullopt;
    ++at;
    date.month = number(1, 2);
    if (date.month < 1 || date.month > 12 || at >= text.size() || text[at] != separator) return std::nullopt;
    ++at;
    date.day = number(1, 2);
    if (at < text.size() && isDigit(text[at])) return std::nullopt;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    const int days = date.month == 2 && leap ? 29 : kDays[date.month - 1];
    if (date.day < 1 || date.day > days) return std::nullopt;
    return date;
}

ListedFile listedFileOf(Text entry) {
    ListedFile file;
    const std::string_view line = trimBlanks(entry);
    // The size is the last one or two blank-separated words: "7.6GB", or "6.15" and "GB". A GBK trail byte
    // is never a blank, so the search cannot land inside a character.
    size_t cut = line.rfind(' ');
    for (int words = 1; words <= 2 && cut != std::string_view::npos; ++words) {
        const std::string_view tail = trimBlanks(line.substr(cut + 1));
        if (const auto bytes = sizeInBytes(tail)) {
            file.name = Text(trimBlanks(line.substr(0, cut)));
            file.sizeText = Text(tail);
            file.sizeBytes = bytes;
            break;
        }
        cut = cut == 0 ? std::string_view::npos : line.rfind(' ', cut - 1);
    }
    if (!file.sizeBytes) file.name = Text(line);
    file.entry = std::move(entry);
    return file;
}

void fillResultField(ResultItem& item, ResultField field, std::string_view value) {
    const std::string_view trimmed = trimBlanks(value);
    switch (field) {
        case ResultField::Size:
            item.sizeText = Text(trimmed);
            item.sizeBytes = sizeInBytes(trimmed);
            return;
        case ResultField::FileCount: {
            item.fileCount.reset();
            const std::string digits(trimmed);
            char* stop = nullptr;
            const long long n = std::strtoll(digits.c_str(), &stop, 10);
            if (!digits.empty() && stop != digits.c_str() && *stop == '\0' && n >= 0) item.fileCount = n;
            return;
        }
        case ResultField::Date:
            item.dateText = Text(trimmed);
            item.date = dateOf(trimmed);
            return;
        case ResultField::DescriptionUrl:
            item.descriptionUrl = Text(trimmed);
            return;
        case ResultField::Other:
            return;
    }
}

size_t cappedDetailSize(size_t before, std::string_view label, std::string_view value) {
    const size_t cap = static_cast<size_t>(kMaxDetailBytes);
    if (before >= cap) return before;
    if (before + label.size() + value.size() <= cap) return before + label.size() + value.size();
    // A byte of 0x81 or more (a lead byte) and the byte after it are one character; every other byte is one.
    // The text ends after the last whole character that fits.
    const size_t room = cap - before;
    const auto byteAt = [&](size_t i) {
        return static_cast<unsigned char>(i < label.size() ? label[i] : value[i - label.size()]);
    };
    size_t end = 0;
    while (end < label.size() + value.size()) {
        const size_t next = end + (byteAt(end) >= 0x81 ? 2 : 1);
        if (next > room) break;
        end = next;
    }
    return before + end;
}

namespace {

// Appends `label` and `value` to the details text, as far as kMaxDetailBytes allows: once the details are
// full, nothing more.
void appendCapped(Text& detail, std::string_view label, std::string_view value) {
    const size_t after = cappedDetailSize(detail.size(), label, value);
    if (after == detail.size()) return;
    detail.append(label).append(value);
    detail.resize(after);
}

}  // namespace

Text formatDetailText(const ResultItem& item) {
    Text detail;
    startDetailText(detail, item.title);
    for (const DetailPart& part : item.detailParts) {
        switch (part.kind) {
            case DetailPart::Download:
                appendDownloadBlock(detail, item.magnetLink);
                break;
            case DetailPart::Line:
                if (part.first < item.lines.size())
                    appendCapped(detail, item.lines[part.first].label, item.lines[part.first].value);
                break;
            case DetailPart::Files:
                for (size_t i = 0; i < part.count && part.first + i < item.files.size(); ++i)
                    appendCapped(detail, i == 0 ? std::string_view(part.header) : std::string_view("\r\n\r\n"),
                                 item.files[part.first + i].entry);
                break;
        }
    }
    appendSiteLine(detail, item.site);
    return detail;
}

size_t rowBytes(const ResultItem& item) {
    size_t bytes = item.title.size() + item.magnetLink.size() + item.detailText.size() + item.infoHash.size() +
                   item.hashKey.size() + item.sizeText.size() + item.dateText.size() + item.descriptionUrl.size();
    for (const ListedFile& file : item.files) bytes += file.entry.size() + file.name.size() + file.sizeText.size();
    for (const DetailLine& line : item.lines) bytes += line.label.size() + line.value.size();
    for (const DetailPart& part : item.detailParts) bytes += part.header.size();
    return bytes;
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
