#include "scrape/byte_search.h"

#include <gtest/gtest.h>

#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;

TEST(FindFrom, ReturnsOneBasedPositionOfFirstOccurrenceAtOrAfterStart) {
    EXPECT_EQ(findFrom("abcabc", "bc"), 2);
    EXPECT_EQ(findFrom("abcabc", "bc", 2), 2);
    EXPECT_EQ(findFrom("abcabc", "bc", 3), 5);
    EXPECT_EQ(findFrom("abcabc", "bc", 5), 5);
    EXPECT_EQ(findFrom("abcabc", "c", 6), 6);
    EXPECT_EQ(findFrom("abcabc", "bc", 6), -1);
    EXPECT_EQ(findFrom("abcabc", "abcabc"), 1);
}

TEST(FindFrom, StartOfZeroOrLessSearchesFromTheFirstByte) {
    EXPECT_EQ(findFrom("abcabc", "a", 0), 1);
    EXPECT_EQ(findFrom("abcabc", "a", -7), 1);
}

TEST(FindFrom, StartPastTheEndEmptyMarkerAndLongMarkerGiveMinusOne) {
    EXPECT_EQ(findFrom("abc", "c", 4), -1);
    EXPECT_EQ(findFrom("abc", "c", 1000), -1);
    EXPECT_EQ(findFrom("abc", ""), -1);
    EXPECT_EQ(findFrom("", "a"), -1);
    EXPECT_EQ(findFrom("abc", "abcd"), -1);
    EXPECT_EQ(findFrom("abc", "x"), -1);
}

TEST(FindFrom, CountsBytesOfUtf8AndComparesCase) {
    // 共找到 is nine bytes in UTF-8.
    EXPECT_EQ(findFrom(">共找到 61 条", "61"), 12);
    EXPECT_EQ(findFrom("Hash：ABC", "ABC"), 8);
    EXPECT_EQ(findFrom("MKV mkv", "mkv"), 5);
}

TEST(FindLastBefore, OccurrenceMustLieWhollyWithinTheLimit) {
    EXPECT_EQ(findLastBefore("abcabc", "bc", 6), 5);
    EXPECT_EQ(findLastBefore("abcabc", "bc", 5), 2);  // the one at 5 would end at byte 6
    EXPECT_EQ(findLastBefore("abcabc", "bc", 3), 2);
    EXPECT_EQ(findLastBefore("abcabc", "bc", 2), -1);
    EXPECT_EQ(findLastBefore("abcabc", "bc", 100), 5);
}

TEST(FindLastBefore, LimitOfZeroOrLessOrEmptyMarkerGivesMinusOne) {
    EXPECT_EQ(findLastBefore("abcabc", "a", 0), -1);
    EXPECT_EQ(findLastBefore("abcabc", "a", -1), -1);
    EXPECT_EQ(findLastBefore("abcabc", "", 6), -1);
    EXPECT_EQ(findLastBefore("", "a", 6), -1);
}

TEST(FindLastWithin, IgnoresOccurrencesBeginningBeforeTheLowerBound) {
    EXPECT_EQ(findLastWithin("ab-ab-ab", "ab", 1, 8), 7);
    EXPECT_EQ(findLastWithin("ab-ab-ab", "ab", 4, 6), 4);
    EXPECT_EQ(findLastWithin("ab-ab-ab", "ab", 5, 6), -1);
    EXPECT_EQ(findLastWithin("ab-ab-ab", "ab", 0, 2), 1);
    EXPECT_EQ(findLastWithin("ab-ab-ab", "ab", 9, 8), -1);
}

TEST(CutField, TakesFromFirstUpToTheByteBeforeEnd) {
    EXPECT_EQ(cutField("abcdef", 2, 5), "bcd");
    EXPECT_EQ(cutField("abcdef", 1, 7), "abcdef");
    EXPECT_EQ(cutField("abcdef", 6, 7), "f");
}

TEST(CutField, ClampsToThePageAndGivesEmptyForNoBytes) {
    EXPECT_EQ(cutField("abcdef", -1, 3), "ab");  // a first below 1 counts from the first byte
    EXPECT_EQ(cutField("abcdef", 0, 3), "ab");
    EXPECT_EQ(cutField("abcdef", 4, 100), "def");
    EXPECT_EQ(cutField("abcdef", 3, 3), "");
    EXPECT_EQ(cutField("abcdef", 4, 2), "");
    EXPECT_EQ(cutField("abcdef", -1, -1), "");
    EXPECT_EQ(cutField("abcdef", 7, 9), "");
    EXPECT_EQ(cutField("", 1, 5), "");
}

TEST(CutField, ConvertsUtf8ToGbkOrGivesEmptyNeverPartial) {
    const std::string page = "x超能y";  // x at 1, 超 at 2..4, 能 at 5..7, y at 8
    EXPECT_EQ(cutField(page, 2, 8), "\xB3\xAC\xC4\xDC");
    EXPECT_EQ(cutField(page, 1, 9), "x\xB3\xAC\xC4\xDCy");
    EXPECT_EQ(cutField(page, 2, 7), "");                   // ends inside 能
    EXPECT_EQ(cutField(page, 3, 8), "");                   // begins inside 超
    EXPECT_EQ(cutField("ok \xF0\x9F\x98\x80", 1, 8), "");  // a character GBK lacks
    EXPECT_EQ(cutField(std::string("a\0b", 3), 1, 4), std::string("a\0b", 3));
}

TEST(GbkFromUtf8, AsciiPassesThroughAndOtherTextIsConverted) {
    std::string ascii;
    for (int c = 0; c < 128; ++c) ascii.push_back(static_cast<char>(c));
    EXPECT_EQ(gbkFromUtf8(ascii), ascii);
    EXPECT_EQ(gbkFromUtf8(ascii + "超"), ascii + "\xB3\xAC");
    EXPECT_EQ(gbkFromUtf8("abcdefgh\x80"), "");
}

TEST(StripTag, RemovesEveryOccurrence) {
    EXPECT_EQ(stripTag("<b>超能</b>陆战队 <b>Big</b>", "<b>"), "超能</b>陆战队 Big</b>");
    EXPECT_EQ(stripTag(stripTag("<b>a</b><b>b</b>", "<b>"), "</b>"), "ab");
    EXPECT_EQ(stripTag("<em><em>x<em>", "<em>"), "x");
    EXPECT_EQ(stripTag("<b>", "<b>"), "");
}

TEST(StripTag, SplitsOnceLeftToRightAndLeavesTextWithoutTheTagAlone) {
    EXPECT_EQ(stripTag("<b<b>>", "<b>"), "<b>");  // pieces "<b" and ">" joined
    EXPECT_EQ(stripTag("no tags here", "<b>"), "no tags here");
    EXPECT_EQ(stripTag("abc", ""), "abc");
    EXPECT_EQ(stripTag("", "<b>"), "");
    EXPECT_EQ(stripTag(g("超能<span class=\"mhl\">陆战队</span>"), "<span class=\"mhl\">"), g("超能陆战队</span>"));
}

}  // namespace
}  // namespace lanqi
