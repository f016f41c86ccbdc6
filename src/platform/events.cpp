#include "platform/events.h"

namespace lanqi {

void TaskQueue::post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_one();
}

bool TaskQueue::runPending(std::chrono::milliseconds wait) {
    std::deque<std::function<void()>> tasks;
    {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, wait, [this] { return !m_tasks.empty(); })) return false;
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks) task();
    return true;
}

void TaskQueue::runUntil(const std::function<bool()>& done) {
    while (!done()) runPending(std::chrono::milliseconds(100));
}

}  // namespace lanqi
