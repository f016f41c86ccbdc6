#pragma once

#include <functional>
#include <optional>

#include "platform/events.h"
#include "platform/text.h"

namespace lanqi {

// Runs `work` on a thread of its own that nothing waits for: a request whose answer nobody reads. The thread
// ends when the work does; at program exit it is simply abandoned.
void runDetached(std::function<void()> work);

// Runs `work` on a thread of its own and processes pending events (every 10 ms at most) until it is done, so the
// window stays live during a blocking fetch. Returns the work's result; nullopt as soon as `giveUp` answers true,
// leaving the work to finish unobserved.
std::optional<Bytes> runProcessingEvents(std::function<Bytes()> work, EventPump& events,
                                         const std::function<bool()>& giveUp);

}  // namespace lanqi
