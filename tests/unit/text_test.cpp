#include "platform/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace lanqi {
namespace {

const std::string kChaoNeng = "\xE8\xB6\x85\xE8\x83\xBD";  // 超能 in UTF-8
const std::string kChaoNengGbk = "\xB3\xAC\xC4\xDC";       // 超能 in GBK

TEST(ConvertText, ConvertsBothWaysBetweenGbkAndUtf8) {
    EXPECT_EQ(convertText(kChaoNeng, "UTF-8", "GBK"), kChaoNengGbk);
    EXPECT_EQ(convertText(kChaoNengGbk, "GBK", "UTF-8"), kChaoNeng);
    EXPECT_EQ(convertText("plain ascii", "GBK", "UTF-8"), "plain ascii");
}

TEST(ConvertText, EmptyInputGivesEmptyOutput) {
    EXPECT_EQ(convertText("", "GBK", "UTF-8"), "");
    EXPECT_EQ(convertText("", "UTF-8", "GBK"), "");
}

TEST(ConvertText, InvalidOrIncompleteSequenceGivesEmptyNeverPartial) {
    // UTF-8 cut in the middle of a three-byte character, after a complete one.
    EXPECT_EQ(convertText(kChaoNeng.substr(0, 5), "UTF-8", "GBK"), "");
    // A stray continuation byte in the middle.
    EXPECT_EQ(convertText("ab\x80"
                          "cd",
                          "UTF-8", "GBK"),
              "");
    // A GBK lead byte at the very end.
    EXPECT_EQ(convertText("abc\xB3", "GBK", "UTF-8"), "");
    // A GBK lead byte followed by a byte that cannot trail.
    EXPECT_EQ(convertText("\xB3\x20xyz", "GBK", "UTF-8"), "");
    // A character that GBK cannot hold.
    EXPECT_EQ(convertText("ok \xF0\x9F\x98\x80", "UTF-8", "GBK"), "");
}

TEST(ConvertText, UnknownCharsetGivesEmpty) {
    EXPECT_EQ(convertText("abc", "NO-SUCH-CHARSET", "UTF-8"), "");
    EXPECT_EQ(convertText("abc", "GBK", nullptr), "");
}

TEST(ConvertText, GrowsTheBufferWhenTheOutputIsLongerThanTheInput) {
    // n bytes of GBK become 1.5 n bytes of UTF-8: the first pass fills the buffer and it must grow.
    for (size_t chars : {1u, 2u, 85u, 86u, 1000u, 70000u}) {
        std::string gbkText, expected;
        for (size_t i = 0; i < chars; ++i) {
            gbkText += kChaoNengGbk.substr((i % 2) * 2, 2);
            expected += kChaoNeng.substr((i % 2) * 3, 3);
        }
        EXPECT_EQ(convertText(gbkText, "GBK", "UTF-8"), expected) << chars << " characters";
    }
}

TEST(ConvertText, ErrorAfterAGrowthStillGivesEmpty) {
    std::string gbkText(4000, '\0');
    for (size_t i = 0; i < gbkText.size(); i += 2) gbkText.replace(i, 2, kChaoNengGbk.substr(0, 2));
    gbkText += "\xB3";  // incomplete: found only after the buffer has grown
    EXPECT_EQ(convertText(gbkText, "GBK", "UTF-8"), "");
}

TEST(ConvertText, AFailureLeavesNoStateForTheNextCall) {
    EXPECT_EQ(convertText("abc\xB3", "GBK", "UTF-8"), "");
    EXPECT_EQ(convertText(kChaoNengGbk, "GBK", "UTF-8"), kChaoNeng);
}

TEST(GbkHelpers, ConvertConstantsAndBack) {
    EXPECT_EQ(gbk(u8"超能"), kChaoNengGbk);
    EXPECT_EQ(utf8(kChaoNengGbk), kChaoNeng);
    EXPECT_EQ(gbk(u8"\U0001F600"), "");
}

TEST(LeadingInteger, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(leadingInteger("61"), 61);
    EXPECT_EQ(leadingInteger("  8511 条"), 8511);
    EXPECT_EQ(leadingInteger("-12x"), -12);
    EXPECT_EQ(leadingInteger("+7"), 7);
    EXPECT_EQ(leadingInteger("x12"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("-"), 0);
    EXPECT_EQ(leadingInteger("1,234"), 1);
}

TEST(LeadingInteger, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(leadingInteger("2147483647"), INT_MAX);
    EXPECT_EQ(leadingInteger("2147483648"), INT_MAX);
    EXPECT_EQ(leadingInteger("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(leadingInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(leadingInteger("-99999999999999999999"), INT_MIN);
}

}  // namespace
}  // namespace lanqi
