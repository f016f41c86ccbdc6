// Searching from the main window: the search row, the title, the results list, the paging controls and
// the failure messages, driven with the keyboard and mouse against the sample sites.

#include <gtest/gtest.h>

#include <QStyleOptionComboBox>

#include <QScrollBar>

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "app/gui/pictures.h"
#include "app_test_support.h"
#include "support/qt_modal.h"

namespace lanqi {
namespace {

using test::q;

class SearchWindowTest : public test::AppWindowTest {
  protected:
    void expectRowsAre(const std::vector<test::ExpectedRow>& rows) {
        ASSERT_EQ(list().count(), static_cast<int>(rows.size()));
        const auto& results = controller.searchFlow().screen().results;
        ASSERT_EQ(results.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            const int row = static_cast<int>(i);
            EXPECT_EQ(list().captionAt(row), q(rows[i].title));
            EXPECT_EQ(list().pictureIndexAt(row), rows[i].picture);
            EXPECT_EQ(results[i].magnetLink, rows[i].magnetLink);
        }
    }

    QStringList selectorItems() {
        QStringList items;
        for (int i = 0; i < pageSelector()->count(); ++i) items << pageSelector()->itemText(i);
        return items;
    }

    // The user opens 组合框1, moves down to item `index` and takes it with Enter.
    void chooseInSelector(int index) {
        QComboBox* selector = pageSelector();
        selector->showPopup();
        QAbstractItemView* view = selector->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        for (int i = selector->currentIndex(); i < index; ++i) QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
    }
};

QStringList numbers(int from, int to) {
    QStringList items;
    for (int i = from; i <= to; ++i) items << QString::number(i);
    return items;
}

TEST_F(SearchWindowTest, AKeywordTheSitesCannotTakeIsRefusedWithAMessageAndNotSearched) {
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Ok, &seen);
    searchBox()->setText(q("Ørsted 방탄소년단"));
    QTest::mouseClick(control("按钮1"), Qt::LeftButton);
    ASSERT_TRUE(seen.appeared);
    EXPECT_EQ(seen.title, q("无法搜索"));
    EXPECT_TRUE(seen.text.contains(q("无法搜索的字符")));
    EXPECT_FALSE(controller.searchFlow().running());
    EXPECT_EQ(window.windowTitle(), q("岚栖种子搜索神器v1.9"));
    EXPECT_TRUE(controller.searchFlow().screen().results.empty());
}

TEST_F(SearchWindowTest, EnterInTheSearchBoxFillsTheListFromAllSixSites) {
    search(QStringLiteral("超能陆战队"));

    const auto pages = expectedPages();
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_NE(controller.searchFlow().state().searchUrls[i].find("/site" + std::to_string(i + 1) + "/"),
                  std::string::npos);
        EXPECT_GT(pages[i].items, 0) << "site " << i + 1;
    }
    const auto rows = rowsOf(pages);
    expectRowsAre(rows);
    EXPECT_EQ(window.windowTitle(), completedTitle(pages, 1));

    // Every picture index shows its own picture.
    std::set<int> seen;
    for (int row = 0; row < list().count(); ++row) {
        const int index = list().pictureIndexAt(row);
        if (!seen.insert(index).second) continue;
        EXPECT_EQ(list().item(row)->icon().pixmap(QSize(80, 80)).toImage().convertToFormat(QImage::Format_RGB32),
                  listPicture(index).toImage().convertToFormat(QImage::Format_RGB32))
            << "picture " << index;
    }
    EXPECT_EQ(seen, (std::set<int>{0, 1, 3})) << "the sample keyword gives archives, videos and others";

    const long long total = pages[0].total + pages[2].total + pages[4].total + pages[5].total;
    const int pageCount = static_cast<int>((total + 59) / 60);
    EXPECT_EQ(selectorItems(), numbers(1, pageCount));
    EXPECT_EQ(pageSelector()->currentIndex(), 0);
    EXPECT_TRUE(pageSelector()->isVisible());
    EXPECT_TRUE(control("按钮3")->isVisible());
    EXPECT_EQ(control<QPushButton>("按钮3")->text(), QStringLiteral("下一页"));
    EXPECT_FALSE(control("按钮2")->isVisible());
    EXPECT_EQ(searchBox()->geometry(), QRect(264, 8, 224, 32));
    EXPECT_EQ(control("按钮1")->geometry(), QRect(488, 8, 80, 32));
    EXPECT_FALSE(control("标签2")->isVisible());
    EXPECT_FALSE(control("图片框2")->isVisible());
}

TEST_F(SearchWindowTest, NextPreviousAndTheSelectorRunTheSearchOnTheirPage) {
    search(QStringLiteral("超能陆战队"));
    const QStringList firstItems = selectorItems();
    ASSERT_GT(firstItems.size(), 6);

    clickAndWait("按钮3");
    auto pages = expectedPages();
    EXPECT_NE(controller.searchFlow().state().searchUrls[0].find("p=2"), std::string::npos);
    expectRowsAre(rowsOf(pages));
    EXPECT_EQ(window.windowTitle(), completedTitle(pages, 2));
    EXPECT_EQ(selectorItems(), firstItems) << "only page 1 rebuilds the selector";
    EXPECT_EQ(pageSelector()->currentIndex(), 1);
    EXPECT_TRUE(control("按钮2")->isVisible());

    clickAndWait("按钮2");
    pages = expectedPages();
    expectRowsAre(rowsOf(pages));
    EXPECT_EQ(window.windowTitle(), completedTitle(pages, 1));
    EXPECT_EQ(selectorItems(), firstItems);
    EXPECT_EQ(pageSelector()->currentIndex(), 0);
    EXPECT_FALSE(control("按钮2")->isVisible());

    chooseInSelector(4);
    waitForTheRun();
    pages = expectedPages();
    expectRowsAre(rowsOf(pages));
    EXPECT_EQ(window.windowTitle(), completedTitle(pages, 5));
    EXPECT_EQ(pageSelector()->currentIndex(), 4);
    EXPECT_TRUE(control("按钮2")->isVisible());

    // An edited keyword is what the next page searches.
    searchBox()->clear();
    searchBox()->insert(QStringLiteral("新关键词"));
    clickAndWait("按钮3");
    pages = expectedPages();
    const auto rows = rowsOf(pages);
    expectRowsAre(rows);
    EXPECT_EQ(window.windowTitle(), completedTitle(pages, 6));
    EXPECT_TRUE(q(rows.front().title).contains(QStringLiteral("新关键词")));
    EXPECT_EQ(pageSelector()->currentIndex(), 5);
}

// On page 625 of 625 the selector shows the number whole, and its open list scrolls within the screen.
TEST_F(SearchWindowTest, TheSelectorShowsALongPageNumberWholeAndItsListScrolls) {
    SearchScreen screen;
    for (int page = 1; page <= 625; ++page) screen.pageItems.push_back(decimalText(page));
    screen.selectedPageItem = 624;
    screen.pageSelectorVisible = true;
    screen.previousVisible = true;
    screen.layout = SearchLayout::Results;
    window.render(screen, kPageItemsChanged | kSearchRowChanged);
    QComboBox* selector = pageSelector();
    QStyleOptionComboBox option;
    option.initFrom(selector);
    const QRect field =
        selector->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, selector);
    EXPECT_GE(field.width(), selector->fontMetrics().horizontalAdvance(QStringLiteral("625")));
    // The paging controls still stand side by side, clear of each other and of 按钮1.
    EXPECT_LE(control("按钮2")->geometry().right(), selector->geometry().left());
    EXPECT_LE(control("按钮1")->geometry().right(), control("按钮2")->geometry().left());

    selector->showPopup();
    QWidget* popup = selector->view()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    EXPECT_LT(popup->height(), 25 * selector->view()->sizeHintForRow(0));
    EXPECT_TRUE(selector->view()->verticalScrollBar()->isVisible());
    selector->hidePopup();
}

TEST_F(SearchWindowTest, ForceSearchFetchesTheNextPageAndAddsItToTheSelector) {
    // Rows only from Site2 and Site4, which print no totals: 0 pages. The other four sites have no page; as
    // long as another site's page passes the checks, each of them still makes its first pass and counts as
    // skipped, except Site1: every run starts with empty buffers, so when Site1 is placed none holds a page.
    pointSitesAt({"-down", "", "-down", "", "-down", "-down"});
    search(QStringLiteral("超能陆战队"));
    auto pages = expectedPages();
    expectRowsAre(rowsOf(pages));
    EXPECT_GT(list().count(), 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9 --- 搜索完成，共0页，0个结果 - 第1页 356"));
    EXPECT_TRUE(selectorItems().isEmpty());
    EXPECT_EQ(pageSelector()->currentIndex(), -1);
    EXPECT_TRUE(pageSelector()->isVisible());
    EXPECT_EQ(control<QPushButton>("按钮3")->text(), QStringLiteral("强力搜"));
    EXPECT_FALSE(control("按钮2")->isVisible());

    clickAndWait("按钮3");
    pages = expectedPages();
    expectRowsAre(rowsOf(pages));
    EXPECT_GT(list().count(), 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9 --- 搜索完成，共0页，0个结果 - 第2页 356"));
    EXPECT_EQ(selectorItems(), QStringList{QStringLiteral("2")});
    EXPECT_EQ(pageSelector()->currentIndex(), 0) << "page 2 is item 1, past the only item: the last is selected";
    EXPECT_EQ(control<QPushButton>("按钮3")->text(), QStringLiteral("强力搜"));
    EXPECT_TRUE(control("按钮2")->isVisible());
}

TEST_F(SearchWindowTest, FailedRunsShowTheirMessageAndOnlyThenTheBannerAgain) {
    const struct {
        const char* mode;
        const char* status;
        const char* text;
        const char* caption;
        QMessageBox::Icon icon;
    } failures[] = {
        {"-down", " --- 连接服务器失败",
         "连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。", "网络错误",
         QMessageBox::Critical},
        {"-empty", " --- 未搜索到结果", "未搜索到结果：请换个关键词重试。", "搜索失败", QMessageBox::Information},
    };
    // Each failure follows a completed run: a run is judged on its own pages, never on those of the run before.
    // The second completed run follows the first failure: it starts on page 1 again.
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.mode);
        pointSitesAt({"", "", "", "", "", ""});
        search(QStringLiteral("超能陆战队"));
        ASSERT_EQ(window.windowTitle(), completedTitle(expectedPages(), 1));
        pointSitesAt({failure.mode, failure.mode, failure.mode, failure.mode, failure.mode, failure.mode});
        struct {
            QString text, caption, titleMeanwhile;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QStringList buttons;
            bool bannerMeanwhile = true, pictureMeanwhile = true;
        } seen;
        test::MessageBoxAnswerer answerer([&](QMessageBox& box) {
            seen.text = box.text();
            seen.caption = box.windowTitle();
            seen.icon = box.icon();
            for (QAbstractButton* button : box.buttons()) seen.buttons << button->text();
            seen.titleMeanwhile = window.windowTitle();
            seen.bannerMeanwhile = control("标签2")->isVisible();
            seen.pictureMeanwhile = control("图片框2")->isVisible();
            box.buttons().value(0)->click();
        });
        search(QStringLiteral("超能陆战队"));
        ASSERT_TRUE(answerer.answered()) << window.windowTitle().toStdString();
        EXPECT_EQ(seen.text, QString::fromUtf8(failure.text));
        EXPECT_EQ(seen.caption, QString::fromUtf8(failure.caption));
        EXPECT_EQ(seen.icon, failure.icon);
        EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("确定")});
        EXPECT_EQ(seen.titleMeanwhile, QStringLiteral("岚栖种子搜索神器v1.9") + QString::fromUtf8(failure.status));
        EXPECT_FALSE(seen.bannerMeanwhile);
        EXPECT_FALSE(seen.pictureMeanwhile);

        EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9") + QString::fromUtf8(failure.status));
        EXPECT_TRUE(control("标签2")->isVisible());
        EXPECT_TRUE(control("图片框2")->isVisible());
        EXPECT_EQ(list().count(), 0);
        for (const char* paging : {"按钮2", "按钮3", "组合框1"}) EXPECT_FALSE(control(paging)->isVisible()) << paging;
        EXPECT_EQ(searchBox()->geometry(), QRect(264, 8, 392, 32));
        EXPECT_EQ(control("按钮1")->geometry(), QRect(664, 8, 80, 32));
        EXPECT_EQ(controller.searchFlow().state().currentPage, "0");
    }
}

// Enter during a run stops it and searches again: the abandoned run's rows never join the new one's.
TEST_F(SearchWindowTest, EnterDuringARunStopsItAndSearchesAgain) {
    pointSitesAt({"-slow400", "", "", "", "", ""});
    int requests = 0;
    controller.searchFlow().setObserver({[&requests](int, const Text&) { ++requests; }, {}});
    QTimer::singleShot(100, [this] {
        EXPECT_TRUE(controller.searchFlow().running()) << "Site1 answers after 400 ms";
        QTest::keyClick(searchBox(), Qt::Key_Return);
    });
    search(QStringLiteral("超能陆战队"));
    EXPECT_EQ(requests, 12) << "two runs of six requests";
    EXPECT_EQ(window.windowTitle(), completedTitle(expectedPages(), 1));
    EXPECT_EQ(list().count(), static_cast<int>(rowsOf(expectedPages()).size()));
}

TEST_F(SearchWindowTest, ARunWaitingForAStalledSiteShowsItsProgressAndCancellingEndsItAtOnce) {
    pointSitesAt({"", "", "-stall", "", "", ""});  // Site3 sends its headers, then nothing
    test::MessageBoxAnswerer unexpected([](QMessageBox& box) { box.buttons().value(0)->click(); });
    startSearch(QStringLiteral("超能陆战队"));
    std::array<test::ExpectedPage, 6> pages;
    for (size_t i = 0; i < 2; ++i) pages[i] = test::expectedPage(base, controller.searchFlow().state().searchUrls[i]);
    const auto rows = rowsOf(pages);  // Site1's and Site2's: the sites before the stalled one
    ASSERT_GT(pages[0].items, 0);
    ASSERT_GT(pages[1].items, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list().count() >= static_cast<int>(rows.size()); }, 10000));
    QTest::qWait(300);  // Sites 4 to 6 have answered by now; they wait for Site3
    EXPECT_TRUE(controller.searchFlow().running());
    expectRowsAre(rows);
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("岚栖种子搜索神器v1.9 --- 正在搜索，请稍等......%1%").arg(rows.size()));

    controller.searchFlow().cancelRun();
    EXPECT_FALSE(controller.searchFlow().running());
    QTest::qWait(1200);  // long enough for the stalled fetch to give up: nothing more of the run is shown
    expectRowsAre(rows);
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("岚栖种子搜索神器v1.9 --- 正在搜索，请稍等......%1%").arg(rows.size()));
    EXPECT_FALSE(unexpected.answered()) << "a cancelled run shows no message";

    // A new search first waits for the cancelled run's fetches: the stalled one has given up.
    pointSitesAt({"", "", "", "", "", ""});
    QElapsedTimer clock;
    clock.start();
    startSearch(QStringLiteral("超能陆战队"));
    EXPECT_LT(clock.elapsed(), 1500);
    waitForTheRun();
    EXPECT_EQ(window.windowTitle(), completedTitle(expectedPages(), 1));
    expectRowsAre(rowsOf(expectedPages()));
}

}  // namespace
}  // namespace lanqi
