#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

// Text conversion with glibc's iconv.
namespace lanqi {
namespace {

constexpr int kMaxConversionPasses = 12;

// Opening an iconv converter costs far more than converting a field of a page, so each thread keeps
// the converters it has opened and resets their shift state before each use.
struct ConverterCache {
    struct Entry {
        std::string from;
        std::string to;
        iconv_t cd;
    };
    std::vector<Entry> entries;

    ~ConverterCache() {
        for (auto& e : entries) iconv_close(e.cd);
    }

    iconv_t get(const char* from, const char* to) {
        for (auto& e : entries) {
            if (e.from == from && e.to == to) {
                iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
                return e.cd;
            }
        }
        iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
        entries.push_back({from, to, cd});
        return cd;
    }
};

}  // namespace

Bytes convertText(std::string_view bytes, const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return {};
    thread_local ConverterCache cache;
    iconv_t cd = cache.get(from, to);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    if (bytes.empty()) return {};

    const size_t growth = bytes.size() / 2 + 128;
    Bytes out(bytes.size(), '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t written = 0;

    for (int pass = 0; pass < kMaxConversionPasses; ++pass) {
        char* outPtr = out.data() + written;
        size_t outLeft = out.size() - written;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            // Input consumed; flush any shift state (none for GBK or UTF-8, but cheap to honour).
            if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) return {};
            written = out.size() - outLeft;
            out.resize(written);
            return out;
        }
        if (errno != E2BIG) return {};  // EILSEQ or EINVAL: invalid or incomplete sequence
        out.resize(out.size() + growth);
    }
    return {};
}

Bytes toUtf8Lossy(std::string_view bytes, const char* from) {
    thread_local ConverterCache cache;
    iconv_t cd = cache.get(from, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    // No character of any charset takes more than four bytes in UTF-8, and U+FFFD takes three per input byte.
    Bytes out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG || outLeft < 3) break;
        // EILSEQ or EINVAL: one byte that does not convert.
        std::memcpy(outPtr, "\xEF\xBF\xBD", 3);
        outPtr += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.resize(out.size() - outLeft);
    return out;
}

bool knownCharset(const char* name) {
    thread_local ConverterCache cache;
    return name != nullptr && *name != '\0' && cache.get(name, "UTF-8") != reinterpret_cast<iconv_t>(-1);
}

}  // namespace lanqi
