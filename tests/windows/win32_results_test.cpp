// The Win32 main window's results area on a real display under Wine: the table and the picture list drawn
// from the lines the controller hands over, the tool row, the site strip, the notice, the keys and a line dragged
// out; then the whole client (window and controller) over a fake network: sorting, filtering, merging, stopping,
// copying and the keyboard's row menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/results_presenter.h"
#include "app/win32/client.h"
#include "app/win32/drag_source.h"
#include "app/win32/main_window.h"
#include "platform/win32_desktop_services.h"
#include "platform/win32_text.h"
#include "scrape/site_definition.h"
#include "search/site_catalogue.h"
#include "support/fake_desktop_services.h"
#include "support/fake_fetcher.h"
#include "support/win32_client_test.h"
#include "support/win32_screenshot.h"
#include "support/numbered_sites.h"
#include "support/site_pages.h"

namespace lanqi::win32 {
namespace {

using namespace std::chrono_literals;

// Runs the thread's messages until `done` holds or `limit` has passed; true when it held.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) routeMessage(message);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::Sleep(10);
    }
}
void pumpFor(std::chrono::milliseconds time) {
    pumpUntil([] { return false; }, time);
}

// A key as the message loop gets it, with Ctrl and Shift held or not (as GetKeyState reports them).
void press(UINT key, bool control = false, bool shift = false, UINT message = WM_KEYDOWN) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    MSG down{::GetFocus(), message, key, 0, 0, {}};
    routeMessage(down);
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
}

std::wstring cellText(HWND view, int item, int column) {
    wchar_t text[512] = {};
    ListView_GetItemText(view, item, column, text, 512);
    return text;
}

// A column's titles from top to bottom.
std::vector<std::wstring> column(HWND table, ResultColumn which) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < ListView_GetItemCount(table); ++i) texts.push_back(cellText(table, i, static_cast<int>(which)));
    return texts;
}

int headerSortFlags(HWND table, ResultColumn which) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(table), static_cast<int>(which), &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

// A row of site `slot` whose info-hash is `digit` forty times.
ResultItem result(const char8_t* title, char digit, int slot, const char* size, int fileKind) {
    ResultItem item;
    item.title = gbk(title);
    item.infoHash = item.hashKey = std::string(40, digit);
    item.magnetLink = "magnet:?xt=urn:btih:" + item.infoHash;
    item.site = slot;
    item.sizeText = size;
    item.fileKind = fileKind;
    return item;
}

// ---- The window alone, drawing what a presenter gives it.

class ResultsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window = test::openMainWindow(m_desktop);
        ASSERT_NE(m_window, nullptr) << "no window: is there a display?";
        SearchScreen screen;
        screen.layout = SearchLayout::Results;
        screen.bannerVisible = false;
        m_window->render(screen, kSearchRowChanged | kBannerChanged);
        MainWindowEvents& events = m_window->events();
        events.rowSelected = [this](int line) { m_seen.push_back("select " + std::to_string(line)); };
        events.rowActivated = [this](int line) { m_seen.push_back("activate " + std::to_string(line)); };
        events.rowMenuRequested = [this] { m_seen.push_back("row menu"); };
        events.rowMenuFromKeyboard = [this] { m_seen.push_back("row menu from keyboard"); };
        events.mainMenuRequested = [this] { m_seen.push_back("main menu"); };
        events.copyRequested = [this] { m_seen.push_back("copy"); };
        events.escapePressed = [this] { m_seen.push_back("escape"); };
        events.siteEntryActivated = [this](int slot) { m_seen.push_back("site " + std::to_string(slot)); };
        events.siteSettingsRequested = [this] { m_seen.push_back("site settings"); };
        events.modeChosen = [this](ResultsMode mode) {
            m_seen.push_back(mode == ResultsMode::Table ? "table view" : "picture view");
        };
        m_rows = {result(u8"乙 纪录片.mkv", 'b', 1, "3 MB", 3), result(u8"甲 合集", 'a', 3, "5 GB", 0),
                  result(u8"乙 纪录片.mkv", 'b', 3, "3 MB", 3), result(u8"丙 音乐.flac", 'c', 2, "900 B", 1)};
    }

    HWND child(const wchar_t* windowClass, const wchar_t* caption = nullptr) const {
        return ::FindWindowExW(m_window->handle(), nullptr, windowClass, caption);
    }
    HWND table() const { return child(WC_LISTVIEWW, L"搜索结果表格"); }
    HWND list() const { return child(WC_LISTVIEWW, L"搜索结果"); }
    HWND filterBox() const { return ::FindWindowExW(m_window->handle(), child(WC_EDITW), WC_EDITW, nullptr); }
    HWND strip() const { return child(L"LanqiSiteStrip"); }
    std::vector<HWND> stripEntries() const {
        std::vector<HWND> entries;
        for (HWND at = ::GetWindow(::GetWindow(strip(), GW_CHILD), GW_HWNDLAST); at != nullptr;
             at = ::GetWindow(at, GW_HWNDPREV))
            entries.push_back(at);
        return entries;
    }

    // The first `count` rows as the controller hands them over, `selected` selected.
    ResultsShown presented(size_t count, int selected = -1) {
        const std::span<const ResultItem> rows(m_rows.data(), count);
        m_presenter.rowsChanged(
            rows, m_shownRows == 0 || count < m_shownRows ? kResultsCleared | kResultsAdded : kResultsAdded);
        m_shownRows = count;
        m_presenter.refresh(rows, SiteNames(6, "site"));
        return m_presenter.shown(selected);
    }
    void showTable() {
        ResultsBar bar;
        bar.mode = ResultsMode::Table;
        m_window->showResultsBar(bar);
    }

    Win32DesktopServices m_desktop;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_seen;
    std::vector<ResultItem> m_rows;
    ResultsPresenter m_presenter;
    size_t m_shownRows = 0;
};

// Each line's six cells in the table, the site cell a grouped line's sites; lines kept as drawn stay, and the
// picture list, filled once it is shown, holds the same lines.
TEST_F(ResultsWindowTest, TheTableShowsEachLineCellByCell) {
    showTable();
    EXPECT_TRUE(::IsWindowVisible(table()));
    EXPECT_FALSE(::IsWindowVisible(list()));
    EXPECT_EQ(::SendMessageW(child(WC_BUTTONW, L"列表视图"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(child(WC_BUTTONW, L"图片视图"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    const auto expectCells = [this](const ResultsShown& shown) {
        ASSERT_EQ(ListView_GetItemCount(table()), static_cast<int>(shown.lines.size()));
        for (size_t line = 0; line < shown.lines.size(); ++line) {
            const PresentedRow& row = shown.rows[shown.lines[line].row];
            for (int cell = 0; cell < kResultColumnCount; ++cell) {
                const std::string& expected = cell == static_cast<int>(ResultColumn::Site)
                                                  ? shown.siteCell(line)
                                                  : row.cells[static_cast<size_t>(cell)];
                EXPECT_EQ(cellText(table(), static_cast<int>(line), cell), wideFromUtf8(expected))
                    << "line " << line << " column " << cell;
            }
        }
    };
    m_window->showResults(presented(2));
    expectCells(m_presenter.shown(-1));
    m_window->showResults(presented(4, 3));  // two more rows: the first two lines are kept
    const ResultsShown all = m_presenter.shown(3);
    EXPECT_EQ(all.kept, all.lines.size());
    expectCells(all);
    EXPECT_EQ(m_window->selectedLine(), 3);
    EXPECT_EQ(ListView_GetNextItem(table(), -1, LVNI_SELECTED), 3);

    m_presenter.setUnique(true);  // one line per torrent: 乙's two rows in one line of two sites
    m_window->showResults(presented(4));
    const ResultsShown grouped = m_presenter.shown(-1);
    ASSERT_EQ(grouped.lines.size(), 3u);
    expectCells(grouped);
    EXPECT_NE(column(table(), ResultColumn::Site)[0],
              wideFromUtf8(grouped.rows[grouped.lines[0].row].cells[static_cast<size_t>(ResultColumn::Site)]));

    m_window->showResultsBar(ResultsBar{});  // back to the pictures: the list holds the same lines
    EXPECT_TRUE(::IsWindowVisible(list()));
    EXPECT_FALSE(::IsWindowVisible(table()));
    ASSERT_EQ(ListView_GetItemCount(list()), 3);
    for (int line = 0; line < 3; ++line) {
        const std::wstring title = wideFromUtf8(grouped.rows[grouped.lines[static_cast<size_t>(line)].row].cells[0]);
        EXPECT_EQ(cellText(list(), line, 0).substr(0, title.size()), title);
    }
}

// The tool row follows the bar: the view's button pressed, 合并相同资源 ticked, the count or the filter's problem
// (in another colour) in its place, the sort arrow on one header only, 停止 enabled while a run can be stopped.
// The window takes any size down to its smallest: its controls go where the shared design places them, and a
// place saved earlier comes back.
TEST_F(ResultsWindowTest, TheWindowResizesItsControlsFollowAndItsPlaceComesBack) {
    HWND window = m_window->handle();
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, kMainWindowStyle, FALSE, 0);
    const auto resize = [&](int width, int height) {
        ::SetWindowPos(window, nullptr, 0, 0, width + frame.right - frame.left, height + frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        ::GetClientRect(window, &client);
        return SIZE{client.right, client.bottom};
    };
    const std::pair<HWND, MainControl> controls[] = {{table(), MainControl::ResultTable},
                                                     {list(), MainControl::ResultList},
                                                     {filterBox(), MainControl::FilterBox},
                                                     {strip(), MainControl::SiteStrip}};
    for (const SIZE wanted : {SIZE{1200, 800}, SIZE{kMinMainWindowWidth, kMinMainWindowHeight}, SIZE{300, 200}}) {
        const SIZE now = resize(wanted.cx, wanted.cy);
        EXPECT_GE(now.cx, kMinMainWindowWidth) << wanted.cx;  // never smaller than the smallest
        EXPECT_GE(now.cy, kMinMainWindowHeight) << wanted.cy;
        for (const auto& [control, which] : controls)
            EXPECT_EQ(geometryOf(control), placedGeometry(which, SearchLayout::Results, now.cx, now.cy))
                << designOf(which).name << " at " << now.cx << "x" << now.cy;
    }
    m_window->openAt(WindowPlace{40, 60, 900, 640, false});
    EXPECT_EQ(m_window->place(), (WindowPlace{40, 60, 900, 640, false}));
    ::ShowWindow(window, SW_MAXIMIZE);
    EXPECT_EQ(m_window->place(), (WindowPlace{40, 60, 900, 640, true}));  // the normal place, maximised
    ::ShowWindow(window, SW_RESTORE);
}

TEST_F(ResultsWindowTest, TheToolRowFollowsTheBar) {
    struct Case {
        ResultsBar bar;
    };
    const auto bar = [](ResultsMode mode, bool unique, std::string count, std::string problem,
                        std::optional<ResultColumn> sort, bool descending, bool stoppable) {
        return Case{{mode, unique, std::move(count), std::move(problem), sort, descending, stoppable}};
    };
    const Case cases[] = {
        bar(ResultsMode::Pictures, false, "共 101 项", "", std::nullopt, false, true),
        bar(ResultsMode::Table, true, "显示 12 项，共 101 项", "", ResultColumn::Size, false, false),
        bar(ResultsMode::Table, false, "共 3 项", "筛选条件有误：“size>abc”", ResultColumn::Title, true, true),
        bar(ResultsMode::Table, false, "", "", std::nullopt, false, false),
    };
    COLORREF countColour = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bar.count + " / " + c.bar.filterProblem);
        m_window->showResultsBar(c.bar);
        const bool tableShown = c.bar.mode == ResultsMode::Table;
        EXPECT_EQ(::SendMessageW(child(WC_BUTTONW, L"列表视图"), BM_GETCHECK, 0, 0),
                  tableShown ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(::SendMessageW(child(WC_BUTTONW, L"图片视图"), BM_GETCHECK, 0, 0),
                  tableShown ? BST_UNCHECKED : BST_CHECKED);
        EXPECT_EQ(::SendMessageW(child(WC_BUTTONW, L"合并相同资源"), BM_GETCHECK, 0, 0),
                  c.bar.unique ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(::IsWindowVisible(table()) != FALSE, tableShown);
        const bool problem = !c.bar.filterProblem.empty();
        EXPECT_EQ(m_window->countText(), wideFromUtf8(problem ? c.bar.filterProblem : c.bar.count));
        if (problem) {
            EXPECT_NE(m_window->countColour(), countColour);
        } else {
            countColour = m_window->countColour();
        }
        for (int column = 0; column < kResultColumnCount; ++column) {
            const bool sorted = c.bar.sortColumn && static_cast<int>(*c.bar.sortColumn) == column;
            EXPECT_EQ(headerSortFlags(table(), static_cast<ResultColumn>(column)),
                      sorted ? (c.bar.descending ? HDF_SORTDOWN : HDF_SORTUP) : 0)
                << "column " << column;
        }
        EXPECT_EQ(::IsWindowEnabled(child(WC_BUTTONW, L"停止")) != FALSE, c.bar.stoppable);
    }
}

// Each slot's entry says its state in its colour: its frame is drawn in it.
TEST_F(ResultsWindowTest, TheSiteStripColoursEachEntryByItsState) {
    struct Case {
        SiteState state;
        std::function<bool(int r, int g, int b)> colourOk;
        const char* what;
    };
    const Case cases[] = {
        {SiteState::Done, [](int r, int g, int b) { return g > r + 40 && g > b + 40; }, "green"},
        {SiteState::Failed, [](int r, int g, int b) { return r > g + 80 && r > b + 80; }, "red"},
        {SiteState::Waiting, [](int r, int g, int b) { return r == g && g == b && r < 160; }, "grey"},
        {SiteState::Off, [](int r, int g, int b) { return r == g && g == b && r >= 160 && r < 240; }, "light grey"},
        {SiteState::Stopped, [](int r, int g, int b) { return r > g + 60 && g > b + 40; }, "orange"},
        {SiteState::Idle, [](int r, int g, int b) { return r < 160 && g < 160 && b < 160; }, "dark"},
    };
    std::vector<SiteStripEntry> entries;
    for (const Case& c : cases) {
        const int slot = static_cast<int>(entries.size()) + 1;
        entries.push_back({slot, c.state, std::to_string(slot) + " ·", "站点" + std::to_string(slot) + "：" + c.what});
    }
    entries.push_back({7, SiteState::Done, "7 ✓", "站点7"});
    m_window->showSiteStrip(entries);
    entries.pop_back();  // one slot fewer: its entry goes
    m_window->showSiteStrip(entries);
    ::UpdateWindow(m_window->handle());
    pumpFor(200ms);

    const std::vector<HWND> buttons = stripEntries();
    ASSERT_EQ(buttons.size(), std::size(cases));
    for (size_t i = 0; i < buttons.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(windowText(buttons[i]), wideFromUtf8(entries[i].text));  // its accessible name
        const Geometry at = geometryOf(buttons[i]);
        EXPECT_GT(at.width, 0);
        HDC dc = ::GetDC(buttons[i]);
        const COLORREF frame = ::GetPixel(dc, at.width / 2, 1);
        ::ReleaseDC(buttons[i], dc);
        EXPECT_TRUE(cases[i].colourOk(GetRValue(frame), GetGValue(frame), GetBValue(frame))) << std::hex << frame;
    }

    // A click, Enter and Space on an entry open that slot's settings.
    ::SendMessageW(buttons[3], BM_CLICK, 0, 0);
    ::SetFocus(buttons[1]);
    press(VK_RETURN);
    press(VK_RIGHT);
    EXPECT_EQ(::GetFocus(), buttons[2]);
    press(VK_SPACE);
    press(VK_SPACE, false, false, WM_KEYUP);
    EXPECT_EQ(m_seen, (std::vector<std::string>{"site 4", "site 2", "site 3"}));
}

// The keys of the results area: what each one does from where the keys are.
TEST_F(ResultsWindowTest, TheResultsKeysReportTheirGestures) {
    m_window->showResults(presented(4));
    struct Case {
        const char* what;
        std::function<HWND()> focus;
        int selected;
        UINT key;
        bool control, shift;
        UINT message;
        std::vector<std::string> seen;
        std::function<HWND()> focusAfter;  // null: where it was
    };
    const auto searchBox = [this] { return child(WC_EDITW); };
    const auto filter = [this] { return filterBox(); };
    const auto tableView = [this] { return table(); };
    const auto listView = [this] { return list(); };
    const Case cases[] = {
        {"Ctrl+F", tableView, -1, 'F', true, false, WM_KEYDOWN, {}, filter},
        {"Ctrl+L", filter, -1, 'L', true, false, WM_KEYDOWN, {}, searchBox},
        {"F6", tableView, -1, VK_F6, false, false, WM_KEYDOWN, {}, searchBox},
        {"Ctrl+C on the table", tableView, 2, 'C', true, false, WM_KEYDOWN, {"copy"}, nullptr},
        {"Ctrl+C on the list", listView, 2, 'C', true, false, WM_KEYDOWN, {"copy"}, nullptr},
        {"Ctrl+C in the search box", searchBox, 2, 'C', true, false, WM_KEYDOWN, {}, nullptr},
        {"menu key on a line", tableView, 1, VK_APPS, false, false, WM_KEYDOWN, {"row menu from keyboard"}, nullptr},
        {"Shift+F10 on a line", listView, 0, VK_F10, false, true, WM_SYSKEYDOWN, {"row menu from keyboard"}, nullptr},
        {"menu key with no line", tableView, -1, VK_APPS, false, false, WM_KEYDOWN, {"main menu"}, nullptr},
        {"Enter on the table", tableView, 3, VK_RETURN, false, false, WM_KEYDOWN, {"activate 3"}, nullptr},
        {"Enter on no line", tableView, -1, VK_RETURN, false, false, WM_KEYDOWN, {}, nullptr},
        {"Esc", tableView, 1, VK_ESCAPE, false, false, WM_KEYDOWN, {"escape"}, nullptr},
        {"Ctrl+2", listView, -1, '2', true, false, WM_KEYDOWN, {"table view"}, nullptr},
        {"Ctrl+1", tableView, -1, '1', true, false, WM_KEYDOWN, {"picture view"}, nullptr},
        {"Ctrl+,", searchBox, -1, VK_OEM_COMMA, true, false, WM_KEYDOWN, {"site settings"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HWND view = c.focus();
        m_window->showResultsBar(
            ResultsBar{view == list() ? ResultsMode::Pictures : ResultsMode::Table, false, "", "", {}, false, false});
        m_window->showResults(m_presenter.shown(c.selected));
        ::SetFocus(view);
        ASSERT_EQ(::GetFocus(), view);
        m_seen.clear();
        press(c.key, c.control, c.shift, c.message);
        if (c.key == VK_APPS) press(VK_APPS, false, false, WM_KEYUP);  // one menu for the whole key stroke
        EXPECT_EQ(m_seen, c.seen);
        EXPECT_EQ(::GetFocus(), c.focusAfter ? c.focusAfter() : view);
    }
}

// The user's own selection, click or right click, is reported once as the line shown; the window's own is not.
TEST_F(ResultsWindowTest, TheUsersSelectionIsReportedAsTheLineShown) {
    showTable();
    m_window->showResults(presented(4, 1));
    EXPECT_EQ(m_seen, std::vector<std::string>{});
    ListView_SetItemState(table(), 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    pumpFor(50ms);  // off line 1 and on line 2: one report
    EXPECT_EQ(m_seen, (std::vector<std::string>{"select 2"}));
    EXPECT_EQ(m_window->selectedLine(), 2);
    m_seen.clear();

    // The right button on the third line of the table: selected, then its menu; on the empty area, the main menu.
    RECT line{};
    line.left = LVIR_BOUNDS;
    ::SendMessageW(table(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&line));
    POINT at{line.left + 40, (line.top + line.bottom) / 2};
    ::ClientToScreen(table(), &at);
    ::SetCursorPos(at.x, at.y);
    NMITEMACTIVATE click{};
    click.hdr = {table(), static_cast<UINT_PTR>(::GetDlgCtrlID(table())), static_cast<UINT>(NM_RCLICK)};
    ::SendMessageW(m_window->handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(m_seen, (std::vector<std::string>{"select 0", "row menu"}));
    EXPECT_EQ(ListView_GetNextItem(table(), -1, LVNI_SELECTED), 0);
}

// The text a dragged data object gives (CF_TEXT), or what is wrong.
std::string draggedText(IDataObject& data) {
    FORMATETC format{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data.GetData(&format, &medium) != S_OK) return "<no text>";
    const char* text = static_cast<const char*>(::GlobalLock(medium.hGlobal));
    std::string copy = text != nullptr ? text : "<no memory>";
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return copy;
}

// A drag that begins on a line of either view hands over that line's magnet link, whichever run row the line
// shows; one that begins off the lines hands over nothing, and no data object outlives its drag.
TEST_F(ResultsWindowTest, ADragFromALineGivesThatLinesMagnetLink) {
    const long live = liveLinkData();
    std::vector<std::string> dragged;
    m_window->setDataDragger([&dragged](IDataObject& data) {
        dragged.push_back(draggedText(data));
        return static_cast<DWORD>(DROPEFFECT_COPY);
    });
    m_presenter.setUnique(true);  // 乙's two rows in one line, and by size: lines and run rows part ways
    m_presenter.sortBy(ResultColumn::Size);
    m_window->showResults(presented(4));
    const ResultsShown shown = m_presenter.shown(-1);
    ASSERT_EQ(shown.lines.size(), 3u);
    bool moved = false;
    for (size_t line = 0; line < shown.lines.size(); ++line) moved = moved || shown.lines[line].row != line;
    ASSERT_TRUE(moved);

    for (ResultsMode mode : {ResultsMode::Table, ResultsMode::Pictures}) {
        ResultsBar bar;
        bar.mode = mode;
        m_window->showResultsBar(bar);
        const HWND view = mode == ResultsMode::Table ? table() : list();
        SCOPED_TRACE(mode == ResultsMode::Table ? "table" : "pictures");
        const auto beginDrag = [&](int item) {
            NMLISTVIEW begin{};
            begin.hdr = {view, static_cast<UINT_PTR>(::GetDlgCtrlID(view)), static_cast<UINT>(LVN_BEGINDRAG)};
            begin.iItem = item;
            ::SendMessageW(m_window->handle(), WM_NOTIFY, begin.hdr.idFrom, reinterpret_cast<LPARAM>(&begin));
        };
        const int lines = static_cast<int>(shown.lines.size());
        for (const int item : {2, 0, -1, lines, 1}) {
            SCOPED_TRACE(item);
            dragged.clear();
            beginDrag(item);
            std::vector<std::string> expected;
            if (item >= 0 && item < lines)
                expected.push_back(m_rows[shown.lines[static_cast<size_t>(item)].row].magnetLink);
            EXPECT_EQ(dragged, expected);
            EXPECT_EQ(liveLinkData(), live);
        }
    }
}

// The left button pressed on a line of either view and the pointer moved away with it: the view's own drag
// detection begins the drag, of the line that was under the pointer.
TEST_F(ResultsWindowTest, ThePointerDraggingALineBeginsItsDrag) {
    std::vector<std::string> dragged;
    m_window->setDataDragger([&dragged](IDataObject& data) {
        dragged.push_back(draggedText(data));
        return static_cast<DWORD>(DROPEFFECT_NONE);
    });
    const auto mouse = [](POINT to, DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(to.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(to.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        ::SendInput(1, &input, sizeof(input));
    };
    const int away = 4 * std::max(::GetSystemMetrics(SM_CXDRAG), ::GetSystemMetrics(SM_CYDRAG));
    m_window->showResults(presented(4));
    const ResultsShown shown = m_presenter.shown(-1);
    ::SetForegroundWindow(m_window->handle());
    for (const auto& [mode, item] : {std::pair{ResultsMode::Table, 2}, std::pair{ResultsMode::Pictures, 3}}) {
        SCOPED_TRACE(mode == ResultsMode::Table ? "table" : "pictures");
        ResultsBar bar;
        bar.mode = mode;
        m_window->showResultsBar(bar);
        pumpFor(100ms);
        const HWND view = mode == ResultsMode::Table ? table() : list();
        RECT line{};
        line.left = LVIR_BOUNDS;
        ASSERT_TRUE(::SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&line)));
        POINT at{std::max(line.left, 0L) + 20, (line.top + line.bottom) / 2};
        ::ClientToScreen(view, &at);
        dragged.clear();
        mouse(at, 0);
        pumpFor(50ms);
        mouse(at, MOUSEEVENTF_LEFTDOWN);
        mouse(POINT{at.x + away, at.y + away}, 0);
        EXPECT_TRUE(pumpUntil([&] { return !dragged.empty(); }, 2s));
        mouse(POINT{at.x + away, at.y + away}, MOUSEEVENTF_LEFTUP);
        pumpFor(50ms);
        EXPECT_EQ(dragged, std::vector<std::string>{m_rows[shown.lines[static_cast<size_t>(item)].row].magnetLink});
    }
}

// Where the keyboard's row menu opens: at the selected line's bottom left corner, in the view shown.
TEST_F(ResultsWindowTest, TheSelectedLinePointIsAtTheSelectedLine) {
    m_window->showResults(presented(4, -1));
    EXPECT_FALSE(m_window->selectedLinePoint());
    for (ResultsMode mode : {ResultsMode::Table, ResultsMode::Pictures}) {
        ResultsBar bar;
        bar.mode = mode;
        m_window->showResultsBar(bar);
        m_window->showResults(m_presenter.shown(2));
        const HWND view = mode == ResultsMode::Table ? table() : list();
        RECT line{};
        line.left = LVIR_BOUNDS;
        ASSERT_TRUE(::SendMessageW(view, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&line)));
        POINT corner{std::max(line.left, 0L), line.bottom};
        ::ClientToScreen(view, &corner);
        const std::optional<ScreenPoint> point = m_window->selectedLinePoint();
        ASSERT_TRUE(point);
        EXPECT_EQ(*point, (ScreenPoint{corner.x, corner.y}));
    }
}

// A notice stands in the count's place for its time, a bar that comes meanwhile waits, and the count is back.
TEST_F(ResultsWindowTest, ANoticeGoesAwayByItselfAndTheCountComesBack) {
    ResultsBar bar;
    bar.count = "共 4 项";
    m_window->showResultsBar(bar);
    m_window->showNotice(L"已复制磁力链接", 300);
    EXPECT_EQ(m_window->countText(), L"已复制磁力链接");
    bar.count = "共 5 项";
    m_window->showResultsBar(bar);
    EXPECT_EQ(m_window->countText(), L"已复制磁力链接");
    EXPECT_TRUE(pumpUntil([this] { return m_window->countText() == L"共 5 项"; }, 3s)) << "the notice stayed";
}

// ---- The whole client over a fake network.

// The fakes of every role but the clipboard, which is the real one (the test reads it back), and the browser's
// navigation, which reaches the real control.
class ClientDesktop : public test::FakeDesktopServices {
  public:
    bool setClipboardText(const Text& text) override {
        FakeDesktopServices::setClipboardText(text);
        return m_real.setClipboardText(text);
    }
    void navigateBrowser(Window& browser, const Text& address) override {
        FakeDesktopServices::navigateBrowser(browser, address);
        m_real.navigateBrowser(browser, address);
    }

  private:
    Win32DesktopServices m_real;
};

class ClientWindowTest : public test::Win32ClientTest<ClientDesktop> {
  protected:
    HWND table() { return child(WC_LISTVIEWW, L"搜索结果表格"); }
    HWND filterBox() { return ::FindWindowExW(window().handle(), child(WC_EDITW), WC_EDITW, nullptr); }
    HWND stopButton() { return child(WC_BUTTONW, L"停止"); }
    std::vector<std::wstring> stripTexts() {
        std::vector<std::wstring> texts;
        HWND strip = child(L"LanqiSiteStrip");
        for (HWND at = ::GetWindow(::GetWindow(strip, GW_CHILD), GW_HWNDLAST); at != nullptr;
             at = ::GetWindow(at, GW_HWNDPREV))
            texts.push_back(windowText(at));
        return texts;
    }

    // Types "abc" into 搜索框 and clicks 岚栖搜索.
    void search() {
        ::SetWindowTextW(child(WC_EDITW), L"abc");
        ::SendMessageW(child(WC_BUTTONW, L"岚栖搜索"), BM_CLICK, 0, 0);
    }
    void searchToTheEnd() {
        search();
        ASSERT_TRUE(pumpUntil([this] { return !flow().running(); })) << "the run did not end";
        pumpFor(50ms);
    }
    void chooseTable() {
        ::SendMessageW(child(WC_BUTTONW, L"列表视图"), BM_CLICK, 0, 0);
        ASSERT_TRUE(::IsWindowVisible(table()));
    }
    void clickHeader(ResultColumn which) {
        HWND header = ListView_GetHeader(table());
        RECT area{};
        Header_GetItemRect(header, static_cast<int>(which), &area);
        const LPARAM at = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(header, WM_LBUTTONUP, 0, at);
        pumpFor(20ms);
    }
    static std::vector<std::wstring> names(std::initializer_list<const wchar_t*> list) {
        return {list.begin(), list.end()};
    }
};

// A click on a header sorts the lines by that column, a second click the other way round, with its arrow.
TEST_F(ClientWindowTest, AHeaderClickSortsTheTableAndAgainReverses) {
    m_fetcher.pages[m_urls[0]] = test::site1Page({{"b2"}, {"c3"}, {"a1"}}, 61);
    searchToTheEnd();
    chooseTable();
    EXPECT_EQ(column(table(), ResultColumn::Title), names({L"b2.mkv", L"c3.mkv", L"a1.mkv"}));
    struct Case {
        ResultColumn click;
        std::vector<std::wstring> titles;
        int arrow;
    };
    const Case cases[] = {
        {ResultColumn::Title, names({L"a1.mkv", L"b2.mkv", L"c3.mkv"}), HDF_SORTUP},
        {ResultColumn::Title, names({L"c3.mkv", L"b2.mkv", L"a1.mkv"}), HDF_SORTDOWN},
    };
    for (const Case& c : cases) {
        clickHeader(c.click);
        EXPECT_EQ(column(table(), ResultColumn::Title), c.titles);
        EXPECT_EQ(headerSortFlags(table(), c.click), c.arrow);
        EXPECT_EQ(headerSortFlags(table(), ResultColumn::Size), 0);
    }
}

// Every change of 筛选框's text filters at once, and the count says how many lines are shown.
TEST_F(ClientWindowTest, TypingInTheFilterBoxFiltersAtOnce) {
    m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(12, "r"), 61);
    searchToTheEnd();
    chooseTable();
    ASSERT_EQ(ListView_GetItemCount(table()), 12);
    struct Case {
        wchar_t typed;
        std::vector<std::wstring> titles;
    };
    const Case cases[] = {
        {L'r', {}},  // all twelve
        {L'1', names({L"r1.mkv", L"r10.mkv", L"r11.mkv"})},
        {L'1', names({L"r11.mkv"})},
        {L'x', {}},
    };
    ::SetFocus(filterBox());
    for (const Case& c : cases) {
        ::SendMessageW(filterBox(), WM_CHAR, c.typed, 0);
        SCOPED_TRACE(narrow(windowText(filterBox())));
        const std::vector<std::wstring> shown = column(table(), ResultColumn::Title);
        if (c.typed == L'r') {
            EXPECT_EQ(shown.size(), 12u);
            EXPECT_EQ(window().countText(), L"共 12 项");
        } else {
            EXPECT_EQ(shown, c.titles);
            EXPECT_EQ(window().countText(), L"显示 " + std::to_wstring(c.titles.size()) + L" 项，共 12 项");
        }
    }
    // A word of characters GBK lacks is in no title: nothing is shown, and the count says why.
    ::SetWindowTextW(filterBox(), L"r 한국어");
    EXPECT_TRUE(column(table(), ResultColumn::Title).empty());
    EXPECT_EQ(window().countText(), L"“한국어”含有网页标题中不会出现的字符");
}

// 合并相同资源 shows one line per torrent with the sites that have it, and unticked the rows again. The table's
// picture with a failed site is the one in the README.
TEST_F(ClientWindowTest, TheMergeSwitchGroupsTheSameTorrent) {
    const std::vector<test::PageItem> shared = {{"岚栖纪录片01"}, {"岚栖纪录片02"}, {"岚栖音乐合集", "flac"}};
    m_fetcher.pages[m_urls[0]] = test::site1Page({shared[0], shared[1], {"岚栖演示片", "mp4"}}, 61);
    m_fetcher.pages[m_urls[2]] = test::site3Page({shared[0], shared[2], shared[1]}, 3);
    searchToTheEnd();
    chooseTable();
    HWND merge = child(WC_BUTTONW, L"合并相同资源");
    ASSERT_EQ(ListView_GetItemCount(table()), 6);
    ::SendMessageW(merge, BM_CLICK, 0, 0);
    EXPECT_EQ(::SendMessageW(merge, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(column(table(), ResultColumn::Title),
              names({L"岚栖纪录片01.mkv", L"岚栖纪录片02.mkv", L"岚栖演示片.mp4", L"岚栖音乐合集.flac"}));
    const std::vector<std::wstring> sites = column(table(), ResultColumn::Site);
    EXPECT_EQ(sites[0], sites[1]);  // on slots 1 and 3 both
    EXPECT_NE(sites[0], sites[2]);
    EXPECT_NE(sites[0].find(L"1"), std::wstring::npos);
    EXPECT_NE(sites[0].find(L"3"), std::wstring::npos);
    const std::vector<std::wstring> strip = stripTexts();
    ASSERT_EQ(strip.size(), 6u);
    EXPECT_NE(strip[1].find(L"失败"), std::wstring::npos) << narrow(strip[1]);

    if (const char* folder = std::getenv("LANQI_SCREENSHOTS")) {
        ListView_SetItemState(table(), 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ::SetFocus(table());
        ::SetWindowPos(window().handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ::RedrawWindow(window().handle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(500ms);
        test::saveClientArea(window().handle(), widen(std::string(folder)) + L"\\windows-table.bmp");
    }

    ::SendMessageW(merge, BM_CLICK, 0, 0);
    EXPECT_EQ(ListView_GetItemCount(table()), 6);
}

// 停止 and Esc end a run whose slots stall: what arrived stays, the stalled slots say they were stopped and 停止
// is off again.
TEST_F(ClientWindowTest, StopAndEscapeEndARunWithAStalledSlot) {
    m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(2, "r"), 61);
    for (size_t i = 1; i < m_urls.size(); ++i) m_fetcher.hang.push_back(m_urls[i]);
    struct Case {
        const char* what;
        std::function<void()> stop;
    };
    const Case cases[] = {
        {"停止", [this] { ::SendMessageW(stopButton(), BM_CLICK, 0, 0); }},
        {"Esc",
         [this] {
             ::SetFocus(table());
             press(VK_ESCAPE);
         }},
    };
    chooseTable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        search();
        ASSERT_TRUE(pumpUntil([this] { return ListView_GetItemCount(table()) == 2; })) << "no rows";
        EXPECT_TRUE(flow().running());
        EXPECT_TRUE(::IsWindowEnabled(stopButton()));
        c.stop();
        ASSERT_TRUE(pumpUntil([this] { return !flow().running(); }, 2s)) << "the run goes on";
        pumpFor(20ms);
        EXPECT_FALSE(::IsWindowEnabled(stopButton()));
        EXPECT_EQ(ListView_GetItemCount(table()), 2);
        const std::vector<std::wstring> strip = stripTexts();
        ASSERT_EQ(strip.size(), 6u);
        EXPECT_NE(strip[0].find(L"2 条结果"), std::wstring::npos) << narrow(strip[0]);
        for (size_t slot = 1; slot < strip.size(); ++slot)
            EXPECT_NE(strip[slot].find(L"已停止"), std::wstring::npos) << narrow(strip[slot]);
    }
    EXPECT_TRUE(m_desktop.messageBoxes.empty());
}

// Ctrl+C on the selected line puts its magnet link on the clipboard and says so in the window, with no box.
TEST_F(ClientWindowTest, CtrlCCopiesTheSelectedLinesMagnetLinkWithoutABox) {
    m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(3, "r"), 61);
    searchToTheEnd();
    chooseTable();
    ListView_SetItemState(table(), 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    pumpFor(50ms);
    ASSERT_NE(flow().selectedResult(), nullptr);
    EXPECT_EQ(flow().selectedResult()->title, "r1.mkv");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    ::SetFocus(table());
    press('C', true);

    ASSERT_TRUE(::OpenClipboard(nullptr));
    std::wstring copied;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(::GlobalLock(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    EXPECT_EQ(copied, widen(flow().selectedResult()->magnetLink));
    EXPECT_EQ(copied.rfind(L"magnet:?xt=urn:btih:" + widen(test::hashOf("r1")), 0), 0u) << narrow(copied);
    EXPECT_TRUE(m_desktop.messageBoxes.empty());
    EXPECT_EQ(window().countText(), L"已复制磁力链接");
}

// The browser control is made for the first play, not at start. A play on a system without a browser engine
// (Wine here, with MSHTML off) fails with the box that says so, not with the network's.
TEST_F(ClientWindowTest, TheBrowserControlComesWithTheFirstPlayAndAMissingEngineIsNamed) {
    const auto browserWindows = [this] {
        int count = 0;
        for (HWND at = ::FindWindowExW(window().handle(), nullptr, L"LanqiWebBrowserHost", nullptr); at != nullptr;
             at = ::FindWindowExW(window().handle(), at, L"LanqiWebBrowserHost", nullptr))
            ++count;
        return count;
    };
    EXPECT_FALSE(m_client->player().browserCreated());
    EXPECT_EQ(browserWindows(), 0);
    m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(2, "r"), 61);
    searchToTheEnd();
    EXPECT_FALSE(m_client->player().browserCreated());  // a search needs no browser

    chooseTable();
    ListView_SetItemState(table(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    pumpFor(50ms);
    ASSERT_NE(flow().selectedResult(), nullptr);
    m_client->player().onlinePlay().playOnline(1, *flow().selectedResult(), "http://127.0.0.1:9");
    EXPECT_TRUE(m_client->player().browserCreated());
    EXPECT_EQ(browserWindows(), 1);
    ASSERT_TRUE(pumpUntil([this] { return !m_desktop.messageBoxes.empty(); })) << "the play did not end";
    EXPECT_EQ(m_desktop.messageBoxes[0].text, gbk(u8"视屏加载失败：本机没有可用的网页浏览组件"));
    EXPECT_EQ(m_desktop.messageBoxes[0].caption, gbk(u8"播放错误"));

    // The second play uses the same control.
    m_client->player().onlinePlay().playOnline(2, *flow().selectedResult(), "http://127.0.0.1:9");
    ASSERT_TRUE(pumpUntil([this] { return m_desktop.messageBoxes.size() == 2; })) << "the play did not end";
    EXPECT_EQ(browserWindows(), 1);
}

// The menu key on the selected line opens 选择播放 at that line, in either view; with none, the main menu at the
// pointer.
TEST_F(ClientWindowTest, TheMenuKeyOpensTheRowMenuAtTheSelectedLine) {
    m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(4, "r"), 61);
    searchToTheEnd();
    struct Case {
        const wchar_t* viewButton;
        const wchar_t* viewName;
        int line;
    };
    const Case cases[] = {
        {L"列表视图", L"搜索结果表格", 2}, {L"图片视图", L"搜索结果", 3}, {L"列表视图", L"搜索结果表格", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ::SendMessageW(child(WC_BUTTONW, c.viewButton), BM_CLICK, 0, 0);
        HWND view = child(WC_LISTVIEWW, c.viewName);
        ASSERT_TRUE(::IsWindowVisible(view));
        ListView_SetItemState(view, -1, 0, LVIS_SELECTED);
        if (c.line >= 0)
            ListView_SetItemState(view, c.line, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        pumpFor(50ms);
        ::SetFocus(view);
        m_desktop.calls.clear();
        press(VK_APPS);
        ASSERT_FALSE(m_desktop.calls.empty());
        if (c.line < 0) {
            EXPECT_EQ(m_desktop.calls.back().rfind("popupMenuAtPointer", 0), 0u) << m_desktop.calls.back();
            continue;
        }
        RECT line{};
        line.left = LVIR_BOUNDS;
        ASSERT_TRUE(
            ::SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(c.line), reinterpret_cast<LPARAM>(&line)));
        POINT corner{std::max(line.left, 0L), line.bottom};
        ::ClientToScreen(view, &corner);
        EXPECT_EQ(m_desktop.calls.back(), "popupMenuAt ? " + std::to_string(corner.x) + "," + std::to_string(corner.y));
    }
    EXPECT_TRUE(m_desktop.messageBoxes.empty());
}

}  // namespace
}  // namespace lanqi::win32
