#include "platform/net_transfer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "platform/detached_thread.h"
#include "platform/win32_text.h"

// Fetching with WinInet: one session per fetch, HTTP/1.0, no cookies, no cache, redirects followed here (one
// request per hop) so that each hop's host can be checked. WinInet's own connect and receive time-outs give
// the connect limit and the stall limit; the whole-transfer limit and cancelling are watched by the caller
// while the transfer runs on a thread of its own. Each hop's host is resolved once, here: an http hop connects
// to the address that was checked (the Host line keeps the name), so a name that answers a public address to
// the check and a local one to the connection gains nothing.
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

// A failed transfer for WinInet's error `code`, its kind told apart.
FetchOutcome wininetFailure(DWORD code) {
    const bool tls = code == ERROR_INTERNET_SEC_CERT_DATE_INVALID || code == ERROR_INTERNET_SEC_CERT_CN_INVALID ||
                     code == ERROR_INTERNET_INVALID_CA || code == ERROR_INTERNET_SECURITY_CHANNEL_ERROR ||
                     code == ERROR_INTERNET_SEC_INVALID_CERT || code == ERROR_INTERNET_SEC_CERT_REVOKED ||
                     code == ERROR_INTERNET_SEC_CERT_ERRORS;
    const FetchFailure kind = code == ERROR_INTERNET_NAME_NOT_RESOLVED ? FetchFailure::HostNotFound
                              : code == ERROR_INTERNET_CANNOT_CONNECT  ? FetchFailure::Refused
                              : code == ERROR_INTERNET_TIMEOUT         ? FetchFailure::TimedOut
                              : tls                                    ? FetchFailure::Tls
                                                                       : FetchFailure::Other;
    return {{}, wininetError(code), kind};
}

// The host part of a Host line: a literal IPv6 address in brackets, the port when it is not the scheme's.
std::wstring hostLine(const Target& target) {
    std::wstring host = target.host;
    if (host.find(L':') != std::wstring::npos && host.front() != L'[') host = L"[" + host + L"]";
    const INTERNET_PORT standard = target.https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    if (target.port != standard) host += L":" + std::to_wstring(target.port);
    return host;
}

// One transfer, on a thread of its own: it ends by itself (the receive time-out bounds every wait), and
// stops reading once the fetch that started it has given up on it.
// The handles of one transfer, closed by their owner once the outcome is out: Wine's WinInet reads the rest
// of an announced body when a request handle closes, which must not keep a fetch cut at its cap waiting.
struct Handles {
    InternetHandle session, connection, request;
    DWORD sessionAccess = INTERNET_OPEN_TYPE_DIRECT;  // how `session` was opened
};

FetchOutcome transferPage(std::wstring current, Target target, const FetchLimits& limits, const AddressRules& rules,
                          const std::atomic<bool>& abandoned, Handles& handles) {
    const std::wstring agent = widen(kFetchUserAgent);
    InternetHandle& session = handles.session;
    DWORD connectMs = static_cast<DWORD>(limits.connectTimeout.count());
    DWORD stallMs = static_cast<DWORD>(limits.stallLimit.count());
    const std::string stalled = "no data for " + std::to_string(limits.stallLimit.count() / 1000) + " s";

    bool startedLocal = false;
    for (long hop = 0;; ++hop) {
        if (hop > limits.maxRedirects) return {{}, "too many redirects"};
        std::string host = narrow(target.host);
        if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
        const std::vector<std::string> addresses = rules.resolve(host);
        if (addresses.empty()) return wininetFailure(ERROR_INTERNET_NAME_NOT_RESOLVED);
        // An http hop goes to the first address, the one judged here. An https hop goes by name, so that the
        // certificate is checked against it; every address the name has must pass, and a name that answers
        // otherwise at the connection meets a certificate that is not its own.
        const bool local = target.https ? std::any_of(addresses.begin(), addresses.end(),
                                                      [&](const std::string& a) { return rules.isLocal(a.c_str()); })
                                        : rules.isLocal(addresses.front().c_str());
        if (hop == 0) startedLocal = local;
        if (local && !startedLocal) return {{}, "redirected to a local address"};
        const std::wstring peer = target.https ? target.host : widen(addresses.front());
        handles.request.close();
        handles.connection.close();
        // A public site goes through the proxy the user set for the system (or none); a local one is reached
        // directly, whatever the proxy's own exceptions say.
        const DWORD access = local ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
        if (session.handle == nullptr || handles.sessionAccess != access) {
            session.close();
            session.handle = ::InternetOpenW(agent.c_str(), access, nullptr, nullptr, 0);
            if (session.handle == nullptr) return {{}, "no connection handle"};
            handles.sessionAccess = access;
            ::InternetSetOptionW(session.handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
        }
        InternetHandle& connection = handles.connection;
        connection.handle = ::InternetConnectW(session.handle, peer.c_str(), target.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0);
        if (connection.handle == nullptr) return wininetFailure(::GetLastError());
        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH;
        if (target.https) flags |= INTERNET_FLAG_SECURE;
        InternetHandle& request = handles.request;
        request.handle = ::HttpOpenRequestW(connection.handle, L"GET", target.object.c_str(), L"HTTP/1.0", nullptr,
                                            accept, flags, 0);
        if (request.handle == nullptr) return wininetFailure(::GetLastError());
        if (!target.https) {
            const std::wstring line = L"Host: " + hostLine(target);
            ::HttpAddRequestHeadersW(request.handle, line.c_str(), static_cast<DWORD>(line.size()),
                                     HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
        }
        // A stall (no header line, no body byte) of the stall limit fails the wait it happens in.
        ::InternetSetOptionW(request.handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
        ::InternetSetOptionW(request.handle, INTERNET_OPTION_SEND_TIMEOUT, &stallMs, sizeof stallMs);
        if (!::HttpSendRequestW(request.handle, nullptr, 0, nullptr, 0)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_INTERNET_TIMEOUT) return {{}, stalled, FetchFailure::TimedOut};
            return wininetFailure(error);
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
            if (Clock::now() - waitStart >= limits.stallLimit * 9 / 10) return {{}, stalled, FetchFailure::TimedOut};
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

// What a fetch and its transfer's thread share. The thread holds a reference until its last step, so a fetch
// that gives up (cancelled, or past the whole-transfer limit) leaves nothing the thread still uses.
struct Transfer {
    std::wstring current;
    Target target;
    FetchLimits limits;
    AddressRules rules;
    std::atomic<bool> abandoned{false};
    FetchOutcome outcome;  // the thread's, until `ready` is set
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Transfer() {
        if (ready != nullptr) ::CloseHandle(ready);
    }
};

}  // namespace

FetchOutcome transferAddress(const Text& withoutFragment, const FetchLimits& limits, const CancelToken* cancel) {
    initSocketsOnce();
    auto transfer = std::make_shared<Transfer>();
    transfer->current = widen(withoutFragment);
    if (transfer->current.empty() || !crack(transfer->current, transfer->target)) return {{}, "not an address"};
    transfer->limits = limits;
    transfer->rules = currentAddressRules();

    // The transfer runs on a thread of its own, so that cancelling and the whole-transfer limit take effect
    // here at once, whatever WinInet waits on; a transfer given up on ends by itself soon after.
    if (transfer->ready == nullptr) return {{}, "no event for the transfer"};
    // The thread (one of the system's own: startDetachedThread) holds its reference to the end. It hands the
    // outcome over before the handles close; it ends by itself after that.
    const bool started = startDetachedThread([transfer] {
        Handles handles;
        transfer->outcome = transferPage(transfer->current, transfer->target, transfer->limits, transfer->rules,
                                         transfer->abandoned, handles);
        ::SetEvent(transfer->ready);
    });
    if (!started) return {{}, "no thread for the transfer"};
    const auto deadline = Clock::now() + limits.totalLimit;
    for (;;) {
        if (::WaitForSingleObject(transfer->ready, 50) == WAIT_OBJECT_0) return std::move(transfer->outcome);
        const bool cancelled = cancel != nullptr && cancel->cancelled();
        if (cancelled || Clock::now() >= deadline) {
            transfer->abandoned = true;
            if (cancelled) return {{}, "cancelled", FetchFailure::Cancelled};
            return {{},
                    "took longer than " + std::to_string(limits.totalLimit.count() / 1000) + " s",
                    FetchFailure::TimedOut};
        }
    }
}

std::vector<std::string> resolveWithSystem(const std::string& host) {
    initSocketsOnce();
    std::vector<std::string> found;
    const std::wstring name = widen(host);
    if (name.empty()) return found;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* list = nullptr;
    if (::GetAddrInfoW(name.c_str(), nullptr, &hints, &list) != 0) return found;
    for (const ADDRINFOW* a = list; a != nullptr; a = a->ai_next) {
        wchar_t text[INET6_ADDRSTRLEN] = {};
        const void* bytes = nullptr;
        if (a->ai_family == AF_INET) bytes = &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
        if (a->ai_family == AF_INET6) bytes = &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr;
        if (bytes != nullptr && ::InetNtopW(a->ai_family, bytes, text, INET6_ADDRSTRLEN) != nullptr)
            found.push_back(narrow(text));
    }
    ::FreeAddrInfoW(list);
    return found;
}

}  // namespace lanqi
