#pragma once

#include <chrono>
#include <string>

#include "platform/net.h"
#include "search/search_flow.h"

namespace lanqi {

// What one slot's test found: page 1 of a keyword fetched from that slot alone and scraped on its own.
struct SiteCheck {
    enum Kind { Found, Unreachable, Unrecognised, BadDefinition } kind = Unreachable;
    int results = 0;
    std::string error;  // for Unreachable: why, in English; for BadDefinition: "FILE:LINE: problem"
    FetchFailure failure = FetchFailure::Other;  // for Unreachable: the kind of failure
    std::chrono::milliseconds took{0};
};

// Fetches page 1 of `keyword` (GBK) for slot `site` at `base` and scrapes it with the definition called
// `definition` (nothing is fetched when it cannot be read). Blocking.
SiteCheck checkSite(int site, const std::string& definition, const Text& base, const Text& keyword,
                    const FetchLimits& limits = FetchLimits{});

// "N 条结果（T 毫秒）", "连接失败：找不到服务器（T 毫秒）" (被拒绝, 超时, 安全连接失败, 未收到页面),
// "不是该站点的结果页 （T 毫秒）" or "站点定义有错误：FILE:LINE: problem", GBK.
Text describeSiteCheck(const SiteCheck& check);
// Why no page came, in Chinese (GBK): "找不到服务器", "连接被拒绝", "连接超时", "安全连接（TLS）失败", "未收到页面".
Text fetchFailureText(FetchFailure failure);

// What the last search found at one slot, GBK: "N 条结果，T 毫秒，B 字节", "未收到页面（T 毫秒）", "已停用",
// or "尚未搜索" before the first search.
Text describeLastRun(const SearchFlow& flow, int site);

}  // namespace lanqi
