#include "app/core/fade.h"

#include <algorithm>

namespace lanqi {

std::vector<int> fadeInOpacities(int stepDelay) {
    const int delay = std::clamp(stepDelay, 0, 64);
    const int steps = delay == 0 ? 1 : delay;
    const double unit = 64.0 / steps;
    const int count = 4 * steps;
    std::vector<int> levels;
    levels.reserve(static_cast<size_t>(count) + 1);
    for (int i = 1; i <= count; ++i) levels.push_back(static_cast<int>(unit * i - 1));  // truncates toward 0
    levels.push_back(kOpaque);
    return levels;
}

void fadeInWindow(FadeInHost& host, int stepDelay) {
    host.hideWindow();
    if (!host.canChangeOpacity()) {
        host.showWindow();
        return;
    }
    const int delay = std::clamp(stepDelay, 0, 64);
    const std::vector<int> levels = fadeInOpacities(delay);
    host.setWindowOpacity(0);
    host.showWindow();
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        host.setWindowOpacity(levels[i]);
        host.processPendingEvents();
        if (delay != 0) host.sleepMilliseconds(delay);
    }
    host.setWindowOpacity(levels.back());
}

bool ExitFade::closeRequested() {
    if (m_level < 0) return true;
    m_level = kOpaque;
    m_running = true;
    m_host.startFadeTimer(kTickMilliseconds);
    return false;
}

void ExitFade::tick() {
    if (!m_running) return;
    m_host.setWindowOpacity(m_level);
    m_level -= kStep;
    if (m_level < 0) {
        m_running = false;
        m_host.stopFadeTimer();
        m_host.endProgram();
    }
}

}  // namespace lanqi
