#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/fade.h"
#include "app/core/main_window_design.h"
#include "app/win32/win32_ui.h"
#include "platform/win32_desktop_services.h"
#include "search/search_screen.h"

namespace lanqi::win32 {

// What the main window reports; the controller sets the ones it needs.
struct MainWindowEvents {
    std::function<void()> searchRequested;         // Enter in 搜索框, or 按钮1
    std::function<void()> nextPageRequested;       // 按钮3
    std::function<void()> previousPageRequested;   // 按钮2
    std::function<void(int index)> pageChosen;     // the user chose item `index` of 组合框1
    std::function<void(int row)> rowSelected;      // -1: none
    std::function<void(int row)> rowActivated;     // double-click, or Enter on the list with a row selected
    std::function<void()> rowMenuRequested;        // right button on a row, or the menu key with one selected
    std::function<void()> mainMenuRequested;       // right button on the background, banner, logo, footer, list
    std::function<void()> vendorAddressRequested;  // left button on 图片框1 or the footer's address
    std::function<void()> escapePressed;           // Esc (the player decides what it means)
    std::function<void()> backToSearchRequested;   // 超级按钮1
    std::function<void()> closeStarted;            // the exit fade has begun
    std::function<void()> programEndRequested;     // the exit fade has run out
};

// The player view's controls, handed to the player as they are.
struct PlayerControls {
    Label* overlay = nullptr;        // 透明标签2
    Label* playingLabel = nullptr;   // 标签1
    Label* shieldStatus = nullptr;   // 标签3
    HWND backButton = nullptr;       // 超级按钮1
    Label* loadingNotice = nullptr;  // 标签5
};

// The main window's frame: a title bar with the close and minimise boxes, no resizing.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Timers of the main window: 时钟1 (the exit fade), 时钟2 (the pointer), 时钟3 (the shield) and the player
// page's load limit.
enum class MainTimer : UINT_PTR { ExitFade = 1, Pointer = 2, Shield = 3, PlayLoad = 4 };

// mainWindow as native Win32 windows: the search row, the results list (a list view with an 80 × 80 image
// list) under the home banner, the footer and the (hidden) player controls, each at its design geometry in
// a client area of 813 × 549. It draws the search flow's screen and reports the user's commands; closing it
// starts the exit fade.
class MainWindow final : public KeyboardOwner {
  public:
    explicit MainWindow(WindowEffects& windows);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return m_window; }
    const Win32Window& windowHandle() const { return m_handle; }
    MainWindowEvents& events() { return m_events; }
    const PlayerControls& playerControls() const { return m_player; }

    // Draws the parts of `screen` that `changes` (ScreenChange bits) names.
    void render(const SearchScreen& screen, unsigned changes);
    // The footer's vendor address: its text, and the address its link opens as tool tip.
    void showVendorAddress(const Text& vendorBase);
    // The keyword as 搜索框 holds it now (GBK), or nothing when it holds a character GBK lacks.
    std::optional<Text> searchableKeyword() const;
    Text keyword() const { return searchableKeyword().value_or(Text()); }
    void focusSearchBox();
    // Shows or hides the search view's controls all together (the player view covers them), each as the
    // screen last asked for it when shown again. A render while they are hidden keeps them hidden.
    void setSearchViewShown(bool shown);
    // Puts the player view's controls and the results list back to their design geometry.
    void resetPlayerGeometry();
    // The colour behind the controls and of the player's labels (white, black in full screen).
    void setBaseColour(COLORREF colour);
    int selectedRow() const;

    // Starts (or restarts) one of the window's timers; `tick` runs on each expiry. stopTimer ends it.
    void startTimer(MainTimer timer, int milliseconds, std::function<void()> tick);
    void stopTimer(MainTimer timer);

    // The player's first look at keys and pointer moves of the window (the browser's among them).
    void setMessageFilter(std::function<bool(MSG&)> filter) { m_filter = std::move(filter); }
    // Whether the player view is up: the menu key then belongs to the player.
    void setPlayerShown(bool shown) { m_playerShown = shown; }

    // Fades the window in (start-up).
    void fadeIn(int stepDelay = kFadeInStepDelay);

    bool preTranslate(MSG& message) override;

  private:
    class FadeOutDriver;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    void onCommand(int id, int code);
    LRESULT onListNotify(NMHDR& header);
    void onContextMenu(HWND source, LPARAM at);
    void requestMenuFromKeyboard();
    void applyLayout(SearchLayout layout);
    void showPageItems(const SearchScreen& screen, unsigned changes);
    void fitPageSelector();
    void choosePage();
    void showResults(const std::vector<ResultItem>& results, bool cleared);
    void selectRow(int row);
    std::wstring fittedCaption(const std::wstring& caption) const;
    void moveFocus(bool forward);
    HWND handleOf(MainControl control) const;
    void showSearchControl(HWND control, bool shown);
    HWND focusOnEntry() const;

    WindowEffects& m_windows;  // its fades
    HWND m_window = nullptr;
    Win32Window m_handle;
    MainWindowEvents m_events;
    COLORREF m_baseColour = RGB(255, 255, 255);
    HBRUSH m_baseBrush = nullptr;

    std::unique_ptr<Label> m_logo;    // 图片框1
    HWND m_searchBox = nullptr;       // 搜索框
    HWND m_searchButton = nullptr;    // 按钮1
    HWND m_previousButton = nullptr;  // 按钮2
    HWND m_pageSelector = nullptr;    // 组合框1
    HWND m_nextButton = nullptr;      // 按钮3
    HWND m_list = nullptr;            // 超级列表框1
    std::unique_ptr<Label> m_banner;  // 标签2, with 图片框2 drawn on it
    std::unique_ptr<Label> m_footer;  // 标签8, with 透明标签1 as its link area
    HWND m_footerTips = nullptr;      // the link area's tool tip: the vendor's address
    std::unique_ptr<Label> m_overlay, m_playingLabel, m_shieldStatus, m_loadingNotice;
    PlayerControls m_player;

    bool m_tileView = false;  // the list shows tiles; without them (Wine), small icons with padded captions
    std::vector<std::wstring> m_toolTips;
    int m_shownPageItem = -1;
    bool m_playerShown = false;
    HWND m_lastFocus = nullptr;  // given back when the window is active again
    std::map<UINT_PTR, std::function<void()>> m_timers;
    std::function<bool(MSG&)> m_filter;
    std::unique_ptr<FadeOutDriver> m_fadeOut;
    // The search view's controls and whether the screen shows each; all hidden while the player covers them.
    std::vector<std::pair<HWND, bool>> m_searchView;
    bool m_searchViewShown = true;
};

}  // namespace lanqi::win32
