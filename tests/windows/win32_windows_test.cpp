// The Win32 client's main window on a real display under Wine: the search flow's screen and the results lines
// drawn into its controls, and the keys routed as the message loop routes them (Enter, Tab, Esc).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "actions/window_geometry.h"
#include "app/core/results_presenter.h"
#include "app/win32/main_window.h"
#include "support/win32_client_test.h"

namespace lanqi::win32 {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window = test::openMainWindow(m_desktop);
        ASSERT_NE(m_window, nullptr) << "no window: is there a display?";
        MainWindowEvents& events = m_window->events();
        events.searchRequested = [this] { m_seen.push_back("search"); };
        events.escapePressed = [this] { m_seen.push_back("escape"); };
        events.rowActivated = [this](int row) { m_seen.push_back("activate " + std::to_string(row)); };
    }

    // The window's control of this class (and caption, for the buttons).
    HWND child(const wchar_t* windowClass, const wchar_t* caption = nullptr) const {
        return ::FindWindowExW(m_window->handle(), nullptr, windowClass, caption);
    }
    void press(UINT key) {
        MSG message{::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        routeMessage(message);
    }
    // The screen's rows as the controller hands them to the window, `selectedRow` selected.
    void showRows(const SearchScreen& screen, int selectedRow) {
        m_presenter.rowsChanged(screen.results, kResultsCleared | kResultsAdded);
        m_presenter.refresh(screen.results, SiteNames(6, "site"));
        m_window->showResults(m_presenter.shown(selectedRow));
    }
    static SearchScreen resultsScreen(std::vector<Text> pages, int selectedRow) {
        SearchScreen screen;
        screen.title = "done";
        screen.layout = SearchLayout::Results;
        screen.previousVisible = screen.nextVisible = screen.pageSelectorVisible = true;
        screen.nextCaption = gbk(u8"下一页");
        screen.pageItems = std::move(pages);
        screen.selectedPageItem = 0;
        screen.bannerVisible = false;
        const auto row = [](const char8_t* title, int fileKind) {
            ResultItem item;
            item.title = gbk(title);
            item.fileKind = fileKind;
            return item;
        };
        screen.results = {row(u8"短标题", 3),
                          row(u8"一个很长很长的标题，长到结果列表的格子放不下，只能在末尾截断并以省略号结束", 0)};
        screen.selectedResult = selectedRow;
        return screen;
    }

    Win32DesktopServices m_desktop;
    std::unique_ptr<MainWindow> m_window;
    ResultsPresenter m_presenter;
    std::vector<std::string> m_seen;
};

TEST_F(MainWindowTest, TheScreenIsDrawnIntoTheControls) {
    m_window->render(resultsScreen({"1", "2", "1234567"}, -1), ~0u);
    showRows(resultsScreen({"1", "2", "1234567"}, -1), -1);
    EXPECT_EQ(windowText(m_window->handle()), L"done");
    EXPECT_EQ(geometryOf(child(WC_EDITW)).width, kResultsSearchBoxWidth);
    EXPECT_EQ(geometryOf(child(WC_BUTTONW, L"岚栖搜索")).left, kResultsSearchButtonLeft);

    // The page selector grows to the left for its longest item, and 上一页 moves with it.
    const Geometry selector = geometryOf(child(WC_COMBOBOXW));
    EXPECT_EQ(::SendMessageW(child(WC_COMBOBOXW), CB_GETCOUNT, 0, 0), 3);
    EXPECT_GT(selector.width, kPageSelectorWidth);
    EXPECT_EQ(selector.left + selector.width, kPageSelectorLeft + kPageSelectorWidth);
    EXPECT_EQ(geometryOf(child(WC_BUTTONW, L"上一页")).left,
              kPreviousButtonLeft - (selector.width - kPageSelectorWidth));

    // Captions as a person reads them; one too long for its cell ends in "…".
    HWND list = child(WC_LISTVIEWW);
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    wchar_t caption[256] = {};
    ListView_GetItemText(list, 0, 0, caption, 256);
    EXPECT_EQ(std::wstring(caption).substr(0, 3), L"短标题");
    ListView_GetItemText(list, 1, 0, caption, 256);
    const std::wstring cut(caption);
    EXPECT_NE(cut.find(L"…"), std::wstring::npos);
    EXPECT_EQ(cut.substr(0, 4), L"一个很长");

    // A selection the flow makes shows in the list; the home layout puts the search row back.
    m_window->showResults(m_presenter.shown(1));
    EXPECT_EQ(m_window->selectedLine(), 1);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
    SearchScreen home;
    m_window->render(home, kSearchRowChanged | kBannerChanged);
    showRows(home, -1);
    EXPECT_EQ(geometryOf(child(WC_EDITW)).width, kHomeSearchBoxWidth);
    EXPECT_EQ(ListView_GetItemCount(list), 0);
}

TEST_F(MainWindowTest, KeysGoWhereTheQtClientSendsThem) {
    HWND box = child(WC_EDITW);
    HWND list = child(WC_LISTVIEWW);
    ::SetFocus(box);
    press(VK_RETURN);
    press(VK_ESCAPE);
    EXPECT_EQ(m_seen, (std::vector<std::string>{"search", "escape"}));

    // Tab walks the search row left to right into the list, past hidden controls, to the footer's link and round
    // again through the logo.
    const auto tabOrder = [&] {
        std::vector<HWND> order;
        for (int i = 0; i < 7; ++i) {
            press(VK_TAB);
            order.push_back(::GetFocus());
        }
        return order;
    };
    ::SetFocus(box);
    HWND logo = child(L"LanqiLabel", L"产品标志");
    HWND link = nullptr;  // the footer, whose text holds the link
    for (HWND at = child(L"LanqiLabel"); at != nullptr;
         at = ::FindWindowExW(m_window->handle(), at, L"LanqiLabel", nullptr))
        if (windowText(at).rfind(L"岚栖工作室 出品", 0) == 0) link = at;
    ASSERT_NE(logo, nullptr);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(tabOrder(), (std::vector<HWND>{child(WC_BUTTONW, L"岚栖搜索"), list, link, logo, box,
                                             child(WC_BUTTONW, L"岚栖搜索"), list}));
    m_window->render(resultsScreen({"1", "2"}, -1), ~0u);
    showRows(resultsScreen({"1", "2"}, -1), -1);
    ::SetFocus(box);
    EXPECT_EQ(tabOrder()[2], child(WC_COMBOBOXW));  // 按钮1, 上一页, 组合框1, 下一页, the tool row, the list

    // Enter on the list plays the selected row; with none selected it does nothing.
    m_seen.clear();
    ::SetFocus(list);
    press(VK_RETURN);
    m_window->showResults(m_presenter.shown(1));
    press(VK_RETURN);
    EXPECT_EQ(m_seen, (std::vector<std::string>{"activate 1"}));
}

// The player view hides the search view: its controls keep no focus and take no key, and a render behind
// the film leaves them hidden until the search view comes back as last drawn.
TEST_F(MainWindowTest, AHiddenSearchViewTakesNoFocusAndNoKey) {
    m_window->events().previousPageRequested = [this] { m_seen.push_back("previous"); };
    m_window->events().nextPageRequested = [this] { m_seen.push_back("next"); };
    m_window->render(resultsScreen({"1", "2"}, 0), ~0u);
    showRows(resultsScreen({"1", "2"}, 0), 0);
    HWND list = child(WC_LISTVIEWW);
    const std::vector<HWND> searchView = {child(WC_EDITW),
                                          child(WC_BUTTONW, L"岚栖搜索"),
                                          child(WC_BUTTONW, L"上一页"),
                                          child(WC_COMBOBOXW),
                                          child(WC_BUTTONW, L"下一页"),
                                          child(WC_BUTTONW, L"图片视图"),
                                          child(WC_BUTTONW, L"列表视图"),
                                          child(WC_BUTTONW, L"合并相同资源"),
                                          list};
    ::SetFocus(list);
    m_window->setSearchViewShown(false);
    m_window->render(resultsScreen({"1", "2"}, 0), kSearchRowChanged | kBannerChanged);
    m_seen.clear();
    for (UINT key : {VK_TAB, VK_TAB, VK_TAB, VK_SPACE, VK_RETURN}) {
        press(key);
        for (HWND control : searchView) {
            EXPECT_FALSE(::IsWindowVisible(control));
            EXPECT_NE(::GetFocus(), control);
        }
    }
    EXPECT_EQ(m_seen, std::vector<std::string>{});

    m_window->setSearchViewShown(true);
    for (HWND control : searchView) EXPECT_TRUE(::IsWindowVisible(control));
    SearchScreen home;
    m_window->render(home, kSearchRowChanged);
    EXPECT_FALSE(::IsWindowVisible(child(WC_BUTTONW, L"上一页")));
}

}  // namespace
}  // namespace lanqi::win32
