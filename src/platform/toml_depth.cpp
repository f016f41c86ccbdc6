#include "platform/toml_depth.h"

namespace lanqi {

long tomlTooDeepLine(std::string_view text) {
    long line = 1;
    int open = 0;  // arrays, inline tables and table headers open at this point
    int dots = 0;  // the "." of the key being read; a value's "." (1.5, a time's fraction) counts at most once
    const size_t n = text.size();
    auto at = [&](size_t k) { return k < n ? text[k] : '\0'; };
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        switch (c) {
            case '\n':
                ++line;
                dots = 0;
                break;
            case '#':  // a comment runs to the end of its line
                while (i + 1 < n && text[i + 1] != '\n') ++i;
                break;
            case '"':
            case '\'': {
                const bool basic = c == '"';
                if (at(i + 1) == c && at(i + 2) == c) {  // a multi-line string runs to the next three quotes
                    i += 3;
                    while (i < n && !(text[i] == c && at(i + 1) == c && at(i + 2) == c)) {
                        if (text[i] == '\n') ++line;
                        if (basic && text[i] == '\\' && i + 1 < n) {
                            ++i;
                            if (text[i] == '\n') ++line;
                        }
                        ++i;
                    }
                    i += 2;  // on the last of the three quotes (past the end when there are none)
                } else {     // a one-line string ends at its quote, or the parser stops at the line's end
                    ++i;
                    while (i < n && text[i] != c && text[i] != '\n') {
                        if (basic && text[i] == '\\' && at(i + 1) != '\n') ++i;
                        ++i;
                    }
                    if (i < n && text[i] == '\n') --i;  // counted as a line end above
                }
                break;
            }
            case '[':
            case '{':
                ++open;
                dots = 0;
                if (open + 1 > kMaxTomlDepth) return line;
                break;
            case ']':
            case '}':
                if (open > 0) --open;
                break;
            case '=':
            case ',':
                dots = 0;
                break;
            case '.':
                ++dots;
                if (open + dots + 1 > kMaxTomlDepth) return line;
                break;
            default:
                break;
        }
    }
    return 0;
}

}  // namespace lanqi
