#pragma once

#include <QObject>

#include "platform/events.h"

namespace lanqi {

// The posting seam on Qt: each task is a queued invocation on the event loop of the thread that made the
// poster (the user-interface thread). Tasks still queued when the poster is destroyed are dropped.
class QtTaskPoster final : public TaskPoster {
  public:
    void post(std::function<void()> task) override;

  private:
    QObject m_context;
};

}  // namespace lanqi
