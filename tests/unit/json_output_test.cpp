#include "app/core/json_output.h"

#include <gtest/gtest.h>

namespace lanqi {
namespace {

std::string quoted(const std::string& s) { return jsonLine(Json(s)); }

TEST(JsonLine, EscapesQuotesBackslashesAndControlBytes) {
    EXPECT_EQ(quoted("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(quoted("l1\r\n\r\nl2\t"), R"("l1\r\n\r\nl2\t")");
    EXPECT_EQ(quoted(std::string("\x01\x1f", 2)), R"("\u0001\u001f")");
    EXPECT_EQ(quoted(std::string("a\0b", 3)), R"("a\u0000b")");
}

TEST(JsonLine, KeepsValidUtf8AndReplacesBrokenBytes) {
    EXPECT_EQ(quoted("超能 ok"), "\"超能 ok\"");
    EXPECT_EQ(quoted("\xE8\xB6"), "\"\xEF\xBF\xBD\"");                              // a cut three-byte character
    EXPECT_EQ(quoted("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // an over-long '/'
    EXPECT_EQ(quoted("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // a surrogate
    EXPECT_EQ(quoted("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
}

TEST(JsonLine, WritesFieldsInTheOrderTheyWereSet) {
    Json o;
    o["event"] = "done";
    o["pageCount"] = -3;
    o["prevVisible"] = false;
    o["pageItems"] = Json::array({"1"});
    o["size"] = nullptr;
    EXPECT_EQ(jsonLine(o), R"({"event":"done","pageCount":-3,"prevVisible":false,"pageItems":["1"],"size":null})");
}

}  // namespace
}  // namespace lanqi
