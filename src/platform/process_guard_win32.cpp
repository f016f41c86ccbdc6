#include "platform/process_guard.h"

#include <windows.h>

namespace lanqi {
namespace {

// The user SID of a process, as bytes; empty when its token cannot be read.
std::vector<unsigned char> processUser(HANDLE process) {
    std::vector<unsigned char> sid;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return sid;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
        if (::IsValidSid(user)) {
            const auto* bytes = static_cast<const unsigned char*>(user);
            sid.assign(bytes, bytes + ::GetLengthSid(user));
        }
    }
    ::CloseHandle(token);
    return sid;
}

}  // namespace

WindowsProcessGuard::WindowsProcessGuard()
    : m_ownId(::GetCurrentProcessId()), m_ownUser(processUser(::GetCurrentProcess())) {}

bool WindowsProcessGuard::ownedByOtherUser(std::uint32_t processId) const {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // gone, or not ours to look at
    const std::vector<unsigned char> user = processUser(process);
    ::CloseHandle(process);
    return user.empty() || user != m_ownUser;
}

}  // namespace lanqi
