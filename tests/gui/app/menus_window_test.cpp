// The row gestures and popup menus of the main window against the sample sites: the action menu "选择播放" and
// the main popup menu, the details view, the magnet link on the clipboard, online play, the outside addresses,
// the update check and the about window.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSignalSpy>

#include "platform/qt/qt_text.h"
#include "app_test_support.h"
#include "support/qt_modal.h"

namespace lanqi {
namespace {

using test::q;

const QStringList kActionMenu = {QStringLiteral("在线播放通道1"),
                                 QStringLiteral("在线播放通道2"),
                                 QStringLiteral("迅雷影音播放"),
                                 QStringLiteral("迅雷下载"),
                                 QStringLiteral("复制下载地址"),
                                 QStringLiteral("-"),
                                 QStringLiteral("查看文件详情"),
                                 QStringLiteral("检查健康度"),
                                 QStringLiteral("自动检查健康度"),
                                 QStringLiteral("-"),
                                 QStringLiteral("下载迅雷影音"),
                                 QStringLiteral("下载迅雷"),
                                 QStringLiteral("-"),
                                 QStringLiteral("岚栖科技官方网站"),
                                 QStringLiteral("-"),
                                 QStringLiteral("软件升级"),
                                 QStringLiteral("关于软件"),
                                 QStringLiteral("-"),
                                 QStringLiteral("站点设置")};
const QStringList kMainMenu = {QStringLiteral("下载迅雷影音播放器"),
                               QStringLiteral("下载 迅雷软件"),
                               QStringLiteral("-"),
                               QStringLiteral("岚栖科技官网"),
                               QStringLiteral("-"),
                               QStringLiteral("检查更新"),
                               QStringLiteral("关于..."),
                               QStringLiteral("-"),
                               QStringLiteral("站点设置")};

QStringList entriesOf(const test::SeenMenu& menu) { return QStringList(menu.entries.begin(), menu.entries.end()); }

class MenusWindowTest : public test::AppWindowTest {
  protected:
    // Two rows per site: twelve rows and room below them.
    void searchSmallPages() {
        pointSitesAt({"-items2", "-items2", "-items2", "-items2", "-items2", "-items2"});
        search(QStringLiteral("超能陆战队"));
        ASSERT_EQ(list().count(), 12);
    }

    // Right button on row `row` (or, for -1, on the list's empty area right of its two columns); the next menu
    // gets `choice`.
    test::SeenMenu rightClickList(int row, const QString& choice) {
        test::SeenMenu seen;
        test::chooseInNextMenu(choice, &seen);
        const QPoint at = row >= 0 ? rowCentre(row) : QPoint(list().viewport()->width() - 3, 20);
        QTest::mousePress(list().viewport(), Qt::RightButton, {}, at);
        return seen;
    }

    // Runs `entry` of "选择播放" on row `row` and answers the message box it shows with OK.
    test::SeenMessageBox runOnRow(int row, const QString& entry) {
        test::SeenMessageBox box;
        test::answerNextMessageBox(QMessageBox::Ok, &box);
        rightClickList(row, entry);
        return box;
    }

    const std::string vendor() const { return base; }

    test::OpenedAddresses opened;
};

TEST_F(MenusWindowTest, RightButtonOnARowOffersSelectPlayAndElsewhereTheMainMenu) {
    test::SeenMenu home;
    test::chooseInNextMenu(QString(), &home);
    QTest::mousePress(control("标签2"), Qt::RightButton, {}, QPoint(20, 20));  // the home banner, before any search
    EXPECT_EQ(entriesOf(home), kMainMenu);

    searchSmallPages();
    const test::SeenMenu onRow = rightClickList(3, QString());
    ASSERT_TRUE(onRow.appeared);
    EXPECT_EQ(entriesOf(onRow), kActionMenu);
    EXPECT_EQ(list().selectedRow(), 3);
    EXPECT_EQ(controller.searchFlow().screen().selectedResult, 3) << "the selected result follows the list";

    const test::SeenMenu below = rightClickList(-1, QString());
    ASSERT_TRUE(below.appeared);
    EXPECT_EQ(entriesOf(below), kMainMenu);
    EXPECT_EQ(list().selectedRow(), -1) << "a click on the empty area clears the selection";
    EXPECT_EQ(controller.searchFlow().screen().selectedResult, -1);

    test::SeenMenu footer;
    test::chooseInNextMenu(QString(), &footer);
    QTest::mousePress(control("标签8"), Qt::RightButton, {}, QPoint(600, 10));
    EXPECT_EQ(entriesOf(footer), kMainMenu);
    EXPECT_TRUE(opened.addresses.isEmpty()) << "dismissed menus do nothing";
}

TEST_F(MenusWindowTest, ControlsWithoutAMenuOfTheirOwnOfferNoneOnTheRightButton) {
    searchSmallPages();  // the paging controls are shown
    QSignalSpy menus(&window, &MainWindow::mainMenuRequested);
    for (const char* name : {"搜索框", "按钮1", "按钮3", "组合框1"})
        QTest::mousePress(control(name), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(menus.count(), 0);

    test::SeenMenu background;  // the window's own background, below the footer, still offers it
    test::chooseInNextMenu(QString(), &background);
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(400, window.height() - 5));
    EXPECT_EQ(entriesOf(background), kMainMenu);
    EXPECT_EQ(menus.count(), 1);
}

TEST_F(MenusWindowTest, DetailsOfTheThirdRowShowElementThreeExactly) {
    searchSmallPages();
    const auto rows = rowsOf(expectedPages());
    const test::SeenMessageBox box = runOnRow(2, QStringLiteral("查看文件详情"));
    ASSERT_TRUE(box.appeared);
    EXPECT_EQ(box.title, QStringLiteral("文件详情"));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
    const Text& stored = controller.searchFlow().screen().results.at(2).detailText;
    EXPECT_EQ(box.text, toQString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // Element 3 is the third row's: its title first, its magnet link in the download line.
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("文件名：\n") + q(rows[2].title) + QStringLiteral("\n\n")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("\n\n下载链接：") + q(rows[2].magnetLink) + QStringLiteral("\n")));
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("\n\n文件分类：2"))) << "rows 3 and 4 are Site2's";
}

TEST_F(MenusWindowTest, CopyPutsExactlyTheRowsMagnetLinkOnTheClipboard) {
    searchSmallPages();
    const auto rows = rowsOf(expectedPages());
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    const test::SeenMessageBox box = runOnRow(6, QStringLiteral("复制下载地址"));
    ASSERT_TRUE(box.appeared);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), q(rows[6].magnetLink));
    EXPECT_TRUE(rows[6].magnetLink.rfind("magnet:?xt=urn:btih:", 0) == 0 && rows[6].magnetLink.size() == 60);
    EXPECT_EQ(box.title, QStringLiteral("已复制"));
    EXPECT_EQ(box.text, QStringLiteral("复制下载地址成功，请粘贴到迅雷下载。"));
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.buttonTexts, std::vector<QString>{QStringLiteral("确定")});
    EXPECT_TRUE(opened.addresses.isEmpty());
}

// One call of online play: its channel, the row selected meanwhile and the link of the result it was given.
struct Played {
    int channel, selectedRow;
    std::string magnetLink;
    bool operator==(const Played&) const = default;
};
void PrintTo(const Played& p, std::ostream* out) { *out << p.channel << "/" << p.selectedRow << "/" << p.magnetLink; }

TEST_F(MenusWindowTest, DoubleClickEnterAndThePlayEntriesPlayTheSelectedRowOnline) {
    std::vector<Played> played;
    controller.setPlayOnline([&](int channel, const ResultItem& item, const Text&) {
        played.push_back({channel, list().selectedRow(), item.magnetLink});
    });
    searchSmallPages();
    const auto rows = rowsOf(expectedPages());
    QTest::keyClick(list().viewport(), Qt::Key_Return);  // nothing selected: nothing plays
    EXPECT_TRUE(played.empty());

    QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, rowCentre(5));
    QTest::keyClick(list().viewport(), Qt::Key_Return);
    rightClickList(8, QStringLiteral("在线播放通道2"));
    rightClickList(9, QStringLiteral("在线播放通道1"));
    EXPECT_EQ(played, (std::vector<Played>{{1, 5, rows[5].magnetLink},
                                           {1, 5, rows[5].magnetLink},
                                           {2, 8, rows[8].magnetLink},
                                           {1, 9, rows[9].magnetLink}}));

    controller.setPlayOnline(nullptr);  // the player view gone: the gestures do nothing again
    QTest::keyClick(list().viewport(), Qt::Key_Return);
    EXPECT_EQ(played.size(), 4u);
}

TEST_F(MenusWindowTest, VendorAndDownloadPageEntriesOpenTheirAddresses) {
    searchSmallPages();
    for (const char* entry : {"岚栖科技官方网站", "下载迅雷", "下载迅雷影音"})
        rightClickList(0, QString::fromUtf8(entry));
    for (const char* entry : {"岚栖科技官网", "下载 迅雷软件", "下载迅雷影音播放器"})
        rightClickList(-1, QString::fromUtf8(entry));
    QTest::mousePress(control("图片框1"), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(control("透明标签1"), Qt::LeftButton, {}, QPoint(10, 10));
    const QString vendorSite = q(vendor());
    EXPECT_EQ(opened.addresses, (QStringList{vendorSite, QStringLiteral("http://dl.xunlei.com/"),
                                             QStringLiteral("http://video.xunlei.com/"), vendorSite,
                                             QStringLiteral("http://dl.xunlei.com/"),
                                             QStringLiteral("http://video.xunlei.com/"), vendorSite, vendorSite}));
}

// The about window that loadWindow shows modally: what it shows, and whether it has an owner.
struct SeenAbout {
    bool appeared = false;
    QString title;
    QWidget* parent = reinterpret_cast<QWidget*>(1);
    bool modal = false;
};

void closeNextAboutWindow(SeenAbout* seen) {
    test::whenShown<QWidget>(
        [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QStringLiteral("aboutWindow") && w->isVisible()) return w;
            return static_cast<QWidget*>(nullptr);
        },
        [seen](QWidget* about) {
            *seen = {true, about->windowTitle(), about->parentWidget(), about->isModal()};
            about->close();
        });
}

TEST_F(MenusWindowTest, BothAboutEntriesShowTheAboutWindowModallyWithNoOwner) {
    SeenAbout fromMain;
    closeNextAboutWindow(&fromMain);
    rightClickList(-1, QStringLiteral("关于..."));
    ASSERT_TRUE(fromMain.appeared);
    EXPECT_EQ(fromMain.title, QStringLiteral("关于岚栖种子搜索神器"));
    EXPECT_EQ(fromMain.parent, nullptr);
    EXPECT_TRUE(fromMain.modal);

    searchSmallPages();
    SeenAbout fromRow;
    closeNextAboutWindow(&fromRow);
    rightClickList(1, QStringLiteral("关于软件"));
    ASSERT_TRUE(fromRow.appeared);
    EXPECT_EQ(fromRow.parent, nullptr);
    EXPECT_TRUE(fromRow.modal);
    QApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), QStringLiteral("aboutWindow")) << "closing the about window destroys it";
}

}  // namespace
}  // namespace lanqi
