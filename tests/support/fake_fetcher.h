#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "search/page_fetcher.h"

namespace lanqi::test {

// Pages by address; an address it does not know fails like a dead server (refused, unless `failures` names
// another kind). An address in `hang` answers only once its fetch is cancelled, like a server that never sends
// a byte.
class FakeFetcher : public PageFetcher {
  public:
    std::map<Text, Bytes> pages;
    std::map<Text, int> delayMs;
    std::vector<Text> hang;
    std::map<Text, FetchFailure> failures;
    std::vector<Text> requested;
    std::mutex mutex;

    FetchOutcome fetch(const Text& address, const CancelToken& cancel) override {
        int delay = 0;
        Bytes page;
        bool hangs = false;
        bool known = false;
        FetchFailure failure = FetchFailure::Refused;
        {
            std::lock_guard lock(mutex);
            requested.push_back(address);
            if (auto d = delayMs.find(address); d != delayMs.end()) delay = d->second;
            if (auto p = pages.find(address); p != pages.end()) {
                page = p->second;
                known = true;
            }
            if (auto f = failures.find(address); f != failures.end()) failure = f->second;
            hangs = std::find(hang.begin(), hang.end(), address) != hang.end();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        while (hangs && !cancel.cancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (hangs) return {{}, "cancelled", FetchFailure::Cancelled};
        if (!known) return {{}, "no server", failure};
        return {page, {}};
    }
};

}  // namespace lanqi::test
