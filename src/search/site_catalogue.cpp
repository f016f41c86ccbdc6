#include "search/site_catalogue.h"

#include <string>

namespace lanqi {

SearchSites searchSites(const Settings& settings, const SiteSlots& definitions) {
    SearchSites sites;
    sites.reserve(settings.sites.size());
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const SiteSlotSettings& slot = settings.sites[k];
        sites.push_back({slot.base, slot.enabled, k < definitions.size() ? definitions[k] : nullptr});
    }
    return sites;
}

SearchSites builtInSearchSites() { return searchSites(builtInSettings(), builtInSiteSlots()); }

SiteSlots definitionsOf(const SearchSites& sites) {
    SiteSlots slots;
    slots.reserve(sites.size());
    for (const SearchSite& site : sites) slots.push_back(site.definition);
    return slots;
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

Text buildSearchUrl(const SiteAddress& address, const Text& base, const Text& encodedKeyword, const Text& page) {
    Text url = base;
    url.append(address.path);
    url.append(encodedKeyword);
    url.append(address.beforePage);
    url.append(page);
    url.append(address.afterPage);
    return url;
}

std::vector<Text> buildSearchUrls(const SearchSites& sites, const Text& encodedKeyword, const Text& page) {
    std::vector<Text> urls;
    urls.reserve(sites.size());
    for (const SearchSite& site : sites)
        urls.push_back(site.definition != nullptr
                           ? buildSearchUrl(site.definition->address, site.base, encodedKeyword, page)
                           : Text());
    return urls;
}

std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page) {
    // No settings file: the built-in slots with the environment's bases over them.
    const std::vector<Text> urls =
        buildSearchUrls(searchSites(loadSettings("").settings, builtInSiteSlots()), encodedKeyword, page);
    std::array<Text, 6> six;
    for (size_t i = 0; i < six.size(); ++i) six[i] = urls[i];
    return six;
}

}  // namespace lanqi
