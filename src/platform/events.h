#pragma once

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

}  // namespace lanqi
