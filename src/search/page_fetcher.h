#pragma once

#include "platform/net.h"
#include "platform/text.h"

namespace lanqi {

// Fetches one result page: its body, or why none arrived. Must be callable from several threads at once; a
// fetch whose token is cancelled gives up soon and returns whatever it likes (the run ignores it).
class PageFetcher {
  public:
    virtual ~PageFetcher() = default;
    virtual FetchOutcome fetch(const Text& address, const CancelToken& cancel) = 0;
};

// The real network: fetchUrl with its limits.
class HttpPageFetcher final : public PageFetcher {
  public:
    explicit HttpPageFetcher(FetchLimits limits = FetchLimits{}) : m_limits(limits) {}
    FetchOutcome fetch(const Text& address, const CancelToken& cancel) override {
        return fetchPage(address, m_limits, &cancel);
    }

  private:
    FetchLimits m_limits;
};

}  // namespace lanqi
