#pragma once

#include <chrono>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "platform/desktop.h"
#include "platform/events.h"
#include "platform/process_guard.h"

namespace lanqi {

// What the shield shows and drives on the main window.
class ShieldView {
  public:
    virtual ~ShieldView() = default;
    virtual void setShieldStatusText(const Text& text) = 0;  // 标签3
    // The "播放器" menu's "开启看片防护盾" and "关闭看片防护盾" entries; exactly one is visible.
    virtual void setShieldMenuEntries(bool switchOnVisible, bool switchOffVisible) = 0;
    virtual void setShieldTimerPeriod(int milliseconds) = 0;  // 时钟3; 0 stops it
};

inline constexpr int kShieldPeriodMs = 50;

// Ends every process whose executable name was not running when the player page began to load.
class ProtectionShield {
  public:
    ProtectionShield(ProcessControl& processes, ShieldView& view, EventPump& events, const ProcessGuard& guard);

    void switchShieldOn();
    void switchShieldOff();      // the tick already due still runs one scan, then the timer stays stopped
    void takeProcessBaseline();  // on every load start of the player page, whether on or off
    void requestStop() { m_stopRequested = true; }
    void shieldScan();  // one tick of 时钟3

    bool shieldOn() const { return m_on; }
    const std::vector<ProcessRecord>& processBaseline() const { return m_baseline; }

    // The window keeps painting during a scan: events are processed whenever this much time has passed.
    void setYieldSlice(std::chrono::microseconds slice) { m_yieldSlice = slice; }

    static const Text& onText();
    static const Text& offText();

  private:
    std::unordered_set<std::uint32_t> protectedProcesses(const std::vector<ProcessRecord>& current) const;

    ProcessControl& m_processes;
    ShieldView& m_view;
    EventPump& m_events;
    const ProcessGuard& m_guard;
    bool m_on = false;
    bool m_stopRequested = false;
    std::vector<ProcessRecord> m_baseline;
    std::chrono::microseconds m_yieldSlice{4000};
};

}  // namespace lanqi
