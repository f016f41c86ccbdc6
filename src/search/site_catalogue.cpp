#include "search/site_catalogue.h"

#include <cstdlib>
#include <string>

#include "platform/settings.h"

namespace lanqi {

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

Text buildSearchUrl(const SiteAddress& address, const Text& base, const Text& encodedKeyword, const Text& page) {
    Text url = base;
    url.append(address.path);
    url.append(encodedKeyword);
    url.append(address.beforePage);
    url.append(page);
    url.append(address.afterPage);
    return url;
}

std::array<Text, 6> buildSearchUrls(const SiteSlots& slots, const Text& encodedKeyword, const Text& page) {
    std::array<Text, 6> urls;
    for (int n = 1; n <= kSiteCount; ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        const SiteDefinitionPtr& definition = slots[i] != nullptr ? slots[i] : builtInSiteDefinition(n);
        urls[i] = buildSearchUrl(definition->address, siteBaseAddress(n), encodedKeyword, page);
    }
    return urls;
}

std::array<Text, 6> buildSearchUrls(const Text& encodedKeyword, const Text& page) {
    return buildSearchUrls(activeSiteDefinitions(), encodedKeyword, page);
}

}  // namespace lanqi
