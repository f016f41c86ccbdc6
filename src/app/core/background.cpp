#include "app/core/background.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/detached_thread.h"

namespace lanqi {

void runDetached(std::function<void()> work) { startDetachedThread(std::move(work)); }

std::optional<Bytes> runProcessingEvents(std::function<Bytes()> work, EventPump& events,
                                         const std::function<bool()>& giveUp) {
    // Shared with the worker, which may outlive this call when it gives up.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Bytes> result;
    };
    auto outcome = std::make_shared<Outcome>();
    auto shared = std::make_shared<std::function<Bytes()>>(std::move(work));
    const bool started = startDetachedThread([outcome, shared] {
        Bytes result = (*shared)();
        const std::lock_guard lock(outcome->mutex);
        outcome->result = std::move(result);
        outcome->done.notify_all();
    });
    if (!started) return (*shared)();  // no thread to be had: the work runs here, the window waits

    std::unique_lock lock(outcome->mutex);
    while (!outcome->result) {
        if (giveUp && giveUp()) return std::nullopt;
        lock.unlock();
        events.processPendingEvents();
        lock.lock();
        outcome->done.wait_for(lock, std::chrono::milliseconds(10), [&] { return outcome->result.has_value(); });
    }
    return std::move(outcome->result);
}

}  // namespace lanqi
