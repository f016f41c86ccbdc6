#include "app/gui/about_window.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <vector>

#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "platform/qt/qt_desktop_services.h"
#include "window_test_support.h"

namespace lanqi {
namespace {

struct ControlAtStart {
    const char* name;
    QRect geometry;
    const char* text;  // nullptr: checked elsewhere
};

const std::vector<ControlAtStart> kControls = {
    {"图片框1", {8, 8, 176, 104}, ""},
    {"图片框3", {16, 16, 176, 104}, ""},
    {"透明标签30", {8, 8, 176, 104}, ""},
    {"透明标签14", {192, 32, 208, 48}, "岚栖种子搜索神器\nv1.9"},
    {"透明标签20", {192, 104, 208, 128}, nullptr},
    {"透明标签22", {8, 208, 120, 16}, "单击这里下载最新版本"},
    {"透明标签16", {8, 128, 152, 16}, "出品：岚栖工作室"},
    {"透明标签17", {8, 142, 152, 16}, "主页：lanqi-studio.example"},
    {"透明标签25", {8, 156, 152, 16}, "邮箱：hi@lanqi.example"},
    {"透明标签18", {8, 172, 152, 16}, "论坛：bbs.lanqi.example"},
    {"透明标签19", {8, 188, 152, 16}, "微博：@岚栖工作室"},
    {"透明标签15", {-8, 229, 408, 24}, "Copyright © 2014-2024 岚栖工作室  版权所有"},
};

class AboutWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    }

    QLabel* label(const char* name) {
        auto* found = about.findChild<QLabel*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    AboutWindow about;
};

TEST_F(AboutWindowTest, ControlsShowTheirTextsAtTheirGeometryUnderTheirNames) {
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于岚栖种子搜索神器"));
    EXPECT_EQ(about.size(), QSize(408, 282));
    EXPECT_TRUE(about.isWindow());
    for (const ControlAtStart& expected : kControls) {
        SCOPED_TRACE(expected.name);
        QLabel* control = label(expected.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), expected.geometry);
        // A screen reader hears a caption or a description, never the control name.
        const QString spoken = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        EXPECT_NE(spoken, QString::fromUtf8(expected.name));
        EXPECT_FALSE(spoken.isEmpty());
        EXPECT_TRUE(control->isVisible());
        if (expected.text != nullptr) {
            EXPECT_EQ(control->text(), QString::fromUtf8(expected.text));
        }
    }
    EXPECT_EQ(label("图片框1")->pixmap().size(), QSize(176, 104));
    EXPECT_EQ(label("图片框3")->pixmap().size(), QSize(176, 104));
    EXPECT_NE(label("图片框1")->pixmap().toImage(), label("图片框3")->pixmap().toImage());
}

TEST_F(AboutWindowTest, TheUsageTermsCoverCopyingUseLiabilityAndCleanCode) {
    const QString terms = label("透明标签20")->text();
    for (const char* point : {"免费传播", "保持完整", "个人非商业用途", "数据丢失", "不承担责任", "不含任何病毒"})
        EXPECT_TRUE(terms.contains(QString::fromUtf8(point))) << point;
    // Wrapped, the paragraph fits its box.
    QLabel* box = label("透明标签20");
    EXPECT_TRUE(box->wordWrap());
    EXPECT_LE(box->heightForWidth(box->width()), box->height());
}

TEST_F(AboutWindowTest, EveryOneLineTextFitsItsLabel) {
    for (const char* name :
         {"透明标签22", "透明标签16", "透明标签17", "透明标签25", "透明标签18", "透明标签19", "透明标签15"}) {
        QLabel* control = label(name);
        const QFontMetrics metrics(control->font());
        EXPECT_LE(metrics.horizontalAdvance(control->text()), control->width()) << name;
        EXPECT_LE(metrics.height(), control->height()) << name;
    }
    const QFontMetrics title(label("透明标签14")->font());
    EXPECT_LE(2 * title.lineSpacing(), 48);
    EXPECT_LE(title.horizontalAdvance(QStringLiteral("岚栖种子搜索神器")), 208);
}

// loadWindow shows it modally and creates it afresh each time: closing it (its close box, or Esc) destroys it.
TEST(AboutWindowHandleTest, EachShowingCreatesAWindowThatClosingDestroys) {
    QtDesktopServices desktop;
    AboutWindowHandle handle;
    QWidget owner;
    owner.show();
    QtWindow ownerHandle(&owner);
    for (const Window* ownerOfShowing :
         {static_cast<const Window*>(nullptr), static_cast<const Window*>(&ownerHandle)}) {
        QPointer<QWidget> shown;
        bool modal = false;
        QWidget* parent = &owner;
        bool closedByEscape = true;
        QTimer::singleShot(50, [&] {
            shown = handle.widget();
            if (shown == nullptr) return;
            modal = shown->isModal();
            parent = shown->parentWidget();
            // The close box the first time, Esc the second; a window Esc leaves open is closed a little later.
            if (ownerOfShowing == nullptr) {
                shown->close();
            } else {
                QTest::keyClick(shown, Qt::Key_Escape);
                QTimer::singleShot(1000, [&] {
                    if (shown == nullptr || !shown->isVisible()) return;
                    closedByEscape = false;
                    shown->close();
                });
            }
        });
        EXPECT_TRUE(desktop.loadWindow(handle, ownerOfShowing, true));
        EXPECT_TRUE(closedByEscape);
        EXPECT_TRUE(modal);
        EXPECT_EQ(parent, ownerOfShowing == nullptr ? nullptr : &owner);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(shown.data(), nullptr) << "closed, the window is gone";
        EXPECT_EQ(handle.widget(), nullptr);
    }
}

}  // namespace
}  // namespace lanqi
