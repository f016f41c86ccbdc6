#include "app/gui/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/core/main_window_design.h"
#include "app/gui/result_list.h"
#include "app/gui/result_table.h"
#include "app/gui/site_strip.h"
#include "platform/product.h"
#include "window_test_support.h"

namespace lanqi {
namespace {

using test::gbkOf;

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
    QTest::qWait(100);  // as the window stands once its controls' own deferred adjusting has run
    for (const ControlDesign& design : mainWindowDesigns()) {
        SCOPED_TRACE(design.name);
        QWidget* widget = control(design.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), &window);
        EXPECT_EQ(widget->geometry(),
                  QRect(design.geometry.left, design.geometry.top, design.geometry.width, design.geometry.height));
        EXPECT_EQ(widget->isVisible(), design.shownAtStart);
        // A screen reader hears a caption or a description, never the control name.
        const QString spoken = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        EXPECT_NE(spoken, QString::fromUtf8(design.name));
        if (design.shownAtStart) {
            EXPECT_FALSE(spoken.isEmpty());
        }
        if (*design.accessibleName != '\0') EXPECT_EQ(spoken, QString::fromUtf8(design.accessibleName));
        if (*design.caption != '\0') EXPECT_EQ(captionOf(widget), QString::fromUtf8(design.caption));
        if (design.fontPixels > 0) EXPECT_EQ(widget->font().pixelSize(), design.fontPixels);
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

TEST_F(MainWindowTest, ResizingPlacesTheSearchViewForTheNewSizeAndOpeningAtAPlaceFitsTheScreen) {
    SearchScreen screen;
    screen.layout = SearchLayout::Results;
    screen.pageSelectorVisible = screen.nextVisible = true;
    window.render(screen, kSearchRowChanged | kBannerChanged);
    const auto geometryAt = [](MainControl control, int width, int height) {
        const Geometry g = placedGeometry(control, SearchLayout::Results, width, height);
        return QRect(g.left, g.top, g.width, g.height);
    };
    QSignalSpy resized(&window, &MainWindow::resized);
    for (const QSize size : {QSize(1200, 800), QSize(kMinMainWindowWidth, kMinMainWindowHeight), QSize(300, 200)}) {
        window.resize(size);
        QTest::qWait(50);
        const QSize now = window.size();
        EXPECT_GE(now.width(), kMinMainWindowWidth);  // never smaller than the smallest
        EXPECT_GE(now.height(), kMinMainWindowHeight);
        for (const MainControl which : {MainControl::SearchBox, MainControl::SearchButton, MainControl::NextButton,
                                        MainControl::FilterBox, MainControl::StopButton, MainControl::ResultList,
                                        MainControl::ResultTable, MainControl::Footer, MainControl::SiteStrip})
            EXPECT_EQ(control(designOf(which).name)->geometry(), geometryAt(which, now.width(), now.height()))
                << designOf(which).name << " at " << now.width() << "x" << now.height();
    }
    EXPECT_GE(resized.count(), 2);

    const QRect work = window.screen()->availableGeometry();
    window.openAt(WindowPlace{work.x() + 20, work.y() + 40, 700, 500, false});
    QTest::qWait(50);
    EXPECT_EQ(window.place(), (WindowPlace{work.x() + 20, work.y() + 40, 700, 500, false}));
    window.openAt(WindowPlace{work.x() - 5000, work.y(), work.width() * 2, work.height() * 2, false});
    QTest::qWait(50);
    EXPECT_TRUE(work.contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y() << " "
                                                  << window.geometry().width() << "x" << window.geometry().height();
}

TEST_F(MainWindowTest, TitleIsExactlyTheProductNameAndVersionAndRenderShowsTheScreensTitle) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
    SearchScreen screen;
    screen.title = titlePrefix() + gbkOf(" --- 搜索完成，共3页，190个结果 - 第1页 ");
    window.render(screen, kSearchRowChanged | kBannerChanged);  // the title is not among the changes
    EXPECT_EQ(window.windowTitle(), QStringLiteral("岚栖种子搜索神器v1.9"));
    window.render(screen, kTitleChanged);
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

TEST_F(MainWindowTest, RenderDrawsTheSearchRowAndTheBanner) {
    const struct {
        SearchLayout layout;
        bool previous, next, selector, banner;
        const char* nextCaption;
        QRect box, button;
    } screens[] = {
        {SearchLayout::Results, false, true, true, false, "下一页", {264, 8, 224, 32}, {488, 8, 80, 32}},
        {SearchLayout::Results, true, true, false, false, "强力搜", {264, 8, 224, 32}, {488, 8, 80, 32}},
        {SearchLayout::Home, false, false, false, true, "下一页", {264, 8, 392, 32}, {664, 8, 80, 32}},
        {SearchLayout::Results, true, false, true, true, "强力搜", {264, 8, 224, 32}, {488, 8, 80, 32}},
    };
    for (const auto& expected : screens) {
        SCOPED_TRACE(expected.nextCaption);
        SearchScreen screen;
        screen.layout = expected.layout;
        screen.previousVisible = expected.previous;
        screen.nextVisible = expected.next;
        screen.nextCaption = gbkOf(expected.nextCaption);
        screen.pageSelectorVisible = expected.selector;
        screen.bannerVisible = expected.banner;
        window.render(screen, kSearchRowChanged | kBannerChanged);
        EXPECT_EQ(control("搜索框")->geometry(), expected.box);
        EXPECT_EQ(control("按钮1")->geometry(), expected.button);
        EXPECT_EQ(control("按钮2")->isVisible(), expected.previous);
        EXPECT_EQ(control("按钮3")->isVisible(), expected.next);
        EXPECT_EQ(control<QPushButton>("按钮3")->text(), QString::fromUtf8(expected.nextCaption));
        EXPECT_EQ(control("组合框1")->isVisible(), expected.selector);
        EXPECT_EQ(control("标签2")->isVisible(), expected.banner);
        EXPECT_EQ(control("图片框2")->isVisible(), expected.banner);
    }
    SearchScreen home;  // drawn only where the changes say so
    window.render(home, kTitleChanged);
    EXPECT_EQ(control("搜索框")->geometry(), QRect(264, 8, 224, 32));
    EXPECT_TRUE(control("按钮2")->isVisible());
}

// The player hides the search view; a run that goes on behind the film draws into it without showing it.
TEST_F(MainWindowTest, AHiddenSearchViewStaysHiddenThroughARenderAndComesBackAsLastRendered) {
    SearchScreen paging;
    paging.layout = SearchLayout::Results;
    paging.nextVisible = paging.pageSelectorVisible = true;
    paging.bannerVisible = false;
    window.render(paging, kSearchRowChanged | kBannerChanged);
    window.setSearchViewShown(false);
    paging.previousVisible = true;
    paging.nextVisible = false;
    window.render(paging, kSearchRowChanged | kBannerChanged);
    for (const ControlDesign& c : mainWindowDesigns()) EXPECT_FALSE(control(c.name)->isVisible()) << c.name;

    window.setSearchViewShown(true);
    const std::vector<std::pair<const char*, bool>> shown = {
        {"图片框1", true}, {"搜索框", true},      {"按钮1", true},  {"按钮2", true},    {"组合框1", true},
        {"按钮3", false},  {"超级列表框1", true}, {"标签2", false}, {"图片框2", false}, {"标签8", true},
    };
    for (const auto& [name, visible] : shown) EXPECT_EQ(control(name)->isVisible(), visible) << name;
    EXPECT_FALSE(control("标签5")->isVisible()) << "the player's own controls are the player's to show";
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
    EXPECT_EQ(window.keyword(), gbkOf("超能 abc"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(searches.count(), 1);
    QTest::mouseClick(control<QPushButton>("按钮1"), Qt::LeftButton);
    EXPECT_EQ(searches.count(), 2);

    SearchScreen paging;
    paging.layout = SearchLayout::Results;
    paging.previousVisible = paging.nextVisible = true;
    window.render(paging, kSearchRowChanged);
    QTest::mouseClick(control<QPushButton>("按钮3"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("按钮2"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("按钮2"), Qt::LeftButton);
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(previous.count(), 2);
    EXPECT_EQ(searches.count(), 2);
}

TEST_F(MainWindowTest, PageItemsAndTheSelectionTheProgramRendersStartNothing) {
    QSignalSpy chosen(&window, &MainWindow::pageChosen);
    QSignalSpy searches(&window, &MainWindow::searchRequested);
    const struct {
        std::vector<const char*> items;
        int selected;
        unsigned changes;
        QStringList shown;
        int shownSelection;
    } steps[] = {
        {{"1", "2", "3"}, -1, kPageItemsChanged | kPageSelectionChanged, {"1", "2", "3"}, -1},  // none selected
        {{"1", "2", "3"}, 1, kPageSelectionChanged, {"1", "2", "3"}, 1},
        {{"1", "2", "3", "4"}, 1, kPageItemsChanged, {"1", "2", "3", "4"}, 1},
        {{"1", "2", "3", "4"}, 3, kTitleChanged, {"1", "2", "3", "4"}, 1},  // neither part changed
        {{"1", "2", "3", "4"}, -1, kPageSelectionChanged, {"1", "2", "3", "4"}, -1},
        {{}, -1, kPageItemsChanged | kPageSelectionChanged, {}, -1},
        {{"2"}, 0, kPageItemsChanged | kPageSelectionChanged, {"2"}, 0},  // "强力搜" from 0 pages
    };
    SearchScreen screen;
    screen.pageSelectorVisible = true;
    window.render(screen, kSearchRowChanged);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.shown.join(',').toStdString() + " selected " + std::to_string(step.selected));
        screen.pageItems.assign(step.items.begin(), step.items.end());
        screen.selectedPageItem = step.selected;
        window.render(screen, step.changes);
        QStringList shown;
        for (int i = 0; i < pageSelector()->count(); ++i) shown << pageSelector()->itemText(i);
        EXPECT_EQ(shown, step.shown);
        EXPECT_EQ(pageSelector()->currentIndex(), step.shownSelection);
        // A screen reader hears "页码" with the page shown as its value.
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(pageSelector());
        EXPECT_EQ(spoken->text(QAccessible::Name), QStringLiteral("页码"));
        EXPECT_EQ(spoken->text(QAccessible::Value), pageSelector()->currentText());
    }
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(searches.count(), 0);

    // Long page numbers widen it to the left, and it stays so: its right edge never runs over 下一页.
    screen.pageItems = {"1", "1234567"};
    window.render(screen, kPageItemsChanged);
    QTest::qWait(100);
    const Geometry designed = designOf(MainControl::PageSelector).geometry;
    const QRect fitted = pageSelector()->geometry();
    EXPECT_GT(fitted.width(), designed.width);
    EXPECT_EQ(fitted.left() + fitted.width(), designed.left + designed.width);
    EXPECT_EQ(fitted.height(), designed.height);
    const Geometry previous = designOf(MainControl::PreviousButton).geometry;
    const int designedGap = designed.left - (previous.left + previous.width);
    EXPECT_EQ(fitted.left() - (control("按钮2")->geometry().right() + 1), designedGap) << "上一页 moves along";
}

TEST_F(MainWindowTest, UserChoiceInThePageSelectorReportsItsIndex) {
    QSignalSpy chosen(&window, &MainWindow::pageChosen);
    SearchScreen screen;
    screen.pageSelectorVisible = true;
    screen.pageItems = {"1", "2", "3"};
    screen.selectedPageItem = 0;
    window.render(screen, kSearchRowChanged | kPageItemsChanged | kPageSelectionChanged);
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

ResultItem resultOf(const char* title, int fileKind) { return {gbkOf(title), fileKind, "magnet:?", "", 1}; }

// The controller's lines over `rows`, in `order`, drawn from scratch.
ResultsShown linesOf(const std::vector<PresentedRow>& rows, std::vector<size_t> order, int selected = -1) {
    ResultsShown shown;
    shown.rows = rows;
    for (const size_t row : order) shown.lines.push_back({row, ""});
    shown.selected = selected;
    shown.total = rows.size();
    return shown;
}

// The same lines in the picture list and in the table, whichever the bar shows; the bar's count, problem,
// sort and stop; the strip's entries.
TEST_F(MainWindowTest, TheResultsAreaDrawsWhatTheControllerShows) {
    QSignalSpy selected(&window, &MainWindow::rowSelected);
    const std::vector<PresentedRow> rows = {presentResult(resultOf("甲.mkv", 3)), presentResult(resultOf("乙.rar", 0)),
                                            presentResult(resultOf("丙", 1))};
    window.showResults(linesOf(rows, {2, 0}, 1));
    ResultList& list = window.resultList();
    ResultTable& table = window.resultTable();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.captionAt(0), QStringLiteral("丙"));
    EXPECT_EQ(list.pictureIndexAt(1), 3);
    EXPECT_EQ(list.selectedRow(), 1);
    ASSERT_EQ(table.model().rowCount(), 2);
    const auto cell = [&](int line, ResultColumn column) {
        return table.model().index(line, static_cast<int>(column)).data().toString();
    };
    EXPECT_EQ(cell(1, ResultColumn::Title), QStringLiteral("甲.mkv"));
    EXPECT_EQ(cell(1, ResultColumn::Kind), QStringLiteral("视频"));
    EXPECT_EQ(cell(0, ResultColumn::Site), QStringLiteral("站点1"));
    EXPECT_EQ(table.selectedLine(), 1);
    EXPECT_EQ(selected.count(), 0) << "what is drawn is not the user's choice";

    const struct {
        ResultsBar bar;
        bool tableShown;
        QString count;
        int sortSection;  // -1: no indicator
    } bars[] = {
        {{ResultsMode::Pictures, false, "共 3 项", "", std::nullopt, false, true}, false, "共 3 项", -1},
        {{ResultsMode::Table, true, "显示 2 项，共 3 项", "", ResultColumn::Size, true, false},
         true,
         "显示 2 项，共 3 项",
         1},
        {{ResultsMode::Table, false, "共 3 项", "筛选条件有误：“size>x”大小有误", std::nullopt, false, false},
         true,
         "筛选条件有误：“size>x”大小有误",
         -1},
    };
    for (const auto& step : bars) {
        SCOPED_TRACE(step.count.toStdString());
        window.showResultsBar(step.bar);
        EXPECT_EQ(table.isVisible(), step.tableShown);
        EXPECT_EQ(list.isVisible(), !step.tableShown);
        EXPECT_EQ(control<QLabel>("结果计数")->text(), step.count);
        EXPECT_EQ(control<QAbstractButton>("合并相同资源")->isChecked(), step.bar.unique);
        EXPECT_EQ(control("停止")->isEnabled(), step.bar.stoppable);
        QHeaderView* header = table.horizontalHeader();
        EXPECT_EQ(header->isSortIndicatorShown(), step.sortSection >= 0);
        if (step.sortSection >= 0) EXPECT_EQ(header->sortIndicatorSection(), step.sortSection);
    }

    window.showSiteStrip({{1, SiteState::Done, "1✓12", "1✓", "站点1（site1）：12 条结果，30 毫秒"},
                          {2, SiteState::Failed, "2✗", "2✗", "站点2（site2）：失败，连接超时，0 毫秒"}});
    QToolButton* second = window.siteStrip().entryOf(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), QStringLiteral("2✗"));
    EXPECT_EQ(second->accessibleName(), QStringLiteral("站点2（site2）：失败，连接超时，0 毫秒"));
    QSignalSpy entries(&window, &MainWindow::siteEntryActivated);
    QTest::mouseClick(second, Qt::LeftButton);
    ASSERT_EQ(entries.count(), 1);
    EXPECT_EQ(entries.at(0).at(0).toInt(), 2);
}

// Tab walks the controls in the designed order, skipping what is hidden or switched off.
TEST_F(MainWindowTest, TabWalksTheShownControlsInTheDesignedOrder) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    SearchScreen results;
    results.layout = SearchLayout::Results;
    results.nextVisible = results.pageSelectorVisible = true;
    results.bannerVisible = false;
    window.render(results, kSearchRowChanged | kBannerChanged);
    window.showResultsBar({ResultsMode::Pictures, false, "", "", std::nullopt, false, false});
    std::vector<QString> expected;
    for (const MainControl each : kMainTabOrder) {
        QWidget* widget = control(designOf(each).name);
        // The two views are one stop, as a pair of radio buttons are (the arrow keys move between them).
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (button != nullptr && button->group() != nullptr && button->group()->exclusive() && !button->isChecked())
            continue;
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
            expected.push_back(widget->objectName());
    }
    control("搜索框")->setFocus();
    std::vector<QString> walked{QApplication::focusWidget()->objectName()};
    for (size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked.push_back(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(walked[7], QStringLiteral("超级列表框1"));
}

// The tool row's gestures and keys reach the window's signals.
TEST_F(MainWindowTest, ToolRowGesturesAndKeysReachTheWindowSignals) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.showResultsBar({ResultsMode::Pictures, false, "", "", std::nullopt, false, true});
    QSignalSpy filters(&window, &MainWindow::filterEdited);
    QSignalSpy modes(&window, &MainWindow::modeChosen);
    QSignalSpy merges(&window, &MainWindow::uniqueSwitched);
    QSignalSpy stops(&window, &MainWindow::stopRequested);
    QSignalSpy escapes(&window, &MainWindow::escapePressed);
    QSignalSpy settings(&window, &MainWindow::siteSettingsRequested);
    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(settings.count(), 1);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), control("筛选框"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("mkv"));
    ASSERT_EQ(filters.count(), 3);
    EXPECT_EQ(filters.last().at(0).toString(), QStringLiteral("mkv"));
    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), control("搜索框"));
    QTest::keyClick(control("搜索框"), Qt::Key_Escape);  // a run can be stopped: Esc is 停止
    EXPECT_EQ(stops.count(), 1);
    EXPECT_EQ(escapes.count(), 0);
    QTest::mouseClick(control("停止"), Qt::LeftButton);
    EXPECT_EQ(stops.count(), 2);
    window.showResultsBar({ResultsMode::Pictures, false, "", "", std::nullopt, false, false});
    QTest::keyClick(control("搜索框"), Qt::Key_Escape);  // nothing to stop: the player's Esc
    EXPECT_EQ(escapes.count(), 1);
    QTest::mouseClick(control("列表视图"), Qt::LeftButton);
    QTest::mouseClick(control<QAbstractButton>("合并相同资源"), Qt::LeftButton);
    ASSERT_EQ(modes.count(), 1);
    EXPECT_EQ(modes.at(0).at(0).value<ResultsMode>(), ResultsMode::Table);
    ASSERT_EQ(merges.count(), 1);
    EXPECT_TRUE(merges.at(0).at(0).toBool());
}

TEST_F(MainWindowTest, ListGesturesReachTheWindowSignals) {
    QSignalSpy activated(&window, &MainWindow::rowActivated);
    QSignalSpy selected(&window, &MainWindow::rowSelected);
    QSignalSpy rowMenus(&window, &MainWindow::rowMenuRequested);
    QSignalSpy menus(&window, &MainWindow::mainMenuRequested);
    SearchScreen screen;
    screen.bannerVisible = false;
    window.render(screen, kBannerChanged);
    const std::vector<PresentedRow> rows = {presentResult(resultOf("第一行", 3)), presentResult(resultOf("第二行", 0))};
    window.showResults(linesOf(rows, {0, 1}));
    ResultList& list = window.resultList();
    const QPoint second = list.visualItemRect(list.item(1)).center();
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, second);
    ASSERT_EQ(rowMenus.count(), 1);
    EXPECT_EQ(rowMenus.at(0).at(0).toInt(), 1);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 1);
    QTest::keyClick(list.viewport(), Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, QPoint(700, 400));  // empty area
    EXPECT_EQ(menus.count(), 1);
    EXPECT_EQ(rowMenus.count(), 1);
    ASSERT_EQ(selected.count(), 2);
    EXPECT_EQ(selected.at(1).at(0).toInt(), -1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
    ASSERT_EQ(selected.count(), 3);
    EXPECT_EQ(selected.at(2).at(0).toInt(), 0);
}

}  // namespace
}  // namespace lanqi
