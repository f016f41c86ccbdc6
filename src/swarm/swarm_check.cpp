#include "swarm/swarm_check.h"

#include <algorithm>
#include <cctype>

namespace lanqi {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[i]) != lower(prefix[i])) return false;
    return true;
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::optional<std::string> fromHex(std::string_view text) {
    if (text.size() != 40 || !std::all_of(text.begin(), text.end(), isHexDigit)) return std::nullopt;
    std::string hash(text);
    std::transform(hash.begin(), hash.end(), hash.begin(), lower);
    return hash;
}

// 32 letters of RFC 4648 base32 are exactly the hash's 160 bits.
std::optional<std::string> fromBase32(std::string_view text) {
    if (text.size() != 32) return std::nullopt;
    static const char kHex[] = "0123456789abcdef";
    std::string hash;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        unsigned value;
        if (u >= 'A' && u <= 'Z')
            value = static_cast<unsigned>(u - 'A');
        else if (u >= '2' && u <= '7')
            value = static_cast<unsigned>(u - '2' + 26);
        else
            return std::nullopt;
        buffer = (buffer << 5) | value;
        bits += 5;
        while (bits >= 4) {
            bits -= 4;
            hash += kHex[(buffer >> bits) & 0xf];
        }
    }
    return hash;
}

std::optional<std::string> fromHexOrBase32(std::string_view text) {
    if (auto hash = fromHex(text)) return hash;
    return fromBase32(text);
}

// A port written as 1 to 5 digits from 1 to 65535.
bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool hasSpaceOrControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// Splits "host:port" or "[v6]:port" into host and port; the port is empty when no ":" follows the host.
struct HostPort {
    std::string_view host;
    std::string_view port;
    bool hasColon = false;
    bool bracketBroken = false;
};

HostPort splitHostPort(std::string_view authority) {
    HostPort parts;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            parts.bracketBroken = true;
            return parts;
        }
        parts.host = authority.substr(1, close - 1);
        const auto rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                parts.bracketBroken = true;
                return parts;
            }
            parts.hasColon = true;
            parts.port = rest.substr(1);
        }
        return parts;
    }
    const auto colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        parts.host = authority;
        return parts;
    }
    parts.host = authority.substr(0, colon);
    parts.port = authority.substr(colon + 1);
    parts.hasColon = true;
    return parts;
}

}  // namespace

std::optional<std::string> parseInfoHash(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (!startsWithNoCase(text, "magnet:?")) return fromHexOrBase32(text);
    std::string_view query = text.substr(8);
    while (!query.empty()) {
        const auto end = std::min(query.find('&'), query.size());
        const std::string_view field = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        constexpr std::string_view kTopic = "xt=urn:btih:";
        if (startsWithNoCase(field, kTopic)) return fromHexOrBase32(field.substr(kTopic.size()));
    }
    return std::nullopt;
}

std::string trackerAddressProblem(std::string_view address) {
    if (address.empty()) return "the tracker address is empty";
    if (hasSpaceOrControl(address)) return "the tracker address contains a space or a control character";
    std::string_view rest;
    bool udp = false;
    if (startsWithNoCase(address, "http://"))
        rest = address.substr(7);
    else if (startsWithNoCase(address, "https://"))
        rest = address.substr(8);
    else if (startsWithNoCase(address, "udp://")) {
        rest = address.substr(6);
        udp = true;
    } else
        return "the tracker address must start with http://, https:// or udp://";
    const std::string_view authority = rest.substr(0, std::min(rest.find_first_of("/?#"), rest.size()));
    if (authority.find('@') != std::string_view::npos)
        return "the tracker address must not hold a user name or password";
    const HostPort parts = splitHostPort(authority);
    if (parts.bracketBroken) return "the tracker address has a broken [IPv6] host";
    if (parts.host.empty()) return "the tracker address has no host";
    if (parts.hasColon && !isPort(parts.port)) return "the tracker address's port must be a number from 1 to 65535";
    if (udp && !parts.hasColon) return "a udp tracker address needs a port";
    return "";
}

std::string bootstrapNodeProblem(std::string_view node) {
    if (node.empty()) return "the DHT node is empty";
    if (hasSpaceOrControl(node)) return "the DHT node contains a space or a control character";
    const HostPort parts = splitHostPort(node);
    if (parts.bracketBroken) return "the DHT node has a broken [IPv6] host";
    if (!parts.hasColon) return "the DHT node must be written host:port";
    if (parts.host.empty()) return "the DHT node has no host";
    if (parts.host.find_first_of("/?#@[]") != std::string_view::npos)
        return "the DHT node's host is not a host name or address";
    if (!isPort(parts.port)) return "the DHT node's port must be a number from 1 to 65535";
    return "";
}

}  // namespace lanqi
