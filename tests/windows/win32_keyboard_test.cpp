// The Win32 client with the keyboard alone, on a real display under Wine: Tab into the results and the row menu
// from the keyboard at the line, 关于... modal over the main window, the usage notice's dialog keys and the focus
// after its question, the focus cues, and what a screen reader is given to read.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/client.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "platform/product.h"
#include "platform/win32_desktop_services.h"
#include "platform/win32_text.h"
#include "scrape/site_definition.h"
#include "search/site_catalogue.h"
#include "support/fake_fetcher.h"
#include "support/win32_client_test.h"
#include "support/numbered_sites.h"
#include "support/site_pages.h"

namespace lanqi::win32 {
namespace {

using namespace std::chrono_literals;

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

// A key as the message loop gets it, with Shift held or not (as GetKeyState reports it).
void press(UINT key, bool shift = false, UINT message = WM_KEYDOWN) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    MSG down{::GetFocus(), message, key, 0, 0, {}};
    routeMessage(down);
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
}

// Steps run one after the other from a thread timer while a menu, a message box or a modal window runs its own
// loop: each answers true once it is done, false to be tried again at the next tick. A step still not done after
// 5 s is given up, and the script counts as stuck.
std::deque<std::function<bool()>> g_steps;
int g_ticks = 0;
bool g_stuck = false;
void CALLBACK runStep(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_steps.empty()) {
        ::KillTimer(nullptr, timer);
        return;
    }
    const std::function<bool()> step = g_steps.front();
    if (step() || ++g_ticks > 100) {
        if (g_ticks > 100) g_stuck = true;
        g_ticks = 0;
        if (!g_steps.empty()) g_steps.pop_front();
    }
}
void script(std::vector<std::function<bool()>> steps) {
    g_steps.assign(steps.begin(), steps.end());
    g_ticks = 0;
    g_stuck = false;
    ::SetTimer(nullptr, 0, 50, runStep);
}

HWND shownWindow(const wchar_t* windowClass) {
    HWND window = ::FindWindowW(windowClass, nullptr);
    return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

void mouse(POINT to, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(to.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(to.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    ::SendInput(1, &input, sizeof(input));
}
void clickAt(HWND control) {
    RECT area{};
    ::GetWindowRect(control, &area);
    const POINT centre{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    mouse(centre, 0);
    mouse(centre, MOUSEEVENTF_LEFTDOWN);
    mouse(centre, MOUSEEVENTF_LEFTUP);
}
void pointerToTheFarCorner() {
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2);
}

// What a screen reader gets for the window: the name and the role of its client object.
struct Spoken {
    std::wstring name;
    long role = 0;
};
Spoken spoken(HWND window) {
    Spoken said;
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&object))) ||
        object == nullptr)
        return said;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) {
        said.name = name;
        ::SysFreeString(name);
    }
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) said.role = role.lVal;
    object->Release();
    return said;
}

// What a screen reader calls the window with the focus.
std::wstring focusName() {
    HWND focus = ::GetFocus();
    wchar_t kind[32] = {};
    ::GetClassNameW(focus, kind, 32);
    return std::wstring(kind) == L"LanqiLabel" ? spoken(focus).name : windowText(focus);
}

class KeyboardTest : public test::Win32ClientTest<Win32DesktopServices> {
  protected:
    void TearDown() override {
        g_steps.clear();
        Win32ClientTest::TearDown();
    }
    HWND searchBox() { return child(WC_EDITW); }
    // The label a screen reader calls `name`.
    HWND labelNamed(const std::wstring& name) {
        for (HWND at = ::FindWindowExW(window().handle(), nullptr, L"LanqiLabel", nullptr); at != nullptr;
             at = ::FindWindowExW(window().handle(), at, L"LanqiLabel", nullptr))
            if (spoken(at).name == name) return at;
        return nullptr;
    }
    HWND filterBox() { return ::FindWindowExW(window().handle(), searchBox(), WC_EDITW, nullptr); }
    void searchToTheEnd(int items) {
        m_fetcher.pages[m_urls[0]] = test::site1Page(test::items(items, "r"), 61);
        ::SetWindowTextW(searchBox(), L"abc");
        ::SendMessageW(child(WC_BUTTONW, L"岚栖搜索"), BM_CLICK, 0, 0);
        ASSERT_TRUE(pumpUntil([this] { return !flow().running(); })) << "the run did not end";
        pumpFor(50ms);
    }
    // Tab from the search box until `control` has the focus; false when it never does.
    bool tabTo(HWND control) {
        ::SetFocus(searchBox());
        for (int i = 0; i < 30 && ::GetFocus() != control; ++i) press(VK_TAB);
        return ::GetFocus() == control;
    }
};

// Tab into the results focuses the selected line, or selects the first; Shift+F10 and the menu key then open the
// line's menu next to it, wherever the pointer is.
TEST_F(KeyboardTest, TabIntoTheResultsFocusesALineAndTheKeyboardMenuOpensThere) {
    searchToTheEnd(4);
    struct Case {
        const wchar_t* viewButton;
        const wchar_t* viewName;
        int selectedBefore;  // by the user, before the Tab; -1: none
        UINT key;
        bool shift;
        UINT message;
        int line;  // focused and selected after the Tab
    };
    const Case cases[] = {
        {L"图片视图", L"搜索结果", -1, VK_F10, true, WM_SYSKEYDOWN, 0},
        {L"列表视图", L"搜索结果表格", 2, VK_APPS, false, WM_KEYDOWN, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ::SendMessageW(child(WC_BUTTONW, c.viewButton), BM_CLICK, 0, 0);
        HWND view = child(WC_LISTVIEWW, c.viewName);
        ASSERT_TRUE(::IsWindowVisible(view));
        if (c.selectedBefore >= 0) {
            ListView_SetItemState(view, c.selectedBefore, LVIS_SELECTED, LVIS_SELECTED);
            ListView_SetItemState(view, 0, LVIS_FOCUSED, LVIS_FOCUSED);  // the focus elsewhere
            pumpFor(50ms);
        }
        ASSERT_TRUE(tabTo(view));
        EXPECT_EQ(ListView_GetNextItem(view, -1, LVNI_FOCUSED), c.line);
        EXPECT_EQ(ListView_GetNextItem(view, -1, LVNI_SELECTED), c.line);
        ASSERT_NE(flow().selectedResult(), nullptr);
        EXPECT_EQ(flow().selectedResult()->title, "r" + std::to_string(c.line) + ".mkv");

        pointerToTheFarCorner();
        RECT menu{};
        script({[&menu] {
            HWND shown = shownWindow(L"#32768");
            if (shown == nullptr) return false;
            ::GetWindowRect(shown, &menu);
            ::EndMenu();
            return true;
        }});
        press(c.key, c.shift, c.message);
        EXPECT_FALSE(g_stuck) << "no menu came up";
        RECT line{};
        line.left = LVIR_BOUNDS;
        ASSERT_TRUE(
            ::SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(c.line), reinterpret_cast<LPARAM>(&line)));
        ::MapWindowPoints(view, HWND_DESKTOP, reinterpret_cast<POINT*>(&line), 2);
        EXPECT_LE(std::abs(menu.top - line.bottom), 8) << menu.top << " against the line's bottom " << line.bottom;
        EXPECT_GE(menu.left, line.left - 8);
        EXPECT_LE(menu.left, line.right);
        POINT pointer{};
        ::GetCursorPos(&pointer);
        EXPECT_GT(pointer.x - menu.right, 100) << "the menu is at the pointer";
    }
}

// 关于... from the main menu (the menu key on a button) is modal over the main window: owned by it, the main
// window disabled and a click on 下一页 lost while it is up; the main window is active again once it goes, and the
// same click then turns the page.
TEST_F(KeyboardTest, AboutFromTheMainMenuBlocksTheMainWindowUntilItCloses) {
    // Page 2 has lines too, so that turning to it asks nothing.
    m_fetcher.pages[buildSearchUrls(flow().sites(), encodeKeyword("abc"), "2")[0]] =
        test::site1Page(test::items(20, "s"), 61);
    searchToTheEnd(20);
    HWND next = child(WC_BUTTONW, L"下一页");
    ASSERT_TRUE(::IsWindowVisible(next));
    const size_t requestsBefore = m_fetcher.requested.size();
    HWND about = nullptr, owner = nullptr;
    bool mainEnabled = true;
    size_t requestsWhileUp = 0;
    int waited = 0;
    script({
        [] {  // 关于... in the main menu, with the arrow keys and Enter
            HWND menu = shownWindow(L"#32768");
            if (menu == nullptr) return false;
            auto* entries = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
            int downs = 0;
            for (int i = 0; i < ::GetMenuItemCount(entries); ++i) {
                wchar_t text[64] = {};
                ::GetMenuStringW(entries, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                if ((::GetMenuState(entries, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0) continue;
                ++downs;
                if (std::wstring(text) == L"关于...") break;
            }
            for (int i = 0; i < downs; ++i) ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            return true;
        },
        [&] {
            about = shownWindow(L"LanqiAbout");
            if (about == nullptr) return false;
            owner = ::GetWindow(about, GW_OWNER);
            mainEnabled = ::IsWindowEnabled(window().handle()) != FALSE;
            clickAt(next);
            return true;
        },
        [&] {
            if (++waited < 8) return false;  // the click has long arrived
            requestsWhileUp = m_fetcher.requested.size();
            ::PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
            return true;
        },
    });
    pointerToTheFarCorner();
    ::SetFocus(child(WC_BUTTONW, L"岚栖搜索"));
    press(VK_APPS);
    EXPECT_FALSE(g_stuck);
    ASSERT_NE(about, nullptr) << "no about window";
    EXPECT_EQ(owner, window().handle());
    EXPECT_FALSE(mainEnabled);
    EXPECT_EQ(requestsWhileUp, requestsBefore) << "the click reached 下一页";
    EXPECT_EQ(::FindWindowW(L"LanqiAbout", nullptr), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(window().handle()));
    EXPECT_EQ(::GetActiveWindow(), window().handle());

    clickAt(next);
    EXPECT_TRUE(pumpUntil([&] { return m_fetcher.requested.size() > requestsBefore; }, 3s))
        << "the click on 下一页 does nothing at all";
    EXPECT_TRUE(pumpUntil([this] { return !flow().running(); })) << "page 2 did not come";
    EXPECT_EQ(shownWindow(L"#32770"), nullptr) << "a box came up";
}

// The logo and the footer's link draw their focus cue when Tab reaches them and take it away when the focus goes
// on; under high contrast the system's colours stand in for the designed ones.
TEST_F(KeyboardTest, TheLabelsShowTheirFocusAndHighContrastTakesTheSystemsColours) {
    // The pixels along the label's top edge, one inside it.
    const auto edge = [this](HWND label) {
        ::RedrawWindow(window().handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(100ms);
        RECT area{};
        ::GetClientRect(label, &area);
        std::vector<COLORREF> pixels;
        HDC dc = ::GetDC(label);
        for (int x = 1; x < area.right - 1; ++x) pixels.push_back(::GetPixel(dc, x, 1));
        ::ReleaseDC(label, dc);
        return pixels;
    };
    for (const wchar_t* name : {L"官方网站", L"产品标志"}) {
        SCOPED_TRACE(narrow(name));
        HWND label = labelNamed(name);
        ASSERT_NE(label, nullptr);
        const std::vector<COLORREF> unfocused = edge(label);
        ASSERT_TRUE(tabTo(label));
        EXPECT_NE(edge(label), unfocused) << "no focus cue";
        press(VK_TAB);
        EXPECT_NE(::GetFocus(), label);
        EXPECT_EQ(edge(label), unfocused) << "the cue stayed";
    }

    struct Case {
        std::optional<bool> on;
        SystemColour role;
        COLORREF shown;
    };
    const COLORREF designed = RGB(0x12, 0x34, 0x56);
    const Case cases[] = {
        {false, SystemColour::Text, designed},
        {true, SystemColour::Text, ::GetSysColor(COLOR_WINDOWTEXT)},
        {true, SystemColour::Window, ::GetSysColor(COLOR_WINDOW)},
        {true, SystemColour::Link, ::GetSysColor(COLOR_HOTLIGHT)},
    };
    for (const Case& c : cases) {
        setHighContrastForTests(c.on);
        EXPECT_EQ(shownColour(designed, c.role), c.shown);
    }
    setHighContrastForTests(std::nullopt);
}

// What a screen reader reads: the edit boxes and the page list by the label before them, the logo and the
// footer's link as buttons that take the focus, the about window's texts as text controls.
TEST_F(KeyboardTest, EveryControlHasTheNameTheQtClientGivesIt) {
    struct Named {
        HWND control;
        const wchar_t* name;
    };
    const Named labelled[] = {
        {searchBox(), L"搜索关键词"},
        {child(WC_COMBOBOXW), L"页码"},
        {filterBox(), L"筛选（Ctrl+F）"},
    };
    for (const Named& n : labelled) {
        SCOPED_TRACE(narrow(n.name));
        HWND label = ::GetWindow(n.control, GW_HWNDPREV);
        wchar_t kind[16] = {};
        ::GetClassNameW(label, kind, 16);
        EXPECT_EQ(_wcsicmp(kind, L"Static"), 0) << narrow(kind);
        EXPECT_EQ(windowText(label), n.name);
    }
    for (const wchar_t* name : {L"产品标志", L"官方网站"}) {
        SCOPED_TRACE(narrow(name));
        HWND label = labelNamed(name);
        ASSERT_NE(label, nullptr);
        EXPECT_NE(::GetWindowLongW(label, GWL_STYLE) & WS_TABSTOP, 0);
        EXPECT_EQ(spoken(label).role, ROLE_SYSTEM_PUSHBUTTON);
    }

    AboutWindow about;
    ASSERT_TRUE(about.load(window().handle(), false));
    std::vector<std::wstring> texts;
    for (HWND at = ::FindWindowExW(about.handle(), nullptr, L"Static", nullptr); at != nullptr;
         at = ::FindWindowExW(about.handle(), at, L"Static", nullptr))
        texts.push_back(windowText(at));
    const auto has = [&texts](const std::wstring& start) {
        for (const std::wstring& text : texts)
            if (text.rfind(start, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(has(wideFromGbk(productName()) + L"\r\nv" + widen(kProductVersionText)));
    EXPECT_TRUE(has(L"本软件为免费软件。"));
    EXPECT_TRUE(has(L"Copyright ©"));
    ::DestroyWindow(about.handle());
}

// ---- The usage notice, with its own dialog keys.

// The keys posted to the control with the focus one at a time, the question answered, and the focus seen after
// each; then the outcome.
TEST(NoticeKeysTest, TabEnterAndEscapeWorkAsInADialogAndTheFocusComesBackAfterTheQuestion) {
    struct Case {
        const char* what;
        std::vector<std::string> steps;          // a key (Tab, Enter, Esc) or the question's answer (OK, Cancel)
        std::vector<std::wstring> focusedAfter;  // after each Tab and answer but the last step
        NoticeOutcome outcome;
    };
    const Case cases[] = {
        {"Enter", {"Enter"}, {}, NoticeOutcome::Agreed},
        {"Tab Enter", {"Tab", "Enter"}, {L"立即退出"}, NoticeOutcome::QuitAtOnce},
        {"round", {"Tab", "Tab", "Tab", "Enter"}, {L"立即退出", L"官方网站", L"同意使用"}, NoticeOutcome::Agreed},
        {"Esc Cancel", {"Esc", "Cancel", "Enter"}, {L"同意使用"}, NoticeOutcome::Agreed},
        {"Tab Esc Cancel", {"Tab", "Esc", "Cancel", "Enter"}, {L"立即退出", L"立即退出"}, NoticeOutcome::QuitAtOnce},
        {"Esc OK", {"Esc", "OK"}, {}, NoticeOutcome::QuitConfirmed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> focused;
        std::vector<std::function<bool()>> steps;
        steps.push_back([] { return shownWindow(L"LanqiNotice") != nullptr; });
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const std::string step = c.steps[i];
            const bool last = i + 1 == c.steps.size();
            steps.push_back([step] {
                if (step == "OK" || step == "Cancel") {
                    HWND box = shownWindow(L"#32770");
                    if (box == nullptr) return false;
                    ::PostMessageW(box, WM_COMMAND, step == "OK" ? IDOK : IDCANCEL, 0);
                    return true;
                }
                const UINT key = step == "Tab" ? VK_TAB : step == "Esc" ? VK_ESCAPE : VK_RETURN;
                ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 0);
                return true;
            });
            if (last || step == "Esc") continue;
            // What has the focus once the step is through (and the question gone).
            steps.push_back([&focused] {
                if (shownWindow(L"#32770") != nullptr) return false;
                focused.push_back(focusName());
                return true;
            });
        }
        script(std::move(steps));
        Win32DesktopServices desktop;
        const NoticeOutcome outcome = runNoticeWindow(desktop, "http://127.0.0.1:9/");
        EXPECT_FALSE(g_stuck);
        g_steps.clear();
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(focused, c.focusedAfter);
    }
}

}  // namespace
}  // namespace lanqi::win32
