#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMessageBox>
#include <QToolButton>

#include <algorithm>
#include <set>

#include "app/gui/result_table.h"
#include "app/gui/site_strip.h"
#include "app_test_support.h"
#include "platform/qt/qt_text.h"
#include "support/qt_modal.h"

namespace lanqi {
namespace {

// The results area over the sample sites, as its user drives it: the table, its sort, the filter, one row
// per torrent, 停止, and the keys of the results.
class ResultsWindowTest : public test::AppWindowTest {
  protected:
    ResultTable& table() { return window.resultTable(); }
    // The run rows the table shows, in its order.
    std::vector<const ResultItem*> tableRows() {
        std::vector<const ResultItem*> rows;
        const auto& results = controller.searchFlow().screen().results;
        for (int line = 0; line < table().model().rowCount(); ++line) {
            const QString link = table().model().magnetLinkOf(line);
            const auto found = std::find_if(results.begin(), results.end(), [&](const ResultItem& r) {
                return QString::fromStdString(r.magnetLink) == link;
            });
            rows.push_back(found == results.end() ? nullptr : &*found);
        }
        return rows;
    }
    void clickHeader(ResultColumn column) {
        QHeaderView* header = table().horizontalHeader();
        const int section = static_cast<int>(column);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    }
};

TEST_F(ResultsWindowTest, TheTableSortsBySizeFiltersAndMergesTheRunsRows) {
    search(QStringLiteral("超能陆战队"));
    const size_t total = controller.searchFlow().screen().results.size();
    ASSERT_GT(total, 10u);
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    ASSERT_TRUE(table().isVisible());
    EXPECT_FALSE(list().isVisible());
    ASSERT_EQ(table().model().rowCount(), static_cast<int>(total));

    clickHeader(ResultColumn::Size);  // largest first
    std::vector<const ResultItem*> rows = tableRows();
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_NE(rows[i], nullptr);
        const auto before = rows[i - 1]->sizeBytes, now = rows[i]->sizeBytes;
        if (!now) continue;  // rows without a size come last
        ASSERT_TRUE(before.has_value()) << i;
        EXPECT_GE(*before, *now) << i;
        if (*before == *now) EXPECT_LT(rows[i - 1], rows[i]) << "ties keep run order";
    }
    EXPECT_TRUE(table().horizontalHeader()->isSortIndicatorShown());

    auto* filter = control<QLineEdit>("筛选框");
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), filter);
    QTest::keyClicks(filter, QStringLiteral("kind:video"));
    const int videos = table().model().rowCount();
    EXPECT_GT(videos, 0);
    EXPECT_LT(videos, static_cast<int>(total));
    for (const ResultItem* row : tableRows()) EXPECT_EQ(row->fileKind, 3);
    EXPECT_EQ(control<QLabel>("结果计数")->text(), QStringLiteral("显示 %1 项，共 %2 项").arg(videos).arg(total));
    QTest::keyClicks(filter, QStringLiteral(" size>x"));
    EXPECT_TRUE(control<QLabel>("结果计数")->text().startsWith(QStringLiteral("筛选条件有误：“size>x”")));

    filter->clear();
    QTest::mouseClick(control<QAbstractButton>("合并相同资源"), Qt::LeftButton);
    std::set<Text> hashes;
    for (const ResultItem& row : controller.searchFlow().screen().results)
        hashes.insert(row.hashKey.empty() ? row.magnetLink : row.hashKey);
    EXPECT_EQ(table().model().rowCount(), static_cast<int>(hashes.size()));
}

TEST_F(ResultsWindowTest, StopKeepsWhatArrivedAndTheStripSaysWhichSiteWasStopped) {
    pointSitesAt({"", "", "-stall", "", "", ""});  // Site3 sends its headers, then nothing
    startSearch(QStringLiteral("超能陆战队"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return list().count() > 0; }, 10000));
    EXPECT_TRUE(control("停止")->isEnabled());
    QTest::mouseClick(control<QPushButton>("停止"), Qt::LeftButton);
    EXPECT_FALSE(controller.searchFlow().running());
    EXPECT_FALSE(control("停止")->isEnabled());
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("搜索已停止"))) << window.windowTitle().toStdString();
    QToolButton* third = window.siteStrip().entryOf(3);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->accessibleName(), QStringLiteral("站点3（site3）：已停止"));
    EXPECT_EQ(window.siteStrip().entryOf(1)->text().left(2), QStringLiteral("1✓"));
    EXPECT_GT(list().count(), 0);
}

TEST_F(ResultsWindowTest, CtrlCCopiesTheSelectedLinksAndTheMenuKeyOpensAtTheSelectedLine) {
    search(QStringLiteral("超能陆战队"));
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    table().setFocus();
    table().selectRow(2);
    const QString link = table().model().magnetLinkOf(2);
    ASSERT_FALSE(link.isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    QTest::keyClick(&table(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), link);
    EXPECT_EQ(control<QLabel>("结果计数")->text(), QStringLiteral("已复制磁力链接"));
    EXPECT_EQ(controller.searchFlow().selectedResult()->magnetLink, fromQString(link));

    test::SeenMenu menu;
    test::chooseInNextMenu(QString(), &menu);
    QTest::keyClick(&table(), Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.appeared; }, 5000));
    const QRect line = table().visualRect(table().model().index(2, 0));
    const QRect onScreen(table().viewport()->mapToGlobal(line.topLeft()), line.size());
    EXPECT_TRUE(onScreen.adjusted(0, 0, 0, 2).contains(menu.position)) << menu.position.x() << "," << menu.position.y();
}

// The first search with only placeholder addresses asks for the sites over the home screen, which stays as it
// is: nothing was searched.
TEST_F(ResultsWindowTest, AFirstSearchWithNoSitesAsksForThemOverTheHomeScreen) {
    controller.client().useSettings(builtInSettings(), builtInSiteSlots());
    test::SeenMessageBox seen;
    bool bannerDuringBox = false;
    test::whenShown<QMessageBox>(test::activeMessageBox, [&](QMessageBox* box) {
        test::record(box, &seen);
        bannerDuringBox = control("标签2")->isVisible();
        box->button(QMessageBox::No)->click();
    });
    startSearch(QStringLiteral("超能陆战队"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.appeared; }, 5000));
    EXPECT_EQ(seen.title, QStringLiteral("尚未设置搜索站点"));
    EXPECT_TRUE(bannerDuringBox);
    EXPECT_TRUE(control("标签2")->isVisible());
    EXPECT_FALSE(controller.searchFlow().running());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
}

}  // namespace
}  // namespace lanqi
