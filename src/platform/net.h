#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

#include "platform/text.h"

namespace lanqi {

// Every bound on a fetch, in one place. A fetch that runs out of time is a failed fetch.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{10000};  // TCP connect
    std::chrono::milliseconds stallLimit{15000};      // no header line and no body byte for this long
    std::chrono::milliseconds totalLimit{30000};      // whole transfer, against a server that trickles
    std::size_t maxBodyBytes = 32u * 1024u * 1024u;   // bytes past the cap are dropped, the rest kept
    long maxRedirects = 10;
};

inline constexpr const char* kFetchUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// Lets another thread stop a fetch. Once cancelled it stays cancelled.
class CancelToken {
  public:
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> m_cancelled{false};
};

// True for an IPv4 or IPv6 address (as text) of this machine or a private network: loopback, link-local,
// the private ranges, unique local and unspecified addresses. A redirect from any other address (a public
// site) may not lead to one of these: a hostile site must not reach local services through the client.
bool isLocalNetworkAddress(const char* ip);

// HTTP GET of `address` (a text address; only ASCII is expected). The address is cut at its first "#".
// The request is "GET" with HTTP/1.0, the agent above, one "Accept: */*" header, no cookies, no proxy on
// Linux and for a local address, the user's system proxy (Internet Options) for others on Windows,
// redirects followed (but never from a public address to a local one: isLocalNetworkAddress). The status code is not
// examined: an error page's body is the result. Returns "" for an empty or unparsable address, a failure to connect or
// send, and a time-out; the bytes received so far when the connection breaks while the body is read; at most
// `maxBodyBytes` bytes. Blocking and thread-safe: each call uses its own connection. A fetch whose `cancel` token is
// cancelled ends within about a second, whatever the server does, and gives "" (also when cancelled before it began).
Bytes fetchUrl(const Text& address, const FetchLimits& limits = FetchLimits{}, const CancelToken* cancel = nullptr);

// fetchUrl, and why it failed: `error` is "" when a body (maybe a cut one) arrived, else a short English
// description (libcurl's for connection failures, "no data for 15 s" for a stall, "cancelled", ...).
// `failure` sorts the error into the kinds a person is told about.
enum class FetchFailure : unsigned char {
    None,          // a body (maybe a cut or empty one) arrived
    Refused,       // nothing accepts connections at the address
    TimedOut,      // no connection, or no data, within the limits
    HostNotFound,  // the host name does not resolve
    Tls,           // the secure connection failed (a certificate, the handshake)
    Cancelled,
    Other,  // no address, a local redirect, a send error, ...
};
struct FetchOutcome {
    Bytes body;
    std::string error;
    FetchFailure failure = error.empty() ? FetchFailure::None : FetchFailure::Other;
};
FetchOutcome fetchPage(const Text& address, const FetchLimits& limits = FetchLimits{},
                       const CancelToken* cancel = nullptr);

// Blocks the calling thread; a negative count sleeps 0 ms.
void sleepMs(int milliseconds);

}  // namespace lanqi
