#include "search/site_catalogue.h"

#include <cstdlib>
#include <string>

#include "platform/settings.h"

namespace lanqi {
namespace {

constexpr std::array<SearchSite, kSiteCount> kCatalogue{{
    {1, kBuiltInSiteBases[0], "/search/", "/?c=&s=create_time&p=", ""},
    {2, kBuiltInSiteBases[1], "/list/", "/", ""},
    {3, kBuiltInSiteBases[2], "/s/", "/", ".htm"},
    {4, kBuiltInSiteBases[3], "/list/", "/", ".html"},
    {5, kBuiltInSiteBases[4], "/search/", "/", "-1.html"},
    {6, kBuiltInSiteBases[5], "/search?keyword=", "&p=", ""},
}};

}  // namespace

const std::array<SearchSite, kSiteCount>& siteCatalogue() { return kCatalogue; }

Text siteBaseAddress(int number) {
    if (number < 1 || number > kSiteCount) return {};
    const std::string variable = "LANQI_SITE" + std::to_string(number) + "_BASE";
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') return value;
    return activeSettings().sites[static_cast<size_t>(number - 1)].base;
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

Text buildSearchUrl(int number, const Text& base, const Text& encodedKeyword, const Text& page) {
    if (number < 1 || number > kSiteCount) return {};
    const SearchSite& site = kCatalogue[static_cast<size_t>(number - 1)];
    Text url = base;
    url.append(site.pathBeforeKeyword);
    url.append(encodedKeyword);
    url.append(site.textBeforePage);
    url.append(page);
    url.append(site.textAfterPage);
    return url;
}

std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page) {
    std::array<Text, 6> urls;
    for (const SearchSite& site : kCatalogue)
        urls[static_cast<size_t>(site.number - 1)] =
            buildSearchUrl(site.number, siteBaseAddress(site.number), encodedKeyword, page);
    return urls;
}

}  // namespace lanqi
