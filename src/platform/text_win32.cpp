#include "platform/text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/win32_text.h"

// Text conversion with the code pages of Windows: MultiByteToWideChar and WideCharToMultiByte through UTF-16.
// Both report the exact size of their output, so a conversion is one sizing call and one converting call per
// direction; no growing buffer is needed.
namespace lanqi {
namespace {

struct CodePage {
    const char* name;
    unsigned page;
};

constexpr CodePage kCodePages[] = {
    {"GBK", 936},           {"CP936", 936},    {"GB2312", 936},    {"UTF-8", CP_UTF8},    {"UTF8", CP_UTF8},
    {"GB18030", 54936},     {"BIG5", 950},     {"CP950", 950},     {"SHIFT_JIS", 932},    {"SJIS", 932},
    {"CP932", 932},         {"EUC-KR", 51949}, {"CP949", 949},     {"ISO-8859-1", 28591}, {"LATIN1", 28591},
    {"WINDOWS-1252", 1252}, {"CP1252", 1252},  {"UTF-16LE", 1200},
};

// UTF-16 of `bytes` in code page `page`; false when a byte sequence is not a character of it.
bool toWide(std::string_view bytes, unsigned page, std::wstring& wide) {
    wide.clear();
    if (bytes.empty()) return true;
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return false;
    wide.resize(static_cast<size_t>(needed));
    return ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), needed) == needed;
}

// `wide` in code page `page`; false when a character has no form there (no best-fit stand-ins).
bool fromWide(std::wstring_view wide, unsigned page, std::string& bytes) {
    bytes.clear();
    if (wide.empty()) return true;
    const int length = static_cast<int>(wide.size());
    const bool utf8Page = page == CP_UTF8;
    const DWORD flags = utf8Page ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = utf8Page ? nullptr : &defaulted;
    const int needed = ::WideCharToMultiByte(page, flags, wide.data(), length, nullptr, 0, nullptr, usedDefault);
    if (needed <= 0 || defaulted) return false;
    bytes.resize(static_cast<size_t>(needed));
    const int written =
        ::WideCharToMultiByte(page, flags, wide.data(), length, bytes.data(), needed, nullptr, usedDefault);
    return written == needed && !defaulted;
}

}  // namespace

unsigned codePageOf(std::string_view charset) {
    for (const CodePage& entry : kCodePages) {
        const std::string_view name(entry.name);
        if (name.size() != charset.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(charset[i])) == static_cast<unsigned char>(name[i]);
        if (same) return entry.page;
    }
    return 0;
}

std::wstring widen(std::string_view utf8Text) {
    std::wstring wide;
    return toWide(utf8Text, CP_UTF8, wide) ? wide : std::wstring();
}

std::string narrow(std::wstring_view wide) {
    std::string bytes;
    return fromWide(wide, CP_UTF8, bytes) ? bytes : std::string();
}

Bytes convertText(std::string_view bytes, const char* from, const char* to) {
    if (from == nullptr || to == nullptr || bytes.empty()) return {};
    const unsigned fromPage = codePageOf(from), toPage = codePageOf(to);
    if (fromPage == 0 || toPage == 0) return {};
    std::wstring wide;
    Bytes out;
    if (fromPage == 1200) {
        if (bytes.size() % 2 != 0) return {};
        wide.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    } else if (!toWide(bytes, fromPage, wide)) {
        return {};
    }
    if (toPage == 1200) return Bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    return fromWide(wide, toPage, out) ? out : Bytes();
}

Bytes toUtf8Lossy(std::string_view bytes, const char* from) {
    const unsigned page = codePageOf(from == nullptr ? "" : from);
    if (page == 0 || page == 1200) return {};
    Bytes out;
    std::wstring wide;
    std::string piece;
    // Whole runs convert in one call; a run with a byte that does not convert goes character by character,
    // each such byte becoming U+FFFD.
    constexpr size_t kRun = 64 * 1024;
    for (size_t at = 0; at < bytes.size();) {
        const size_t run = std::min(kRun, bytes.size() - at);
        // A run may end inside a character: its last one to three bytes are then left for the next run.
        bool converted = false;
        for (size_t trim = 0; trim < 4 && trim < run && !converted; ++trim) {
            if (toWide(bytes.substr(at, run - trim), page, wide) && fromWide(wide, CP_UTF8, piece)) {
                out += piece;
                at += run - trim;
                converted = true;
            }
        }
        if (converted) continue;
        // The run holds a byte that does not convert: character by character up to the run's end.
        for (const size_t end = at + run; at < end;) {
            size_t length = 1;
            while (length <= 4 && at + length <= bytes.size() &&
                   !(toWide(bytes.substr(at, length), page, wide) && fromWide(wide, CP_UTF8, piece)))
                ++length;
            if (length <= 4 && at + length <= bytes.size()) {
                out += piece;
                at += length;
            } else {
                out += "\xEF\xBF\xBD";
                at += 1;
            }
        }
    }
    return out;
}

bool knownCharset(const char* name) { return name != nullptr && codePageOf(name) != 0; }

}  // namespace lanqi
