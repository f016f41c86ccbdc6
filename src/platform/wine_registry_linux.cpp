#include "platform/wine_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/desktop.h"

extern char** environ;

namespace lanqi {
namespace {

// A registry file looks like this (Wine 8):
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\User\\S-1-5-21-0-0-0-1000
//
//   #arch=win64
//
//   [Software\\Lanqi\\Fixture] 1796741294
//   #time=1dd8723277d4d70
//   @="default of fixture"
//   "Chinese"="\x8fc5\x96f7 \x64ad"
//   "Dword"=dword:0000002a
//   "Expand"=str(2):"%LANQI_FIXTURE_HOME%\\bin"
//   "Binary"=hex:01,02,ff,\      (long data goes on in the next line)
//     03,04
//
// Names and strings use C-like escapes; "\xHHHH" is one UTF-16 code unit and other bytes are UTF-8. Keys are
// relative to the root named in the ";;" line; "\\" separates their components.

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::string_view kRootComment = ";; All keys relative to ";
constexpr std::size_t kMaxValueBytes = kMaxRegistryLineBytes;
constexpr std::size_t kReadChunk = 64 * 1024;

enum class ValueType { String, ExpandString, Other };

struct FoundValue {
    ValueType type = ValueType::Other;
    std::string text;  // UTF-8, for the two string types
};

// What one file is asked for. Paths and names are UTF-8 with "\" between key components.
struct HiveLookup {
    std::string keyPath;
    std::string valueName;
    std::string rootName;  // when set, the last component of the file's root must be this (ignoring case)
};

// Reads a file line by line through a fixed buffer.
class LineReader {
  public:
    enum class Status { Line, End, Broken };

    explicit LineReader(std::FILE* file) : m_file(file), m_buffer(new char[kReadChunk]) {}

    // Next line without its "\n" (and a "\r" before it). Broken for a line over the limit, a read error, and a
    // last line without "\n": a file Wine finished writing always ends in one.
    Status next(std::string& line) {
        line.clear();
        for (;;) {
            if (m_pos == m_len) {
                if (m_atEnd) return line.empty() ? Status::End : Status::Broken;
                m_len = std::fread(m_buffer.get(), 1, kReadChunk, m_file);
                m_pos = 0;
                m_total += m_len;
                if (m_total > kMaxRegistryFileBytes) return Status::Broken;  // it grew while being read
                if (m_len < kReadChunk) {
                    if (std::ferror(m_file)) return Status::Broken;
                    m_atEnd = true;
                }
                continue;
            }
            const char* start = m_buffer.get() + m_pos;
            const void* newline = std::memchr(start, '\n', m_len - m_pos);
            const std::size_t take = newline ? static_cast<const char*>(newline) - start : m_len - m_pos;
            if (line.size() + take > kMaxRegistryLineBytes) return Status::Broken;
            line.append(start, take);
            m_pos += take;
            if (newline) {
                ++m_pos;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return Status::Line;
            }
        }
    }

  private:
    std::FILE* m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    unsigned long long m_total = 0;
    bool m_atEnd = false;
};

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

unsigned hexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

void appendUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Turns UTF-16 code units into UTF-8. GBK has no character outside the basic plane, so a surrogate (paired or
// not) becomes U+FFFD, which GBK lacks too: a value holding one reads as "".
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(std::string* out) : m_out(out) {}

    void unit(char16_t u) {
        if (m_out != nullptr) appendUtf8(*m_out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    // A byte of the file taken as it stands (the file's own UTF-8).
    void raw(char c) {
        if (m_out != nullptr) m_out->push_back(c);
    }
    std::size_t size() const { return m_out ? m_out->size() : 0; }

  private:
    std::string* m_out;
};

// Decodes an escaped name or string starting at `pos` up to the first unescaped `end` character, which is
// consumed; `end` == '\0' decodes to the end of the line. Appends UTF-8 to `out` when it is not null. False when
// the line ends first (with end != '\0') or the text grows past the value limit.
bool decodeEscaped(std::string_view line, std::size_t& pos, char end, std::string* out) {
    Utf16ToUtf8 sink(out);
    while (pos < line.size()) {
        const char c = line[pos];
        if (end != '\0' && c == end) {
            ++pos;
            return true;
        }
        if (c != '\\') {
            sink.raw(c);
            ++pos;
        } else {
            ++pos;
            if (pos == line.size()) return false;
            const char e = line[pos];
            static constexpr std::string_view kNamed = "abefnrtv";
            static constexpr char kNamedValues[] = {'\a', '\b', '\x1b', '\f', '\n', '\r', '\t', '\v'};
            if (const auto named = kNamed.find(e); named != std::string_view::npos) {
                sink.unit(static_cast<char16_t>(kNamedValues[named]));
                ++pos;
            } else if (e == 'x') {
                ++pos;
                if (pos == line.size() || !isHexDigit(line[pos])) {
                    sink.unit(u'x');
                } else {
                    unsigned v = 0;
                    for (int i = 0; i < 4 && pos < line.size() && isHexDigit(line[pos]); ++i, ++pos)
                        v = v * 16 + hexValue(line[pos]);
                    sink.unit(static_cast<char16_t>(v));
                }
            } else if (e >= '0' && e <= '7') {
                unsigned v = 0;
                for (int i = 0; i < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++i, ++pos)
                    v = v * 8 + static_cast<unsigned>(line[pos] - '0');
                sink.unit(static_cast<char16_t>(v));
            } else {
                sink.raw(e);  // "\\", "\"", "\[", "\]" and any other escaped character stand for themselves
                ++pos;
            }
        }
        if (sink.size() > kMaxValueBytes) return false;
    }
    return end == '\0';
}

// Reads "xx,xx,...,xx" from `pos`, appending the bytes to `out` when it is not null. Sets `continues` when the
// line ends in "\" (the data goes on in the next line). False for anything else in the data.
bool decodeHexBytes(std::string_view line, std::size_t pos, std::string* out, bool& continues) {
    continues = false;
    bool needSeparator = false;
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == ' ' || c == '\t') {
            ++pos;
        } else if (c == ',' && needSeparator) {
            needSeparator = false;
            ++pos;
        } else if (c == '\\') {
            for (++pos; pos < line.size(); ++pos)
                if (line[pos] != ' ' && line[pos] != '\t') return false;
            continues = true;
            return true;
        } else if (isHexDigit(c) && !needSeparator) {
            unsigned v = hexValue(c);
            ++pos;
            if (pos < line.size() && isHexDigit(line[pos])) v = v * 16 + hexValue(line[pos++]);
            if (out != nullptr) {
                if (out->size() >= kMaxValueBytes) return false;
                out->push_back(static_cast<char>(v));
            }
            needSeparator = true;
        } else {
            return false;
        }
    }
    return true;
}

bool onlyBlanksFrom(std::string_view line, std::size_t pos) {
    for (; pos < line.size(); ++pos)
        if (line[pos] != ' ' && line[pos] != '\t') return false;
    return true;
}

// UTF-16LE bytes of a string value written in hex form, up to the first zero unit.
std::string utf16leToUtf8(std::string_view bytes) {
    std::string out;
    Utf16ToUtf8 sink(&out);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto u = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (u == 0) break;
        sink.unit(u);
    }
    return out;
}

std::string lastComponent(std::string_view path) {
    const auto cut = path.rfind('\\');
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// One pass over one registry file. Returns the looked-up value, or nullopt when it is missing or the file is
// unusable.
class HiveScan {
  public:
    explicit HiveScan(const HiveLookup& lookup) : m_lookup(lookup) {}

    std::optional<FoundValue> run(const std::string& file) {
        // Only a regular file of at most kMaxRegistryFileBytes is read: a FIFO or a device there would hold up
        // the window (the open does not wait for a writer), and a huge file is no registry Wine wrote.
        const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
            static_cast<unsigned long long>(st.st_size) > kMaxRegistryFileBytes) {
            ::close(fd);
            return std::nullopt;
        }
        std::FILE* f = ::fdopen(fd, "rb");
        if (f == nullptr) {
            ::close(fd);
            return std::nullopt;
        }
        const bool intact = scan(f);
        std::fclose(f);
        if (!intact || !m_found) return std::nullopt;
        if (!m_lookup.rootName.empty() && !equalIgnoringAsciiCase(lastComponent(m_root), m_lookup.rootName))
            return std::nullopt;
        return finish();
    }

  private:
    bool scan(std::FILE* f) {
        LineReader reader(f);
        std::string line;
        if (reader.next(line) != LineReader::Status::Line || line != kHeader) return false;
        for (;;) {
            switch (reader.next(line)) {
                case LineReader::Status::End:
                    return !m_continuing;
                case LineReader::Status::Broken:
                    return false;
                case LineReader::Status::Line:
                    break;
            }
            if (!parseLine(line)) return false;
        }
    }

    bool parseLine(std::string_view line) {
        if (m_continuing) {
            bool continues = false;
            if (!decodeHexBytes(line, 0, m_collecting ? &m_hex : nullptr, continues)) return false;
            m_continuing = continues;
            return true;
        }
        std::size_t pos = 0;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos == line.size()) return true;
        switch (line[pos]) {
            case ';':
                if (line.substr(pos).starts_with(kRootComment)) {
                    std::size_t at = pos + kRootComment.size();
                    m_root.clear();
                    return decodeEscaped(line, at, '\0', &m_root);
                }
                return true;
            case '#':
                return true;
            case '[':
                return parseKey(line, pos + 1);
            case '@':
            case '"':
                return parseValue(line, pos);
            default:
                return false;
        }
    }

    bool parseKey(std::string_view line, std::size_t pos) {
        m_key.clear();
        if (!decodeEscaped(line, pos, ']', &m_key)) return false;
        m_inKey = true;
        m_inTargetKey = equalIgnoringAsciiCase(m_key, m_lookup.keyPath);
        return true;
    }

    bool parseValue(std::string_view line, std::size_t pos) {
        if (!m_inKey) return false;
        m_name.clear();
        if (line[pos] == '@') {
            ++pos;
        } else {
            ++pos;
            if (!decodeEscaped(line, pos, '"', &m_name)) return false;
        }
        if (pos == line.size() || line[pos] != '=') return false;
        ++pos;
        const bool target = m_inTargetKey && equalIgnoringAsciiCase(m_name, m_lookup.valueName);
        const std::string_view data = line.substr(pos);

        if (data.starts_with('"') || data.starts_with("str(")) {
            ValueType type = ValueType::String;
            if (data.starts_with("str(")) {
                unsigned number = 0;
                if (!readTypeNumber(line, pos += 4, number)) return false;
                if (pos == line.size() || line[pos] != ':') return false;
                ++pos;
                type = number == 1 ? ValueType::String : number == 2 ? ValueType::ExpandString : ValueType::Other;
            }
            if (pos == line.size() || line[pos] != '"') return false;
            ++pos;
            std::string text;
            if (!decodeEscaped(line, pos, '"', target ? &text : nullptr)) return false;
            if (!onlyBlanksFrom(line, pos)) return false;
            if (target) keep(type, std::move(text));
            return true;
        }
        if (data.starts_with("dword:")) {
            pos += 6;
            const std::size_t first = pos;
            while (pos < line.size() && isHexDigit(line[pos])) ++pos;
            if (pos == first || pos - first > 8 || !onlyBlanksFrom(line, pos)) return false;
            if (target) keep(ValueType::Other, {});
            return true;
        }
        if (data.starts_with("hex:") || data.starts_with("hex(")) {
            unsigned number = 3;  // plain "hex:" is binary data
            pos += 3;
            if (line[pos] == '(' && !readTypeNumber(line, ++pos, number)) return false;
            if (pos == line.size() || line[pos] != ':') return false;
            ++pos;
            m_collecting = target;
            if (target) {
                m_found = true;
                m_valueIsHex = true;
                m_hexType = number;
                m_hex.clear();
            }
            return decodeHexBytes(line, pos, target ? &m_hex : nullptr, m_continuing);
        }
        return false;
    }

    // Reads hex digits up to ")" (consumed).
    static bool readTypeNumber(std::string_view line, std::size_t& pos, unsigned& number) {
        const std::size_t first = pos;
        number = 0;
        while (pos < line.size() && isHexDigit(line[pos]) && pos - first < 8)
            number = number * 16 + hexValue(line[pos++]);
        if (pos == first || pos == line.size() || line[pos] != ')') return false;
        ++pos;
        return true;
    }

    void keep(ValueType type, std::string text) {
        m_found = true;
        m_valueIsHex = false;
        m_value.type = type;
        m_value.text = std::move(text);
    }

    FoundValue finish() {
        if (m_valueIsHex) {
            // A string that Wine could not write as text (no terminating zero) is written as hex(1) or hex(2).
            if (m_hexType == 1) return {ValueType::String, utf16leToUtf8(m_hex)};
            if (m_hexType == 2) return {ValueType::ExpandString, utf16leToUtf8(m_hex)};
            return {ValueType::Other, {}};
        }
        FoundValue value = m_value;
        if (const auto zero = value.text.find('\0'); zero != std::string::npos) value.text.resize(zero);
        return value;
    }

    const HiveLookup& m_lookup;
    std::string m_root;
    std::string m_key;
    std::string m_name;
    bool m_inKey = false;
    bool m_inTargetKey = false;
    bool m_continuing = false;  // the previous line ended inside hex data
    bool m_collecting = false;  // ... of the looked-up value
    std::string m_hex;
    unsigned m_hexType = 0;
    bool m_found = false;
    bool m_valueIsHex = false;
    FoundValue m_value;
};

}  // namespace

std::string winePrefixDirectory() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') return prefix;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.wine";
    return {};
}

std::string expandEnvironmentReferences(std::string_view text) {
    const auto lookUp = [](std::string_view name) -> const char* {
        if (name.empty() || name.find('=') != std::string_view::npos || name.find('\0') != std::string_view::npos)
            return nullptr;
        if (const char* exact = std::getenv(std::string(name).c_str())) return exact;
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            const std::string_view variable(*entry);
            const auto equals = variable.find('=');
            if (equals != std::string_view::npos && equalIgnoringAsciiCase(variable.substr(0, equals), name))
                return *entry + equals + 1;
        }
        return nullptr;
    };

    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const auto close = text.find('%', open + 1);
        if (close == std::string_view::npos) {  // no closing "%": the rest stands as written
            out.append(text.substr(open));
            break;
        }
        if (const char* value = lookUp(text.substr(open + 1, close - open - 1))) {
            out.append(value);
        } else {
            out.append(text.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    return out;
}

namespace {

struct SplitPath {
    std::string key;    // UTF-8, may be empty (the root itself)
    std::string value;  // UTF-8, empty for the default value
};

// GBK "key\value" to UTF-8 parts. The split is made after the conversion: a GBK trail byte may be "\".
std::optional<SplitPath> splitRegistryPath(const Text& path) {
    const std::string text = path.empty() ? std::string() : utf8(path);
    if (text.empty() && !path.empty()) return std::nullopt;
    SplitPath split;
    if (const auto cut = text.rfind('\\'); cut == std::string::npos) {
        split.value = text;
    } else {
        split.key = text.substr(0, cut);
        split.value = text.substr(cut + 1);
    }
    // "a\\b", a leading or a trailing "\" name a key no registry holds.
    if (!split.key.empty() &&
        (split.key.front() == '\\' || split.key.back() == '\\' || split.key.find("\\\\") != std::string::npos))
        return std::nullopt;
    return split;
}

std::string underKey(std::string_view parent, const std::string& key) {
    return key.empty() ? std::string(parent) : std::string(parent) + "\\" + key;
}

std::optional<FoundValue> findValue(const std::string& prefix, int root, const Text& path) {
    if (prefix.empty()) return std::nullopt;
    const auto split = splitRegistryPath(path);
    if (!split) return std::nullopt;
    const auto file = [&prefix](const char* name) { return prefix + "/" + name; };
    const auto scan = [](const std::string& fileName, HiveLookup lookup) { return HiveScan(lookup).run(fileName); };

    switch (root) {
        case kRegistryClassesRoot: {
            const std::string key = underKey("Software\\Classes", split->key);
            if (auto user = scan(file("user.reg"), {key, split->value, {}})) return user;
            return scan(file("system.reg"), {key, split->value, {}});
        }
        case kRegistryCurrentConfig:
            return scan(
                file("system.reg"),
                {underKey("System\\CurrentControlSet\\Hardware Profiles\\Current", split->key), split->value, {}});
        case kRegistryLocalMachine:
            return scan(file("system.reg"), {split->key, split->value, {}});
        case kRegistryUsers: {
            const auto cut = split->key.find('\\');
            const std::string user = split->key.substr(0, cut);
            const std::string rest = cut == std::string::npos ? std::string() : split->key.substr(cut + 1);
            if (user.empty()) return std::nullopt;
            return scan(file(equalIgnoringAsciiCase(user, ".DEFAULT") ? "userdef.reg" : "user.reg"),
                        {rest, split->value, user});
        }
        default:
            return scan(file("user.reg"), {split->key, split->value, {}});
    }
}

}  // namespace

std::optional<Text> WineRegistry::readText(int root, const Text& path) const {
    auto value = findValue(m_prefix, root, path);
    if (!value || value->type == ValueType::Other) return std::nullopt;
    const std::string text =
        value->type == ValueType::ExpandString ? expandEnvironmentReferences(value->text) : value->text;
    return convertText(text, "UTF-8", "GBK");
}

bool WineRegistry::valueExists(int root, const Text& path) const { return findValue(m_prefix, root, path).has_value(); }

}  // namespace lanqi
