#include "app/win32/dialogs.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "app/core/vendor.h"
#include "app/win32/win32_ui.h"
#include "platform/product.h"

namespace lanqi::win32 {
namespace {

constexpr int kAgreeId = IDOK;                    // Enter, unless another button has the focus
constexpr int kQuitId = 3;                        // not IDCANCEL: Esc asks first
constexpr Geometry kMakerArea{16, 248, 224, 32};  // the maker line, which is also the link to the vendor's site
constexpr RECT kGroup{14, 8, 14 + 456, 8 + 232};  // 分组框1; the pictures sit inside it

class NoticeWindow final : public KeyboardOwner {
  public:
    NoticeWindow(DesktopServices& desktop, Text vendorBase) : m_desktop(desktop), m_vendorBase(std::move(vendorBase)) {}

    NoticeOutcome run() {
        registerWindowClass(L"LanqiNotice", &NoticeWindow::procedure, nullptr);
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
        m_window = ::CreateWindowExW(exStyle, L"LanqiNotice", wideFromGbk(titlePrefix()).c_str(), style, 0, 0,
                                     kNoticeWidth, kNoticeHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
        if (m_window == nullptr) return NoticeOutcome::QuitAtOnce;
        m_dpi = dpiOf(m_window);
        sizeAndCentre(m_window, nullptr, kNoticeWidth, kNoticeHeight);
        addContents();
        setKeyboardOwner(m_window, this);
        hideKeyboardCues(m_window);
        ::SetFocus(m_agree);
        runModal(m_window, nullptr, [this] { return m_done; });
        setKeyboardOwner(m_window, nullptr);
        ::DestroyWindow(m_window);
        return m_outcome;
    }

    // The dialog keys: Tab among the link and the buttons, Enter on the default button (同意使用 unless 立即退出
    // has the focus), Esc as the close box.
    bool preTranslate(MSG& message) override {
        const bool taken = dialogKeys(m_window, message);
        if (message.message == WM_KEYDOWN) showDefaultButton(m_window, kAgreeId);
        return taken;
    }

  private:
    // The pictures and texts as labels a screen reader reads: the notice picture by its name, the slogan and
    // the maker line by their text; the link over the maker line and the buttons are the tab stops.
    void addContents() {
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        LabelLook notice;
        notice.picture = picture(L"NOTICE");
        notice.background = face;
        m_labels.push_back(std::make_unique<Label>(m_window, Geometry{14 + 17, 8 + 32, 421, 107}, notice));
        ::SetWindowTextW(m_labels.back()->handle(), L"使用须知：请合法使用本软件");
        LabelLook slogan;
        slogan.picture = picture(L"NOTICE_STRIP");
        slogan.pictureAt = {20, 0};  // 图片框1 at 36, the slogan's label at 16 of the group
        slogan.background = face;
        slogan.text = L"健 康 绿 色 上 网  ·  共 建 和 谐 网 络";
        slogan.font = uiFont(16, true);
        slogan.textColour = colour(0x2e7d32);
        slogan.format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
        m_labels.push_back(std::make_unique<Label>(m_window, Geometry{14 + 16, 8 + 168, 424, 48}, slogan));
        LabelLook maker;
        maker.background = face;
        maker.text = L"岚栖工作室 出品\r\n" + wideFromGbk(vendorAddressForDisplay(m_vendorBase));
        maker.font = uiFont(12);
        maker.textColour = colour(0x5f6b6d);
        maker.format = DT_LEFT | DT_TOP | DT_NOPREFIX;
        maker.margins = {0, 2, 0, 0};
        // The line is the link to the vendor's site: a tab stop a screen reader calls 官方网站.
        maker.linkArea = {0, 0, kMakerArea.width, kMakerArea.height};
        maker.focusable = true;
        maker.accessibleName = L"官方网站";
        m_labels.push_back(std::make_unique<Label>(m_window, kMakerArea, maker));
        m_link = m_labels.back()->handle();
        m_labels.back()->events().leftPressed = [this] { m_desktop.openAddress(m_vendorBase); };
        addToolTip(m_link, wideFromGbk(m_vendorBase));
        // Made after the link, so that the tab order is the link, 同意使用, 立即退出.
        m_agree = createControl(m_window, L"BUTTON", L"同意使用", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                {304, 248, 72, 32}, kAgreeId);
        m_quit = createControl(m_window, L"BUTTON", L"立即退出", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                               {392, 248, 72, 32}, kQuitId);
        // createControl lays each control over the earlier ones; the tab order is the z order, top first.
        std::vector<HWND> order{m_link, m_agree, m_quit};
        for (const auto& label : m_labels)
            if (label->handle() != m_link) order.push_back(label->handle());
        for (HWND control : order)
            ::SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* notice = windowOwner<NoticeWindow>(window, message, lParam);
        if (notice != nullptr) {
            switch (message) {
                case WM_ERASEBKGND: {
                    RECT area{};
                    ::GetClientRect(window, &area);
                    ::FillRect(reinterpret_cast<HDC>(wParam), &area, ::GetSysColorBrush(COLOR_BTNFACE));
                    return 1;
                }
                case WM_PAINT: {
                    PAINTSTRUCT ps;
                    HDC dc = ::BeginPaint(window, &ps);
                    RECT group = scaled(kGroup, dpiOf(window));
                    ::DrawEdge(dc, &group, EDGE_ETCHED, BF_RECT);
                    ::EndPaint(window, &ps);
                    return 0;
                }
                case DM_GETDEFID:
                    return MAKELRESULT(defaultButtonId(window, kAgreeId), DC_HASDEFID);
                case WM_COMMAND:
                    switch (LOWORD(wParam)) {
                        case kAgreeId:
                            notice->finish(NoticeOutcome::Agreed);
                            break;
                        case kQuitId:
                            notice->finish(NoticeOutcome::QuitAtOnce);
                            break;
                        case IDCANCEL:
                            notice->askToQuit();
                            break;
                        default:
                            break;
                    }
                    return 0;
                case WM_CLOSE:
                    notice->askToQuit();
                    return 0;
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
    HWND m_link = nullptr;
    std::vector<std::unique_ptr<Label>> m_labels;
    NoticeOutcome m_outcome = NoticeOutcome::QuitAtOnce;
    bool m_done = false;
};

}  // namespace

NoticeOutcome runNoticeWindow(DesktopServices& desktop, const Text& vendorBase) {
    return NoticeWindow(desktop, vendorBase).run();
}

}  // namespace lanqi::win32
