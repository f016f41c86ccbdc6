#include "app/gui/notice_dialog.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <functional>
#include <vector>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/gui/startup.h"
#include "platform/product.h"
#include "platform/settings.h"
#include "window_test_support.h"

namespace lanqi {
namespace {

using test::MessageBoxAnswerer;

struct ControlAtStart {
    const char* name;
    const char* parent;  // the control it lies in
    QRect geometry;
    const char* caption;  // nullptr: not checked here
};

const std::vector<ControlAtStart> kControlsAtStart = {
    {"分组框1", "noticeDialog", {14, 8, 456, 232}, nullptr},
    {"图片框2", "分组框1", {17, 32, 421, 107}, nullptr},
    {"图片框1", "分组框1", {36, 168, 383, 48}, nullptr},
    {"标签2", "分组框1", {16, 168, 424, 48}, "健 康 绿 色 上 网  ·  共 建 和 谐 网 络"},
    {"标签3", "noticeDialog", {16, 248, 224, 32}, nullptr},
    {"透明标签1", "noticeDialog", {16, 248, 224, 32}, ""},
    {"按钮1", "noticeDialog", {304, 248, 72, 32}, "同意使用"},
    {"按钮2", "noticeDialog", {392, 248, 72, 32}, "立即退出"},
};

struct QuestionSeen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption, text;
    QStringList buttons;
};

// Answers the close-box question with `button` and records what it showed.
std::function<void(QMessageBox&)> answerWith(QMessageBox::StandardButton button, QuestionSeen& seen) {
    return [&seen, button](QMessageBox& box) {
        seen.icon = box.icon();
        seen.caption = box.windowTitle();
        seen.text = box.text();
        for (QAbstractButton* b : box.buttons()) seen.buttons << b->text();
        box.button(button)->click();
    };
}

class NoticeDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        auto* found = dialog.findChild<Widget*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    NoticeDialog dialog{"https://vendor.test"};  // the vendor the settings give
};

TEST_F(NoticeDialogTest, ControlsStartAtTheirGeometryWithTheirCaptionsAndNames) {
    EXPECT_EQ(dialog.size(), QSize(490, 319));
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
    for (const ControlAtStart& expected : kControlsAtStart) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf8(expected.parent));
        EXPECT_EQ(widget->geometry(), expected.geometry);
        EXPECT_TRUE(widget->isVisible());
        // A screen reader hears a caption or a description, never the control name.
        const QString spoken = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        EXPECT_NE(spoken, QString::fromUtf8(expected.name));
        EXPECT_FALSE(spoken.isEmpty());
        if (expected.caption == nullptr) continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(expected.caption));
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption));
        }
    }
    EXPECT_EQ(control<QLabel>("标签3")->text(), QStringLiteral("岚栖工作室 出品\nvendor.test"));
    EXPECT_EQ(control<QLabel>("透明标签1")->toolTip(), QStringLiteral("https://vendor.test"));
    EXPECT_EQ(control<QLabel>("图片框2")->pixmap().size(), QSize(421, 107));
    EXPECT_EQ(control<QLabel>("图片框1")->pixmap().size(), QSize(383, 48));
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::Open);
}

TEST_F(NoticeDialogTest, AgreeingClosesTheDialogAndStartUpGoesOn) {
    QTest::mouseClick(control<QPushButton>("按钮1"), Qt::LeftButton);
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::Agreed);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(NoticeDialogTest, QuitAtOnceAsksNothing) {
    QuestionSeen seen;
    MessageBoxAnswerer answerer(answerWith(QMessageBox::Cancel, seen));  // in case a question comes
    QTest::mouseClick(control<QPushButton>("按钮2"), Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_FALSE(answerer.answered());
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::QuitAtOnce);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(NoticeDialogTest, CloseBoxAsksAndCancelKeepsTheDialogOpen) {
    QuestionSeen seen;
    MessageBoxAnswerer answerer(answerWith(QMessageBox::Cancel, seen));
    EXPECT_FALSE(dialog.close());
    ASSERT_TRUE(answerer.answered());
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.caption, QStringLiteral("退出软件"));
    EXPECT_EQ(seen.text, QStringLiteral("精彩内容等着您哦，您确定要退出吗？！"));
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("确定")));
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("取消")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::Open);

    // Still working afterwards: agreeing now continues start-up.
    QTest::mouseClick(control<QPushButton>("按钮1"), Qt::LeftButton);
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::Agreed);
}

TEST_F(NoticeDialogTest, CloseBoxAnsweredOkEndsTheProgram) {
    QuestionSeen cancelled;
    {
        MessageBoxAnswerer answerer(answerWith(QMessageBox::Cancel, cancelled));
        dialog.close();
    }
    QuestionSeen confirmed;
    MessageBoxAnswerer answerer(answerWith(QMessageBox::Ok, confirmed));
    EXPECT_TRUE(dialog.close());
    EXPECT_TRUE(answerer.answered());
    EXPECT_EQ(dialog.outcome(), NoticeOutcome::QuitConfirmed);
    EXPECT_FALSE(dialog.isVisible());
}

// The start-up step runs the dialog modally and returns what the user did.
TEST(RunNoticeDialog, ReturnsTheUsersAnswer) {
    for (auto [buttonName, expected] :
         {std::pair{"按钮1", NoticeOutcome::Agreed}, std::pair{"按钮2", NoticeOutcome::QuitAtOnce}}) {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, name = QString::fromUtf8(buttonName)] {
            auto* shown = qobject_cast<NoticeDialog*>(QApplication::activeModalWidget());
            if (shown == nullptr) return;
            poll->deleteLater();
            poll->stop();
            shown->findChild<QPushButton*>(name)->click();
        });
        poll->start(10);
        EXPECT_EQ(runNoticeDialog(Text(kBuiltInVendorBase)), expected) << buttonName;
    }
}

}  // namespace
}  // namespace lanqi
