#include "platform/net_transfer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <utility>

// The parts of fetching that are the same everywhere; the transfer itself is net_linux.cpp (libcurl) or
// net_win32.cpp (WinInet).
namespace lanqi {

namespace {

bool isLocalIpv4(const unsigned char* a) {
    return a[0] == 0 || a[0] == 10 || a[0] == 127 || (a[0] == 169 && a[1] == 254) ||
           (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168) ||
           (a[0] == 100 && (a[1] & 0xC0) == 64);  // carrier-grade NAT
}

bool startsWith(const unsigned char* a, std::initializer_list<unsigned char> prefix) {
    return std::memcmp(a, prefix.begin(), prefix.size()) == 0;
}

}  // namespace

bool isLocalNetworkAddress(const char* ip) {
    if (ip == nullptr) return true;
    unsigned char a[16];
    if (inet_pton(AF_INET, ip, a) == 1) return isLocalIpv4(a);
    if (inet_pton(AF_INET6, ip, a) != 1) return true;  // not an address: never trusted as public
    // An IPv6 address that carries an IPv4 one reaches what that IPv4 address reaches: mapped (::ffff:a.b.c.d),
    // compatible (::a.b.c.d, which takes in :: and ::1), NAT64 (64:ff9b::a.b.c.d), 6to4 (2002:aabb:ccdd::)
    // and Teredo (2001:0::, the client's address inverted in the last four bytes).
    if (startsWith(a, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}) ||
        startsWith(a, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) ||
        startsWith(a, {0, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0}))
        return isLocalIpv4(a + 12);
    if (startsWith(a, {0x20, 0x02})) return isLocalIpv4(a + 2);
    if (startsWith(a, {0x20, 0x01, 0, 0})) {
        const unsigned char client[4] = {static_cast<unsigned char>(~a[12]), static_cast<unsigned char>(~a[13]),
                                         static_cast<unsigned char>(~a[14]), static_cast<unsigned char>(~a[15])};
        return isLocalIpv4(client);
    }
    return (a[0] & 0xFE) == 0xFC /* unique local */ || (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) /* link-local */ ||
           (a[0] == 0xFE && (a[1] & 0xC0) == 0xC0) /* site-local */ ||
           startsWith(a, {0, 0x64, 0xFF, 0x9B, 0, 0x01}) /* NAT64 for local use: any IPv4 behind it */;
}

namespace {

std::mutex& rulesMutex() {
    static std::mutex mutex;
    return mutex;
}

AddressRules& rulesInPlace() {
    static AddressRules rules = systemAddressRules();
    return rules;
}

}  // namespace

AddressRules systemAddressRules() { return {resolveWithSystem, isLocalNetworkAddress}; }

AddressRules currentAddressRules() {
    const std::lock_guard lock(rulesMutex());
    return rulesInPlace();
}

ScopedAddressRules::ScopedAddressRules(AddressRules rules) {
    const std::lock_guard lock(rulesMutex());
    m_previous = std::exchange(rulesInPlace(), std::move(rules));
}

ScopedAddressRules::~ScopedAddressRules() {
    const std::lock_guard lock(rulesMutex());
    rulesInPlace() = std::move(m_previous);
}

FetchOutcome fetchPage(const Text& address, const FetchLimits& limits, const CancelToken* cancel) {
    if (address.empty()) return {{}, "no address"};
    if (cancel != nullptr && cancel->cancelled()) return {{}, "cancelled", FetchFailure::Cancelled};
    const Text withoutFragment = address.substr(0, address.find('#'));
    if (withoutFragment.empty()) return {{}, "no address"};
    return transferAddress(withoutFragment, limits, cancel);
}

Bytes fetchUrl(const Text& address, const FetchLimits& limits, const CancelToken* cancel) {
    return fetchPage(address, limits, cancel).body;
}

void sleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace lanqi
