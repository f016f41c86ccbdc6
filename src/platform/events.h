#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace lanqi {

// Lets queued user-interface events (input, paint, timers, browser events) run in the middle of a long
// piece of work, and returns when the queue is empty. The Qt side runs QCoreApplication::processEvents;
// headless front ends and tests pass an implementation that does nothing or counts its calls.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void processPendingEvents() = 0;
};

class NullEventPump final : public EventPump {
  public:
    void processPendingEvents() override {}
};

// The one way a worker thread hands work back to the user-interface thread: `post` may be called from
// any thread, and the task runs later on the user-interface thread, in posting order. Tasks still queued
// when the poster goes away are dropped. The Qt side queues an invocation on the event loop.
class TaskPoster {
  public:
    virtual ~TaskPoster() = default;
    virtual void post(std::function<void()> task) = 0;
};

// A poster for front ends without an event loop (lanqi-cli, tests): the thread that owns it runs the
// queued tasks when it asks for them.
class TaskQueue final : public TaskPoster {
  public:
    void post(std::function<void()> task) override;

    // Runs the tasks queued now, waiting up to `wait` for the first one. False when none came.
    bool runPending(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Runs tasks as they come until `done` answers true (asked before each wait).
    void runUntil(const std::function<bool()>& done);

  private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

}  // namespace lanqi
