// The six sites' result items, one table per site, in the order the fields appear on the page.
#include "scrape/site_table.h"

namespace lanqi::scrape {
namespace {

// Site1, 手撕包菜: the title is the link's title attribute, found backwards from the "ctime" anchor; the
// hash is read last, from the magnet link, and the download block follows it.
constexpr Step kSite1[] = {
    itemTest(title(afterLastBeforeAnchor("<a title=", +1), at(" class=", -1))),
    listItem(),
    detailStart(),
    line("\r\n\r\n更新时间：", afterLastBeforeEnd(">"), atBehind("</span>", "ctime", +2)),
    files("\r\n\r\n包含文件：\r\n\r\n", "tail", "</li>", Reduce::TrimSize),
    line("\r\n\r\n文件数目：", after("文件数:", +1), at("大小:", -1)),
    line("\r\n\r\n文件大小：", after("大小:", +1), at("请求数:", -1), Reduce::TrimSize),
    line("\r\n\r\n请求数：", after("请求数:", +1), at("更新时间:", -1)),
    hash(after("urn:btih:"), at("&")),
    magnet(),
};

// Site2, 爱磁力.
constexpr Step kSite2[] = {
    itemTest(hash(after("/info/"), at(">", -1))),
    title(after(">"), at("</a></h3><p>"), "<b>", "</b>"),
    listItem(),
    detailStart(),
    magnet(),
    files("\r\n\r\n文件内容：\r\n\r\n", "创建时间：", "<", Reduce::None),
    line("\r\n\r\n文件格式：", after("<p>"), at("</span>")),
    line("\r\n\r\n上传日期：", afterNext("创建时间：", ">"), at("</b>")),
    line("\r\n\r\n文件大小：", afterNext("文件大小：", ">"), at("</b>")),
    line("\r\n\r\n下载热度：", after("<b>"), at("</b>")),
    line("\r\n\r\n最近下载：", after("<b>"), at("</b>")),
};

// Site3: the title is the link text before the "Hash：" anchor (full-width colon); the date is the ten
// bytes after <span>, while the cursor moves on to "Size:".
constexpr Step kSite3[] = {
    itemTest(title(afterLastBeforeAnchor("_blank\">"), at("</a>"), "<em>", "</em>")),
    listItem(),
    hash(after("Hash："), at(" ")),
    detailStart(),
    magnet(),
    cursorTo(line("\r\n\r\n上传日期：", after("<span>"), bytes(10)), "Size:"),
    line("\r\n\r\n文件大小：", after("Size:"), at("</span>")),
};

// Site4: each start marker ends with a blank, and the end marker of the last field begins with one.
constexpr Step kSite4[] = {
    itemTest(hash(after("/hash/"), at(">", -1))),
    title(after(">"), at("</a>"), "<span class=\"mhl\">", "</span>"),
    listItem(),
    detailStart(),
    magnet(),
    line("\r\n\r\n文件大小：", after("种子大小:<span> "), at("</span>")),
    line("\r\n\r\n文件数量：", after("文件数量:<span> "), at("</span>")),
    line("\r\n\r\n创建时间：", after("创建时间:<span> "), at(" </span>")),
};

// Site5: the hash ends at ".html", whatever parameters follow it.
constexpr Step kSite5[] = {
    itemTest(hash(after("/hash/"), at(".html"))),
    title(after(">"), at("</a>"), "<b>", "</b>"),
    listItem(),
    detailStart(),
    magnet(),
    files("\r\n\r\n包含文件：\r\n\r\n", "</ul>", "</li>", Reduce::Unwrap),
    line("\r\n\r\n文件类型：", after("cpill fileType1", +2), at("</span>")),
    line("\r\n\r\n上传时间：", afterNext("创建时间：", ">"), at("<")),
    line("\r\n\r\n文件大小：", afterNext("文件大小：", ">"), at("<")),
    line("\r\n\r\n下载热度：", afterNext("下载热度：", ">"), at("<")),
    line("\r\n\r\n最近下载：", afterNext("最近下载：", ">"), at("<")),
};

// Site6: the title is the raw "&dn=" value of the magnet link, neither decoded nor stripped, and reading
// it leaves the end cursor at the hash.
constexpr Step kSite6[] = {
    itemTest(hash(after("/t/"), at(" ", -1))),
    keepCursor(title(after("&dn="), at(">", -1))),
    listItem(),
    detailStart(),
    magnet(),
    line("\r\n\r\n收录时间：", afterNext("收录时间：", ">"), at("<")),
    line("\r\n\r\n文件大小：", afterNext("大小：", ">"), at("<")),
    line("\r\n\r\n文件数量：", afterNext("文件数：", ">"), at("<")),
};

static_assert(wellFormed(kSite1) && wellFormed(kSite2) && wellFormed(kSite3));
static_assert(wellFormed(kSite4) && wellFormed(kSite5) && wellFormed(kSite6));

constexpr SiteTable kSites[] = {
    {1, "手撕包菜", "ctime", {true, ">共找到 ", " 条关于 ", true, false}, kSite1},
    {2, "爱磁力", "/info/", {}, kSite2},
    {3, "种子搜索站", "Hash：", {true, "大约有 <b>", "</b>", false, true}, kSite3},
    {4, "BT种子磁力链接搜索引擎", "/hash/", {}, kSite4},
    {5, "磁力链", "/hash/", {true, "<span>大约 ", " 条结果，", false, false}, kSite5},
    {6, "磁力链接搜索引擎", "/t/", {true, ">共找到 ", " 条结果,", false, false}, kSite6},
};

}  // namespace

const SiteTable& siteTable(int number) { return kSites[number >= 1 && number <= 6 ? number - 1 : 0]; }

}  // namespace lanqi::scrape
