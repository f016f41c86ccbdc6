#pragma once

#include <string_view>

namespace lanqi {

// How deep the settings file and the site definitions may nest: the parts of one dotted key (in a table
// header or before "=") plus the arrays and inline tables open around it. toml++ recurses once per level,
// so a file of a few kilobytes of "a.a.a…" would otherwise run the stack out before any problem is shown.
inline constexpr int kMaxTomlDepth = 64;

// The 1-based line where `text` first nests deeper than kMaxTomlDepth, or 0 when it never does. A cheap scan
// that knows TOML's strings and comments (a "." or "[" in them counts for nothing); everything else is left
// to the parser.
long tomlTooDeepLine(std::string_view text);

}  // namespace lanqi
