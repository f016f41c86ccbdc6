#include "app/core/json_writer.h"

#include <gtest/gtest.h>

namespace lanqi {
namespace {

std::string jsonQuoted(std::string_view s) {
    std::string out;
    appendJsonString(out, s);
    return out;
}

TEST(JsonString, EscapesQuotesBackslashesAndControlBytes) {
    EXPECT_EQ(jsonQuoted("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(jsonQuoted("l1\r\n\r\nl2\t"), R"("l1\r\n\r\nl2\t")");
    EXPECT_EQ(jsonQuoted(std::string("\x01\x1f\x7f", 3)), R"("\u0001\u001f\u007f")");
    EXPECT_EQ(jsonQuoted(std::string("a\0b", 3)), R"("a\u0000b")");
}

TEST(JsonString, KeepsValidUtf8AndReplacesBrokenBytes) {
    EXPECT_EQ(jsonQuoted("超能 ok"), "\"超能 ok\"");
    EXPECT_EQ(jsonQuoted("\xE8\xB6"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // a cut three-byte character
    EXPECT_EQ(jsonQuoted("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // an over-long '/'
    EXPECT_EQ(jsonQuoted("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // a surrogate
    EXPECT_EQ(jsonQuoted("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
}

TEST(JsonObject, WritesFieldsInOrder) {
    JsonObject o;
    o.text("event", "done").number("pageCount", -3).boolean("prevVisible", false).raw("pageItems", "[\"1\"]");
    EXPECT_EQ(o.str(), R"({"event":"done","pageCount":-3,"prevVisible":false,"pageItems":["1"]})");
    EXPECT_EQ(JsonObject().str(), "{}");
}

}  // namespace
}  // namespace lanqi
