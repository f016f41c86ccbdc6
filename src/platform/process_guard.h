#pragma once

#include <cstdint>
#include <string>

namespace lanqi {

// Which processes the shield must never end, whatever their names: this client and every process
// descended from it (the browser engine starts helpers after the baseline), and processes of other users
// (the system refuses to end them anyway).
class ProcessGuard {
  public:
    virtual ~ProcessGuard() = default;
    virtual std::uint32_t ownProcessId() const = 0;
    virtual bool ownedByOtherUser(std::uint32_t processId) const = 0;
};

// The real guard: this process's id, and the owner of /proc/<id>.
class LinuxProcessGuard final : public ProcessGuard {
  public:
    LinuxProcessGuard(std::string procRoot = "/proc");
    std::uint32_t ownProcessId() const override { return m_ownId; }
    bool ownedByOtherUser(std::uint32_t processId) const override;

  private:
    std::string m_procRoot;
    std::uint32_t m_ownId;
    unsigned m_ownUser;
};

}  // namespace lanqi
