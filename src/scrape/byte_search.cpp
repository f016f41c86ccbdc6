#include "scrape/byte_search.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lanqi {
namespace {

// Positions are ints, and a position plus a marker length must stay one: a page longer than INT_MAX / 2
// bytes (far beyond the fetch cap) is searched in its first part only.
constexpr size_t kMaxSearched = static_cast<size_t>(INT_MAX / 2);

std::string_view searchable(std::string_view page) { return page.substr(0, std::min(page.size(), kMaxSearched)); }

bool isAscii(std::string_view bytes) {
    // Eight bytes at a time: any high bit set means a non-ASCII byte.
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        unsigned long long word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ULL) return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) & 0x80) return false;
    return true;
}

}  // namespace

int findFrom(std::string_view page, std::string_view marker, int start) {
    page = searchable(page);
    if (marker.empty()) return -1;
    const size_t from = start <= 0 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= page.size()) return -1;
    const size_t at = page.find(marker, from);
    return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int findLastBefore(std::string_view page, std::string_view marker, int limit) {
    return findLastWithin(page, marker, 1, limit);
}

namespace {

// The last `c` among the first `n` bytes at `window`: glibc's memrchr where there is one.
const void* lastByte(const char* window, char c, size_t n) {
#if defined(__GLIBC__)
    return memrchr(window, c, n);
#else
    for (size_t i = n; i > 0; --i)
        if (window[i - 1] == c) return window + i - 1;
    return nullptr;
#endif
}

}  // namespace

int findLastWithin(std::string_view page, std::string_view marker, int from, int limit) {
    page = searchable(page);
    if (marker.empty() || limit <= 0) return -1;
    const size_t first = from <= 0 ? 0 : static_cast<size_t>(from) - 1;
    const size_t last = std::min(page.size(), static_cast<size_t>(limit));  // bytes [first, last) may hold it
    if (first >= last || last - first < marker.size()) return -1;
    // Backwards over the candidates for the marker's first byte (string_view::rfind compares at every
    // position instead).
    const char* window = page.data() + first;
    size_t candidates = last - first - marker.size() + 1;  // starts 0 .. candidates-1 fit in the window
    while (candidates > 0) {
        const void* hit = lastByte(window, marker.front(), candidates);
        if (hit == nullptr) return -1;
        const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - window);
        if (std::memcmp(window + at, marker.data(), marker.size()) == 0) return static_cast<int>(first + at) + 1;
        candidates = at;
    }
    return -1;
}

std::string_view sliceBytes(std::string_view page, int first, int end) {
    page = searchable(page);
    const long long begin = std::max(first, 1);
    const long long stop = std::min(static_cast<long long>(end), static_cast<long long>(page.size()) + 1);
    if (stop <= begin) return {};
    return page.substr(static_cast<size_t>(begin - 1), static_cast<size_t>(stop - begin));
}

Text gbkFromUtf8(std::string_view bytes) {
    if (isAscii(bytes)) return Text(bytes);
    return convertText(bytes, "UTF-8", "GBK");
}

void appendGbkFromUtf8(Text& out, std::string_view bytes) {
    if (isAscii(bytes)) {
        out.append(bytes);
        return;
    }
    out.append(convertText(bytes, "UTF-8", "GBK"));
}

Text cutField(std::string_view page, int first, int end) { return gbkFromUtf8(sliceBytes(page, first, end)); }

Text stripTag(const Text& text, std::string_view tag) {
    if (tag.empty()) return text;
    size_t at = text.find(tag);
    if (at == Text::npos) return text;
    Text out;
    out.reserve(text.size());
    size_t piece = 0;
    for (; at != Text::npos; at = text.find(tag, piece)) {
        out.append(text, piece, at - piece);
        piece = at + tag.size();
    }
    out.append(text, piece, Text::npos);
    return out;
}

}  // namespace lanqi
