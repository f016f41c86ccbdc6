#include "actions/shield.h"

#include <unordered_map>

namespace lanqi {

ProtectionShield::ProtectionShield(ProcessControl& processes, ShieldView& view, EventPump& events,
                                   const ProcessGuard& guard)
    : m_processes(processes), m_view(view), m_events(events), m_guard(guard) {}

const Text& ProtectionShield::onText() {
    static const Text t = gbk(u8" 防护盾已开启,看片不中招(任何文件无法打开运行,右键可关闭)");
    return t;
}

const Text& ProtectionShield::offText() {
    static const Text t = gbk(u8" 防护盾已关闭,无保护看片(右键可重新开启)");
    return t;
}

void ProtectionShield::switchShieldOn() {
    m_on = true;
    m_view.setShieldMenuEntries(false, true);
    m_view.setShieldStatusText(onText());
    m_view.setShieldTimerPeriod(kShieldPeriodMs);
}

void ProtectionShield::switchShieldOff() {
    m_on = false;
    m_view.setShieldMenuEntries(true, false);
    m_view.setShieldStatusText(offText());
}

void ProtectionShield::takeProcessBaseline() { m_baseline = m_processes.listProcesses(); }

std::unordered_set<std::uint32_t> ProtectionShield::protectedProcesses(
    const std::vector<ProcessRecord>& current) const {
    // The client, and the engine's helpers among its descendants; a helper's own children are helpers too
    // when they run the helper executable. Anything else the client's browser starts (a protocol handler,
    // say) is ended like any other new program.
    std::unordered_multimap<std::uint32_t, const ProcessRecord*> children;
    for (const auto& p : current) children.emplace(p.parentProcessId, &p);
    std::unordered_set<std::uint32_t> result{m_guard.ownProcessId()};
    std::vector<std::uint32_t> todo{m_guard.ownProcessId()};
    while (!todo.empty()) {
        const std::uint32_t parent = todo.back();
        todo.pop_back();
        auto [first, last] = children.equal_range(parent);
        for (auto it = first; it != last; ++it) {
            const ProcessRecord& child = *it->second;
            if (m_guard.browserHelper(child.exeFile) && result.insert(child.processId).second)
                todo.push_back(child.processId);
        }
    }
    return result;
}

void ProtectionShield::shieldScan() {
    const std::vector<ProcessRecord> current = m_processes.listProcesses();
    m_view.setShieldTimerPeriod(0);  // no tick may start another scan while this one runs

    // The scan works on the baseline as it stood when it began; an empty one allows everything.
    if (!m_baseline.empty()) {
        std::unordered_set<Text> allowed;
        for (const auto& b : m_baseline) allowed.insert(b.exeFile);
        const auto protectedIds = protectedProcesses(current);

        using Clock = std::chrono::steady_clock;
        auto sliceStart = Clock::now();
        for (const auto& r : current) {
            if (m_stopRequested) break;
            // Names compare byte for byte: a name differing only in letter case is not allowed.
            if (!allowed.count(r.exeFile) && !protectedIds.count(r.processId) && !m_guard.ownedByOtherUser(r.processId))
                m_processes.terminateProcess(r.processId);
            if (Clock::now() - sliceStart >= m_yieldSlice) {
                m_events.processPendingEvents();
                sliceStart = Clock::now();
            }
        }
    }
    m_events.processPendingEvents();
    m_view.setShieldTimerPeriod(m_on ? kShieldPeriodMs : 0);
    m_stopRequested = false;
}

}  // namespace lanqi
