#include "platform/net_transfer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace lanqi {
namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
    Bytes body;
    std::size_t cap = 0;
    bool capped = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    const size_t room = sink->cap - sink->body.size();
    if (n > room) {
        sink->body.append(data, room);
        sink->capped = true;
        return 0;  // stops the transfer; what was read up to the cap is the result
    }
    sink->body.append(data, n);
    return n;
}

using Clock = std::chrono::steady_clock;

// What the callbacks of one transfer share: its cancel token, when it last made progress, and whether it
// began at a local address.
struct Watch {
    const CancelToken* cancel = nullptr;
    std::chrono::milliseconds stallLimit{0};
    Clock::time_point lastProgress = Clock::now();
    curl_off_t bodyBytes = 0;
    std::function<bool(const char*)> isLocal;
    int requests = 0;  // sent so far: the first on the address the fetch began at, one per redirect after it
    bool startedLocal = false;
    bool refusedLocal = false;  // a redirect from a public address led to a local one
};

// libcurl asks this during every transfer, also while nothing arrives (about once a second then): a
// cancelled fetch, and one with neither a header line nor a body byte for the stall limit, stop here.
int checkProgress(void* user, curl_off_t, curl_off_t bodyNow, curl_off_t, curl_off_t) {
    auto* watch = static_cast<Watch*>(user);
    if (watch->cancel != nullptr && watch->cancel->cancelled()) return 1;
    const auto now = Clock::now();
    if (bodyNow != watch->bodyBytes) {
        watch->bodyBytes = bodyNow;
        watch->lastProgress = now;
    }
    return now - watch->lastProgress > watch->stallLimit ? 1 : 0;
}

size_t readHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Watch*>(user)->lastProgress = Clock::now();
    return size * count;
}

// Instead of socket(2), for every address libcurl is about to connect to: once the first request went to a
// public address, no later connection (a redirect's) may open to a local one. Refused here, nothing of the
// fetch reaches the local address, not even a TCP handshake.
curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* watch = static_cast<Watch*>(user);
    if (watch->requests > 0 && !watch->startedLocal) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* bytes = nullptr;
        if (address->family == AF_INET) bytes = &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr;
        if (address->family == AF_INET6) bytes = &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr;
        if (bytes == nullptr || inet_ntop(address->family, bytes, text, sizeof text) == nullptr ||
            watch->isLocal(text)) {
            watch->refusedLocal = true;
            return CURL_SOCKET_BAD;
        }
    }
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Before each request, on the connection it goes out on: the first request's peer tells whether the fetch
// began at a local address; a later one (a reused connection) is checked as openSocket checks new ones.
int checkPeer(void* user, char* peerIp, char*, int, int) {
    auto* watch = static_cast<Watch*>(user);
    const bool local = watch->isLocal(peerIp);
    if (watch->requests++ == 0) watch->startedLocal = local;
    watch->refusedLocal = local && !watch->startedLocal;
    return watch->refusedLocal ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

}  // namespace

FetchOutcome transferAddress(const Text& withoutFragment, const FetchLimits& limits, const CancelToken* cancel) {
    initCurlOnce();
    // The address must split into scheme, host and object; anything else is no request at all.
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, withoutFragment.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return {{}, "not an address"};

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return {{}, "no connection handle"};
    CURL* h = easy.get();

    // "Accept: */*" replaces libcurl's own Accept line, so the request carries exactly one.
    std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));

    Sink sink;
    sink.cap = limits.maxBodyBytes;

    curl_easy_setopt(h, CURLOPT_CURLU, url.get());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kFetchUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_PROXY, "");  // direct connection, whatever the environment says
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalLimit.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    Watch watch;
    watch.cancel = cancel;
    watch.stallLimit = limits.stallLimit;
    watch.isLocal = currentAddressRules().isLocal;
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &watch);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, checkPeer);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &watch);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &watch);

    const CURLcode rc = curl_easy_perform(h);
    if (rc == CURLE_OK) return {std::move(sink.body), {}};
    if (watch.refusedLocal) return {{}, "redirected to a local address"};
    // Cancelled, stalled, or redirected to a local address: a failed fetch, whatever arrived before.
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        if (cancel != nullptr && cancel->cancelled()) return {{}, "cancelled", FetchFailure::Cancelled};
        return {{}, "no data for " + std::to_string(limits.stallLimit.count() / 1000) + " s", FetchFailure::TimedOut};
    }
    if (sink.capped) return {std::move(sink.body), {}};
    switch (rc) {
        case CURLE_OPERATION_TIMEDOUT:  // stalled or too slow: a failed fetch
            return {{}, curl_easy_strerror(rc), FetchFailure::TimedOut};
        case CURLE_COULDNT_RESOLVE_HOST:
            return {{}, curl_easy_strerror(rc), FetchFailure::HostNotFound};
        case CURLE_COULDNT_CONNECT:
            return {{}, curl_easy_strerror(rc), FetchFailure::Refused};
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return {{}, curl_easy_strerror(rc), FetchFailure::Tls};
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_SEND_ERROR:
        case CURLE_TOO_MANY_REDIRECTS:
            return {{}, curl_easy_strerror(rc)};
        default:
            // The connection broke while the body was read: the bytes so far are the result.
            return {std::move(sink.body), {}};
    }
}

std::vector<std::string> resolveWithSystem(const std::string& host) {
    std::vector<std::string> found;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return found;
    for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* bytes = nullptr;
        if (a->ai_family == AF_INET) bytes = &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr;
        if (a->ai_family == AF_INET6) bytes = &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr;
        if (bytes != nullptr && inet_ntop(a->ai_family, bytes, text, sizeof text) != nullptr) found.emplace_back(text);
    }
    ::freeaddrinfo(list);
    return found;
}

}  // namespace lanqi
