#include "app/core/fade.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lanqi {
namespace {

// Records every call as one line, in order.
class RecordingFadeInHost final : public FadeInHost {
  public:
    std::vector<std::string> calls;
    bool opacitySupported = true;

    void hideWindow() override { calls.push_back("hide"); }
    bool canChangeOpacity() override { return opacitySupported; }
    void setWindowOpacity(int level) override { calls.push_back("opacity " + std::to_string(level)); }
    void showWindow() override { calls.push_back("show"); }
    void processPendingEvents() override { calls.push_back("events"); }
    void sleepMilliseconds(int milliseconds) override { calls.push_back("sleep " + std::to_string(milliseconds)); }
};

class RecordingExitFadeHost final : public ExitFadeHost {
  public:
    std::vector<int> applied;
    std::vector<int> timerStarts;  // the period of each start
    int timerStops = 0;
    int programEnds = 0;
    size_t appliedWhenEnded = 0;

    void setWindowOpacity(int level) override { applied.push_back(level); }
    void startFadeTimer(int periodMilliseconds) override { timerStarts.push_back(periodMilliseconds); }
    void stopFadeTimer() override { ++timerStops; }
    void endProgram() override {
        ++programEnds;
        appliedWhenEnded = applied.size();
    }
};

std::vector<int> descendingFrom255(int count) {
    std::vector<int> levels;
    for (int i = 0; i < count; ++i) levels.push_back(255 - 4 * i);
    return levels;
}

TEST(FadeInOpacities, NoDelayGivesFourStepsThenOpaque) {
    EXPECT_EQ(fadeInOpacities(0), (std::vector<int>{63, 127, 191, 255, 255}));
    // A delay of 1 has the same single step width, it only sleeps between steps.
    EXPECT_EQ(fadeInOpacities(1), (std::vector<int>{63, 127, 191, 255, 255}));
}

TEST(FadeInOpacities, StartUpDelayGivesSixtyStepsFromThreeTo255) {
    const std::vector<int> levels = fadeInOpacities(15);
    ASSERT_EQ(levels.size(), 61u);
    EXPECT_EQ((std::vector<int>(levels.begin(), levels.begin() + 8)), (std::vector<int>{3, 7, 11, 16, 20, 24, 28, 33}));
    EXPECT_EQ(levels[29], 127);  // 64 / 15 × 30 − 1 = 127.0
    EXPECT_EQ(levels[58], 250);
    EXPECT_EQ(levels[59], 255);  // 64 / 15 × 60 − 1 is 255 in floating point, not 254
    EXPECT_EQ(levels[60], 255);
}

TEST(FadeInOpacities, DelayIsClampedToZeroToSixtyFour) {
    EXPECT_EQ(fadeInOpacities(-5), fadeInOpacities(0));
    EXPECT_EQ(fadeInOpacities(1000), fadeInOpacities(64));
    const std::vector<int> longest = fadeInOpacities(64);
    ASSERT_EQ(longest.size(), 257u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(longest[static_cast<size_t>(i)], i) << "step " << i + 1;
    EXPECT_EQ(longest[256], 255);
}

TEST(FadeInWindow, ShowsAtZeroThenStepsWithEventsAndSleeps) {
    RecordingFadeInHost host;
    fadeInWindow(host, 15);
    ASSERT_EQ(host.calls.size(), 3u + 60u * 3u + 1u);
    EXPECT_EQ((std::vector<std::string>(host.calls.begin(), host.calls.begin() + 9)),
              (std::vector<std::string>{"hide", "opacity 0", "show", "opacity 3", "events", "sleep 15", "opacity 7",
                                        "events", "sleep 15"}));
    EXPECT_EQ((std::vector<std::string>(host.calls.end() - 4, host.calls.end())),
              (std::vector<std::string>{"opacity 255", "events", "sleep 15", "opacity 255"}));
}

TEST(FadeInWindow, NoDelayNeverSleeps) {
    RecordingFadeInHost host;
    fadeInWindow(host, 0);
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"hide", "opacity 0", "show", "opacity 63", "events", "opacity 127", "events",
                                        "opacity 191", "events", "opacity 255", "events", "opacity 255"}));
}

TEST(FadeInWindow, WithoutOpacitySupportJustShows) {
    RecordingFadeInHost host;
    host.opacitySupported = false;
    fadeInWindow(host, 15);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"hide", "show"}));
}

TEST(ExitFade, SixtyFourTicksFrom255To3ThenTheProgramEnds) {
    RecordingExitFadeHost host;
    ExitFade fade(host);
    EXPECT_FALSE(fade.closeRequested());
    EXPECT_EQ(host.timerStarts, std::vector<int>{15});
    EXPECT_TRUE(host.applied.empty());  // nothing changes before the first tick
    for (int i = 0; i < 63; ++i) fade.tick();
    EXPECT_EQ(host.programEnds, 0) << "ended before the tick that applies 3";
    EXPECT_EQ(host.timerStops, 0);
    fade.tick();
    EXPECT_EQ(host.applied, descendingFrom255(64));
    EXPECT_EQ(host.applied.back(), 3);
    EXPECT_EQ(host.programEnds, 1);
    EXPECT_EQ(host.appliedWhenEnded, 64u);
    EXPECT_EQ(host.timerStops, 1);
    EXPECT_EQ(fade.level(), -1);
}

TEST(ExitFade, CloseAfterTheFadeHasRunOutIsAllowed) {
    RecordingExitFadeHost host;
    ExitFade fade(host);
    fade.closeRequested();
    for (int i = 0; i < 64; ++i) fade.tick();
    EXPECT_TRUE(fade.closeRequested());
    EXPECT_EQ(host.timerStarts.size(), 1u);
    fade.tick();  // a stray tick after the end changes nothing
    EXPECT_EQ(host.applied.size(), 64u);
    EXPECT_EQ(host.programEnds, 1);
}

TEST(ExitFade, SecondCloseDuringTheFadeRestartsItFrom255) {
    RecordingExitFadeHost host;
    ExitFade fade(host);
    fade.closeRequested();
    for (int i = 0; i < 10; ++i) fade.tick();
    EXPECT_EQ(host.applied.back(), 255 - 36);
    EXPECT_FALSE(fade.closeRequested());
    EXPECT_EQ(host.timerStarts, (std::vector<int>{15, 15}));
    host.applied.clear();
    for (int i = 0; i < 64; ++i) fade.tick();
    EXPECT_EQ(host.applied, descendingFrom255(64));
    EXPECT_EQ(host.programEnds, 1);
}

}  // namespace
}  // namespace lanqi
