#include "app/win32/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "actions/online_play.h"
#include "actions/window_geometry.h"
#include "app/core/client_controller.h"
#include "app/core/main_window_design.h"
#include "app/core/vendor.h"
#include "platform/net.h"
#include "platform/product.h"
#include "platform/settings.h"
#include "platform/win32_text.h"
#include "scrape/result_entry.h"

namespace lanqi::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"LanqiMainWindow";

enum ControlId : int {
    kSearchButtonId = 1,
    kPreviousId,
    kNextId,
    kBackId,
    kPageSelectorId,
    kSearchBoxId,
    kListId,
    kPicturesId,
    kTableButtonId,
    kFilterBoxId,
    kUniqueId,
    kStopId,
    kTableId,
    kSiteStripId,
    kFirstSiteEntryId = 100,  // one per slot from here
};
constexpr const wchar_t* kSiteStripClass = L"LanqiSiteStrip";
// Posted after a change of a view's selection: one report once the view has settled (a click that moves the
// selection takes it off one line, then puts it on another).
constexpr UINT kSelectionSettled = WM_APP + 2;

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
constexpr int kDesignCaptionWidth = kTileWidth - kListPictureSide - 12;
// Room either side of a button's caption, inside its frame.
constexpr int kButtonPadding = 3;
constexpr const wchar_t* kListPictures[] = {L"LIST0", L"LIST1", L"LIST2", L"LIST3"};

// The table's columns, by ResultColumn: widths that fill the list's width less its scroll bar.
constexpr int kColumnWidths[kResultColumnCount] = {232, 84, 56, 92, 108, 56, 156};
constexpr bool kColumnRightAligned[kResultColumnCount] = {false, true, true, false, false, false, false};

// The count's and the strip's colours.
constexpr COLORREF kCountColour = colour(0x5f6b6d);
constexpr COLORREF kProblemColour = colour(0xc62828);
constexpr COLORREF kNoticeColour = colour(0x2e7d32);
COLORREF siteColour(SiteState state) {
    switch (state) {
        case SiteState::Done:
            return colour(0x2e7d32);
        case SiteState::Failed:
            return colour(0xc62828);
        case SiteState::Waiting:
            return colour(0x757575);
        case SiteState::Off:
            return colour(0xbdbdbd);
        case SiteState::Stopped:
            return colour(0xe65100);
        case SiteState::Idle:
            break;
    }
    return kCountColour;
}
constexpr int kSiteEntryGap = 2;

// 站点状态 holds the entries' buttons: what they report goes on to the main window.
LRESULT CALLBACK siteStripProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_DRAWITEM)
        return ::SendMessageW(::GetParent(window), message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool isEditBox(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return _wcsicmp(name, WC_EDITW) == 0;
}

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
    // Made on the primary screen, then given its designed size at the DPI it has there.
    m_window =
        ::CreateWindowExW(0, kWindowClass, wideFromGbk(titlePrefix()).c_str(), kMainWindowStyle, 0, 0, kMainWindowWidth,
                          kMainWindowHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_handle.setHandle(m_window);
    m_dpi = dpiOf(m_window);
    sizeAndCentre(m_window, nullptr, kMainWindowWidth, kMainWindowHeight);
    m_fadeOut = std::make_unique<FadeOutDriver>(*this);
    buildControls();
    applyColours();
    onMoveOrSize();
    setKeyboardOwner(m_window, this);
    hideKeyboardCues(m_window);
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
    // Created in this order on purpose: a later control lies over an earlier one (the banner over the tool
    // row and the list, the strip over the footer, the player view over everything). The tool row comes
    // before the search row and the table before the list: those never overlap, and the search box and the
    // list are the first of their kind that a look-up among the window's children finds.
    LabelLook logo;
    logo.picture = picture(L"LOGO");
    logo.fitPicture = true;
    logo.focusable = true;  // Enter opens the vendor's site, as a click does
    m_logo = std::make_unique<Label>(m_window, geometryOf(MainControl::Logo), logo);
    ::SetWindowTextW(m_logo->handle(), spokenName(MainControl::Logo).c_str());
    m_logo->events().leftPressed = [this] {
        if (m_events.vendorAddressRequested) m_events.vendorAddressRequested();
    };
    buildToolRow();

    m_searchBox = createControl(m_window, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                geometryOf(MainControl::SearchBox), kSearchBoxId,
                                uiFont(designOf(MainControl::SearchBox).fontPixels));
    ::SetWindowLongPtrW(m_searchBox, GWL_EXSTYLE, ::GetWindowLongPtrW(m_searchBox, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(m_searchBox, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    const std::wstring cue = spokenName(MainControl::SearchBox);
    ::SendMessageW(m_searchBox, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue.c_str()));
    nameControl(m_searchBox, cue);
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
    ::SendMessageW(m_pageSelector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scaled(14, m_dpi));
    ::SendMessageW(m_pageSelector, CB_SETMINVISIBLE, kPageListRows, 0);
    nameControl(m_pageSelector, spokenName(MainControl::PageSelector));
    m_nextButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::NextButton).c_str(),
                                 WS_TABSTOP | BS_PUSHBUTTON, geometryOf(MainControl::NextButton), kNextId);
    buildTable();

    m_list = createControl(m_window, WC_LISTVIEWW, spokenName(MainControl::ResultList).c_str(),
                           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE,
                           geometryOf(MainControl::ResultList), kListId, listFont());
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    buildPictureList();

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
    // Its text ends before the site strip, which lies over its right end.
    footer.format |= DT_END_ELLIPSIS;
    footer.margins = {36, 0, geometryOf(MainControl::Footer).width - geometryOf(MainControl::SiteStrip).left + 4, 0};
    footer.topLine = true;
    footer.lineColour = colour(0xd8dee0);
    const Geometry footerAt = geometryOf(MainControl::Footer), linkAt = geometryOf(MainControl::FooterLink);
    // 透明标签1, over the footer's address: its link area
    const RECT linkArea{linkAt.left - footerAt.left, linkAt.top - footerAt.top,
                        linkAt.left - footerAt.left + linkAt.width, linkAt.top - footerAt.top + linkAt.height};
    footer.linkArea = linkArea;
    // A tab stop for its link: a screen reader calls it 官方网站, Enter opens it as a click does.
    footer.focusable = true;
    footer.accessibleName = spokenName(MainControl::FooterLink);
    m_footer = std::make_unique<Label>(m_window, footerAt, footer);
    m_footer->events().leftPressed = m_logo->events().leftPressed;
    m_footerTips = addToolTip(m_footer->handle(), L"", linkArea);
    showVendorAddress(Text(kBuiltInVendorBase));
    registerWindowClass(kSiteStripClass, siteStripProcedure, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    m_strip = createControl(m_window, kSiteStripClass, spokenName(MainControl::SiteStrip), WS_VISIBLE | WS_CLIPCHILDREN,
                            geometryOf(MainControl::SiteStrip), kSiteStripId);
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
    fitBackButton();
    LabelLook loading = top;
    loading.text = captionOf(MainControl::LoadingNotice);
    loading.format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    m_loadingNotice = std::make_unique<Label>(m_window, geometryOf(MainControl::LoadingNotice), loading, false);
    m_player.overlay = m_overlay.get();
    m_player.playingLabel = m_playingLabel.get();
    m_player.shieldStatus = m_shieldStatus.get();
    m_player.loadingNotice = m_loadingNotice.get();

    for (HWND control : {m_logo->handle(), m_searchBox, m_searchButton, m_previousButton, m_pageSelector, m_nextButton,
                         m_picturesButton, m_tableButton, m_filterBox, m_uniqueSwitch, m_count->handle(), m_stopButton,
                         m_list, m_table, m_banner->handle(), m_footer->handle(), m_strip})
        m_searchView.emplace_back(control, (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0);
}

void MainWindow::buildPictureList() {
    // The pictures at the window's DPI, in a list of their own (the one it had goes).
    const int side = scaled(kListPictureSide, m_dpi);
    HIMAGELIST pictures = ImageList_Create(side, side, ILC_COLOR24, 4, 0);
    for (const wchar_t* name : kListPictures) {
        if (HBITMAP bitmap = picture(name, m_dpi)) {
            ImageList_Add(pictures, bitmap, nullptr);  // the decoded pictures stay: picture() keeps them
            continue;
        }
        // A picture that does not decode has a blank stand-in; the list keeps its own copy of it.
        HDC screen = ::GetDC(nullptr);
        HBITMAP standIn = ::CreateCompatibleBitmap(screen, side, side);
        ::ReleaseDC(nullptr, screen);
        ImageList_Add(pictures, standIn, nullptr);
        if (standIn != nullptr) ::DeleteObject(standIn);
    }
    // Tiles put the picture left of its caption in a cell of fixed size. Where the list view has no tiles
    // (Wine's), small icons do the same with the 80 × 80 pictures; their cells are as wide as the widest
    // caption, so every caption is padded to one width there.
    if (m_pictures == nullptr) m_tileView = ::SendMessageW(m_list, LVM_SETVIEW, LV_VIEW_TILE, 0) == 1;
    if (m_tileView) {
        ListView_SetImageList(m_list, pictures, LVSIL_NORMAL);
        LVTILEVIEWINFO tiles{};
        tiles.cbSize = sizeof(tiles);
        tiles.dwMask = LVTVIM_TILESIZE | LVTVIM_COLUMNS;
        tiles.dwFlags = LVTVIF_FIXEDSIZE;
        tiles.sizeTile = {scaled(kTileWidth, m_dpi), side};
        tiles.cLines = 0;
        ListView_SetTileViewInfo(m_list, &tiles);
    } else {
        ::SendMessageW(m_list, LVM_SETVIEW, LV_VIEW_SMALLICON, 0);
        ListView_SetImageList(m_list, pictures, LVSIL_SMALL);
    }
    if (m_pictures != nullptr) ImageList_Destroy(m_pictures);
    m_pictures = pictures;
}

void MainWindow::buildToolRow() {
    // The two views as a pair of push-like radio buttons: the one shown stays pressed (showResultsBar).
    m_picturesButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::PicturesButton).c_str(),
                                     WS_VISIBLE | WS_TABSTOP | BS_RADIOBUTTON | BS_PUSHLIKE,
                                     geometryOf(MainControl::PicturesButton), kPicturesId);
    m_tableButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::TableButton).c_str(),
                                  WS_VISIBLE | WS_TABSTOP | BS_RADIOBUTTON | BS_PUSHLIKE,
                                  geometryOf(MainControl::TableButton), kTableButtonId);
    ::SendMessageW(m_picturesButton, BM_SETCHECK, BST_CHECKED, 0);
    m_filterBox = createControl(m_window, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                geometryOf(MainControl::FilterBox), kFilterBoxId);
    ::SetWindowLongPtrW(m_filterBox, GWL_EXSTYLE, ::GetWindowLongPtrW(m_filterBox, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(m_filterBox, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    const std::wstring cue = spokenName(MainControl::FilterBox);
    ::SendMessageW(m_filterBox, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    nameControl(m_filterBox, cue);
    m_uniqueSwitch =
        createControl(m_window, WC_BUTTONW, captionOf(MainControl::UniqueSwitch).c_str(),
                      WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, geometryOf(MainControl::UniqueSwitch), kUniqueId);
    LabelLook count;
    count.font = uiFont();
    count.textColour = kCountColour;
    count.format = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    m_count = std::make_unique<Label>(m_window, geometryOf(MainControl::ResultCount), count);
    // Nothing to stop until a run starts.
    m_stopButton = createControl(m_window, WC_BUTTONW, captionOf(MainControl::StopButton).c_str(),
                                 WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,
                                 geometryOf(MainControl::StopButton), kStopId);
    // A button says its caption; its tool tip, what it does, is its description.
    for (const auto& [button, control] :
         {std::pair{m_picturesButton, MainControl::PicturesButton}, std::pair{m_tableButton, MainControl::TableButton},
          std::pair{m_uniqueSwitch, MainControl::UniqueSwitch}, std::pair{m_stopButton, MainControl::StopButton}})
        addToolTip(button, spokenName(control));
}

void MainWindow::buildTable() {
    // A virtual list: the rows' texts stay in m_lines and the table asks for the ones it draws.
    m_table = createControl(m_window, WC_LISTVIEWW, spokenName(MainControl::ResultTable).c_str(),
                            WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            geometryOf(MainControl::ResultTable), kTableId);
    ListView_SetExtendedListViewStyle(m_table,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    for (int column = 0; column < kResultColumnCount; ++column) {
        std::wstring caption = wideFromUtf8(columnCaption(static_cast<ResultColumn>(column)));
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        entry.fmt = kColumnRightAligned[column] ? LVCFMT_RIGHT : LVCFMT_LEFT;
        entry.cx = scaled(kColumnWidths[column], m_dpi);
        entry.pszText = caption.data();
        entry.iSubItem = column;
        ::SendMessageW(m_table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry));
    }
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
            if (header->hwndFrom == m_list) return onListNotify(m_list, *header);
            if (header->hwndFrom == m_table) return onTableNotify(*header);
            break;
        }
        case kSelectionSettled:
            m_selectionPending = false;
            reportSelection(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_BUTTON && item.CtlID >= kFirstSiteEntryId) {
                drawSiteEntry(item);
                return TRUE;
            }
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
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:  // high contrast switched on or off
            applyColours();
            break;
        case WM_TIMER:
            if (const auto timer = m_timers.find(wParam); timer != m_timers.end()) {
                const std::function<void()> tick = timer->second;  // the tick may stop its own timer
                tick();
            }
            return 0;
        case WM_GETMINMAXINFO: {
            const SIZE smallest =
                outerSize(kMainWindowStyle, 0, m_minimumClient.cx, m_minimumClient.cy, dpiOf(m_window));
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {smallest.cx, smallest.cy};
            return 0;
        }
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) return 0;
            onMoveOrSize();
            placeControls();
            if (m_events.resized) m_events.resized();
            return 0;
        case WM_MOVE:
            onMoveOrSize();
            return 0;
        case kGetDpiScaledSize:
            dpiScaledSize(m_window, static_cast<int>(wParam), *reinterpret_cast<SIZE*>(lParam));
            return TRUE;
        case WM_DPICHANGED:
            onDpiChanged(*reinterpret_cast<const RECT*>(lParam));
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
        case kPicturesId:
        case kTableButtonId:
            if (code == BN_CLICKED && m_events.modeChosen)
                m_events.modeChosen(id == kTableButtonId ? ResultsMode::Table : ResultsMode::Pictures);
            break;
        case kFilterBoxId:
            if (code == EN_CHANGE && m_events.filterEdited) m_events.filterEdited(narrow(windowText(m_filterBox)));
            break;
        case kUniqueId:
            if (code == BN_CLICKED && m_events.uniqueSwitched)
                m_events.uniqueSwitched(::SendMessageW(m_uniqueSwitch, BM_GETCHECK, 0, 0) == BST_CHECKED);
            break;
        case kStopId:
            if (code == BN_CLICKED) fire(m_events.stopRequested);
            break;
        case kPageSelectorId:
            // The user's choice: a change while the list is closed (the arrow keys), or the list closing on
            // another page than the one shown. A selection the window sets sends neither.
            if ((code == CBN_SELCHANGE && !::SendMessageW(m_pageSelector, CB_GETDROPPEDSTATE, 0, 0)) ||
                code == CBN_CLOSEUP)
                choosePage();
            break;
        default:
            if (id >= kFirstSiteEntryId && static_cast<size_t>(id - kFirstSiteEntryId) < m_siteEntries.size() &&
                code == BN_CLICKED && m_events.siteEntryActivated)
                m_events.siteEntryActivated(m_siteEntries[static_cast<size_t>(id - kFirstSiteEntryId)].entry.slot);
            break;
    }
}

void MainWindow::choosePage() {
    const int index = static_cast<int>(::SendMessageW(m_pageSelector, CB_GETCURSEL, 0, 0));
    if (index < 0 || index == m_shownPageItem) return;
    m_shownPageItem = index;
    if (m_events.pageChosen) m_events.pageChosen(index);
}

LRESULT MainWindow::onListNotify(HWND view, NMHDR& header) {
    switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
            // A virtual list says "every item" (-1) when the selection goes.
            const bool changed = change.iItem < 0 || ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0;
            if (changed && !m_updating && !m_selectionPending) {
                m_selectionPending = true;
                ::PostMessageW(m_window, kSelectionSettled, 0, reinterpret_cast<LPARAM>(view));
            }
            return 0;
        }
        case NM_DBLCLK: {
            const auto& click = reinterpret_cast<NMITEMACTIVATE&>(header);
            if (click.iItem >= 0 && m_selectedLine >= 0 && m_events.rowActivated) m_events.rowActivated(m_selectedLine);
            return 0;
        }
        case NM_RCLICK: {
            // As a list view does: the right button selects the line under the pointer, or clears the
            // selection on the empty area, before the menu for that selection comes up.
            LVHITTESTINFO hit{};
            ::GetCursorPos(&hit.pt);
            ::ScreenToClient(view, &hit.pt);
            const int line = view == m_table ? ListView_SubItemHitTest(view, &hit) >= 0 ? hit.iItem : -1
                                             : ListView_HitTest(view, &hit);
            selectLine(line);
            if (m_events.rowSelected) m_events.rowSelected(line);
            const auto& event = line >= 0 ? m_events.rowMenuRequested : m_events.mainMenuRequested;
            if (event) event();
            return 1;  // no WM_CONTEXTMENU after it
        }
        case LVN_BEGINDRAG:
            // The line under the pointer as the drag began, selected or not.
            dragLine(reinterpret_cast<NMLISTVIEW&>(header).iItem);
            return 0;
        case LVN_GETINFOTIPW: {
            auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
            if (tip.iItem >= 0 && static_cast<size_t>(tip.iItem) < m_lines.size() && tip.cchTextMax > 0) {
                const std::wstring& text = m_lines[static_cast<size_t>(tip.iItem)].toolTip;
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

LRESULT MainWindow::onTableNotify(NMHDR& header) {
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            if ((item.mask & LVIF_TEXT) == 0 || item.cchTextMax <= 0) return 0;
            item.pszText[0] = L'\0';
            if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= m_lines.size() || item.iSubItem < 0 ||
                item.iSubItem >= kResultColumnCount)
                return 0;
            const std::wstring& text =
                m_lines[static_cast<size_t>(item.iItem)].cells[static_cast<size_t>(item.iSubItem)];
            const size_t count = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
            text.copy(item.pszText, count);
            item.pszText[count] = L'\0';
            return 0;
        }
        case LVN_ODFINDITEMW: {
            // Typing in the table goes to the next line whose title starts with what was typed.
            const auto& find = reinterpret_cast<NMLVFINDITEMW&>(header);
            if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr) return -1;
            const size_t typed = wcslen(find.lvfi.psz);
            const size_t count = m_lines.size();
            for (size_t step = 0; step < count; ++step) {
                const size_t line = (static_cast<size_t>(std::max(find.iStart, 0)) + step) % count;
                const std::wstring& title = m_lines[line].cells[static_cast<size_t>(ResultColumn::Title)];
                if (title.size() >= typed && _wcsnicmp(title.c_str(), find.lvfi.psz, typed) == 0)
                    return static_cast<LRESULT>(line);
            }
            return -1;
        }
        case LVN_COLUMNCLICK: {
            const int column = reinterpret_cast<NMLISTVIEW&>(header).iSubItem;
            if (column >= 0 && column < kResultColumnCount && m_events.columnClicked)
                m_events.columnClicked(static_cast<ResultColumn>(column));
            return 0;
        }
        default:
            return onListNotify(m_table, header);
    }
}

void MainWindow::dragLine(int line) {
    if (line < 0 || static_cast<size_t>(line) >= m_lines.size() || !m_dragger) return;
    IDataObject* data = newLinkData(m_lines[static_cast<size_t>(line)].link);
    if (data == nullptr) return;  // a line without a link gives nothing to drag
    m_dragger(*data);
    data->Release();
}

void MainWindow::reportSelection(HWND view) {
    if (m_updating || !::IsWindowVisible(view)) return;
    const int line = ListView_GetNextItem(view, -1, LVNI_SELECTED);
    if (line == m_selectedLine) return;
    m_selectedLine = line;
    if (m_events.rowSelected) m_events.rowSelected(line);
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
    // On the list or the table the menu opens at the selected line; elsewhere, or with none, the main menu.
    const HWND focus = ::GetFocus();
    const bool onLine = (focus == m_list || focus == m_table) && m_selectedLine >= 0;
    const auto& event = onLine ? m_events.rowMenuFromKeyboard : m_events.mainMenuRequested;
    if (event) event();
}

bool MainWindow::onShortcut(UINT key, bool control, bool shift) {
    const HWND focus = ::GetFocus();
    const auto focusBox = [](HWND box) {
        ::SetFocus(box);
        ::SendMessageW(box, EM_SETSEL, 0, -1);
    };
    if (control && !shift && key == 'F') {
        if (!m_bannerShown) focusBox(m_filterBox);  // the banner covers the tool row at home
        return true;
    }
    if ((control && !shift && key == 'L') || (!control && !shift && key == VK_F6)) {
        focusBox(m_searchBox);
        return true;
    }
    if (control && !shift && key == VK_OEM_COMMA) {  // Ctrl+,: 站点设置
        if (m_events.siteSettingsRequested) m_events.siteSettingsRequested();
        return true;
    }
    // Ctrl+1 and Ctrl+2: the two views, as 图片视图 and 列表视图 give them.
    if (control && !shift && (key == '1' || key == '2')) {
        if (m_events.modeChosen) m_events.modeChosen(key == '2' ? ResultsMode::Table : ResultsMode::Pictures);
        return true;
    }
    if (control && !shift && key == 'C' && (focus == m_list || focus == m_table)) {
        if (m_events.copyRequested) m_events.copyRequested();
        return true;
    }
    // The menu key and Shift+F10; the edit boxes keep their own menu.
    if (((key == VK_APPS && !control) || (key == VK_F10 && shift && !control)) && !isEditBox(focus)) {
        requestMenuFromKeyboard();
        return true;
    }
    if ((key == VK_LEFT || key == VK_RIGHT) && !control && ::GetParent(focus) == m_strip) {
        moveInSiteStrip(key == VK_RIGHT);
        return true;
    }
    return false;
}

bool MainWindow::preTranslate(MSG& message) {
    if (m_filter && m_filter(message)) return true;
    const bool keyDown = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (!keyDown && message.message != WM_KEYUP) return false;
    const HWND focus = ::GetFocus();
    const bool listOpen = ::SendMessageW(m_pageSelector, CB_GETDROPPEDSTATE, 0, 0) != 0;
    // The menu key's release would bring the same menu up again through WM_CONTEXTMENU.
    if (!keyDown) {
        return message.wParam == VK_APPS && !listOpen && !m_playerShown && m_searchViewShown && !isEditBox(focus);
    }
    if (!listOpen && !m_playerShown && m_searchViewShown &&
        onShortcut(static_cast<UINT>(message.wParam), (::GetKeyState(VK_CONTROL) & 0x8000) != 0,
                   (::GetKeyState(VK_SHIFT) & 0x8000) != 0))
        return true;
    if (message.message != WM_KEYDOWN) return false;
    switch (message.wParam) {
        case VK_RETURN:
            if (listOpen) return false;
            if (focus == m_searchBox) {
                if (m_events.searchRequested) m_events.searchRequested();
            } else if (focus == m_list || focus == m_table) {
                if (m_selectedLine >= 0 && m_events.rowActivated) m_events.rowActivated(m_selectedLine);
            } else if (focus == m_searchButton || focus == m_previousButton || focus == m_nextButton ||
                       focus == m_player.backButton || focus == m_picturesButton || focus == m_tableButton ||
                       focus == m_uniqueSwitch || focus == m_stopButton || ::GetParent(focus) == m_strip) {
                ::SendMessageW(focus, BM_CLICK, 0, 0);
            } else if (focus == m_logo->handle() || focus == m_footer->handle()) {
                ::SendMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
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
        case MainControl::PicturesButton:
            return m_picturesButton;
        case MainControl::TableButton:
            return m_tableButton;
        case MainControl::FilterBox:
            return m_filterBox;
        case MainControl::UniqueSwitch:
            return m_uniqueSwitch;
        case MainControl::StopButton:
            return m_stopButton;
        case MainControl::ResultList:
            return m_list;
        case MainControl::ResultTable:
            return m_table;
        default:
            return nullptr;  // the others take no keys of their own
    }
}

void MainWindow::moveFocus(bool forward) {
    // The search row left to right, the tool row (not while the home banner covers it), the results and the
    // strip's entries; in the player view, which hides them, the way back.
    // The logo before the search row and the footer's link before the strip: the order they are seen in.
    std::vector<HWND> order{m_logo->handle()};
    for (MainControl control : kMainTabOrder) {
        if (control == MainControl::SiteStrip) {
            order.push_back(m_footer->handle());
            for (const SiteEntry& entry : m_siteEntries) order.push_back(entry.button);
        } else if (const HWND handle = handleOf(control); handle != nullptr) {
            const bool toolRow = control == MainControl::PicturesButton || control == MainControl::TableButton ||
                                 control == MainControl::FilterBox || control == MainControl::UniqueSwitch ||
                                 control == MainControl::StopButton;
            if (!(toolRow && m_bannerShown)) order.push_back(handle);
        }
    }
    order.push_back(m_player.backButton);
    if (order.empty()) return;
    const int count = static_cast<int>(order.size());
    const HWND focus = ::GetFocus();
    int at = 0;
    while (at < count && order[at] != focus) ++at;
    for (int step = 1; step <= count; ++step) {
        const int next = ((at == count ? (forward ? -1 : 0) : at) + (forward ? step : -step) + count * 2) % count;
        if (::IsWindowVisible(order[next]) && ::IsWindowEnabled(order[next])) {
            ::SetFocus(order[next]);
            if (order[next] == m_searchBox) ::SendMessageW(m_searchBox, EM_SETSEL, 0, -1);
            if (order[next] == m_list || order[next] == m_table) enterResults(order[next]);
            return;
        }
    }
}

void MainWindow::enterResults(HWND view) {
    if (m_lines.empty()) return;
    if (m_selectedLine < 0) {
        selectLine(0);
        if (m_events.rowSelected) m_events.rowSelected(0);
    }
    ListView_SetItemState(view, m_selectedLine, LVIS_FOCUSED, LVIS_FOCUSED);
}

void MainWindow::applyColours() {
    ::DeleteObject(m_baseBrush);
    m_baseBrush = ::CreateSolidBrush(shownColour(m_baseColour, SystemColour::Window));
    for (HWND view : {m_list, m_table}) {
        ListView_SetBkColor(view, shownColour(RGB(255, 255, 255), SystemColour::Window));
        ListView_SetTextBkColor(view, shownColour(RGB(255, 255, 255), SystemColour::Window));
        ListView_SetTextColor(view, shownColour(RGB(0, 0, 0), SystemColour::Text));
    }
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
    if (changes & kBannerChanged) {
        m_bannerShown = screen.bannerVisible;
        showSearchControl(m_banner->handle(), screen.bannerVisible);
    }
}

void MainWindow::applyLayout(SearchLayout layout) {
    m_layout = layout;
    placeControls();
}

void MainWindow::placeControls() {
    // The shared design in a client area of this size in design units, shown at the window's DPI.
    const SIZE size = clientSize(m_window);
    const RECT client{0, 0, size.cx, size.cy};
    if (client.right <= 0 || client.bottom <= 0 || m_strip == nullptr) return;  // minimised, or still being built
    const auto place = [&](HWND control, MainControl which) {
        setGeometry(control, placedGeometry(which, m_layout, client.right, client.bottom));
    };
    place(m_logo->handle(), MainControl::Logo);
    place(m_searchBox, MainControl::SearchBox);
    place(m_searchButton, MainControl::SearchButton);
    place(m_nextButton, MainControl::NextButton);
    place(m_picturesButton, MainControl::PicturesButton);
    place(m_tableButton, MainControl::TableButton);
    place(m_filterBox, MainControl::FilterBox);
    place(m_uniqueSwitch, MainControl::UniqueSwitch);
    place(m_count->handle(), MainControl::ResultCount);
    place(m_stopButton, MainControl::StopButton);
    place(m_list, MainControl::ResultList);
    place(m_table, MainControl::ResultTable);
    place(m_banner->handle(), MainControl::Banner);
    place(m_footer->handle(), MainControl::Footer);
    place(m_strip, MainControl::SiteStrip);
    // 图片框2 is drawn on the banner, centred under its name.
    const Geometry banner = placedGeometry(MainControl::Banner, m_layout, client.right, client.bottom);
    const Geometry home = placedGeometry(MainControl::HomePicture, m_layout, client.right, client.bottom);
    m_banner->setPictureAt({home.left - banner.left, home.top - banner.top});
    fitPageSelector();
    // The picture list arranges its cells anew for its width; the table's title column takes the table's
    // change of width (the designed widths fill the designed table).
    ::SendMessageW(m_list, LVM_ARRANGE, LVA_DEFAULT, 0);
    const int grown = placedGeometry(MainControl::ResultTable, m_layout, client.right, client.bottom).width -
                      designOf(MainControl::ResultTable).geometry.width;
    ListView_SetColumnWidth(m_table, static_cast<int>(ResultColumn::Title),
                            scaled(std::max(kColumnWidths[0] / 2, kColumnWidths[0] + grown), m_dpi));
}

void MainWindow::onDpiChanged(const RECT& suggested) {
    // Per-monitor DPI: the window moved to a monitor of another DPI (or that monitor's scale changed). Every
    // control keeps its design place and font at the new DPI, the pictures and the table's columns follow.
    const int oldDpi = m_dpi;
    m_dpi = dpiOf(m_window);
    if (m_dpi == oldDpi) return;
    for (int column = 1; column < kResultColumnCount; ++column)
        ListView_SetColumnWidth(m_table, column, scaled(kColumnWidths[column], m_dpi));
    buildPictureList();
    followDpiChange(m_window, oldDpi, suggested);
    placeControls();
    fitBackButton();
    placeSiteEntries(m_siteEntries.size());
    // The footer's link area, where its tool tip shows.
    const Geometry footerAt = geometryOf(MainControl::Footer), linkAt = geometryOf(MainControl::FooterLink);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = m_footer->handle();
    tool.uId = 1;
    tool.rect = scaled(RECT{linkAt.left - footerAt.left, linkAt.top - footerAt.top,
                            linkAt.left - footerAt.left + linkAt.width, linkAt.top - footerAt.top + linkAt.height},
                       m_dpi);
    ::SendMessageW(m_footerTips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    m_listDrawn = 0;  // the captions are fitted to their cells anew
    if (m_mode == ResultsMode::Pictures) {
        drawPictureList();
        selectLine(m_selectedLine);
    }
}

void MainWindow::fitBackButton() {
    // 点此返回搜索 in the largest size up to the windows' own that its button holds.
    ::SendMessageW(m_player.backButton, WM_SETFONT,
                   reinterpret_cast<WPARAM>(fittingUiFont(m_player.backButton, 12, kButtonPadding)), TRUE);
}

void MainWindow::onMoveOrSize() {
    // The normal place is what comes back; a maximised, minimised or full-screen window keeps the last one.
    const LONG_PTR style = ::GetWindowLongPtrW(m_window, GWL_STYLE);
    if ((style & WS_THICKFRAME) == 0 || ::IsZoomed(m_window) || ::IsIconic(m_window)) return;
    // In pixels on the virtual screen, as the system places windows of every monitor.
    RECT client{};
    ::GetClientRect(m_window, &client);
    POINT corner{0, 0};
    ::ClientToScreen(m_window, &corner);
    m_normalPlace = {corner.x, corner.y, client.right, client.bottom, false};
}

WindowPlace MainWindow::place() const {
    WindowPlace place = m_normalPlace;
    place.maximised = ::IsZoomed(m_window) != FALSE;
    return place;
}

void MainWindow::openAt(const std::optional<WindowPlace>& saved) {
    // The saved place is in pixels; the fit is made in design units of the monitor it lands on, from that
    // monitor's top left corner, and shown in that monitor's pixels.
    const POINT at = saved ? POINT{saved->left + saved->width / 2, saved->top} : POINT{0, 0};
    HMONITOR monitor = ::MonitorFromPoint(at, saved ? MONITOR_DEFAULTTONEAREST : MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    if (!::GetMonitorInfoW(monitor, &screen)) return;
    const int dpi = dpiOfMonitor(monitor);
    const RECT& work = screen.rcWork;
    const POINT origin{work.left, work.top};
    const auto toDesign = [&](const WindowPlace& place) {
        WindowPlace design = place;
        design.left = origin.x + unscaled(place.left - origin.x, dpi);
        design.top = origin.y + unscaled(place.top - origin.y, dpi);
        design.width = unscaled(place.width, dpi);
        design.height = unscaled(place.height, dpi);
        return design;
    };
    std::optional<WindowPlace> savedDesign;
    if (saved) savedDesign = toDesign(*saved);
    const RECT frameAt = frameOf(kMainWindowStyle, 0, dpi);
    const FittedPlace fitted = fitWindowPlace(
        savedDesign, {origin.x, origin.y, unscaled(work.right - work.left, dpi), unscaled(work.bottom - work.top, dpi)},
        {unscaled(-frameAt.left, dpi), unscaled(-frameAt.top, dpi), unscaled(frameAt.right, dpi),
         unscaled(frameAt.bottom, dpi)});
    m_minimumClient = {fitted.minimumWidth, fitted.minimumHeight};
    const WindowPlace& place = fitted.place;
    // What the fit left as it was stays in the saved pixels; the rest is the fit's, at the monitor's DPI.
    const auto pixels = [&](int fittedValue, int savedDesignValue, int savedPixels, int from) {
        return saved && fittedValue == savedDesignValue ? savedPixels : from + scaled(fittedValue - from, dpi);
    };
    const int left = pixels(place.left, savedDesign ? savedDesign->left : 0, saved ? saved->left : 0, origin.x);
    const int top = pixels(place.top, savedDesign ? savedDesign->top : 0, saved ? saved->top : 0, origin.y);
    const int width = pixels(place.width, savedDesign ? savedDesign->width : 0, saved ? saved->width : 0, 0);
    const int height = pixels(place.height, savedDesign ? savedDesign->height : 0, saved ? saved->height : 0, 0);
    ::SetWindowPos(m_window, nullptr, left + frameAt.left, top + frameAt.top, width + frameAt.right - frameAt.left,
                   height + frameAt.bottom - frameAt.top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_openMaximised = place.maximised;
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
    const int arrow = unscaled(::GetSystemMetrics(SM_CXVSCROLL), dpiOf(nullptr));  // at the screen's DPI
    const PageSelectorPlace place =
        pageSelectorPlace(unscaled(widest, m_dpi) + arrow + 10, static_cast<int>(clientSize(m_window).cx));
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
    HGDIOBJ previous = ::SelectObject(dc, listFont(m_dpi));
    const int captionWidth = scaled(kDesignCaptionWidth, m_dpi);
    SIZE size{};
    int fits = 0;
    ::GetTextExtentExPointW(dc, caption.c_str(), static_cast<int>(caption.size()), captionWidth, &fits, nullptr, &size);
    std::wstring shown = caption;
    if (fits < static_cast<int>(caption.size())) {
        SIZE ellipsis{};
        ::GetTextExtentPoint32W(dc, L"…", 1, &ellipsis);
        ::GetTextExtentExPointW(dc, caption.c_str(), static_cast<int>(caption.size()), captionWidth - ellipsis.cx,
                                &fits, nullptr, &size);
        shown = caption.substr(0, static_cast<size_t>(std::max(fits, 0))) + L"…";
    }
    if (!m_tileView) {
        ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        SIZE blank{};
        ::GetTextExtentPoint32W(dc, L" ", 1, &blank);
        if (blank.cx > 0 && size.cx < captionWidth) shown.append((captionWidth - size.cx) / blank.cx, L' ');
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_list, dc);
    return shown;
}

void MainWindow::showResults(const ResultsShown& shown) {
    const size_t kept = std::min(shown.kept, m_lines.size());
    m_lines.resize(kept);
    m_listDrawn = std::min(m_listDrawn, kept);
    m_lines.reserve(shown.lines.size());
    for (size_t i = kept; i < shown.lines.size(); ++i) {
        const PresentedRow& row = shown.rows[shown.lines[i].row];
        ShownLine& line = m_lines.emplace_back();
        for (size_t column = 0; column < line.cells.size(); ++column)
            line.cells[column] = wideFromUtf8(row.cells[column]);
        line.cells[static_cast<size_t>(ResultColumn::Site)] = wideFromUtf8(shown.siteCell(i));
        line.caption = wideFromUtf8(row.picture.caption);
        line.toolTip = wideFromUtf8(row.picture.toolTip);
        line.iconKind = row.picture.iconKind;
        line.link = row.magnetLink;
    }
    const bool wasUpdating = m_updating;
    m_updating = true;
    ::SendMessageW(m_table, LVM_SETITEMCOUNT, m_lines.size(), LVSICF_NOSCROLL);
    ::InvalidateRect(m_table, nullptr, FALSE);
    if (m_mode == ResultsMode::Pictures) drawPictureList();  // the table's view fills it when it is shown again
    m_updating = wasUpdating;
    selectLine(shown.selected);
}

void MainWindow::drawPictureList() {
    if (m_listDrawn == m_lines.size() && static_cast<size_t>(ListView_GetItemCount(m_list)) == m_lines.size()) return;
    const bool wasUpdating = m_updating;
    m_updating = true;
    ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    if (m_listDrawn == 0) {
        ListView_DeleteAllItems(m_list);
    } else {
        for (int item = ListView_GetItemCount(m_list) - 1; item >= static_cast<int>(m_listDrawn); --item)
            ListView_DeleteItem(m_list, item);
    }
    for (size_t index = m_listDrawn; index < m_lines.size(); ++index) {
        // Shown as a person reads it; the long title that the cell cuts is whole in the tooltip.
        const ShownLine& line = m_lines[index];
        std::wstring caption = fittedCaption(line.caption);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(index);
        item.pszText = caption.data();
        item.iImage = line.iconKind >= 0 ? line.iconKind : I_IMAGENONE;
        ::SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    m_listDrawn = m_lines.size();
    ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_list, nullptr, TRUE);
    m_updating = wasUpdating;
}

void MainWindow::selectLine(int line) {
    if (line >= static_cast<int>(m_lines.size())) line = -1;
    const bool wasUpdating = m_updating;
    m_updating = true;
    for (HWND view : {m_list, m_table}) {
        if (view == m_list && m_listDrawn < m_lines.size()) continue;  // selected once it is filled
        if (ListView_GetNextItem(view, -1, LVNI_SELECTED) == line) continue;
        ListView_SetItemState(view, -1, 0, LVIS_SELECTED);
        if (line >= 0) {
            ListView_SetItemState(view, line, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(view, line, FALSE);
        }
    }
    m_selectedLine = line;
    m_updating = wasUpdating;
}

int MainWindow::selectedLine() const { return m_selectedLine; }

std::optional<ScreenPoint> MainWindow::selectedLinePoint() const {
    if (m_selectedLine < 0) return std::nullopt;
    const HWND view = shownView();
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!::SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(m_selectedLine), reinterpret_cast<LPARAM>(&bounds)))
        return std::nullopt;
    // A line scrolled out of sight: the menu opens at the edge of the view it went past.
    RECT area{};
    ::GetClientRect(view, &area);
    POINT at{std::clamp(bounds.left, area.left, area.right), std::clamp(bounds.bottom, area.top, area.bottom)};
    ::ClientToScreen(view, &at);
    return ScreenPoint{at.x, at.y};
}

void MainWindow::showResultsBar(const ResultsBar& bar) {
    if (bar.mode != m_mode) {
        const HWND focus = ::GetFocus();
        const bool viewHadFocus = focus == m_list || focus == m_table;
        m_mode = bar.mode;
        if (m_mode == ResultsMode::Pictures) drawPictureList();
        selectLine(m_selectedLine);
        showSearchControl(m_list, m_mode == ResultsMode::Pictures);
        showSearchControl(m_table, m_mode == ResultsMode::Table);
        if (viewHadFocus && ::IsWindowVisible(shownView())) ::SetFocus(shownView());
        if (m_selectedLine >= 0) ListView_EnsureVisible(shownView(), m_selectedLine, FALSE);
    }
    const bool table = bar.mode == ResultsMode::Table;
    ::SendMessageW(m_picturesButton, BM_SETCHECK, table ? BST_UNCHECKED : BST_CHECKED, 0);
    ::SendMessageW(m_tableButton, BM_SETCHECK, table ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(m_uniqueSwitch, BM_SETCHECK, bar.unique ? BST_CHECKED : BST_UNCHECKED, 0);
    m_countIsProblem = !bar.filterProblem.empty();
    m_countText = wideFromUtf8(m_countIsProblem ? bar.filterProblem : bar.count);
    showCount();

    HWND header = ListView_GetHeader(m_table);
    for (int column = 0; column < kResultColumnCount; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (bar.sortColumn && static_cast<int>(*bar.sortColumn) == column)
            item.fmt |= bar.descending ? HDF_SORTDOWN : HDF_SORTUP;
        ::SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }

    // A disabled 停止 keeps no keys: they go to the results.
    const bool stopHadFocus = ::GetFocus() == m_stopButton;
    ::EnableWindow(m_stopButton, bar.stoppable ? TRUE : FALSE);
    if (stopHadFocus && !bar.stoppable) ::SetFocus(::IsWindowVisible(shownView()) ? shownView() : m_searchBox);
}

void MainWindow::showCount() {
    if (m_noticeShown) return;  // the count comes back when the notice goes
    m_count->setText(m_countText);
    m_count->setTextColour(m_countIsProblem ? kProblemColour : kCountColour);
}

void MainWindow::showNotice(const std::wstring& text, int milliseconds) {
    m_noticeShown = true;
    m_count->setText(text);
    m_count->setTextColour(kNoticeColour);
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_count->handle(), OBJID_CLIENT, CHILDID_SELF);
    startTimer(MainTimer::Notice, milliseconds, [this] {
        stopTimer(MainTimer::Notice);
        m_noticeShown = false;
        showCount();
    });
}

void MainWindow::showSiteStrip(const std::vector<SiteStripEntry>& entries) {
    placeSiteEntries(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SiteEntry& entry = m_siteEntries[i];
        if (entry.entry == entries[i]) continue;
        entry.entry = entries[i];
        // The button's text is what a screen reader says; the entry draws its short caption.
        const std::wstring text = wideFromUtf8(entries[i].text);
        ::SetWindowTextW(entry.button, text.c_str());
        setToolTipText(entry.tips, entry.button, text);
        ::InvalidateRect(entry.button, nullptr, TRUE);
    }
}

void MainWindow::placeSiteEntries(size_t count) {
    const HWND focus = ::GetFocus();
    while (m_siteEntries.size() > count) {
        SiteEntry& last = m_siteEntries.back();
        if (last.button == focus) ::SetFocus(m_searchBox);
        ::DestroyWindow(last.tips);
        ::DestroyWindow(last.button);
        m_siteEntries.pop_back();
    }
    while (m_siteEntries.size() < count) {
        SiteEntry entry;
        entry.button = createControl(m_strip, WC_BUTTONW, L"", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, {0, 0, 1, 1},
                                     kFirstSiteEntryId + static_cast<int>(m_siteEntries.size()));
        entry.tips = addToolTip(entry.button, L"");
        m_siteEntries.push_back(std::move(entry));
    }
    // Side by side over the strip's width.
    const Geometry strip = geometryOf(MainControl::SiteStrip);
    const int n = static_cast<int>(count);
    const int width = n > 0 ? (strip.width - kSiteEntryGap * (n - 1)) / n : 0;
    for (int i = 0; i < n; ++i) {
        const HWND button = m_siteEntries[static_cast<size_t>(i)].button;
        setGeometry(button, {i * (width + kSiteEntryGap), 0, width, strip.height});
        // The tool tip covers the button's new area.
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = button;
        tool.uId = 1;
        ::GetClientRect(button, &tool.rect);
        ::SendMessageW(m_siteEntries[static_cast<size_t>(i)].tips, TTM_NEWTOOLRECTW, 0,
                       reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::drawSiteEntry(const DRAWITEMSTRUCT& item) {
    const size_t index = item.CtlID - kFirstSiteEntryId;
    if (index >= m_siteEntries.size()) return;
    const SiteStripEntry& entry = m_siteEntries[index].entry;
    // Under high contrast every entry is in the system's text colour: its caption's mark still tells its state.
    const COLORREF ink = shownColour(siteColour(entry.state), SystemColour::Text);
    const COLORREF paper = shownColour(RGB(255, 255, 255), SystemColour::Window);
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    HBRUSH background = ::CreateSolidBrush(paper);
    ::FillRect(dc, &area, background);
    ::DeleteObject(background);
    // A pressed entry is tinted; each has a frame in its colour.
    HBRUSH fill = ::CreateSolidBrush((item.itemState & ODS_SELECTED) && !highContrast() ? colour(0xeef2f3) : paper);
    const int dpi = dpiOf(item.hwndItem);
    HPEN pen = ::CreatePen(PS_SOLID, scaled(1, dpi), ink);
    HGDIOBJ oldBrush = ::SelectObject(dc, fill);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::RoundRect(dc, area.left, area.top + scaled(1, dpi), area.right, area.bottom - scaled(1, dpi), scaled(6, dpi),
                scaled(6, dpi));
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(pen);
    ::DeleteObject(fill);
    // The state marks (✓ ✗ ■ …) are in the symbol faces, not in the Chinese ones; the caption gets the largest
    // size that fits its entry.
    const std::wstring caption = wideFromUtf8(entry.caption);
    HFONT marks = nullptr;
    for (int pixels = 13; pixels >= 8; --pixels) {
        marks = font({L"Segoe UI Symbol", L"DejaVu Sans Condensed", L"DejaVu Sans", L"Arial Unicode MS"}, pixels, false,
                     DEFAULT_CHARSET, dpi);
        HGDIOBJ previous = ::SelectObject(dc, marks);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        ::SelectObject(dc, previous);
        if (size.cx <= area.right - area.left - scaled(2, dpi)) break;
    }
    drawText(dc, caption, area, marks, ink, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if ((item.itemState & ODS_FOCUS) && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = area;
        ::InflateRect(&focus, -scaled(3, dpi), -scaled(4, dpi));
        ::DrawFocusRect(dc, &focus);
    }
}

void MainWindow::moveInSiteStrip(bool forward) {
    const HWND focus = ::GetFocus();
    const int count = static_cast<int>(m_siteEntries.size());
    for (int i = 0; i < count; ++i) {
        if (m_siteEntries[static_cast<size_t>(i)].button != focus) continue;
        const int next = std::clamp(i + (forward ? 1 : -1), 0, count - 1);
        ::SetFocus(m_siteEntries[static_cast<size_t>(next)].button);
        return;
    }
}

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
    const SIZE client = clientSize(m_window);
    const auto place = [&](HWND control, PlayerControl which) {
        setGeometry(control, playerWindowGeometry(which, client.cx, client.cy));
    };
    place(m_playingLabel->handle(), PlayerControl::PlayingLabel);
    place(m_shieldStatus->handle(), PlayerControl::ShieldStatus);
    place(m_player.backButton, PlayerControl::BackButton);
    place(m_overlay->handle(), PlayerControl::Overlay);
    place(m_loadingNotice->handle(), PlayerControl::LoadingNotice);
    placeControls();
}

void MainWindow::setBaseColour(COLORREF colour) {
    if (colour == m_baseColour) return;
    m_baseColour = colour;
    applyColours();
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
            ::ShowWindow(m_window.m_window, m_window.m_openMaximised ? SW_SHOWMAXIMIZED : SW_SHOW);
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
