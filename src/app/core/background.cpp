#include "app/core/background.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace lanqi {

void runDetached(std::function<void()> work) { std::thread(std::move(work)).detach(); }

std::optional<Bytes> runProcessingEvents(std::function<Bytes()> work, EventPump& events,
                                         const std::function<bool()>& giveUp) {
    // Shared with the worker, which may outlive this call when it gives up.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Bytes> result;
    };
    auto outcome = std::make_shared<Outcome>();
    runDetached([outcome, work = std::move(work)] {
        Bytes result = work();
        const std::lock_guard lock(outcome->mutex);
        outcome->result = std::move(result);
        outcome->done.notify_all();
    });

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
