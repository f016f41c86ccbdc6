#include "app/core/json_writer.h"

#include <cstdio>

namespace lanqi {
namespace {

// Length of the valid UTF-8 sequence at the start of `s`, or 0.
size_t validSequenceLength(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    size_t n = c < 0x80                   ? 1
               : (c >= 0xC2 && c <= 0xDF) ? 2
               : (c >= 0xE0 && c <= 0xEF) ? 3
               : (c >= 0xF0 && c <= 0xF4) ? 4
                                          : 0;
    if (n == 0 || n > s.size()) return 0;
    for (size_t i = 1; i < n; ++i)
        if ((b(i) & 0xC0) != 0x80) return 0;
    if (n == 3 && ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) > 0x9F))) return 0;
    if (n == 4 && ((c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) > 0x8F))) return 0;
    return n;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view s) {
    out.push_back('"');
    while (!s.empty()) {
        const unsigned char c = static_cast<unsigned char>(s[0]);
        const size_t n = validSequenceLength(s);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            s.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(s.substr(0, n));
        }
        s.remove_prefix(n);
    }
    out.push_back('"');
}

void JsonObject::key(std::string_view name) {
    if (m_body.size() > 1) m_body.push_back(',');
    appendJsonString(m_body, name);
    m_body.push_back(':');
}

JsonObject& JsonObject::text(std::string_view name, std::string_view utf8Value) {
    key(name);
    appendJsonString(m_body, utf8Value);
    return *this;
}

JsonObject& JsonObject::number(std::string_view name, long long value) {
    key(name);
    m_body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::boolean(std::string_view name, bool value) {
    key(name);
    m_body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::raw(std::string_view name, std::string_view json) {
    key(name);
    m_body.append(json);
    return *this;
}

}  // namespace lanqi
