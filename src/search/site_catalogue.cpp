#include "search/site_catalogue.h"

#include <cstdlib>
#include <string>

namespace lanqi {
namespace {

// The public result sites are reached over plain HTTP. Their real hosts change often; deployments and
// tests point each site elsewhere with LANQI_SITE<n>_BASE.
constexpr std::array<SearchSite, kSiteCount> kCatalogue{{
    {1, "http://site1.lanqi-sites.example", "/search/", "/?c=&s=create_time&p=", ""},
    {2, "http://site2.lanqi-sites.example", "/list/", "/", ""},
    {3, "http://site3.lanqi-sites.example", "/s/", "/", ".htm"},
    {4, "http://site4.lanqi-sites.example", "/list/", "/", ".html"},
    {5, "http://site5.lanqi-sites.example", "/search/", "/", "-1.html"},
    {6, "http://site6.lanqi-sites.example", "/search?keyword=", "&p=", ""},
}};

}  // namespace

const std::array<SearchSite, kSiteCount>& siteCatalogue() { return kCatalogue; }

Text siteBaseAddress(int number) {
    if (number < 1 || number > kSiteCount) return {};
    const std::string variable = "LANQI_SITE" + std::to_string(number) + "_BASE";
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') return value;
    return Text(kCatalogue[static_cast<size_t>(number - 1)].defaultBaseAddress);
}

Text encodeKeyword(const Text& keyword) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const Bytes utf8Form = convertText(keyword, "GBK", "UTF-8");
    Text encoded;
    encoded.reserve(utf8Form.size() * 3);
    for (unsigned char byte : utf8Form) {
        encoded.push_back('%');
        encoded.push_back(kHex[byte >> 4]);
        encoded.push_back(kHex[byte & 0x0F]);
    }
    return encoded;
}

std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page) {
    std::array<Text, 6> urls;
    for (const SearchSite& site : kCatalogue) {
        Text& url = urls[static_cast<size_t>(site.number - 1)];
        url = siteBaseAddress(site.number);
        url.append(site.pathBeforeKeyword);
        url.append(encodedKeyword);
        url.append(site.textBeforePage);
        url.append(page);
        url.append(site.textAfterPage);
    }
    return urls;
}

}  // namespace lanqi
