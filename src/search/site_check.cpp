#include "search/site_check.h"

#include "scrape/scrape.h"
#include "search/site_catalogue.h"

namespace lanqi {
namespace {

Text milliseconds(std::chrono::milliseconds took) { return decimalText(took.count()) + gbk(u8" 毫秒"); }

}  // namespace

SiteCheck checkSite(int site, const std::string& definition, const Text& base, const Text& keyword,
                    const FetchLimits& limits) {
    SiteCheck check;
    if (site < 1 || site > kMaxSiteSlots) return check;
    std::vector<SettingsProblem> problems;
    SiteSlots slots(static_cast<size_t>(site));
    slots[static_cast<size_t>(site - 1)] = findSiteDefinition(definition, problems);
    if (slots[static_cast<size_t>(site - 1)] == nullptr) {
        check.kind = SiteCheck::BadDefinition;
        check.error = problems.empty() ? "unknown site definition " + definition
                                       : problems.front().where("") + ": " + problems.front().english();
        return check;
    }
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome fetched = fetchPage(
        buildSearchUrl(slots[static_cast<size_t>(site - 1)]->address, base, encodeKeyword(keyword), "1"), limits);
    check.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (fetched.body.empty()) {
        check.error = fetched.error.empty() ? "an empty answer" : fetched.error;
        check.failure = fetched.failure;
        return check;
    }
    std::vector<std::string_view> pages(slots.size());
    pages[static_cast<size_t>(site - 1)] = fetched.body;
    const SitePageScrape scrape = scrapeSitePage(slots, site, pages);
    check.kind = scrape.outcome == SiteOutcome::NoPage ? SiteCheck::Unrecognised : SiteCheck::Found;
    check.results = static_cast<int>(scrape.items.size());
    return check;
}

Text describeSiteCheck(const SiteCheck& check) {
    const Text took = gbk(u8"（") + milliseconds(check.took) + gbk(u8"）");
    switch (check.kind) {
        case SiteCheck::Found:
            return decimalText(check.results) + gbk(u8" 条结果") + took;
        case SiteCheck::Unrecognised:
            return gbk(u8"不是该站点的结果页") + took;
        case SiteCheck::BadDefinition:
            return gbk(u8"站点定义有错误：") + gbk(check.error);
        case SiteCheck::Unreachable:
            break;
    }
    return gbk(u8"连接失败：") + fetchFailureText(check.failure) + took;
}

Text fetchFailureText(FetchFailure failure) {
    switch (failure) {
        case FetchFailure::HostNotFound:
            return gbk(u8"找不到服务器");
        case FetchFailure::Refused:
            return gbk(u8"连接被拒绝");
        case FetchFailure::TimedOut:
            return gbk(u8"连接超时");
        case FetchFailure::Tls:
            return gbk(u8"安全连接（TLS）失败");
        default:
            return gbk(u8"未收到页面");
    }
}

Text describeLastRun(const SearchFlow& flow, int site) {
    const auto& records = flow.siteFigures();
    if (site < 1 || static_cast<size_t>(site) > records.size() || flow.state().searchUrls.empty())
        return gbk(u8"尚未搜索");
    const SiteRecord& figures = records[static_cast<size_t>(site - 1)];
    if (figures.disabled) return gbk(u8"已停用");
    if (figures.bytes == 0) return gbk(u8"未收到页面（") + milliseconds(figures.fetchTime) + gbk(u8"）");
    return decimalText(figures.rows) + gbk(u8" 条结果，") + milliseconds(figures.fetchTime) + gbk(u8"，") +
           decimalText(static_cast<long long>(figures.bytes)) + gbk(u8" 字节");
}

}  // namespace lanqi
