#pragma once

// Small result pages for each site, built from the markers the scrapers rely on, for tests of the search
// flow. Every item gets a Latin title "<name>.<ext>" and the hash hashOf(name).
#include <string>
#include <vector>

namespace lanqi::test {

struct PageItem {
    std::string name;
    std::string ext = "mkv";
};

// A well-formed info-hash of its own for each name: the name's bytes in hexadecimal, filled up with "0" to
// 40 digits (names of up to 20 bytes stay apart).
inline std::string hashOf(const std::string& name) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hash;
    for (unsigned char c : name) {
        hash += kDigits[c >> 4];
        hash += kDigits[c & 15];
    }
    hash.resize(40, '0');
    return hash;
}

inline std::vector<PageItem> items(int count, const std::string& prefix) {
    std::vector<PageItem> out;
    for (int i = 0; i < count; ++i) out.push_back({prefix + std::to_string(i)});
    return out;
}

// `total` < 0 leaves the total's markers out.
inline std::string site1Page(const std::vector<PageItem>& list, long long total = -1) {
    std::string p = "<html><head><title>手撕包菜 - search</title></head><body>";
    if (total >= 0) p += "<div class=\"count\">共找到 " + std::to_string(total) + " 条关于 abc 的结果</div>";
    for (const auto& it : list) {
        p += "<div class=\"x-item\"><a title=\"" + it.name + "." + it.ext +
             "\" class=\"title\" href=\"/i\">x</a>"
             "<span class=\"ctime\">2020-02-03</span><ul><li>" +
             it.name + "." + it.ext +
             " 1.25 GB</li></ul>"
             "<div class=\"tail\">文件数: 1 大小: 1.25 GB 请求数: 7 更新时间: 2020-02-03 "
             "<a href=\"magnet:?xt=urn:btih:" +
             hashOf(it.name) + "&dn=x\">m</a></div></div>";
    }
    return p + "</body></html>";
}

inline std::string site2Page(const std::vector<PageItem>& list) {
    std::string p = "<html><head><title>爱磁力</title></head><body>";
    for (const auto& it : list) {
        p += "<div><h3><a href=\"/info/" + hashOf(it.name) + "\">" + it.name + "." + it.ext +
             "</a></h3><p>视频<span></span> 创建时间：<b>2020-01-01</b> 文件大小：<b>1 GB</b> <b>5</b> "
             "<b>2020</b></p></div>";
    }
    return p + "</body></html>";
}

// The page-title marker Site3's scraper checks for.
inline constexpr const char* kSite3PageMarker = "种子搜索站";

inline std::string site3Page(const std::vector<PageItem>& list, long long total = -1) {
    std::string p = std::string("<html><head><title>") + kSite3PageMarker + "</title></head><body>";
    if (total >= 0) p += "<p>大约有 <b>" + std::to_string(total) + "</b> 项结果</p>";
    for (const auto& it : list) {
        p += "<div><a target=\"_blank\">" + it.name + "." + it.ext + "</a><p>Hash：" + hashOf(it.name) +
             " <span>2015-05-01 Size:1 GB</span></p></div>";
    }
    return p + "</body></html>";
}

inline std::string site4Page(const std::vector<PageItem>& list) {
    std::string p = "<html><head><title>BT种子磁力链接搜索引擎</title></head><body>";
    for (const auto& it : list) {
        p += "<div><a href=\"/hash/" + hashOf(it.name) + "\">" + it.name + "." + it.ext +
             "</a> 种子大小:<span> 1 GB</span> 文件数量:<span> 2</span> 创建时间:<span> 2020 </span></div>";
    }
    return p + "</body></html>";
}

inline std::string site5Page(const std::vector<PageItem>& list, long long total = -1) {
    std::string p = "<html><head><title>磁力链</title></head><body>";
    if (total >= 0) p += "<div><span>大约 " + std::to_string(total) + " 条结果，用时 0.1 秒</span></div>";
    for (const auto& it : list) {
        p += "<div><a href=\"/hash/" + hashOf(it.name) + ".html\">" + it.name + "." + it.ext +
             "</a><ul></ul><span class=\"cpill fileType1\">视频</span> 创建时间：<b>2020</b>< 文件大小：<b>1 GB</b>< "
             "下载热度：<b>3</b>< 最近下载：<b>2021</b><</div>";
    }
    return p + "</body></html>";
}

inline std::string site6Page(const std::vector<PageItem>& list, long long total = -1) {
    std::string p = "<html><head><title>磁力链接搜索引擎</title></head><body>";
    if (total >= 0) p += "<div>共找到 " + std::to_string(total) + " 条结果, 用时 0.01 秒</div>";
    for (const auto& it : list) {
        p += "<div><a href=\"/t/" + hashOf(it.name) + "\" rel=\"magnet:?xt=urn:btih:" + hashOf(it.name) +
             "&dn=" + it.name + "." + it.ext +
             "\">x</a> 收录时间：<b>2020</b>< 大小：<b>1 GB</b>< 文件数：<b>1</b><</div>";
    }
    return p + "</body></html>";
}

}  // namespace lanqi::test
