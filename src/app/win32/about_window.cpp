#include "app/win32/dialogs.h"

#include <cstdint>
#include <string>

#include "app/win32/win32_ui.h"
#include "platform/product.h"

namespace lanqi::win32 {
namespace {

struct AboutState {
    AboutWindow* window = nullptr;
    bool modal = false;
    bool closed = false;
    int dpi = kDesignDpi;  // the DPI it is drawn at
};

// The window's texts, each a static text control (what a screen reader reads), in its designed colour.
struct AboutText {
    const wchar_t* text;
    RECT area;
    int pixels;
    bool bold;
    std::uint32_t rgb;
    DWORD style;
};
constexpr std::uint32_t kContactColour = 0x5f6b6d;
constexpr const wchar_t* kTerms =
    L"本软件为免费软件。在不作任何修改、保持完整的前提下，您可以自由复制并免费传播本软件。本软件仅供个人非"
    L"商业用途使用；因使用本软件造成的数据丢失或任何故障，作者不承担责任。本软件不含任何病毒、木马或流氓代"
    L"码，请放心使用。";

// The cards are drawn: the one behind first, so that the product card lies over it.
void paintAbout(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    const int dpi = dpiOf(window);
    drawBitmap(dc, picture(L"ABOUT_BACK", dpi), scaled(16, dpi), scaled(16, dpi));
    drawBitmap(dc, picture(L"ABOUT_FRONT", dpi), scaled(8, dpi), scaled(8, dpi));
    ::EndPaint(window, &ps);
}

void addTexts(HWND window) {
    const std::wstring title = wideFromGbk(productName() + "\r\nv" + kProductVersionText);
    const AboutText texts[] = {
        {title.c_str(), {192, 32, 400, 80}, 18, true, 0x17606b, SS_LEFT},
        {kTerms, {192, 104, 400, 232}, 12, false, 0x37474f, SS_LEFT},
        {L"出品：岚栖工作室", {8, 128, 160, 144}, 11, false, kContactColour, SS_LEFTNOWORDWRAP},
        {L"主页：lanqi-studio.example", {8, 142, 160, 158}, 11, false, kContactColour, SS_LEFTNOWORDWRAP},
        {L"邮箱：hi@lanqi.example", {8, 156, 160, 172}, 11, false, kContactColour, SS_LEFTNOWORDWRAP},
        {L"论坛：bbs.lanqi.example", {8, 172, 160, 188}, 11, false, kContactColour, SS_LEFTNOWORDWRAP},
        {L"微博：@岚栖工作室", {8, 188, 160, 204}, 11, false, kContactColour, SS_LEFTNOWORDWRAP},
        {L"单击这里下载最新版本", {8, 208, 128, 224}, 12, false, 0x1f5fbf, SS_LEFTNOWORDWRAP},
        {L"Copyright © 2014-2024 岚栖工作室  版权所有",
         {0, 229, 400, 253},
         12,
         false,
         kContactColour,
         SS_CENTER | SS_CENTERIMAGE},
    };
    for (const AboutText& text : texts) {
        const RECT& r = text.area;
        HWND control =
            createControl(window, L"STATIC", text.text, WS_VISIBLE | SS_NOPREFIX | text.style,
                          {r.left, r.top, r.right - r.left, r.bottom - r.top}, 0, uiFont(text.pixels, text.bold));
        ::SetPropW(control, L"LanqiTextColour", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(colour(text.rgb))));
    }
}

LRESULT CALLBACK aboutProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = windowOwner<AboutState>(window, message, lParam);
    switch (message) {
        case WM_PAINT:
            paintAbout(window);
            return 0;
        case kGetDpiScaledSize:
            dpiScaledSize(window, static_cast<int>(wParam), *reinterpret_cast<SIZE*>(lParam));
            return TRUE;
        case WM_DPICHANGED:
            if (state != nullptr) {
                followDpiChange(window, state->dpi, *reinterpret_cast<const RECT*>(lParam));
                state->dpi = dpiOf(window);
            }
            return 0;
        case WM_ERASEBKGND: {
            RECT area{};
            ::GetClientRect(window, &area);
            HBRUSH fill = ::CreateSolidBrush(shownColour(RGB(255, 255, 255), SystemColour::Window));
            ::FillRect(reinterpret_cast<HDC>(wParam), &area, fill);
            ::DeleteObject(fill);
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const auto designed = static_cast<COLORREF>(
                reinterpret_cast<INT_PTR>(::GetPropW(reinterpret_cast<HWND>(lParam), L"LanqiTextColour")));
            ::SetTextColor(dc, shownColour(designed, SystemColour::Text));
            ::SetBkColor(dc, shownColour(RGB(255, 255, 255), SystemColour::Window));
            return reinterpret_cast<LRESULT>(highContrast() ? ::GetSysColorBrush(COLOR_WINDOW)
                                                            : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        }
        case WM_COMMAND:
            // Esc and Enter, as the dialog keys give them.
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) ::SendMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_CLOSE:
            if (state == nullptr) break;
            state->closed = true;
            // A modal window goes once its owner takes the input again (AboutWindow::load).
            if (!state->modal) ::DestroyWindow(window);
            return 0;
        case WM_NCDESTROY:
            if (state != nullptr) {
                state->window->setHandle(nullptr);
                state->closed = true;
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Esc (and Enter) close the window; the dialog keys show the focus cues.
class AboutKeys final : public KeyboardOwner {
  public:
    bool preTranslate(MSG& message) override { return dialogKeys(::GetAncestor(message.hwnd, GA_ROOT), message); }
};

}  // namespace

bool AboutWindow::load(HWND owner, bool modal) {
    if (handle() != nullptr) {
        ::ShowWindow(handle(), SW_SHOW);
        ::SetForegroundWindow(handle());
        return true;
    }
    registerWindowClass(L"LanqiAbout", &aboutProcedure, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    static AboutKeys keys;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | (owner == nullptr ? WS_EX_APPWINDOW : 0);
    auto* state = new AboutState{this, modal, false};
    // Made on its owner's monitor (or the primary one), then sized for the DPI it has there.
    RECT ownerRect{0, 0, 0, 0};
    if (owner != nullptr) ::GetWindowRect(owner, &ownerRect);
    HWND window =
        ::CreateWindowExW(exStyle, L"LanqiAbout", (L"关于" + wideFromGbk(productName())).c_str(), style, ownerRect.left,
                          ownerRect.top, kAboutWidth, kAboutHeight, owner, nullptr, ::GetModuleHandleW(nullptr), state);
    if (window == nullptr) {
        delete state;
        return false;
    }
    state->dpi = dpiOf(window);
    sizeAndCentre(window, owner, kAboutWidth, kAboutHeight);
    setHandle(window);
    addTexts(window);
    setKeyboardOwner(window, &keys);
    if (!modal) {
        ::ShowWindow(window, SW_SHOW);
        return true;  // the state stays with the window until the program ends
    }
    hideKeyboardCues(window);
    runModal(window, owner, [state] { return state->closed; });
    if (handle() != nullptr) ::DestroyWindow(handle());
    delete state;
    return true;
}

}  // namespace lanqi::win32
