#pragma once

#include <string>
#include <string_view>

namespace lanqi {

// UTF-16 and back for the W functions of Win32. A text that does not convert gives "".
std::wstring widen(std::string_view utf8Text);
std::string narrow(std::wstring_view wide);

// The Windows code page a charset name stands for ("GBK" 936, "UTF-8" 65001, ...); 0 for a name it does not
// know. Letter case does not matter.
unsigned codePageOf(std::string_view charset);

}  // namespace lanqi
