#pragma once

#include "platform/net.h"
#include "platform/text.h"

namespace lanqi {

// Fetches one result page. Must be callable from several threads at once.
class PageFetcher {
  public:
    virtual ~PageFetcher() = default;
    virtual Bytes fetch(const Text& address) = 0;
};

// The real network: fetchUrl with its limits.
class HttpPageFetcher final : public PageFetcher {
  public:
    explicit HttpPageFetcher(FetchLimits limits = FetchLimits{}) : m_limits(limits) {}
    Bytes fetch(const Text& address) override { return fetchUrl(address, m_limits); }

  private:
    FetchLimits m_limits;
};

}  // namespace lanqi
