#include "app/win32/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "actions/window_geometry.h"
#include "app/core/client_controller.h"
#include "app/core/main_window_design.h"
#include "app/core/vendor.h"
#include "platform/net.h"
#include "platform/product.h"
#include "platform/settings.h"
#include "scrape/result_entry.h"

namespace lanqi::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"LanqiMainWindow";

enum ControlId : int { kSearchButtonId = 1, kPreviousId, kNextId, kBackId, kPageSelectorId, kSearchBoxId, kListId };

// A result's cell: the picture and its caption, two cells side by side in the list's width.
constexpr int kListPictureSide = 80;

Geometry geometryOf(MainControl control) { return designOf(control).geometry; }
std::wstring captionOf(MainControl control) { return wideFromUtf8(designOf(control).caption); }
// What a screen reader says: the design's short description, else the caption.
std::wstring spokenName(MainControl control) {
    const ControlDesign& design = designOf(control);
    return wideFromUtf8(*design.accessibleName != '\0' ? design.accessibleName : design.caption);
}
constexpr int kTileWidth = 384;
constexpr int kCaptionWidth = kTileWidth - kListPictureSide - 12;
constexpr const wchar_t* kListPictures[] = {L"LIST0", L"LIST1", L"LIST2", L"LIST3"};

}  // namespace

// Drives the exit fade on this window: its opacity, 时钟1 and the end of the program.
class MainWindow::FadeOutDriver final : public ExitFadeHost {
  public:
    explicit FadeOutDriver(MainWindow& window) : m_window(window), m_fade(*this) {}
    ExitFade& fade() { return m_fade; }

    void setWindowOpacity(int level) override { m_window.m_windows.setWindowOpacity(m_window.m_handle, level); }
    void startFadeTimer(int periodMilliseconds) override {
        m_window.startTimer(MainTimer::ExitFade, periodMilliseconds, [this] { m_fade.tick(); });
    }
    void stopFadeTimer() override { m_window.stopTimer(MainTimer::ExitFade); }
    void endProgram() override {
        if (m_window.m_events.programEndRequested) m_window.m_events.programEndRequested();
    }

  private:
    MainWindow& m_window;
    ExitFade m_fade;
};

MainWindow::MainWindow(WindowEffects& windows) : m_windows(windows) {
    registerWindowClass(kWindowClass, &MainWindow::procedure);
    m_baseBrush = ::CreateSolidBrush(m_baseColour);
    const SIZE outer = outerSize(kMainWindowStyle, 0, kMainWindowWidth, kMainWindowHeight);
    const POINT at = centredPosition(nullptr, outer.cx, outer.cy);
    m_window = ::CreateWindowExW(0, kWindowClass, wideFromGbk(titlePrefix()).c_str(), kMainWindowStyle, at.x, at.y,
                                 outer.cx, outer.cy, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_handle.setHandle(m_window);
    m_fadeOut = std::make_unique<FadeOutDriver>(*this);
    buildControls();
    setKeyboardOwner(m_window, this);
}

MainWindow::~MainWindow() {
    if (m_window != nullptr) {
        setKeyboardOwner(m_window, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        ::DestroyWindow(m_window);
    }
    ::DeleteObject(m_baseBrush);
}

void MainWindow::buildControls() {
    // Created in this order on purpose: a later control lies over an earlier one (the banner over the
    // list, the player view over everything).
    LabelLook logo;
    logo.picture = picture(L"LOGO");
    m_logo = std::make_unique<Label>(m_window, geometryOf(MainControl::Logo), logo);
    ::SetWindowTextW(m_logo->handle(), spokenName(MainControl::Logo).c_str());
    m_logo->events().leftPressed = [this] {
        if (m_events.vendorAddressRequested) m_events.vendorAddressRequested();
    };

    m_searchBox = createControl(m_window, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                geometryOf(MainControl::SearchBox), kSearchBoxId,
                                uiFont(designOf(MainControl::SearchBox).fontPixels));
    ::SetWindowLongPtrW(m_searchBox, GWL_EXSTYLE, ::GetWindowLongPtrW(m_searchBox, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(m_searchBox, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    const std::wstring cue = spokenName(MainControl::SearchBox);
    ::SendMessageW(m_searchBox, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue.c_str()));
    m_searchButton =
        createControl(m_window, WC_BUTTONW, captionOf(MainControl::SearchButton).c_str(),
                      WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, geometryOf(MainControl::SearchButton), kSearchButtonId);
    m_previousButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::PreviousButton).c_str(),
                                     WS_TABSTOP | BS_PUSHBUTTON, geometryOf(MainControl::PreviousButton), kPreviousId);
    // The height of a drop-down list's window includes its open list.
    Geometry selector = geometryOf(MainControl::PageSelector);
    selector.height += kPageListRows * 16;
    m_pageSelector = createControl(m_window, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, selector,
                                   kPageSelectorId);
    ::SendMessageW(m_pageSelector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 14);
    ::SendMessageW(m_pageSelector, CB_SETMINVISIBLE, kPageListRows, 0);
    m_nextButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::NextButton).c_str(),
                                 WS_TABSTOP | BS_PUSHBUTTON, geometryOf(MainControl::NextButton), kNextId);

    m_list = createControl(m_window, WC_LISTVIEWW, spokenName(MainControl::ResultList).c_str(),
                           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE,
                           geometryOf(MainControl::ResultList), kListId, listFont());
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    HIMAGELIST pictures = ImageList_Create(kListPictureSide, kListPictureSide, ILC_COLOR24, 4, 0);
    for (const wchar_t* name : kListPictures) {
        HBITMAP bitmap = picture(name);
        if (bitmap == nullptr) {
            HDC screen = ::GetDC(nullptr);
            bitmap = ::CreateCompatibleBitmap(screen, kListPictureSide, kListPictureSide);  // stands in, blank
            ::ReleaseDC(nullptr, screen);
        }
        ImageList_Add(pictures, bitmap, nullptr);
    }
    // Tiles put the picture left of its caption in a cell of fixed size. Where the list view has no tiles
    // (Wine's), small icons do the same with the 80 × 80 pictures; their cells are as wide as the widest
    // caption, so every caption is padded to one width there.
    m_tileView = ::SendMessageW(m_list, LVM_SETVIEW, LV_VIEW_TILE, 0) == 1;
    if (m_tileView) {
        ListView_SetImageList(m_list, pictures, LVSIL_NORMAL);
        LVTILEVIEWINFO tiles{};
        tiles.cbSize = sizeof(tiles);
        tiles.dwMask = LVTVIM_TILESIZE | LVTVIM_COLUMNS;
        tiles.dwFlags = LVTVIF_FIXEDSIZE;
        tiles.sizeTile = {kTileWidth, kListPictureSide};
        tiles.cLines = 0;
        ListView_SetTileViewInfo(m_list, &tiles);
    } else {
        ::SendMessageW(m_list, LVM_SETVIEW, LV_VIEW_SMALLICON, 0);
        ListView_SetImageList(m_list, pictures, LVSIL_SMALL);
    }
    ListView_SetBkColor(m_list, RGB(255, 255, 255));
    ListView_SetTextBkColor(m_list, RGB(255, 255, 255));
    ListView_SetTextColor(m_list, RGB(0, 0, 0));

    LabelLook banner;
    banner.text = captionOf(MainControl::Banner);
    banner.font = bannerFont();
    banner.textColour = colour(0x2f6f78);
    banner.format = DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;
    banner.margins = {0, 110, 0, 0};  // the name stands above the home picture
    banner.picture = picture(L"HOME");
    const Geometry bannerAt = geometryOf(MainControl::Banner), pictureAt = geometryOf(MainControl::HomePicture);
    banner.pictureAt = {pictureAt.left - bannerAt.left, pictureAt.top - bannerAt.top};  // 图片框2, drawn on it
    m_banner = std::make_unique<Label>(m_window, bannerAt, banner);

    LabelLook footer;
    footer.textColour = colour(0x5f6b6d);
    footer.format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    footer.margins = {36, 0, 0, 0};
    footer.topLine = true;
    footer.lineColour = colour(0xd8dee0);
    const Geometry footerAt = geometryOf(MainControl::Footer), linkAt = geometryOf(MainControl::FooterLink);
    // 透明标签1, over the footer's address: its link area
    const RECT linkArea{linkAt.left - footerAt.left, linkAt.top - footerAt.top,
                        linkAt.left - footerAt.left + linkAt.width, linkAt.top - footerAt.top + linkAt.height};
    footer.linkArea = linkArea;
    m_footer = std::make_unique<Label>(m_window, footerAt, footer);
    m_footer->events().leftPressed = m_logo->events().leftPressed;
    m_footerTips = addToolTip(m_footer->handle(), L"", linkArea);
    showVendorAddress(Text(kBuiltInVendorBase));
    for (Label* area : {m_logo.get(), m_banner.get(), m_footer.get()}) {
        area->events().rightPressed = [this] {
            if (m_events.mainMenuRequested) m_events.mainMenuRequested();
        };
    }

    // The player view's controls (the browser takes its place under the overlay when the player comes).
    LabelLook overlay;
    overlay.transparent = true;
    m_overlay = std::make_unique<Label>(m_window, geometryOf(MainControl::Overlay), overlay, false);
    ::SetWindowTextW(m_overlay->handle(), spokenName(MainControl::Overlay).c_str());
    LabelLook top;
    top.backgroundFrom = &m_baseColour;
    top.format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    top.text = captionOf(MainControl::PlayingLabel);
    m_playingLabel = std::make_unique<Label>(m_window, geometryOf(MainControl::PlayingLabel), top, false);
    top.text = captionOf(MainControl::ShieldStatus);
    m_shieldStatus = std::make_unique<Label>(m_window, geometryOf(MainControl::ShieldStatus), top, false);
    m_player.backButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::BackButton).c_str(), BS_PUSHBUTTON,
                                        geometryOf(MainControl::BackButton), kBackId);
    LabelLook loading = top;
    loading.text = captionOf(MainControl::LoadingNotice);
    loading.format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    m_loadingNotice = std::make_unique<Label>(m_window, geometryOf(MainControl::LoadingNotice), loading, false);
    m_player.overlay = m_overlay.get();
    m_player.playingLabel = m_playingLabel.get();
    m_player.shieldStatus = m_shieldStatus.get();
    m_player.loadingNotice = m_loadingNotice.get();

    for (HWND control : {m_logo->handle(), m_searchBox, m_searchButton, m_previousButton, m_pageSelector, m_nextButton,
                         m_list, m_banner->handle(), m_footer->handle()})
        m_searchView.emplace_back(control, (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowOwner<MainWindow>(window, message, lParam);
    if (self != nullptr && message == WM_NCCREATE) self->m_window = window;
    return self != nullptr ? self->handle(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT area{};
            ::GetClientRect(m_window, &area);
            ::FillRect(reinterpret_cast<HDC>(wParam), &area, m_baseBrush);
            return 1;
        }
        case WM_COMMAND:
            if (lParam != 0) onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == m_list) return onListNotify(*header);
            break;
        }
        case WM_ACTIVATE:
            // The keys go back to the control that had them when the window was left.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(m_window, focus)) m_lastFocus = focus;
            }
            break;
        case WM_SETFOCUS:
            if (HWND to = focusOnEntry(); to != nullptr) ::SetFocus(to);
            return 0;
        case WM_CONTEXTMENU:
            onContextMenu(reinterpret_cast<HWND>(wParam), lParam);
            return 0;
        case WM_TIMER:
            if (const auto timer = m_timers.find(wParam); timer != m_timers.end()) {
                const std::function<void()> tick = timer->second;  // the tick may stop its own timer
                tick();
            }
            return 0;
        case WM_CLOSE:
            if (m_fadeOut->fade().closeRequested()) {
                if (m_events.programEndRequested) m_events.programEndRequested();
            } else if (m_events.closeStarted) {
                m_events.closeStarted();
            }
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(m_window, message, wParam, lParam);
}

void MainWindow::onCommand(int id, int code) {
    const auto fire = [](const std::function<void()>& event) {
        if (event) event();
    };
    switch (id) {
        case kSearchButtonId:
            if (code == BN_CLICKED) fire(m_events.searchRequested);
            break;
        case kPreviousId:
            if (code == BN_CLICKED) fire(m_events.previousPageRequested);
            break;
        case kNextId:
            if (code == BN_CLICKED) fire(m_events.nextPageRequested);
            break;
        case kBackId:
            if (code == BN_CLICKED) fire(m_events.backToSearchRequested);
            break;
        case kPageSelectorId:
            // The user's choice: a change while the list is closed (the arrow keys), or the list closing on
            // another page than the one shown. A selection the window sets sends neither.
            if ((code == CBN_SELCHANGE && !::SendMessageW(m_pageSelector, CB_GETDROPPEDSTATE, 0, 0)) ||
                code == CBN_CLOSEUP)
                choosePage();
            break;
        default:
            break;
    }
}

void MainWindow::choosePage() {
    const int index = static_cast<int>(::SendMessageW(m_pageSelector, CB_GETCURSEL, 0, 0));
    if (index < 0 || index == m_shownPageItem) return;
    m_shownPageItem = index;
    if (m_events.pageChosen) m_events.pageChosen(index);
}

LRESULT MainWindow::onListNotify(NMHDR& header) {
    switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
            if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0 && m_events.rowSelected)
                m_events.rowSelected(selectedRow());
            return 0;
        }
        case NM_DBLCLK: {
            const auto& click = reinterpret_cast<NMITEMACTIVATE&>(header);
            if (click.iItem >= 0 && selectedRow() >= 0 && m_events.rowActivated) m_events.rowActivated(selectedRow());
            return 0;
        }
        case NM_RCLICK: {
            // As a list view does: the right button selects the row under the pointer, or clears the
            // selection on the empty area, before the menu for that selection comes up.
            LVHITTESTINFO hit{};
            ::GetCursorPos(&hit.pt);
            ::ScreenToClient(m_list, &hit.pt);
            const int row = ListView_HitTest(m_list, &hit);
            selectRow(row);
            if (m_events.rowSelected) m_events.rowSelected(selectedRow());
            const auto& event = row >= 0 ? m_events.rowMenuRequested : m_events.mainMenuRequested;
            if (event) event();
            return 1;  // no WM_CONTEXTMENU after it
        }
        case LVN_GETINFOTIPW: {
            auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
            if (tip.iItem >= 0 && static_cast<size_t>(tip.iItem) < m_toolTips.size() && tip.cchTextMax > 0) {
                const std::wstring& text = m_toolTips[static_cast<size_t>(tip.iItem)];
                const size_t count = std::min(text.size(), static_cast<size_t>(tip.cchTextMax - 1));
                text.copy(tip.pszText, count);
                tip.pszText[count] = L'\0';
            }
            return 0;
        }
        default:
            return 0;
    }
}

void MainWindow::onContextMenu(HWND source, LPARAM at) {
    if (at == -1) {  // the menu key or Shift+F10
        if (!m_playerShown) requestMenuFromKeyboard();
        return;
    }
    // The background offers the main menu; the buttons and the page selector offer nothing (the search
    // box has its own edit menu).
    if (source == m_window && m_events.mainMenuRequested) m_events.mainMenuRequested();
}

void MainWindow::requestMenuFromKeyboard() {
    // The menu opens for the selected row, as the right button on it would; with none, the main menu.
    const auto& event = selectedRow() >= 0 ? m_events.rowMenuRequested : m_events.mainMenuRequested;
    if (event) event();
}

bool MainWindow::preTranslate(MSG& message) {
    if (m_filter && m_filter(message)) return true;
    if (message.message != WM_KEYDOWN) return false;
    const HWND focus = ::GetFocus();
    const bool listOpen = ::SendMessageW(m_pageSelector, CB_GETDROPPEDSTATE, 0, 0) != 0;
    switch (message.wParam) {
        case VK_RETURN:
            if (listOpen) return false;
            if (focus == m_searchBox) {
                if (m_events.searchRequested) m_events.searchRequested();
            } else if (focus == m_list) {
                if (selectedRow() >= 0 && m_events.rowActivated) m_events.rowActivated(selectedRow());
            } else if (focus == m_searchButton || focus == m_previousButton || focus == m_nextButton ||
                       focus == m_player.backButton) {
                ::SendMessageW(focus, BM_CLICK, 0, 0);
            }
            return true;
        case VK_TAB:
            if (listOpen) return false;
            moveFocus((::GetKeyState(VK_SHIFT) & 0x8000) == 0);
            return true;
        case VK_ESCAPE:
            if (listOpen) return false;
            if (m_events.escapePressed) m_events.escapePressed();
            return true;
        default:
            return false;
    }
}

HWND MainWindow::handleOf(MainControl control) const {
    switch (control) {
        case MainControl::SearchBox:
            return m_searchBox;
        case MainControl::SearchButton:
            return m_searchButton;
        case MainControl::PreviousButton:
            return m_previousButton;
        case MainControl::PageSelector:
            return m_pageSelector;
        case MainControl::NextButton:
            return m_nextButton;
        case MainControl::ResultList:
            return m_list;
        default:
            return nullptr;  // the others take no keys of their own
    }
}

void MainWindow::moveFocus(bool forward) {
    // The search row left to right, then the results; in the player view, which hides them, the way back.
    std::vector<HWND> order;
    for (MainControl control : kMainTabOrder) order.push_back(handleOf(control));
    order.push_back(m_player.backButton);
    const int count = static_cast<int>(order.size());
    const HWND focus = ::GetFocus();
    int at = 0;
    while (at < count && order[at] != focus) ++at;
    for (int step = 1; step <= count; ++step) {
        const int next = ((at == count ? (forward ? -1 : 0) : at) + (forward ? step : -step) + count * 2) % count;
        if (::IsWindowVisible(order[next]) && ::IsWindowEnabled(order[next])) {
            ::SetFocus(order[next]);
            if (order[next] == m_searchBox) ::SendMessageW(m_searchBox, EM_SETSEL, 0, -1);
            return;
        }
    }
}

void MainWindow::showVendorAddress(const Text& vendorBase) {
    m_footer->setText(L"岚栖工作室 出品　　官方网站：" + wideFromGbk(vendorAddressForDisplay(vendorBase)) +
                      L"　　搜索结果来自公开网站，请遵守当地法律法规");
    setToolTipText(m_footerTips, m_footer->handle(), wideFromGbk(vendorBase));
}

void MainWindow::render(const SearchScreen& screen, unsigned changes) {
    if (changes & kTitleChanged) ::SetWindowTextW(m_window, wideFromGbk(screen.title).c_str());
    if (changes & kSearchRowChanged) {
        applyLayout(screen.layout);
        showSearchControl(m_previousButton, screen.previousVisible);
        ::SetWindowTextW(m_nextButton, wideFromGbk(screen.nextCaption).c_str());
        showSearchControl(m_nextButton, screen.nextVisible);
        showSearchControl(m_pageSelector, screen.pageSelectorVisible);
    }
    showPageItems(screen, changes);
    if (changes & kBannerChanged) showSearchControl(m_banner->handle(), screen.bannerVisible);
    if (changes & (kResultsCleared | kResultsAdded)) showResults(screen.results, (changes & kResultsCleared) != 0);
    if ((changes & kResultSelectionChanged) && selectedRow() != screen.selectedResult) selectRow(screen.selectedResult);
}

void MainWindow::applyLayout(SearchLayout layout) {
    setGeometry(m_searchBox, layoutGeometry(MainControl::SearchBox, layout));
    setGeometry(m_searchButton, layoutGeometry(MainControl::SearchButton, layout));
}

void MainWindow::showPageItems(const SearchScreen& screen, unsigned changes) {
    if ((changes & (kPageItemsChanged | kPageSelectionChanged)) == 0) return;
    if (changes & kPageItemsChanged) {
        ::SendMessageW(m_pageSelector, WM_SETREDRAW, FALSE, 0);
        ::SendMessageW(m_pageSelector, CB_RESETCONTENT, 0, 0);
        for (const Text& item : screen.pageItems)
            ::SendMessageW(m_pageSelector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromGbk(item).c_str()));
        ::SendMessageW(m_pageSelector, WM_SETREDRAW, TRUE, 0);
    }
    ::SendMessageW(m_pageSelector, CB_SETCURSEL, static_cast<WPARAM>(screen.selectedPageItem), 0);
    m_shownPageItem = screen.selectedPageItem;
    if (changes & kPageItemsChanged) fitPageSelector();
}

void MainWindow::fitPageSelector() {
    // Wide enough for the longest page number, growing to the left from its right edge; 上一页 moves along.
    HDC dc = ::GetDC(m_pageSelector);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(m_pageSelector, WM_GETFONT, 0, 0)));
    int widest = 0;
    const int count = static_cast<int>(::SendMessageW(m_pageSelector, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t item[32] = {};
        if (::SendMessageW(m_pageSelector, CB_GETLBTEXTLEN, i, 0) >= 31) continue;
        ::SendMessageW(m_pageSelector, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, item, static_cast<int>(wcslen(item)), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_pageSelector, dc);
    const PageSelectorPlace place = pageSelectorPlace(widest + ::GetSystemMetrics(SM_CXVSCROLL) + 10);
    Geometry selector = geometryOf(m_pageSelector);  // its height holds the open list
    selector.left = place.selector.left;
    selector.width = place.selector.width;
    setGeometry(m_pageSelector, selector);
    Geometry previousButton = geometryOf(m_previousButton);
    previousButton.left = place.previousLeft;
    setGeometry(m_previousButton, previousButton);
}

std::wstring MainWindow::fittedCaption(const std::wstring& caption) const {
    // A caption longer than its cell ends in "…"; without tiles, a shorter one is padded to the cell.
    HDC dc = ::GetDC(m_list);
    HGDIOBJ previous = ::SelectObject(dc, listFont());
    SIZE size{};
    int fits = 0;
    ::GetTextExtentExPointW(dc, caption.c_str(), static_cast<int>(caption.size()), kCaptionWidth, &fits, nullptr,
                            &size);
    std::wstring shown = caption;
    if (fits < static_cast<int>(caption.size())) {
        SIZE ellipsis{};
        ::GetTextExtentPoint32W(dc, L"…", 1, &ellipsis);
        ::GetTextExtentExPointW(dc, caption.c_str(), static_cast<int>(caption.size()), kCaptionWidth - ellipsis.cx,
                                &fits, nullptr, &size);
        shown = caption.substr(0, static_cast<size_t>(std::max(fits, 0))) + L"…";
    }
    if (!m_tileView) {
        ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        SIZE blank{};
        ::GetTextExtentPoint32W(dc, L" ", 1, &blank);
        if (blank.cx > 0 && size.cx < kCaptionWidth) shown.append((kCaptionWidth - size.cx) / blank.cx, L' ');
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_list, dc);
    return shown;
}

void MainWindow::showResults(const std::vector<ResultItem>& results, bool cleared) {
    ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    if (cleared) {
        ListView_DeleteAllItems(m_list);
        m_toolTips.clear();
    }
    for (size_t row = m_toolTips.size(); row < results.size(); ++row) {
        // Shown as a person reads it; the long title that the cell cuts is whole in the tooltip.
        const RowPresentation shown = presentRow(results[row]);
        std::wstring caption = fittedCaption(wideFromUtf8(shown.caption));
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(row);
        item.pszText = caption.data();
        item.iImage = shown.iconKind >= 0 ? shown.iconKind : I_IMAGENONE;
        ::SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        m_toolTips.push_back(wideFromUtf8(shown.toolTip));
    }
    ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_list, nullptr, TRUE);
}

void MainWindow::selectRow(int row) {
    ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
    if (row >= 0 && row < ListView_GetItemCount(m_list)) {
        ListView_SetItemState(m_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(m_list, row, FALSE);
    }
}

int MainWindow::selectedRow() const { return ListView_GetNextItem(m_list, -1, LVNI_SELECTED); }

std::optional<Text> MainWindow::searchableKeyword() const {
    const std::wstring text = windowText(m_searchBox);
    Text keyword = gbkFromWide(text);
    if (keyword.empty() && !text.empty()) return std::nullopt;
    return keyword;
}

void MainWindow::focusSearchBox() { ::SetFocus(m_searchBox); }

// The control that gets the keys when the window gets them back: the one that had them, else the search box,
// else (the player view is up) the way back to the search.
HWND MainWindow::focusOnEntry() const {
    for (HWND candidate : {m_lastFocus, m_searchBox, m_player.backButton}) {
        if (candidate != nullptr && ::IsWindowVisible(candidate)) return candidate;
    }
    return nullptr;
}

void MainWindow::showSearchControl(HWND control, bool shown) {
    for (auto& [each, wanted] : m_searchView) {
        if (each == control) wanted = shown;
    }
    setVisible(control, shown && m_searchViewShown);
}

void MainWindow::setSearchViewShown(bool shown) {
    if (shown == m_searchViewShown) return;
    m_searchViewShown = shown;
    const HWND focus = ::GetFocus();
    for (const auto& [control, wanted] : m_searchView) setVisible(control, shown && wanted);
    // A hidden control keeps no keys: they go to whatever is still there to take them.
    if (!shown && focus != nullptr && !::IsWindowVisible(focus)) {
        HWND to = focusOnEntry();
        ::SetFocus(to != nullptr ? to : m_window);
    }
}

void MainWindow::resetPlayerGeometry() {
    setGeometry(m_playingLabel->handle(), geometryOf(MainControl::PlayingLabel));
    setGeometry(m_shieldStatus->handle(), geometryOf(MainControl::ShieldStatus));
    setGeometry(m_player.backButton, geometryOf(MainControl::BackButton));
    setGeometry(m_overlay->handle(), geometryOf(MainControl::Overlay));
    setGeometry(m_list, geometryOf(MainControl::ResultList));
}

void MainWindow::setBaseColour(COLORREF colour) {
    if (colour == m_baseColour) return;
    m_baseColour = colour;
    ::DeleteObject(m_baseBrush);
    m_baseBrush = ::CreateSolidBrush(colour);
    ::InvalidateRect(m_window, nullptr, TRUE);
}

void MainWindow::startTimer(MainTimer timer, int milliseconds, std::function<void()> tick) {
    const auto id = static_cast<UINT_PTR>(timer);
    m_timers[id] = std::move(tick);
    ::SetTimer(m_window, id, static_cast<UINT>(milliseconds), nullptr);
}

void MainWindow::stopTimer(MainTimer timer) {
    const auto id = static_cast<UINT_PTR>(timer);
    ::KillTimer(m_window, id);
    m_timers.erase(id);
}

void MainWindow::fadeIn(int stepDelay) {
    class Host final : public FadeInHost {
      public:
        Host(MainWindow& window) : m_window(window) {}
        void hideWindow() override { ::ShowWindow(m_window.m_window, SW_HIDE); }
        bool canChangeOpacity() override { return true; }
        void setWindowOpacity(int level) override { m_window.m_windows.setWindowOpacity(m_window.m_handle, level); }
        void showWindow() override {
            ::ShowWindow(m_window.m_window, SW_SHOW);
            ::SetForegroundWindow(m_window.m_window);
            ::SetFocus(m_window.m_searchBox);  // typing a keyword and pressing Enter comes first
        }
        void processPendingEvents() override { m_pump.processPendingEvents(); }
        void sleepMilliseconds(int milliseconds) override { sleepMs(milliseconds); }

      private:
        MainWindow& m_window;
        MessagePump m_pump;
    } host(*this);
    fadeInWindow(host, stepDelay);
}

}  // namespace lanqi::win32
