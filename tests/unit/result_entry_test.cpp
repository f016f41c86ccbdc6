#include "scrape/result_entry.h"

#include <gtest/gtest.h>

#include "search/search_flow.h"
#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;

TEST(FileKind, ExtensionIsComparedExactlyArchiveListFirst) {
    EXPECT_EQ(fileKindOf("Big Hero 6.MKV"), kVideo);
    EXPECT_EQ(fileKindOf("Big Hero 6.Mkv"), kOther);
    EXPECT_EQ(fileKindOf("tools-2.0.tar.gz"), kOther);
    EXPECT_EQ(fileKindOf("tools-2.0.tar"), kArchive);
    EXPECT_EQ(fileKindOf("rar"), kArchive);  // no dot: the whole title is the extension
    EXPECT_EQ(fileKindOf("Rar"), kOther);
    EXPECT_EQ(fileKindOf("a.7Z"), kArchive);
    EXPECT_EQ(fileKindOf("a.rmvb"), kVideo);
    EXPECT_EQ(fileKindOf("a.RA"), kVideo);
    EXPECT_EQ(fileKindOf("a.mp4.txt"), kOther);
    EXPECT_EQ(fileKindOf("a."), kOther);
    EXPECT_EQ(fileKindOf(""), kOther);
    EXPECT_EQ(fileKindOf(g("超能陆战队.ISO")), kArchive);
}

TEST(FileKind, PlaceholderTitleIsOther) {
    EXPECT_EQ(placeholderTitle(), g("*获取文件标题失败，但您依然可以点击播放或下载*"));
    EXPECT_EQ(fileKindOf(placeholderTitle()), kOther);
}

TEST(TrimSizeText, DropsTheSecondDecimalAndTheBlank) {
    EXPECT_EQ(trimSizeText("1.25 GB"), "1.2GB");
    EXPECT_EQ(trimSizeText("350.00 MB"), "350.0MB");
    EXPECT_EQ(trimSizeText("movie.mkv 1.25 GB"), "movie.mkv 1.2GB");
}

TEST(TrimSizeText, WithoutDotKeepsTheLastTwoBytesAndNeverReadsPastTheText) {
    EXPECT_EQ(trimSizeText("88 KB"), "KB");
    EXPECT_EQ(trimSizeText("B"), "B");
    EXPECT_EQ(trimSizeText(""), "");
    EXPECT_EQ(trimSizeText("12."), "12.2.");  // nothing after the dot to keep
    EXPECT_EQ(trimSizeText("."), "..");
}

TEST(UnwrapFileItem, NameBlankAndSizeWithoutTheTag) {
    EXPECT_EQ(unwrapFileItem("a.mkv <span class=\"cpill yellow-pill\">1.25 GB</span>"), "a.mkv 1.25 GB");
    EXPECT_EQ(unwrapFileItem("<b>x</b>"), "x");
    EXPECT_EQ(unwrapFileItem("a <i>b</i> c <u>d</u>"), "a b</i> c <u>d");
}

TEST(UnwrapFileItem, EntryWithoutTagIsEmptyAndHalfTagsKeepOnlyTheName) {
    EXPECT_EQ(unwrapFileItem("no-size-here"), "");
    EXPECT_EQ(unwrapFileItem(""), "");
    EXPECT_EQ(unwrapFileItem("a < b"), "a ");
    EXPECT_EQ(unwrapFileItem("a <b>"), "a ");
    EXPECT_EQ(unwrapFileItem("> a <"), "> a  a ");  // both parts read the same bytes
}

TEST(MagnetLink, OnlyFortyHexDigitsOrThirtyTwoBase32CharactersAreAHash) {
    const struct {
        std::string hash;
        bool wellFormed;
    } cases[] = {
        {"0123456789abcdef0123456789ABCDEF01234567", true},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ234567", true},
        {"abcdefghijklmnopqrstuvwxyz234567", true},
        {"", false},
        {"0123456789abcdef0123456789abcdef0123456", false},    // 39
        {"0123456789abcdef0123456789abcdef012345678", false},  // 41
        {"0123456789abcdef0123456789abcdef0123456g", false},
        {"0123456789abcdef0123456789abcdef", false},  // 32, but 0, 1, 8 and 9 are no base32
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ23456=", false},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ2345678", false},  // 33
        {"&u=http://evil.example/#", false},
        {"0123456789abcdef0123456789abcdef01234567&tr=http://t.example/", false},
        {"0123456789abcdef0123456789abcdef0123456 ", false},
        {"0123456789abcdef0123456789abcdef0123456\xB3", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isInfoHash(c.hash), c.wellFormed) << c.hash;
        EXPECT_EQ(magnetLinkOf(c.hash), "magnet:?xt=urn:btih:" + (c.wellFormed ? c.hash : std::string())) << c.hash;
    }
}

TEST(CutGbkText, EndsAfterTheLastWholeCharacterThatFits) {
    const Text text = g("ab超能c");  // a b, two characters of two bytes each, c: 7 bytes
    const struct {
        size_t from;
        size_t limit;
        Text cut;
    } cases[] = {
        {0, 7, g("ab超能c")}, {0, 100, g("ab超能c")}, {0, 6, g("ab超能")}, {0, 5, g("ab超")},
        {0, 4, g("ab超")},    {0, 3, g("ab")},        {0, 0, ""},          {2, 5, g("ab超")},
        {4, 5, g("ab超")},    {2, 3, g("ab")},        {9, 3, g("ab")},  // a start past the limit reads from 0
    };
    for (const auto& c : cases) {
        Text cut = text;
        cutGbkText(cut, c.from, c.limit);
        EXPECT_EQ(cut, c.cut) << c.from << " " << c.limit;
    }
    // The characters are counted from `from`: read from the start, the stray byte would pair with the first
    // byte of 超 and the text would end inside 超.
    Text afterLead = "\xB3" + g("超能");
    cutGbkText(afterLead, 1, 3);
    EXPECT_EQ(afterLead, "\xB3" + g("超"));
}

TEST(DetailLines, FixedTextsOfAResult) {
    Text detail;
    startDetailText(detail, g("超能.mkv"));
    appendDownloadBlock(detail, magnetLinkOf("0123456789abcdef0123456789ABCDEF01234567"));
    appendSiteLine(detail, 4);
    EXPECT_EQ(detail, g("文件名：\r\n超能.mkv\r\n\r\n下载链接：magnet:?xt=urn:btih:"
                        "0123456789abcdef0123456789ABCDEF01234567\r\n用鼠标左键双击文件即可直接在线播放，"
                        "或单击鼠标右键用迅雷影音播放。如不能播放，请使用迅雷下载。\r\n\r\n文件分类：4"));
}

// The window title while a run adds rows is the search flow's; it counts the rows of the run so far.
TEST(CharacterReferences, DecodedOnceWhereGbkHoldsTheCharacter) {
    const struct {
        const char8_t* scraped;
        const char8_t* shown;
    } cases[] = {
        {u8"Big Hero 6 &amp; &lt;b&gt;1080p&lt;/b&gt;", u8"Big Hero 6 & <b>1080p</b>"},
        {u8"&quot;x&quot; &apos;y&apos; &#39;z&#x27; &#X4E2D;&#25991;", u8"\"x\" 'y' 'z' 中文"},
        {u8"&amp;lt; stays one level: &amp;amp;", u8"&lt; stays one level: &amp;"},
        // Not references, or characters GBK lacks: left as written.
        {u8"&nbsp; &copy &#; &#x; &#0; &#xD800; &#1114112; &#128512; &#12345678; AT&T; a & b",
         u8"&nbsp; &copy &#; &#x; &#0; &#xD800; &#1114112; &#128512; &#12345678; AT&T; a & b"},
        {u8"超能&amp;陆战队", u8"超能&陆战队"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeCharacterReferences(gbk(c.scraped)), gbk(c.shown)) << gbk(c.scraped);
    // A lead byte takes the byte after it whatever it is: "&amp;" split by it is not a reference.
    EXPECT_EQ(decodeCharacterReferences("\x81&amp;"), "\x81&amp;");
    EXPECT_EQ(decodeCharacterReferences(""), "");
}

TEST(ProgressTitle, ShowsTheRowCount) {
    EXPECT_EQ(progressTitle(1), g("岚栖种子搜索神器v1.9 --- 正在搜索，请稍等......1%"));
    EXPECT_EQ(progressTitle(12345), g("岚栖种子搜索神器v1.9 --- 正在搜索，请稍等......12345%"));
}

}  // namespace
}  // namespace lanqi
