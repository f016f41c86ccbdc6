#pragma once

#include <QCoreApplication>

#include "platform/events.h"

namespace lanqi {

// The event pump of the Qt side: QCoreApplication::processEvents, which runs input, paint and timer events
// that are already queued and returns.
class QtEventPump final : public EventPump {
  public:
    void processPendingEvents() override { QCoreApplication::processEvents(); }
};

}  // namespace lanqi
