#include "platform/text.h"

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace lanqi {

Text gbk(std::u8string_view utf8Text) {
    return convertText(std::string_view(reinterpret_cast<const char*>(utf8Text.data()), utf8Text.size()), "UTF-8",
                       "GBK");
}

Text gbk(std::string_view utf8Text) { return convertText(utf8Text, "UTF-8", "GBK"); }

std::string utf8(std::string_view gbkText) { return convertText(gbkText, "GBK", "UTF-8"); }

Text decimalText(long long value) { return std::to_string(value); }

int leadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace lanqi
