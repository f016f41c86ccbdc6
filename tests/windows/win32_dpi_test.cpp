// The Win32 client at a screen of 192 dpi under Wine (the prefix's LogPixels): the main window, its controls,
// fonts and pictures at twice their design, the place it opens at and full screen on its monitor. The design
// is the shared one (placedGeometry); the window shows it in pixels at its DPI.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "actions/window_geometry.h"
#include "app/core/main_window_design.h"
#include "app/core/results_presenter.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "app/win32/player_view.h"
#include "platform/win32_text.h"
#include "support/win32_screenshot.h"
#include "support/win32_client_test.h"

namespace lanqi {
// Geometries in failures as a person reads them.
inline void PrintTo(const Geometry& g, std::ostream* out) {
    *out << "{" << g.left << ", " << g.top << ", " << g.width << " x " << g.height << "}";
}
}  // namespace lanqi

namespace lanqi::win32 {
namespace {

// The screen's DPI in this test's prefix, and what it is to the design.
constexpr int kTestDpi = 192;
constexpr int kTimes = kTestDpi / kDesignDpi;

Geometry times(const Geometry& g) { return {g.left * kTimes, g.top * kTimes, g.width * kTimes, g.height * kTimes}; }

// A control's place in pixels in its parent, as the system has it.
Geometry pixelsOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int fontHeight(HFONT font) {
    LOGFONTW look{};
    ::GetObjectW(font, sizeof(look), &look);
    return look.lfHeight;
}

void pump() {
    MSG message;
    for (int round = 0; round < 20; ++round) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(20);
    }
}

class HighDpiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window = test::openMainWindow(m_desktop);
        ASSERT_NE(m_window, nullptr) << "no window: is there a display?";
        ASSERT_EQ(dpiOf(m_window->handle()), kTestDpi) << "the prefix's LogPixels is not in force";
    }

    HWND child(const wchar_t* windowClass, const wchar_t* caption = nullptr) const {
        return ::FindWindowExW(m_window->handle(), nullptr, windowClass, caption);
    }

    Win32DesktopServices m_desktop;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(HighDpiTest, TheMainWindowIsItsDesignAtTwiceTheSize) {
    RECT client{};
    ::GetClientRect(m_window->handle(), &client);
    EXPECT_EQ(client.right, kMainWindowWidth * kTimes);
    EXPECT_EQ(client.bottom, kMainWindowHeight * kTimes);

    // Each control where the shared design puts it in the design's client area, in pixels at twice the size,
    // and in design units to the code that places it.
    const struct {
        MainControl control;
        HWND handle;
    } controls[] = {
        {MainControl::SearchBox, child(WC_EDITW)},
        {MainControl::SearchButton, child(WC_BUTTONW, L"岚栖搜索")},
        {MainControl::PicturesButton, child(WC_BUTTONW, L"图片视图")},
        {MainControl::UniqueSwitch, child(WC_BUTTONW, L"合并相同资源")},
        {MainControl::ResultList, child(WC_LISTVIEWW, L"搜索结果")},
        {MainControl::SiteStrip, child(L"LanqiSiteStrip")},
    };
    for (const auto& [control, handle] : controls) {
        ASSERT_NE(handle, nullptr) << designOf(control).name;
        const Geometry design = placedGeometry(control, SearchLayout::Home, kMainWindowWidth, kMainWindowHeight);
        EXPECT_EQ(pixelsOf(handle), times(design)) << designOf(control).name;
        EXPECT_EQ(geometryOf(handle), design) << designOf(control).name;
    }

    // The fonts keep their point size: twice the design's pixels.
    const auto shownFont = [](HWND control) {
        return reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    };
    EXPECT_EQ(fontHeight(shownFont(child(WC_EDITW))), -designOf(MainControl::SearchBox).fontPixels * kTimes);
    EXPECT_EQ(fontHeight(shownFont(child(WC_LISTVIEWW, L"搜索结果"))), -kListFontDesign.pixels * kTimes);

    // The results' pictures are twice the design's 80 × 80.
    int side = 0, height = 0;
    HWND list = child(WC_LISTVIEWW, L"搜索结果");
    HIMAGELIST pictures = ListView_GetImageList(list, LVSIL_NORMAL);
    if (pictures == nullptr) pictures = ListView_GetImageList(list, LVSIL_SMALL);
    ASSERT_NE(pictures, nullptr);
    ASSERT_TRUE(ImageList_GetIconSize(pictures, &side, &height));
    const SIZE designPicture = bitmapSize(picture(L"LIST0"));
    EXPECT_EQ(side, designPicture.cx * kTimes);
    EXPECT_EQ(height, designPicture.cy * kTimes);
}

TEST_F(HighDpiTest, ItsSizeAtAnotherDpiKeepsTheDesignsClientArea) {
    // Asked for its size at another DPI (before a move to a monitor of that DPI), the window answers with its
    // client area in design units at that DPI, in the frame the system draws there.
    for (int dpi : {96, 144, kTestDpi}) {
        SIZE size{};
        ASSERT_TRUE(::SendMessageW(m_window->handle(), kGetDpiScaledSize, dpi, reinterpret_cast<LPARAM>(&size)));
        const RECT frame = frameOf(kMainWindowStyle, 0, dpi);
        EXPECT_EQ(size.cx, ::MulDiv(kMainWindowWidth, dpi, kDesignDpi) + frame.right - frame.left) << dpi;
        EXPECT_EQ(size.cy, ::MulDiv(kMainWindowHeight, dpi, kDesignDpi) + frame.bottom - frame.top) << dpi;
    }
}

TEST_F(HighDpiTest, TheResultsAreaIsInProportion) {
    // A results page: the search row's results layout, the tool row, pictures and captions, the site strip.
    SearchScreen screen;
    screen.title = "done";
    screen.layout = SearchLayout::Results;
    screen.previousVisible = screen.nextVisible = screen.pageSelectorVisible = true;
    screen.nextCaption = gbk(u8"下一页");
    screen.pageItems = {"1", "2", "3"};
    screen.bannerVisible = false;
    const char8_t* titles[] = {u8"超能陆战队 1080p 国英双语", u8"超能陆战队 蓝光原盘", u8"超能陆战队 中字 720p",
                               u8"超能陆战队 特效字幕",       u8"超能陆战队 高码版",   u8"超能陆战队 导演剪辑版"};
    for (int i = 0; i < 6; ++i) {
        ResultItem item;
        item.title = gbk(titles[i]);
        item.fileKind = i % 4;
        item.sizeText = std::to_string(i + 1) + ".5 GB";
        item.site = i + 1;
        item.magnetLink = "magnet:?xt=urn:btih:" + std::string(40, static_cast<char>('a' + i));
        screen.results.push_back(item);
    }
    m_window->render(screen, ~0u);
    ResultsPresenter presenter;
    presenter.rowsChanged(screen.results, kResultsCleared | kResultsAdded);
    presenter.refresh(screen.results, SiteNames(6, "site"));
    m_window->showResults(presenter.shown(0));
    std::vector<SiteStripEntry> entries;
    for (int slot = 1; slot <= 6; ++slot) {
        SiteStripEntry entry;
        entry.slot = slot;
        entry.state = slot == 4 ? SiteState::Failed : SiteState::Done;
        entry.caption = std::to_string(slot) + (slot == 4 ? "✗" : "✓1");
        entry.text = "site" + std::to_string(slot);
        entries.push_back(entry);
    }
    m_window->showSiteStrip(entries);
    pump();

    for (MainControl control : {MainControl::SearchBox, MainControl::SearchButton, MainControl::NextButton,
                                MainControl::FilterBox, MainControl::StopButton}) {
        const Geometry design = placedGeometry(control, SearchLayout::Results, kMainWindowWidth, kMainWindowHeight);
        const wchar_t* kinds[] = {WC_EDITW, WC_BUTTONW};
        HWND found = nullptr;
        for (const wchar_t* kind : kinds) {
            for (HWND each = ::FindWindowExW(m_window->handle(), nullptr, kind, nullptr); each != nullptr;
                 each = ::FindWindowExW(m_window->handle(), each, kind, nullptr)) {
                if (geometryOf(each) == design) found = each;
            }
        }
        ASSERT_NE(found, nullptr) << designOf(control).name;
        EXPECT_EQ(pixelsOf(found), times(design)) << designOf(control).name;
    }
    // The strip's entries share its width, side by side, in pixels at twice the design.
    HWND strip = child(L"LanqiSiteStrip");
    HWND first = ::FindWindowExW(strip, nullptr, WC_BUTTONW, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pixelsOf(first).height, designOf(MainControl::SiteStrip).geometry.height * kTimes);
    // Each line's picture is twice the design's.
    HWND list = child(WC_LISTVIEWW, L"搜索结果");
    ASSERT_EQ(ListView_GetItemCount(list), 6);
    RECT icon{};
    icon.left = LVIR_ICON;
    ASSERT_TRUE(::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon)));
    EXPECT_GE(icon.right - icon.left, bitmapSize(picture(L"LIST0")).cx * kTimes);

    if (const char* folder = std::getenv("LANQI_SCREENSHOTS")) {
        ::SetWindowPos(m_window->handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ::RedrawWindow(m_window->handle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pump();
        test::saveClientArea(m_window->handle(), widen(std::string(folder)) + L"\\windows-hidpi.bmp");
    }
}

TEST_F(HighDpiTest, PicturesAndFontsFollowTheDpiTheyAreAskedFor) {
    // Each picture at a DPI is its design size scaled (from the sharp picture above 96 dpi), and known again
    // for another DPI.
    const wchar_t* names[] = {L"LOGO", L"HOME", L"NOTICE", L"NOTICE_STRIP", L"ABOUT_FRONT", L"ABOUT_BACK", L"LIST3"};
    for (const wchar_t* name : names) {
        HBITMAP design = picture(name);
        ASSERT_NE(design, nullptr) << narrow(name);
        const SIZE size = bitmapSize(design);
        for (int dpi : {120, 144, 192, 288}) {
            const SIZE shown = bitmapSize(picture(name, dpi));
            EXPECT_EQ(shown.cx, ::MulDiv(size.cx, dpi, kDesignDpi)) << narrow(name) << " at " << dpi;
            EXPECT_EQ(shown.cy, ::MulDiv(size.cy, dpi, kDesignDpi)) << narrow(name) << " at " << dpi;
            EXPECT_EQ(pictureAtDpi(design, dpi), picture(name, dpi));
            EXPECT_EQ(pictureAtDpi(picture(name, dpi), kDesignDpi), design);
        }
    }
    // A font at another DPI is the same face and design height; one made elsewhere stays as it is.
    for (int pixels : {11, 12, 14, 56}) {
        for (int dpi : {96, 120, 144, 192}) {
            EXPECT_EQ(fontHeight(uiFont(pixels, false, dpi)), -::MulDiv(pixels, dpi, kDesignDpi));
            EXPECT_EQ(fontAtDpi(uiFont(pixels), dpi), uiFont(pixels, false, dpi));
        }
    }
    HFONT foreign = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(fontAtDpi(foreign, kTestDpi), foreign);
}

TEST_F(HighDpiTest, TheWayBackFitsItsButton) {
    // 点此返回搜索 in a font whose caption fits inside its button's frame.
    HWND back = child(WC_BUTTONW, L"点此返回搜索");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(pixelsOf(back), times(kBackButtonGeometry));
    HDC dc = ::GetDC(back);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(back, WM_GETFONT, 0, 0)));
    SIZE caption{};
    const std::wstring text = windowText(back);
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &caption);
    ::SelectObject(dc, previous);
    ::ReleaseDC(back, dc);
    RECT area{};
    ::GetClientRect(back, &area);
    EXPECT_GT(caption.cx, area.right / 2);  // a caption, not a speck
    EXPECT_LE(caption.cx, area.right - 2 * kTimes);
    EXPECT_LE(caption.cy, area.bottom);
}

TEST_F(HighDpiTest, ThePlaceIsKeptInPixelsAndFittedInDesignUnits) {
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(m_window->handle(), MONITOR_DEFAULTTOPRIMARY), &screen));
    const RECT& work = screen.rcWork;
    const struct {
        const char* what;
        WindowPlace saved;
        WindowPlace expected;
    } cases[] = {
        // A place that fits comes back to the very pixels.
        {"as saved",
         {work.left + 301, work.top + 203, 1501, 1001, false},
         {work.left + 301, work.top + 203, 1501, 1001, false}},
        // Smaller than the design allows: the smallest size, in pixels at twice the design's.
        {"too small",
         {work.left + 300, work.top + 200, 100, 100, false},
         {work.left + 300, work.top + 200, kMinMainWindowWidth * kTimes, kMinMainWindowHeight * kTimes, false}},
    };
    for (const auto& each : cases) {
        m_window->openAt(each.saved);
        pump();
        WindowPlace now = m_window->place();
        EXPECT_EQ(now.left, each.expected.left) << each.what;
        EXPECT_EQ(now.top, each.expected.top) << each.what;
        EXPECT_EQ(now.width, each.expected.width) << each.what;
        EXPECT_EQ(now.height, each.expected.height) << each.what;
    }
    // None saved: the design's size at twice the pixels.
    m_window->openAt(std::nullopt);
    pump();
    EXPECT_EQ(m_window->place().width, kMainWindowWidth * kTimes);
    EXPECT_EQ(m_window->place().height, kMainWindowHeight * kTimes);
}

TEST_F(HighDpiTest, FullScreenCoversTheWindowsMonitor) {
    ::SetActiveWindow(m_window->handle());
    pump();
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(m_window->handle(), MONITOR_DEFAULTTONEAREST), &screen));
    const RECT& monitor = screen.rcMonitor;
    // The screen's size in design units: half its pixels.
    const ScreenSize size = m_desktop.screenSize();
    EXPECT_EQ(size.width, (monitor.right - monitor.left) / kTimes);
    EXPECT_EQ(size.height, (monitor.bottom - monitor.top) / kTimes);

    Win32PlayerView player(*m_window, m_desktop, {});
    const Geometry windowed = player.windowGeometry();
    RECT before{};
    ::GetWindowRect(m_window->handle(), &before);
    player.setWindowBorder(WindowBorder::None);
    player.setWindowGeometry({0, 0, size.width, size.height});
    RECT covered{};
    ::GetWindowRect(m_window->handle(), &covered);
    EXPECT_EQ(covered.left, monitor.left);
    EXPECT_EQ(covered.top, monitor.top);
    EXPECT_EQ(covered.right, monitor.right);
    EXPECT_EQ(covered.bottom, monitor.bottom);
    EXPECT_EQ(player.windowGeometry(), (Geometry{0, 0, size.width, size.height}));

    // Back to the window it was, to the pixel.
    player.setWindowBorder(WindowBorder::FixedSingle);
    player.setWindowGeometry(windowed);
    RECT after{};
    ::GetWindowRect(m_window->handle(), &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
}

// The client area's size in pixels.
SIZE pixelClient(HWND window) {
    RECT area{};
    ::GetClientRect(window, &area);
    return {area.right, area.bottom};
}

// Every control of `window` (children of children too) inside its parent's client area.
void expectInside(HWND window, const char* what) {
    ::EnumChildWindows(
        window,
        [](HWND control, LPARAM name) -> BOOL {
            HWND parent = ::GetParent(control);
            const Geometry at = pixelsOf(control);
            const SIZE room = pixelClient(parent);
            // The rows' panel is taller than its view (it scrolls), a drop-down's height holds its open list.
            wchar_t kind[32] = {};
            ::GetClassNameW(control, kind, 32);
            const bool mayBeTaller = wcscmp(kind, L"LanqiSettingsRows") == 0 || _wcsicmp(kind, WC_COMBOBOXW) == 0;
            if (!::IsWindowVisible(control) || at.width == 0) return TRUE;
            EXPECT_GE(at.left, 0) << reinterpret_cast<const char*>(name) << " " << narrow(windowText(control));
            EXPECT_LE(at.left + at.width, room.cx)
                << reinterpret_cast<const char*>(name) << " " << narrow(windowText(control));
            if (!mayBeTaller)
                EXPECT_LE(at.top + at.height, room.cy)
                    << reinterpret_cast<const char*>(name) << " " << narrow(windowText(control));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(what));
}

TEST(OtherWindows, TheNoticeIsTwiceItsDesign) {
    // The notice runs modally: a timer of the thread looks at it and then quits it through 立即退出.
    static SIZE client{};
    static Geometry agree{};
    static bool seen = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND notice = ::FindWindowW(L"LanqiNotice", nullptr);
        if (notice == nullptr) return;
        ::KillTimer(nullptr, id);
        seen = true;
        client = pixelClient(notice);
        agree = pixelsOf(::FindWindowExW(notice, nullptr, WC_BUTTONW, L"同意使用"));
        expectInside(notice, "notice");
        if (const char* folder = std::getenv("LANQI_SCREENSHOTS")) {
            ::RedrawWindow(notice, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            test::saveClientArea(notice, widen(std::string(folder)) + L"\\windows-hidpi-notice.bmp");
        }
        ::SendMessageW(::FindWindowExW(notice, nullptr, WC_BUTTONW, L"立即退出"), BM_CLICK, 0, 0);
    });
    ASSERT_NE(timer, 0u);
    Win32DesktopServices desktop;
    EXPECT_EQ(runNoticeWindow(desktop, "http://127.0.0.1:1/"), NoticeOutcome::QuitAtOnce);
    ASSERT_TRUE(seen);
    EXPECT_EQ(client.cx, kNoticeWidth * kTimes);
    EXPECT_EQ(client.cy, kNoticeHeight * kTimes);
    EXPECT_EQ(agree.width % kTimes, 0);  // a design width, twice over
    EXPECT_GT(agree.width, 0);
}

TEST(OtherWindows, TheAboutWindowIsTwiceItsDesign) {
    AboutWindow about;
    ASSERT_TRUE(about.load(nullptr, false));
    EXPECT_EQ(dpiOf(about.handle()), kTestDpi);
    EXPECT_EQ(pixelClient(about.handle()).cx, kAboutWidth * kTimes);
    EXPECT_EQ(pixelClient(about.handle()).cy, kAboutHeight * kTimes);
    ::DestroyWindow(about.handle());
}

TEST(OtherWindows, SiteSettingsFitsItsWindow) {
    // 站点设置 at twice the size: every control inside the window, and the window no larger than its controls
    // need (保存 and 取消 as far from the right edge as from the bottom one, as in the design).
    // A settings file nobody writes (the window is never saved).
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lanqi-dpi-" + std::to_string(::GetCurrentProcessId()));
    SettingsWindow::Context context;
    context.file = narrow((folder / "config.toml").wstring());
    SettingsWindow window(std::move(context));
    ASSERT_TRUE(window.create(nullptr));
    EXPECT_EQ(dpiOf(window.handle()), kTestDpi);
    expectInside(window.handle(), "站点设置");
    const Geometry cancel = pixelsOf(window.cancelButton());
    const SIZE client = pixelClient(window.handle());
    EXPECT_EQ(client.cx - (cancel.left + cancel.width), client.cy - (cancel.top + cancel.height));
    EXPECT_EQ(pixelsOf(window.baseEdit(1)), times(geometryOf(window.baseEdit(1))));
    EXPECT_EQ(fontHeight(reinterpret_cast<HFONT>(::SendMessageW(window.baseEdit(1), WM_GETFONT, 0, 0))),
              fontHeight(uiFont()) * kTimes);
    ::DestroyWindow(window.handle());
    std::filesystem::remove_all(folder);
}

// A window that comes from a monitor of 96 dpi: its controls in pixels at 96 dpi, as they were there.
TEST(DpiChange, ControlsKeepTheirDesignAndTakeTheNewFonts) {
    ASSERT_EQ(dpiOf(nullptr), kTestDpi);
    registerWindowClass(L"LanqiDpiTestBox", ::DefWindowProcW);
    HWND window = ::CreateWindowExW(0, L"LanqiDpiTestBox", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const auto make = [](HWND parent, const wchar_t* kind, const Geometry& g) {
        HWND made = ::CreateWindowExW(0, kind, L"岚栖", WS_CHILD | WS_VISIBLE, g.left, g.top, g.width, g.height, parent,
                                      nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont(12)), FALSE);
        return made;
    };
    const Geometry buttonAt{10, 20, 80, 24}, boxAt{100, 20, 150, 60}, insideAt{3, 5, 40, 16}, listAt{10, 90, 200, 100};
    HWND button = make(window, WC_BUTTONW, buttonAt);
    HWND box = make(window, L"LanqiDpiTestBox", boxAt);  // a container of this program's
    HWND inside = make(box, WC_BUTTONW, insideAt);
    HWND list = make(window, WC_LISTVIEWW, listAt);
    // A control of another kind with a part of its own: the part is the control's to place.
    HWND other = make(window, WC_STATICW, {10, 200, 100, 40});
    HWND part = make(other, WC_BUTTONW, insideAt);

    const RECT suggested{40, 50, 40 + 900, 50 + 700};
    followDpiChange(window, kDesignDpi, suggested);
    EXPECT_EQ(pixelsOf(button), times(buttonAt));
    EXPECT_EQ(pixelsOf(box), times(boxAt));
    EXPECT_EQ(pixelsOf(inside), times(insideAt));
    EXPECT_EQ(pixelsOf(list), times(listAt));
    EXPECT_EQ(pixelsOf(part), insideAt);
    for (HWND control : {button, inside, list})
        EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), uiFont(12, false, kTestDpi));
    RECT now{};
    ::GetWindowRect(window, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace lanqi::win32
