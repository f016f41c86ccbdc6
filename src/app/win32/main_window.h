#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/fade.h"
#include "app/core/main_window_design.h"
#include "app/core/results_presenter.h"
#include "app/win32/drag_source.h"
#include "app/win32/win32_ui.h"
#include "platform/win32_desktop_services.h"
#include "search/search_screen.h"

namespace lanqi::win32 {

// What the main window reports; the controller sets the ones it needs.
struct MainWindowEvents {
    std::function<void()> searchRequested;        // Enter in 搜索框, or 按钮1
    std::function<void()> nextPageRequested;      // 按钮3
    std::function<void()> previousPageRequested;  // 按钮2
    std::function<void(int index)> pageChosen;    // the user chose item `index` of 组合框1
    std::function<void(int line)> rowSelected;    // the line as shown, in the list or the table; -1: none
    std::function<void(int line)> rowActivated;   // double-click, or Enter on the list or table with a line selected
    std::function<void()> rowMenuRequested;       // right button on a line
    std::function<void()> rowMenuFromKeyboard;    // the menu key or Shift+F10 on the list or table, a line selected
    std::function<void()> mainMenuRequested;      // right button on the background, banner, logo, footer, list
    std::function<void()> copyRequested;          // Ctrl+C on the list or the table
    std::function<void(const std::string& expression)> filterEdited;  // 筛选框's text, UTF-8, at every change
    std::function<void(bool on)> uniqueSwitched;                      // 合并相同资源
    std::function<void(ResultsMode mode)> modeChosen;                 // 图片视图, 列表视图
    std::function<void(ResultColumn column)> columnClicked;           // a header of the table
    std::function<void()> stopRequested;                              // 停止
    std::function<void()> siteSettingsRequested;                      // Ctrl+,
    std::function<void(int slot)> siteEntryActivated;                 // click, Enter or Space on an entry of the strip
    std::function<void()> vendorAddressRequested;  // left button on 图片框1 or the footer's address
    std::function<void()> escapePressed;           // Esc (the player decides what it means)
    std::function<void()> backToSearchRequested;   // 超级按钮1
    std::function<void()> closeStarted;            // the exit fade has begun
    std::function<void()> programEndRequested;     // the exit fade has run out
    std::function<void()> resized;                 // the client area changed size
};

// The player view's controls, handed to the player as they are.
struct PlayerControls {
    Label* overlay = nullptr;        // 透明标签2
    Label* playingLabel = nullptr;   // 标签1
    Label* shieldStatus = nullptr;   // 标签3
    HWND backButton = nullptr;       // 超级按钮1
    Label* loadingNotice = nullptr;  // 标签5
};

// The main window's frame: a title bar with the close, minimise and maximise boxes, and a border that resizes it.
inline constexpr DWORD kMainWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

// Timers of the main window: 时钟1 (the exit fade), 时钟2 (the pointer), 时钟3 (the shield), the player
// page's load limit, and the time a notice stays.
enum class MainTimer : UINT_PTR { ExitFade = 1, Pointer = 2, Shield = 3, PlayLoad = 4, Notice = 5 };

// How long a notice (showNotice) stays in the results count's place.
inline constexpr int kNoticeMilliseconds = 2000;

// mainWindow as native Win32 windows: the search row, the results tool row, the results as pictures (a list
// view with an 80 × 80 image list) or as a table (a virtual list view in report mode) under the home banner,
// the footer with the site strip and the (hidden) player controls, each at its design geometry in a client
// area of 813 × 549. It draws what the controller hands it and reports the user's gestures; closing it starts
// the exit fade.
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

    // Draws the parts of `screen` that `changes` (ScreenChange bits) names: the search row, the title, the
    // banner.
    void render(const SearchScreen& screen, unsigned changes);
    // The results lines in both views (the first `shown.kept` as they are) and the selected line.
    void showResults(const ResultsShown& shown);
    // The tool row: the view shown, 合并相同资源, the count (or the filter's problem), the table's sort arrow, 停止.
    void showResultsBar(const ResultsBar& bar);
    // One entry per slot in 站点状态, coloured by its state.
    void showSiteStrip(const std::vector<SiteStripEntry>& entries);
    // `text` in the count's place for `milliseconds`, then the count again.
    void showNotice(const std::wstring& text, int milliseconds = kNoticeMilliseconds);
    // The screen point of the selected line in the view shown (its bottom left corner); nothing when no line is
    // selected.
    std::optional<ScreenPoint> selectedLinePoint() const;
    // The footer's vendor address: its text, and the address its link opens as tool tip.
    void showVendorAddress(const Text& vendorBase);
    // The keyword as 搜索框 holds it now (GBK), or nothing when it holds a character GBK lacks.
    std::optional<Text> searchableKeyword() const;
    Text keyword() const { return searchableKeyword().value_or(Text()); }
    void focusSearchBox();
    // Shows or hides the search view's controls all together (the player view covers them), each as the
    // screen last asked for it when shown again. A render while they are hidden keeps them hidden.
    void setSearchViewShown(bool shown);
    // Puts the player view's controls and the results views back to their window-mode places for the window's
    // size.
    void resetPlayerGeometry();
    // Where the window is (its client area, on the screen) as it would open there next time: its normal place
    // and whether it is maximised. And putting it at a place saved earlier, fitted to the screen it lands on
    // (before it is first shown).
    WindowPlace place() const;
    void openAt(const std::optional<WindowPlace>& saved);
    // The colour behind the controls and of the player's labels (white, black in full screen).
    void setBaseColour(COLORREF colour);
    // The selected line of the view shown, -1 for none.
    int selectedLine() const;
    ResultsMode mode() const { return m_mode; }
    // What 结果计数 shows now, and in which colour.
    const std::wstring& countText() const { return m_count->text(); }
    COLORREF countColour() const { return m_count->textColour(); }

    // Starts (or restarts) one of the window's timers; `tick` runs on each expiry. stopTimer ends it.
    void startTimer(MainTimer timer, int milliseconds, std::function<void()> tick);
    void stopTimer(MainTimer timer);

    // The player's first look at keys and pointer moves of the window (the browser's among them).
    void setMessageFilter(std::function<bool(MSG&)> filter) { m_filter = std::move(filter); }
    // Whether the player view is up: the menu key then belongs to the player.
    void setPlayerShown(bool shown) { m_playerShown = shown; }

    // How a line dragged out of the list or the table is dragged: its magnet link's data object goes to
    // `dragger` (dragData, the modal OLE drag, unless told otherwise).
    void setDataDragger(DataDragger dragger) { m_dragger = std::move(dragger); }

    // Fades the window in (start-up).
    void fadeIn(int stepDelay = kFadeInStepDelay);

    bool preTranslate(MSG& message) override;

  private:
    class FadeOutDriver;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    void buildToolRow();
    void buildPictureList();
    void onDpiChanged(const RECT& suggested);
    void fitBackButton();
    void buildTable();
    void onCommand(int id, int code);
    LRESULT onListNotify(HWND view, NMHDR& header);
    LRESULT onTableNotify(NMHDR& header);
    void onContextMenu(HWND source, LPARAM at);
    void requestMenuFromKeyboard();
    bool onShortcut(UINT key, bool control, bool shift);
    void applyLayout(SearchLayout layout);
    // Every control of the search view at its place for the client area's size and the search row's layout.
    void placeControls();
    void onMoveOrSize();
    void showPageItems(const SearchScreen& screen, unsigned changes);
    void fitPageSelector();
    void choosePage();
    HWND shownView() const { return m_mode == ResultsMode::Table ? m_table : m_list; }
    void drawPictureList();
    void selectLine(int line);
    void reportSelection(HWND view);
    void dragLine(int line);
    void showCount();
    void placeSiteEntries(size_t count);
    void drawSiteEntry(const DRAWITEMSTRUCT& item);
    void moveInSiteStrip(bool forward);
    std::wstring fittedCaption(const std::wstring& caption) const;
    void moveFocus(bool forward);
    // Tab into the list or the table: its selected line has the focus; with none, the first line is selected.
    void enterResults(HWND view);
    // The designed colours, or the system's under high contrast, for the window and its views.
    void applyColours();
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
    HWND m_picturesButton = nullptr;  // 图片视图
    HWND m_tableButton = nullptr;     // 列表视图
    HWND m_filterBox = nullptr;       // 筛选框
    HWND m_uniqueSwitch = nullptr;    // 合并相同资源
    std::unique_ptr<Label> m_count;   // 结果计数
    HWND m_stopButton = nullptr;      // 停止
    HWND m_list = nullptr;            // 超级列表框1
    HWND m_table = nullptr;           // 结果表格
    HWND m_strip = nullptr;           // 站点状态, holding one button per slot
    std::unique_ptr<Label> m_banner;  // 标签2, with 图片框2 drawn on it
    std::unique_ptr<Label> m_footer;  // 标签8, with 透明标签1 as its link area
    HWND m_footerTips = nullptr;      // the link area's tool tip: the vendor's address
    std::unique_ptr<Label> m_overlay, m_playingLabel, m_shieldStatus, m_loadingNotice;
    PlayerControls m_player;

    int m_dpi = kDesignDpi;           // the DPI the controls are shown at
    HIMAGELIST m_pictures = nullptr;  // the list's pictures at that DPI
    bool m_tileView = false;          // the list shows tiles; without them (Wine), small icons with padded captions
    // The lines as shown, in both views: the table reads its cells from here as it draws them.
    struct ShownLine {
        std::array<std::wstring, kResultColumnCount> cells;
        std::wstring caption;  // the picture list's, fitted to its cell
        std::wstring toolTip;
        int iconKind = -1;
        std::string link;  // the magnet link that dragging the line gives
    };
    std::vector<ShownLine> m_lines;
    size_t m_listDrawn = 0;  // the first lines that the picture list holds as they are (it is filled when shown)
    int m_selectedLine = -1;
    ResultsMode m_mode = ResultsMode::Pictures;
    bool m_updating = false;          // the window changes its views itself: their notifications are no gestures
    bool m_selectionPending = false;  // a report of the user's selection is on its way (kSelectionSettled)
    std::wstring m_countText;         // the bar's count or the filter's problem
    bool m_countIsProblem = false;
    bool m_noticeShown = false;
    bool m_bannerShown = true;
    // The site strip's entries: one owner-drawn button each, with its tool tip.
    struct SiteEntry {
        HWND button = nullptr;
        HWND tips = nullptr;
        SiteStripEntry entry;
    };
    std::vector<SiteEntry> m_siteEntries;
    int m_shownPageItem = -1;
    bool m_playerShown = false;
    HWND m_lastFocus = nullptr;  // given back when the window is active again
    std::map<UINT_PTR, std::function<void()>> m_timers;
    std::function<bool(MSG&)> m_filter;
    DataDragger m_dragger = dragData;
    std::unique_ptr<FadeOutDriver> m_fadeOut;
    // The search view's controls and whether the screen shows each; all hidden while the player covers them.
    std::vector<std::pair<HWND, bool>> m_searchView;
    bool m_searchViewShown = true;
    SearchLayout m_layout = SearchLayout::Home;
    SIZE m_minimumClient{kMinMainWindowWidth, kMinMainWindowHeight};
    bool m_openMaximised = false;  // the first show maximises it
    WindowPlace m_normalPlace;     // the client area's place in the normal state, as last seen
};

}  // namespace lanqi::win32
