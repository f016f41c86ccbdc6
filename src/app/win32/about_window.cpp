#include "app/win32/dialogs.h"
#include "app/win32/win32_ui.h"
#include "platform/product.h"

namespace lanqi::win32 {
namespace {

struct AboutState {
    AboutWindow* window = nullptr;
    bool closed = false;
    int dpi = kDesignDpi;  // the DPI it is drawn at
};

// Everything in the window is drawn: the card behind first, so that the product card lies over it.
void paintAbout(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    const int dpi = dpiOf(window);
    const auto at = [dpi](RECT design) { return scaled(design, dpi); };
    drawBitmap(dc, picture(L"ABOUT_BACK", dpi), scaled(16, dpi), scaled(16, dpi));
    drawBitmap(dc, picture(L"ABOUT_FRONT", dpi), scaled(8, dpi), scaled(8, dpi));
    drawText(dc, wideFromGbk(productName() + "\r\nv" + kProductVersionText), at({192, 32, 400, 80}),
             uiFont(18, true, dpi), colour(0x17606b), DT_LEFT | DT_TOP);
    drawText(dc,
             L"本软件为免费软件。在不作任何修改、保持完整的前提下，您可以自由复制并免费传播本软件。本软件仅供个人非"
             L"商业用途使用；因使用本软件造成的数据丢失或任何故障，作者不承担责任。本软件不含任何病毒、木马或流氓代"
             L"码，请放心使用。",
             at({192, 104, 400, 232}), uiFont(12, false, dpi), colour(0x37474f), DT_LEFT | DT_TOP | DT_WORDBREAK);
    drawText(dc, L"单击这里下载最新版本", at({8, 208, 128, 224}), uiFont(12, false, dpi), colour(0x1f5fbf),
             DT_LEFT | DT_SINGLELINE);
    const struct {
        int top;
        const wchar_t* text;
    } contacts[] = {
        {128, L"出品：岚栖工作室"},        {142, L"主页：lanqi-studio.example"}, {156, L"邮箱：hi@lanqi.example"},
        {172, L"论坛：bbs.lanqi.example"}, {188, L"微博：@岚栖工作室"},
    };
    for (const auto& line : contacts)
        drawText(dc, line.text, at({8, line.top, 160, line.top + 16}), uiFont(11, false, dpi), colour(0x5f6b6d),
                 DT_LEFT | DT_SINGLELINE);
    drawText(dc, L"Copyright © 2014-2024 岚栖工作室  版权所有", at({-8, 229, 400, 253}), uiFont(12, false, dpi),
             colour(0x5f6b6d), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::EndPaint(window, &ps);
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
        case WM_CLOSE:
            if (state != nullptr) state->closed = true;
            ::DestroyWindow(window);
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

// Esc closes the window.
class AboutKeys final : public KeyboardOwner {
  public:
    bool preTranslate(MSG& message) override {
        if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE) return false;
        ::PostMessageW(::GetAncestor(message.hwnd, GA_ROOT), WM_CLOSE, 0, 0);
        return true;
    }
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
    auto* state = new AboutState{this, false};
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
    setKeyboardOwner(window, &keys);
    if (!modal) {
        ::ShowWindow(window, SW_SHOW);
        return true;  // the state stays with the window until the program ends
    }
    runModal(window, owner, [state] { return state->closed; });
    if (handle() != nullptr) ::DestroyWindow(handle());
    delete state;
    return true;
}

}  // namespace lanqi::win32
