#include "platform/net_transfer.h"

#include <windows.h>
#include <wininet.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win32_text.h"

// Fetching with WinInet: one session per fetch, HTTP/1.0, no cookies, no cache, redirects followed here (one
// request per hop) so that each hop's host can be checked. WinInet's own connect and receive time-outs give
// the connect limit and the stall limit; the whole-transfer limit and cancelling are watched by the caller
// while the transfer runs on a thread of its own.
namespace lanqi {
namespace {

using Clock = std::chrono::steady_clock;

struct InternetHandle {
    HINTERNET handle = nullptr;
    ~InternetHandle() { close(); }
    void close() {
        if (handle != nullptr) ::InternetCloseHandle(handle);
        handle = nullptr;
    }
};

void initSocketsOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}

// True when `host` is a local address or resolves to one (any of its addresses).
bool hostIsLocal(const std::wstring& host) {
    initSocketsOnce();
    const std::string name = narrow(host);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    bool local = false;
    for (addrinfo* a = found; a != nullptr && !local; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        if (a->ai_family == AF_INET)
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, text, sizeof text);
        else if (a->ai_family == AF_INET6)
            ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr, text, sizeof text);
        local = text[0] != '\0' && isLocalNetworkAddress(text);
    }
    ::freeaddrinfo(found);
    return local;
}

struct Target {
    bool https = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;  // path and query
};

bool crack(const std::wstring& address, Target& target) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t scheme[16], host[256], path[8192], extra[8192];
    parts.lpszScheme = scheme;
    parts.dwSchemeLength = 16;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 8192;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 8192;
    if (!::InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    if (parts.dwHostNameLength == 0) return false;
    target.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.host.assign(host, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.object.assign(path, parts.dwUrlPathLength);
    target.object.append(extra, parts.dwExtraInfoLength);
    if (target.object.empty()) target.object = L"/";
    return true;
}

std::string wininetError(DWORD code) {
    switch (code) {
        case ERROR_INTERNET_NAME_NOT_RESOLVED:
            return "could not resolve the host name";
        case ERROR_INTERNET_CANNOT_CONNECT:
            return "could not connect to the server";
        case ERROR_INTERNET_TIMEOUT:
            return "timed out";
        case ERROR_INTERNET_CONNECTION_RESET:
        case ERROR_INTERNET_CONNECTION_ABORTED:
            return "the connection broke";
        default:
            return "WinInet error " + std::to_string(code);
    }
}

// One transfer, on a thread of its own: it ends by itself (the receive time-out bounds every wait), and
// stops reading once the fetch that started it has given up on it.
FetchOutcome transferPage(std::wstring current, Target target, const FetchLimits& limits,
                          const std::atomic<bool>& abandoned) {
    const std::wstring agent = widen(kFetchUserAgent);
    InternetHandle session;
    session.handle = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (session.handle == nullptr) return {{}, "no connection handle"};
    DWORD connectMs = static_cast<DWORD>(limits.connectTimeout.count());
    DWORD stallMs = static_cast<DWORD>(limits.stallLimit.count());
    ::InternetSetOptionW(session.handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    const std::string stalled = "no data for " + std::to_string(limits.stallLimit.count() / 1000) + " s";

    const bool startedLocal = hostIsLocal(target.host);
    for (long hop = 0;; ++hop) {
        if (hop > limits.maxRedirects) return {{}, "too many redirects"};
        if (hop > 0 && !startedLocal && hostIsLocal(target.host)) return {{}, "redirected to a local address"};
        InternetHandle connection;
        connection.handle = ::InternetConnectW(session.handle, target.host.c_str(), target.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0);
        if (connection.handle == nullptr) return {{}, wininetError(::GetLastError())};
        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH;
        if (target.https) flags |= INTERNET_FLAG_SECURE;
        InternetHandle request;
        request.handle = ::HttpOpenRequestW(connection.handle, L"GET", target.object.c_str(), L"HTTP/1.0", nullptr,
                                            accept, flags, 0);
        if (request.handle == nullptr) return {{}, wininetError(::GetLastError())};
        // A stall (no header line, no body byte) of the stall limit fails the wait it happens in.
        ::InternetSetOptionW(request.handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
        ::InternetSetOptionW(request.handle, INTERNET_OPTION_SEND_TIMEOUT, &stallMs, sizeof stallMs);
        if (!::HttpSendRequestW(request.handle, nullptr, 0, nullptr, 0)) {
            const DWORD error = ::GetLastError();
            return {{}, error == ERROR_INTERNET_TIMEOUT ? stalled : wininetError(error)};
        }

        DWORD status = 0, size = sizeof status;
        ::HttpQueryInfoW(request.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
            wchar_t location[8192];
            DWORD length = sizeof location;
            if (::HttpQueryInfoW(request.handle, HTTP_QUERY_LOCATION, location, &length, nullptr)) {
                // A relative location is taken against the address that answered.
                wchar_t combined[INTERNET_MAX_URL_LENGTH];
                DWORD combinedLength = INTERNET_MAX_URL_LENGTH;
                if (!::InternetCombineUrlW(current.c_str(), location, combined, &combinedLength, ICU_NO_ENCODE) ||
                    !crack(std::wstring(combined, combinedLength), target))
                    return {{}, "a redirect to no address"};
                current.assign(combined, combinedLength);
                continue;
            }
        }

        Bytes body;
        char buffer[65536];
        while (!abandoned.load()) {
            // What has arrived, not a whole buffer: a connection that breaks keeps the bytes before the break.
            DWORD available = 0;
            const auto waitStart = Clock::now();
            const bool answered = ::InternetQueryDataAvailable(request.handle, &available, 0, 0) != 0;
            // A wait as long as the stall limit is a stall, whatever the library calls it (Wine's WinInet may
            // end the header block at a time-out and go on reading, or report a broken connection as one).
            if (Clock::now() - waitStart >= limits.stallLimit * 9 / 10) return {{}, stalled};
            if (answered && available == 0) break;  // the end of the body
            // A connection that broke may still hold bytes that arrived before the break: they are read.
            const DWORD wanted = answered ? std::min<DWORD>(available, sizeof buffer) : sizeof buffer;
            DWORD read = 0;
            if (!::InternetReadFile(request.handle, buffer, wanted, &read) || read == 0) break;
            const size_t room = limits.maxBodyBytes - body.size();
            body.append(buffer, std::min<size_t>(read, room));
            if (read >= room) break;  // bytes past the cap are dropped, the rest kept
        }
        return {std::move(body), {}};
    }
}

struct Transfer {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    FetchOutcome outcome;
    std::atomic<bool> abandoned{false};
};

}  // namespace

FetchOutcome transferAddress(const Text& withoutFragment, const FetchLimits& limits, const CancelToken* cancel) {
    const std::wstring current = widen(withoutFragment);
    Target target;
    if (current.empty() || !crack(current, target)) return {{}, "not an address"};

    // The transfer runs on a thread of its own, so that cancelling and the whole-transfer limit take effect
    // here at once, whatever WinInet waits on; the abandoned transfer ends by itself soon after.
    auto transfer = std::make_shared<Transfer>();
    std::thread([transfer, current, target, limits] {
        FetchOutcome outcome = transferPage(current, target, limits, transfer->abandoned);
        const std::lock_guard lock(transfer->mutex);
        transfer->outcome = std::move(outcome);
        transfer->done = true;
        transfer->finished.notify_all();
    }).detach();

    const auto deadline = Clock::now() + limits.totalLimit;
    std::unique_lock lock(transfer->mutex);
    while (!transfer->done) {
        if (cancel != nullptr && cancel->cancelled()) {
            transfer->abandoned = true;
            return {{}, "cancelled"};
        }
        if (Clock::now() >= deadline) {
            transfer->abandoned = true;
            return {{}, "took longer than " + std::to_string(limits.totalLimit.count() / 1000) + " s"};
        }
        transfer->finished.wait_for(lock, std::chrono::milliseconds(50));
    }
    return std::move(transfer->outcome);
}

}  // namespace lanqi
