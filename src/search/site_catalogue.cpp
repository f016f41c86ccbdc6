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

Text resultPageAddress(const Text& descriptionUrl, const Text& siteBase) {
    const auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    };
    if (descriptionUrl.empty()) return {};
    for (const char c : descriptionUrl) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '<' || c == '>') return {};
    }
    const std::string head = lower(std::string_view(descriptionUrl).substr(0, 8));
    if (head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0) return descriptionUrl;
    const size_t schemeEnd = siteBase.find("://");
    if (schemeEnd == Text::npos) return {};
    if (descriptionUrl.rfind("//", 0) == 0) return siteBase.substr(0, schemeEnd + 1) + descriptionUrl;
    if (descriptionUrl.front() == '/') {
        const size_t hostEnd = siteBase.find('/', schemeEnd + 3);
        return siteBase.substr(0, hostEnd) + descriptionUrl;
    }
    // A relative path; anything with a scheme of its own ("javascript:", "file:") before its first "/" is not.
    const size_t colon = descriptionUrl.find(':');
    if (colon != Text::npos && colon < descriptionUrl.find('/')) return {};
    return siteBase + "/" + descriptionUrl;
}

bool isPlaceholderBase(const Text& base) {
    const size_t scheme = base.find("://");
    if (scheme == Text::npos) return false;
    const size_t hostStart = scheme + 3;
    size_t hostEnd = base.find_first_of(":/?#", hostStart);
    if (hostEnd == Text::npos) hostEnd = base.size();
    std::string host = base.substr(hostStart, hostEnd - hostStart);
    for (char& c : host)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!host.empty() && host.back() == '.') host.pop_back();
    for (const std::string_view reserved : {"example", "invalid", "test"}) {
        if (host == reserved) return true;
        if (host.size() > reserved.size() &&
            host.compare(host.size() - reserved.size(), reserved.size(), reserved) == 0 &&
            host[host.size() - reserved.size() - 1] == '.')
            return true;
    }
    return false;
}

bool noSiteSetUp(const SearchSites& sites) {
    for (const SearchSite& site : sites)
        if (site.searched() && !isPlaceholderBase(site.base)) return false;
    return true;
}

}  // namespace lanqi
