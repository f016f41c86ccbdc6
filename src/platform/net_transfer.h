#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/net.h"

namespace lanqi {

// The transfer behind fetchPage, one per build (net_linux.cpp, net_win32.cpp): `address` is not empty, has
// no fragment, and the fetch was not cancelled before it began.
FetchOutcome transferAddress(const Text& address, const FetchLimits& limits, const CancelToken* cancel);

// Where a transfer learns a host's addresses and which peers count as local. The Windows transfer resolves
// each hop once with `resolve` and connects to the address it checked; libcurl resolves by itself and the
// Linux transfer checks each address before it opens a socket to it. Tests put rules of their own in place to
// stand for a public site and a name whose answers change, on loopback only.
struct AddressRules {
    std::function<std::vector<std::string>(const std::string& host)> resolve;  // numeric addresses, best first
    std::function<bool(const char* ip)> isLocal;
};

// The system's resolver: the numeric addresses of `host` (UTF-8) for a stream connection, in the order the
// system gives them; none when the name does not resolve. getaddrinfo on Linux, GetAddrInfoW on Windows.
std::vector<std::string> resolveWithSystem(const std::string& host);

// resolveWithSystem and isLocalNetworkAddress.
AddressRules systemAddressRules();

// The rules a transfer starting now uses.
AddressRules currentAddressRules();

// Puts `rules` in place until it goes away; for tests, while no fetch runs.
class ScopedAddressRules {
  public:
    explicit ScopedAddressRules(AddressRules rules);
    ~ScopedAddressRules();
    ScopedAddressRules(const ScopedAddressRules&) = delete;
    ScopedAddressRules& operator=(const ScopedAddressRules&) = delete;

  private:
    AddressRules m_previous;
};

}  // namespace lanqi
