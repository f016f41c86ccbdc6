#include "app/gui/window_fades.h"

#include <gtest/gtest.h>

#include <vector>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/core/main_window_design.h"
#include "app/gui/main_window.h"
#include "app/gui/startup.h"
#include "platform/product.h"
#include "window_test_support.h"

namespace lanqi {
namespace {

std::vector<int> descendingFrom255(int count) {
    std::vector<int> levels;
    for (int i = 0; i < count; ++i) levels.push_back(255 - 4 * i);
    return levels;
}

TEST(OpacityLevels, EveryLevelSurvivesQtsOpacityStorage) {
    QWidget window;
    for (int level = 0; level <= 255; ++level) {
        window.setWindowOpacity(opacityFromLevel(level));
        ASSERT_EQ(levelFromOpacity(window.windowOpacity()), level);
    }
    EXPECT_EQ(opacityFromLevel(300), 1.0);
    EXPECT_EQ(opacityFromLevel(-4), 0.0);
}

// Records the main window's opacity after each tick of its fade timer 时钟1. Connected after the window's
// own handler, so it runs right after the tick has been applied.
class ExitFadeOnTheWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        timer = window.findChild<QTimer*>(QStringLiteral("时钟1"));
        ASSERT_NE(timer, nullptr);
        QObject::connect(timer, &QTimer::timeout, [this] {
            applied.push_back(levelFromOpacity(window.windowOpacity()));
            endedAtTick.push_back(ends.count() > 0);
            if (onTick) onTick();
        });
    }

    MainWindow window;
    QTimer* timer = nullptr;
    QSignalSpy ends{&window, &MainWindow::programEndRequested};
    std::vector<int> applied;
    std::vector<bool> endedAtTick;
    std::function<void()> onTick;
};

TEST_F(ExitFadeOnTheWindow, CloseIsRefusedAndSixtyFourTicksFadeTheWindowOut) {
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 15);
    ASSERT_TRUE(QTest::qWaitFor([this] { return ends.count() > 0; }, 5000));
    EXPECT_EQ(applied, descendingFrom255(64));
    EXPECT_EQ(ends.count(), 1);
    // The end comes with the tick that applied 3, not before it.
    EXPECT_EQ(std::count(endedAtTick.begin(), endedAtTick.end(), true), 1);
    EXPECT_TRUE(endedAtTick.back());
    EXPECT_FALSE(timer->isActive());
    QTest::qWait(60);
    EXPECT_EQ(applied.size(), 64u) << "ticks after the end";

    // Once the fade has run out, a close goes through.
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ExitFadeOnTheWindow, SecondCloseDuringTheFadeRestartsItFrom255) {
    bool secondCloseAllowed = true;
    onTick = [this, &secondCloseAllowed] {
        if (applied.size() == 10) secondCloseAllowed = window.close();
    };
    window.close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ends.count() > 0; }, 5000));
    EXPECT_FALSE(secondCloseAllowed);
    std::vector<int> expected = descendingFrom255(10);
    const std::vector<int> restarted = descendingFrom255(64);
    expected.insert(expected.end(), restarted.begin(), restarted.end());
    EXPECT_EQ(applied, expected);
    EXPECT_EQ(ends.count(), 1);
}

TEST(FadeInOnTheWindow, WithoutDelayTheWindowPassesThroughFourSteps) {
    QWidget window;
    window.resize(200, 100);
    std::vector<int> seen;
    QTimer sampler;  // a zero timer fires on every pass of the event loop: once per fade-in step
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (window.isVisible()) seen.push_back(levelFromOpacity(window.windowOpacity()));
    });
    sampler.start(0);
    fadeInWidget(window, 0);
    sampler.stop();
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{63, 127, 191, 255}));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowOpacity(), 1.0);
}

TEST(PresentMainWindow, SetsTheTitleFadesInAndPutsThePlayerControlsBack) {
    MainWindow window;
    window.setWindowTitle(titlePrefix() + gbk(std::string(" --- 旧的状态")));
    auto* back = window.findChild<QWidget*>(QStringLiteral("超级按钮1"));
    auto* list = window.findChild<QWidget*>(QStringLiteral("超级列表框1"));
    back->setGeometry(0, 0, 10, 10);
    list->setGeometry(0, 0, 813, 549);
    presentMainWindow(window, 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowOpacity(), 1.0);
    EXPECT_EQ(back->geometry(), QRect(720, 0, 80, 16));
    const Geometry designed = designOf(MainControl::ResultList).geometry;
    EXPECT_EQ(list->geometry(), QRect(designed.left, designed.top, designed.width, designed.height));
    EXPECT_FALSE(back->isVisible());
}

}  // namespace
}  // namespace lanqi
