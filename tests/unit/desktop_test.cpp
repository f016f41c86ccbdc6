#include "platform/desktop.h"

#include <gtest/gtest.h>

#include "support/fake_desktop_services.h"

namespace lanqi {
namespace {

using A = MessageAnswer;

TEST(DecodeMessageBoxStyle, ButtonSetsIconsAndDefaultButton) {
    const struct {
        int style;
        MessageBoxLayout layout;
    } cases[] = {
        {0, {{A::Ok}, MessageIcon::None, 0, false}},
        {kMessageYesNo | kMessageIconInformation, {{A::Yes, A::No}, MessageIcon::Information, 0, false}},  // 68
        {64, {{A::Ok}, MessageIcon::Information, 0, false}},
        {kMessageOkCancel | kMessageIconQuestion, {{A::Ok, A::Cancel}, MessageIcon::Question, 0, false}},
        {kMessageAbortRetryIgnore | kMessageIconWarning | kMessageDefaultButton3,
         {{A::Abort, A::Retry, A::Ignore}, MessageIcon::Warning, 2, false}},
        {kMessageYesNoCancel | kMessageIconError | kMessageDefaultButton2,
         {{A::Yes, A::No, A::Cancel}, MessageIcon::Error, 1, false}},
        {kMessageRetryCancel | kMessageSystemModal, {{A::Retry, A::Cancel}, MessageIcon::None, 0, true}},
        {kMessageOk | kMessageTopmost | kMessageTaskModal, {{A::Ok}, MessageIcon::None, 0, true}},
        {kMessageOk | kMessageTaskModal, {{A::Ok}, MessageIcon::None, 0, false}},
        // Past the last button, unknown button sets and unknown icons.
        {kMessageYesNo | kMessageDefaultButton4, {{A::Yes, A::No}, MessageIcon::None, 0, false}},
        {kMessageYesNo | kMessageDefaultButton3, {{A::Yes, A::No}, MessageIcon::None, 0, false}},
        {0x6 | 0x50, {{A::Ok}, MessageIcon::None, 0, false}},
        {0xF | 0xF0, {{A::Ok}, MessageIcon::None, 0, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeMessageBoxStyle(c.style), c.layout) << "style " << c.style;
}

TEST(MessageAnswer, NumbersAreTheOnesTheLogicComparesWith) {
    EXPECT_EQ(static_cast<int>(A::Ok), 0);
    EXPECT_EQ(static_cast<int>(A::Cancel), 1);
    EXPECT_EQ(static_cast<int>(A::Abort), 2);
    EXPECT_EQ(static_cast<int>(A::Retry), 3);
    EXPECT_EQ(static_cast<int>(A::Ignore), 4);
    EXPECT_EQ(static_cast<int>(A::Yes), 5);
    EXPECT_EQ(static_cast<int>(A::No), 6);
}

TEST(DesktopServicesDefaults, MessageBoxWithoutCaptionIsTitledXinXi) {
    test::FakeMessageBoxes desktop;
    desktop.messageAnswers = {A::Cancel, A::Yes};
    test::FakeWindow main("mainWindow");
    EXPECT_EQ(desktop.showMessageBox("a", kMessageOkCancel), A::Cancel);
    EXPECT_EQ(desktop.showMessageBox("b", kMessageYesNo, Text("title"), &main), A::Yes);
    EXPECT_EQ(desktop.showMessageBox("c", kMessageOk, Text()), A::Ok);
    const std::vector<test::MessageBoxCall> expected = {
        {"a", kMessageOkCancel, "\xD0\xC5\xCF\xA2\xA3\xBA", "none"},  // 信息：
        {"b", kMessageYesNo, "title", "mainWindow"},
        {"c", kMessageOk, "", "none"},  // an empty caption given is kept
    };
    EXPECT_EQ(desktop.messageBoxes, expected);
}

TEST(DesktopServicesDefaults, RegistryTextFallsBackToTheDefaultText) {
    test::FakeRegistryReader desktop;
    desktop.registry[{kRegistryCurrentUser, "K\\S"}] = {"Xunlei", true};
    desktop.registry[{kRegistryCurrentUser, "K\\D"}] = {"42", false};
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "K\\S", "fallback"), "Xunlei");
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "K\\D", "fallback"), "fallback");
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "K\\D"), "");
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "K\\Missing", "fallback"), "fallback");
    EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, "K\\Missing"), "");
    EXPECT_TRUE(desktop.registryValueExists(kRegistryCurrentUser, "K\\D"));
}

TEST(DesktopServicesDefaults, OpacityIsClampedToTheByteRange) {
    test::FakeWindowEffects desktop;
    test::FakeWindow window("w");
    const std::pair<int, int> cases[] = {{-1, 0}, {-1000, 0}, {0, 0}, {128, 128}, {255, 255}, {256, 255}, {9999, 255}};
    for (const auto& [given, applied] : cases) {
        desktop.setWindowOpacity(window, given);
        EXPECT_EQ(desktop.opacity["w"], applied) << given;
    }
}

}  // namespace
}  // namespace lanqi
