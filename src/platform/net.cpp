#include "platform/net_transfer.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <chrono>
#include <cstring>
#include <thread>

// The parts of fetching that are the same everywhere; the transfer itself is net_linux.cpp (libcurl) or
// net_win32.cpp (WinInet).
namespace lanqi {

bool isLocalNetworkAddress(const char* ip) {
    if (ip == nullptr) return true;
    unsigned char a[16];
    if (inet_pton(AF_INET, ip, a) == 1) {
        return a[0] == 0 || a[0] == 10 || a[0] == 127 || (a[0] == 169 && a[1] == 254) ||
               (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168) ||
               (a[0] == 100 && (a[1] & 0xC0) == 64);  // carrier-grade NAT
    }
    if (inet_pton(AF_INET6, ip, a) != 1) return true;  // not an address: never trusted as public
    static const unsigned char kV4Mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(a, kV4Mapped, 12) == 0) {
        char v4[INET_ADDRSTRLEN];
        return inet_ntop(AF_INET, a + 12, v4, sizeof v4) == nullptr || isLocalNetworkAddress(v4);
    }
    static const unsigned char kZero[15] = {};
    const bool loopbackOrUnspecified = std::memcmp(a, kZero, 15) == 0 && (a[15] == 0 || a[15] == 1);
    return loopbackOrUnspecified || (a[0] & 0xFE) == 0xFC /* unique local */ ||
           (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) /* link-local */;
}

FetchOutcome fetchPage(const Text& address, const FetchLimits& limits, const CancelToken* cancel) {
    if (address.empty()) return {{}, "no address"};
    if (cancel != nullptr && cancel->cancelled()) return {{}, "cancelled"};
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
