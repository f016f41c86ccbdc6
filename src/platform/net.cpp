#include "platform/net.h"

#include <curl/curl.h>

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

// libcurl asks this during every transfer, also while nothing arrives (about once a second then).
int checkCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const CancelToken*>(user);
    return cancel != nullptr && cancel->cancelled() ? 1 : 0;
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

Bytes fetchUrl(const Text& address, const FetchLimits& limits, const CancelToken* cancel) {
    if (address.empty() || (cancel != nullptr && cancel->cancelled())) return {};
    const Text withoutFragment = address.substr(0, address.find('#'));
    if (withoutFragment.empty()) return {};

    initCurlOnce();
    // The address must split into scheme, host and object; anything else is no request at all.
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, withoutFragment.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return {};

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return {};
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
    // A stall: under one byte a second for the whole stall limit.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>((limits.stallLimit.count() + 999) / 1000)));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    if (cancel != nullptr) {
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkCancel);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancel);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode rc = curl_easy_perform(h);
    if (rc == CURLE_ABORTED_BY_CALLBACK) return {};
    if (rc == CURLE_OK) return std::move(sink.body);
    if (sink.capped) return std::move(sink.body);
    switch (rc) {
        case CURLE_OPERATION_TIMEDOUT:  // stalled or too slow: a failed fetch
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_SEND_ERROR:
        case CURLE_TOO_MANY_REDIRECTS:
            return {};
        default:
            // The connection broke while the body was read: the bytes so far are the result.
            return std::move(sink.body);
    }
}

void sleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace lanqi
