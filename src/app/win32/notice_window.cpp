#include "app/win32/dialogs.h"

#include <windows.h>

#include "app/core/vendor.h"
#include "app/win32/win32_ui.h"
#include "platform/product.h"

namespace lanqi::win32 {
namespace {

constexpr int kAgreeId = 1;
constexpr int kQuitId = 2;
constexpr RECT kMakerArea{16, 248, 240, 280};  // the maker line, which is also the link to the vendor's site

class NoticeWindow final : public KeyboardOwner {
  public:
    NoticeWindow(DesktopServices& desktop, Text vendorBase) : m_desktop(desktop), m_vendorBase(std::move(vendorBase)) {}

    NoticeOutcome run() {
        registerWindowClass(L"LanqiNotice", &NoticeWindow::procedure, ::GetSysColorBrush(COLOR_BTNFACE));
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
        m_window = ::CreateWindowExW(exStyle, L"LanqiNotice", wideFromGbk(titlePrefix()).c_str(), style, 0, 0,
                                     kNoticeWidth, kNoticeHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
        if (m_window == nullptr) return NoticeOutcome::QuitAtOnce;
        m_dpi = dpiOf(m_window);
        sizeAndCentre(m_window, nullptr, kNoticeWidth, kNoticeHeight);
        m_agree = createControl(m_window, L"BUTTON", L"同意使用", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                {304, 248, 72, 32}, kAgreeId);
        m_quit = createControl(m_window, L"BUTTON", L"立即退出", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                               {392, 248, 72, 32}, kQuitId);
        addToolTip(m_window, wideFromGbk(m_vendorBase), kMakerArea);
        setKeyboardOwner(m_window, this);
        ::SetFocus(m_agree);
        runModal(m_window, nullptr, [this] { return m_done; });
        setKeyboardOwner(m_window, nullptr);
        ::DestroyWindow(m_window);
        return m_outcome;
    }

    bool preTranslate(MSG& message) override {
        if (message.message != WM_KEYDOWN) return false;
        switch (message.wParam) {
            case VK_ESCAPE:
                askToQuit();
                return true;
            case VK_RETURN:
                finish(::GetFocus() == m_quit ? NoticeOutcome::QuitAtOnce : NoticeOutcome::Agreed);
                return true;
            case VK_TAB:
                ::SetFocus(::GetFocus() == m_agree ? m_quit : m_agree);
                return true;
            default:
                return false;
        }
    }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* notice = windowOwner<NoticeWindow>(window, message, lParam);
        if (notice != nullptr) {
            switch (message) {
                case WM_PAINT:
                    notice->paint();
                    return 0;
                case WM_COMMAND:
                    if (HIWORD(wParam) == BN_CLICKED)
                        notice->finish(LOWORD(wParam) == kAgreeId ? NoticeOutcome::Agreed : NoticeOutcome::QuitAtOnce);
                    return 0;
                case WM_CLOSE:
                    notice->askToQuit();
                    return 0;
                case WM_SETCURSOR:
                    if (handOverArea(window, kMakerArea, lParam)) return TRUE;
                    break;
                case WM_LBUTTONDOWN: {
                    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                    const RECT maker = scaled(kMakerArea, dpiOf(window));
                    if (::PtInRect(&maker, at)) notice->m_desktop.openAddress(notice->m_vendorBase);
                    return 0;
                }
                case kGetDpiScaledSize:
                    dpiScaledSize(window, static_cast<int>(wParam), *reinterpret_cast<SIZE*>(lParam));
                    return TRUE;
                case WM_DPICHANGED:
                    followDpiChange(window, notice->m_dpi, *reinterpret_cast<const RECT*>(lParam));
                    notice->m_dpi = dpiOf(window);
                    return 0;
                case WM_NCDESTROY:
                    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                    break;
                default:
                    break;
            }
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    void paint() {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_window, &ps);
        const int dpi = dpiOf(m_window);
        const auto at = [dpi](RECT design) { return scaled(design, dpi); };
        RECT group = at({14, 8, 14 + 456, 8 + 232});  // 分组框1; the pictures sit inside it
        ::DrawEdge(dc, &group, EDGE_ETCHED, BF_RECT);
        drawBitmap(dc, picture(L"NOTICE", dpi), scaled(14 + 17, dpi), scaled(8 + 32, dpi));
        drawBitmap(dc, picture(L"NOTICE_STRIP", dpi), scaled(14 + 36, dpi), scaled(8 + 168, dpi));
        drawText(dc, L"健 康 绿 色 上 网  ·  共 建 和 谐 网 络", at({14 + 16, 8 + 168, 14 + 440, 8 + 216}),
                 uiFont(16, true, dpi), colour(0x2e7d32), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        const HFONT small = uiFont(12, false, dpi);
        drawText(dc, L"岚栖工作室 出品", at({16, 250, 240, 265}), small, colour(0x5f6b6d), DT_LEFT | DT_SINGLELINE);
        drawText(dc, wideFromGbk(vendorAddressForDisplay(m_vendorBase)), at({16, 265, 240, 280}), small,
                 colour(0x5f6b6d), DT_LEFT | DT_SINGLELINE);
        ::EndPaint(m_window, &ps);
    }

    void askToQuit() {
        static const Text text = gbk(u8"精彩内容等着您哦，您确定要退出吗？！");
        static const Text caption = gbk(u8"退出软件");
        const Win32Window owner(m_window);
        if (m_desktop.showMessageBox(text, kMessageOkCancel | kMessageIconQuestion, caption, &owner) ==
            MessageAnswer::Ok)
            finish(NoticeOutcome::QuitConfirmed);
    }

    void finish(NoticeOutcome outcome) {
        m_outcome = outcome;
        m_done = true;
    }

    DesktopServices& m_desktop;
    Text m_vendorBase;
    HWND m_window = nullptr;
    HWND m_agree = nullptr;
    HWND m_quit = nullptr;
    int m_dpi = kDesignDpi;  // the DPI its controls are shown at
    NoticeOutcome m_outcome = NoticeOutcome::QuitAtOnce;
    bool m_done = false;
};

}  // namespace

NoticeOutcome runNoticeWindow(DesktopServices& desktop, const Text& vendorBase) {
    return NoticeWindow(desktop, vendorBase).run();
}

}  // namespace lanqi::win32
