#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanqi {

// Which processes the shield must never end, whatever their names: this client, the browser engine's own
// helper processes that the client started (the engine starts them after the baseline; they are known by
// their executable), and processes of other users (not ours to end).
class ProcessGuard {
  public:
    virtual ~ProcessGuard() = default;
    virtual std::uint32_t ownProcessId() const = 0;
    virtual bool ownedByOtherUser(std::uint32_t processId) const = 0;
    // True for the executable name of one of the browser engine's helpers. None by default.
    virtual bool browserHelper(const std::string& exeFile) const {
        (void)exeFile;
        return false;
    }
};

// Qt WebEngine runs every helper (zygote, renderer, GPU, utility) as this executable.
inline constexpr const char* kQtWebEngineHelper = "QtWebEngineProcess";

// The real guard: this process's id, the owner of /proc/<id>, and the engine's helper executables.
class LinuxProcessGuard final : public ProcessGuard {
  public:
    explicit LinuxProcessGuard(std::string procRoot = "/proc",
                               std::vector<std::string> helperExecutables = {kQtWebEngineHelper});
    std::uint32_t ownProcessId() const override { return m_ownId; }
    bool ownedByOtherUser(std::uint32_t processId) const override;
    bool browserHelper(const std::string& exeFile) const override;

  private:
    std::string m_procRoot;
    std::vector<std::string> m_helpers;
    std::uint32_t m_ownId;
    unsigned m_ownUser;
};

// The guard on Windows (built for Windows only): this process's id, and the owner of a process as its access
// token names it; a process whose token cannot be read (another user's, a system service) is not ours.
class WindowsProcessGuard final : public ProcessGuard {
  public:
    WindowsProcessGuard();
    std::uint32_t ownProcessId() const override { return m_ownId; }
    bool ownedByOtherUser(std::uint32_t processId) const override;

  private:
    std::uint32_t m_ownId;
    std::vector<unsigned char> m_ownUser;  // this process's user SID
};

}  // namespace lanqi
