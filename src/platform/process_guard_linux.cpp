#include "platform/process_guard.h"

#include <sys/stat.h>
#include <unistd.h>

namespace lanqi {

LinuxProcessGuard::LinuxProcessGuard(std::string procRoot, std::vector<std::string> helperExecutables)
    : m_procRoot(std::move(procRoot)),
      m_helpers(std::move(helperExecutables)),
      m_ownId(static_cast<std::uint32_t>(::getpid())),
      m_ownUser(::geteuid()) {}

bool LinuxProcessGuard::ownedByOtherUser(std::uint32_t processId) const {
    struct stat st {};
    if (::stat((m_procRoot + "/" + std::to_string(processId)).c_str(), &st) != 0) return false;  // gone
    return st.st_uid != m_ownUser;  // as root too: other users' programs are not ours to end
}

bool LinuxProcessGuard::browserHelper(const std::string& exeFile) const {
    for (const std::string& helper : m_helpers)
        if (exeFile == helper) return true;
    return false;
}

}  // namespace lanqi
