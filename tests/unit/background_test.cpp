#include "app/core/background.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace lanqi {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class CountingPump : public EventPump {
  public:
    std::atomic<int> calls{0};
    std::thread::id thread;
    void processPendingEvents() override {
        ++calls;
        thread = std::this_thread::get_id();
    }
};

TEST(RunProcessingEvents, KeepsProcessingEventsUntilTheWorkIsDone) {
    CountingPump pump;
    std::thread::id worker;
    const auto start = Clock::now();
    const auto result = runProcessingEvents(
        [&worker] {
            worker = std::this_thread::get_id();
            std::this_thread::sleep_for(150ms);
            return Bytes("version\0rest", 12);
        },
        pump, [] { return false; });
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, Bytes("version\0rest", 12));
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_GE(pump.calls.load(), 5) << "about one round every 10 ms while waiting";
    EXPECT_EQ(pump.thread, std::this_thread::get_id()) << "events run on the caller's thread";
    EXPECT_NE(worker, std::this_thread::get_id()) << "the work runs on a thread of its own";
}

TEST(RunProcessingEvents, AnEmptyResultIsStillAResult) {
    CountingPump pump;
    const auto result = runProcessingEvents([] { return Bytes(); }, pump, {});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, "");
}

TEST(RunProcessingEvents, GivingUpReturnsAtOnceAndLeavesTheWorkToFinishAlone) {
    CountingPump pump;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);  // the worker may outlive this test
    const auto start = Clock::now();
    const auto result = runProcessingEvents(
        [released, finished] {
            released.wait();
            *finished = true;
            return Bytes("late");
        },
        pump, [&pump] { return pump.calls >= 3; });
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(pump.calls.load(), 3);
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(*finished);
    release.set_value();
    for (int i = 0; i < 400 && !*finished; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*finished);
}

TEST(RunDetached, NobodyWaitsForTheWork) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto done = std::make_shared<std::promise<int>>();
    auto result = done->get_future();
    const auto start = Clock::now();
    runDetached([released, done] {
        released.wait();
        done->set_value(7);
    });
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(result.wait_for(0ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(result.get(), 7);
}

}  // namespace
}  // namespace lanqi
