#include "app/gui/main_window.h"

#include <gtest/gtest.h>

#include <vector>

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/gui/result_list.h"
#include "platform/product.h"
#include "window_test_support.h"

namespace lanqi {
namespace {

using test::gbkOf;
using test::MessageBoxAnswerer;

struct ControlAtStart {
    const char* name;
    QRect geometry;
    bool shown;
    const char* caption;  // nullptr: not checked here
};

// The main window as it is first shown.
const std::vector<ControlAtStart> kControlsAtStart = {
    {"图片框1", {8, 0, 248, 48}, true, nullptr},
    {"搜索框", {264, 8, 392, 32}, true, ""},
    {"按钮1", {664, 8, 80, 32}, true, "岚栖搜索"},
    {"按钮2", {608, 16, 56, 24}, false, "上一页"},
    {"组合框1", {672, 20, 40, 20}, false, nullptr},
    {"按钮3", {720, 16, 56, 24}, false, "下一页"},
    {"超级列表框1", {-1, 48, 809, 441}, true, nullptr},
    {"标签2", {0, 48, 808, 442}, true, "岚栖种子搜索神器"},
    {"图片框2", {181, 253, 448, 37}, true, nullptr},
    {"标签8", {0, 489, 808, 31}, true, nullptr},
    {"透明标签1", {32, 489, 392, 31}, true, ""},
    {"播放浏览框", {-2, -4, 812, 526}, false, nullptr},
    {"透明标签2", {0, 16, 808, 482}, false, ""},
    {"标签1", {0, 0, 85, 16}, false, "正在播放："},
    {"标签3", {380, 0, 427, 16}, false, ""},
    {"超级按钮1", {720, 0, 80, 16}, false, "点此返回搜索"},
    {"标签5", {0, 0, 808, 522}, false, "视频拼命加载中，请稍候..."},
};

QString captionOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return QStringLiteral("<no caption>");
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        auto* found = window.findChild<Widget*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QComboBox* pageSelector() { return control<QComboBox>("组合框1"); }

    MainWindow window;
};

TEST_F(MainWindowTest, EveryControlStartsAtItsGeometryVisibilityCaptionAndName) {
    for (const ControlAtStart& expected : kControlsAtStart) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), &window);
        EXPECT_EQ(widget->geometry(), expected.geometry);
        EXPECT_EQ(widget->isVisible(), expected.shown);
        EXPECT_EQ(widget->accessibleName(), QString::fromUtf8(expected.name));
        if (expected.caption != nullptr) {
            EXPECT_EQ(captionOf(widget), QString::fromUtf8(expected.caption));
        }
    }
    for (const char* timer : {"时钟1", "时钟2", "时钟3"}) EXPECT_FALSE(control<QTimer>(timer)->isActive()) << timer;
    EXPECT_EQ(window.size(), QSize(813, 549));
    EXPECT_EQ(pageSelector()->count(), 0);
    EXPECT_EQ(pageSelector()->currentIndex(), -1);
    EXPECT_EQ(control<ResultList>("超级列表框1"), &window.resultList());
    EXPECT_EQ(window.resultList().count(), 0);
    EXPECT_TRUE(control<QLabel>("标签8")->text().contains(QStringLiteral("岚栖工作室")));
    EXPECT_EQ(window.focusWidget(), control("搜索框"));
}

TEST_F(MainWindowTest, TitleIsExactlyTheProductNameAndVersion) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
    window.setWindowTitle(titlePrefix() + gbkOf(" --- 搜索完成，共3页，190个结果 - 第1页 "));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9 --- 搜索完成，共3页，190个结果 - 第1页 "));
}

TEST_F(MainWindowTest, BannerUsesLishuWithAFaceThatDrawsTheName) {
    const QFont font = control<QLabel>("标签2")->font();
    EXPECT_EQ(font.families().value(0), QStringLiteral("隶书"));
    EXPECT_EQ(font.pixelSize(), 56);
    EXPECT_TRUE(font.families().contains(QFontInfo(font).family())) << QFontInfo(font).family().toStdString();
    const QFontMetrics metrics(font);
    for (QChar c : QStringLiteral("岚栖种子搜索神器")) EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
}

TEST_F(MainWindowTest, ResultsAndHomeLayoutsAndTheBanner) {
    auto* box = control<QLineEdit>("搜索框");
    auto* button = control<QPushButton>("按钮1");
    window.applyLayout(SearchLayout::Results);
    window.setBannerVisible(false);
    EXPECT_EQ(box->geometry(), QRect(264, 8, 224, 32));
    EXPECT_EQ(button->geometry(), QRect(488, 8, 80, 32));
    EXPECT_FALSE(control("标签2")->isVisible());
    EXPECT_FALSE(control("图片框2")->isVisible());
    window.applyLayout(SearchLayout::Home);
    window.setBannerVisible(true);
    EXPECT_EQ(box->geometry(), QRect(264, 8, 392, 32));
    EXPECT_EQ(button->geometry(), QRect(664, 8, 80, 32));
    EXPECT_TRUE(control("标签2")->isVisible());
    EXPECT_TRUE(control("图片框2")->isVisible());
}

TEST_F(MainWindowTest, UserCommandsBecomeSignals) {
    QSignalSpy searches(&window, &MainWindow::searchRequested);
    QSignalSpy next(&window, &MainWindow::nextPageRequested);
    QSignalSpy previous(&window, &MainWindow::previousPageRequested);
    auto* box = control<QLineEdit>("搜索框");
    box->insert(QStringLiteral("超能"));  // as an input method commits it
    QTest::keyClicks(box, " abc");
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(searches.count(), 0) << "only Enter searches";
    EXPECT_EQ(window.searchText(), gbkOf("超能 abc"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(searches.count(), 1);
    QTest::mouseClick(control<QPushButton>("按钮1"), Qt::LeftButton);
    EXPECT_EQ(searches.count(), 2);

    window.setPreviousVisible(true);
    window.setNextVisible(true);
    QTest::mouseClick(control<QPushButton>("按钮3"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("按钮2"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("按钮2"), Qt::LeftButton);
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(previous.count(), 2);
    EXPECT_EQ(searches.count(), 2);
}

TEST_F(MainWindowTest, PageSelectionSetByTheProgramStartsNothing) {
    QSignalSpy chosen(&window, &MainWindow::pageChosen);
    QSignalSpy searches(&window, &MainWindow::searchRequested);
    window.setPageSelectorVisible(true);
    for (const char* item : {"1", "2", "3"}) window.addPageItem(item);
    EXPECT_EQ(pageSelector()->currentIndex(), -1) << "adding items selects none";
    window.selectPageItem(1);
    EXPECT_EQ(pageSelector()->currentIndex(), 1);
    window.addPageItem("4");
    EXPECT_EQ(pageSelector()->currentIndex(), 1) << "adding items keeps the selection";
    window.selectPageItem(4);
    EXPECT_EQ(pageSelector()->currentIndex(), 3) << "past the last item: the last";
    window.selectPageItem(-1);
    EXPECT_EQ(pageSelector()->currentIndex(), -1);
    window.selectPageItem(2);
    window.selectPageItem(-7);
    EXPECT_EQ(pageSelector()->currentIndex(), -1);
    window.clearPageItems();
    window.selectPageItem(0);
    EXPECT_EQ(pageSelector()->currentIndex(), -1) << "an empty selector never has a selection";
    window.addPageItem("2");
    window.selectPageItem(1);  // "强力搜" from 0 pages: page 2 is item 1, past the only item
    EXPECT_EQ(pageSelector()->currentIndex(), 0);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(searches.count(), 0);
}

TEST_F(MainWindowTest, UserChoiceInThePageSelectorReportsItsIndex) {
    QSignalSpy chosen(&window, &MainWindow::pageChosen);
    window.setPageSelectorVisible(true);
    for (const char* item : {"1", "2", "3"}) window.addPageItem(item);
    window.selectPageItem(0);
    pageSelector()->setFocus();
    QTest::keyClick(pageSelector(), Qt::Key_Down);
    QTest::keyClick(pageSelector(), Qt::Key_End);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);
    EXPECT_EQ(chosen.at(1).at(0).toInt(), 2);
}

TEST_F(MainWindowTest, MouseButtonsOnBackgroundBannerPicturesAndFooter) {
    QSignalSpy menus(&window, &MainWindow::mainMenuRequested);
    QSignalSpy rowMenus(&window, &MainWindow::rowMenuRequested);
    QSignalSpy vendor(&window, &MainWindow::vendorAddressRequested);
    int expected = 0;
    for (const char* name : {"标签2", "图片框2", "图片框1", "标签8", "透明标签1"}) {
        QWidget* area = control(name);
        QTest::mousePress(area, Qt::RightButton, {}, QPoint(5, 5));
        EXPECT_EQ(menus.count(), ++expected) << name;
    }
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(700, 535));  // below the footer: the background
    ASSERT_EQ(menus.count(), ++expected);
    EXPECT_EQ(menus.last().at(0).toPoint(), window.mapToGlobal(QPoint(700, 535)));
    EXPECT_EQ(rowMenus.count(), 0);

    QTest::mousePress(control("图片框1"), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(control("透明标签1"), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(control("标签8"), Qt::LeftButton, {}, QPoint(500, 10));  // outside the link: nothing
    EXPECT_EQ(vendor.count(), 2);
    EXPECT_EQ(menus.count(), expected);
}

TEST_F(MainWindowTest, ListGesturesReachTheWindowSignals) {
    QSignalSpy activated(&window, &MainWindow::rowActivated);
    QSignalSpy rowMenus(&window, &MainWindow::rowMenuRequested);
    QSignalSpy menus(&window, &MainWindow::mainMenuRequested);
    window.setBannerVisible(false);
    window.resultRows().appendResultRow(gbkOf("第一行"), 3);
    window.resultRows().appendResultRow(gbkOf("第二行"), 0);
    ResultList& list = window.resultList();
    const QPoint second = list.visualItemRect(list.item(1)).center();
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, second);
    ASSERT_EQ(rowMenus.count(), 1);
    EXPECT_EQ(rowMenus.at(0).at(0).toInt(), 1);
    QTest::keyClick(list.viewport(), Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, QPoint(700, 400));  // empty area
    EXPECT_EQ(menus.count(), 1);
    EXPECT_EQ(rowMenus.count(), 1);
}

TEST_F(MainWindowTest, ModalMessagesCarryTheirIconCaptionTextAndOneOkButton) {
    struct Seen {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption, text, button;
        qsizetype buttons = 0;
        QWidget* parent = nullptr;
    };
    for (MessageIcon icon : {MessageIcon::Error, MessageIcon::Information}) {
        Seen seen;
        MessageBoxAnswerer answerer([&seen](QMessageBox& box) {
            seen = {box.icon(),           box.windowTitle(), box.text(), box.buttons().value(0)->text(),
                    box.buttons().size(), box.parentWidget()};
            box.buttons().value(0)->click();
        });
        window.showModalMessage(gbkOf("未搜索到结果：请换个关键词重试。"), gbkOf("搜索失败"), icon);
        ASSERT_TRUE(answerer.answered());
        EXPECT_EQ(seen.icon, icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information);
        EXPECT_EQ(seen.caption, QStringLiteral("搜索失败"));
        EXPECT_EQ(seen.text, QStringLiteral("未搜索到结果：请换个关键词重试。"));
        EXPECT_EQ(seen.buttons, 1);
        EXPECT_EQ(seen.button, QStringLiteral("确定"));
        EXPECT_EQ(seen.parent, &window);
    }
}

}  // namespace
}  // namespace lanqi
