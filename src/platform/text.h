#pragma once

#include <string>
#include <string_view>

namespace lanqi {

using Text = std::string;   // GBK bytes: every constant, caption and message
using Bytes = std::string;  // raw bytes as received or sent

// Converts `bytes` from charset `from` to charset `to` with iconv ("GBK" and "UTF-8" are the names used).
// The output buffer starts as large as the input and grows by input/2 + 128 bytes whenever the converter
// reports it full; at most 12 conversion passes are made. Returns "" when the converter cannot be opened,
// for empty input, on any invalid or incomplete input sequence, and when 12 passes did not consume the
// input: never a partial result. Safe to call from any thread.
Bytes convertText(std::string_view bytes, const char* from, const char* to);

// UTF-8 form of `bytes` in charset `from`, every byte that does not convert written as U+FFFD instead of
// failing the whole text. "" when the converter cannot be opened. Bounded: the output is at most four times
// the input.
Bytes toUtf8Lossy(std::string_view bytes, const char* from);

// True when iconv can convert charset `name` to UTF-8.
bool knownCharset(const char* name);

// GBK form of a UTF-8 text; "" when it has a character GBK lacks. Meant for constants: cache the result
// (`static const Text k = gbk(u8"...")`).
Text gbk(std::u8string_view utf8);
Text gbk(std::string_view utf8);

// UTF-8 form of a GBK text; "" when it is not valid GBK.
std::string utf8(std::string_view gbkText);

// Decimal text of a number, and the reverse: leading blanks and one sign allowed, then the leading
// decimal digits; 0 when there is no digit. Saturates at the int range instead of overflowing.
Text decimalText(long long value);
int leadingInteger(std::string_view text);

}  // namespace lanqi
