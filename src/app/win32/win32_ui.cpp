#include "app/win32/win32_ui.h"

#include <commctrl.h>

#include <map>
#include <memory>
#include <vector>

#include "app/core/main_window_design.h"
#include "platform/jpeg_image.h"
#include "platform/win32_text.h"

namespace lanqi::win32 {
namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr const wchar_t* kLabelClass = L"LanqiLabel";
constexpr const wchar_t* kPosterClass = L"LanqiTaskPoster";
constexpr const wchar_t* kKeyboardOwnerProperty = L"LanqiKeyboardOwner";

HINSTANCE instance() { return ::GetModuleHandleW(nullptr); }

int CALLBACK noteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool familyInstalled(const wchar_t* family) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(wanted.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace

std::wstring wideFromGbk(const Text& gbk) {
    if (gbk.empty()) return {};
    return widen(convertText(gbk, "GBK", "UTF-8"));
}

std::wstring wideFromUtf8(std::string_view utf8) { return widen(std::string(utf8)); }

Text gbkFromWide(const std::wstring& wide) {
    if (wide.empty()) return {};
    return convertText(narrow(wide), "UTF-8", "GBK");
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HFONT font(std::initializer_list<const wchar_t*> families, int pixelHeight, bool bold, BYTE charset) {
    static std::map<std::tuple<std::wstring, int, bool, BYTE>, HFONT> made;
    const wchar_t* chosen = nullptr;
    for (const wchar_t* family : families) {
        chosen = family;
        if (familyInstalled(family)) break;
    }
    const auto key = std::make_tuple(std::wstring(chosen != nullptr ? chosen : L""), pixelHeight, bold, charset);
    if (const auto known = made.find(key); known != made.end()) return known->second;
    LOGFONTW look{};
    look.lfHeight = -pixelHeight;
    look.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    look.lfCharSet = charset;
    look.lfQuality = CLEARTYPE_QUALITY;
    if (chosen != nullptr) wcsncpy_s(look.lfFaceName, chosen, LF_FACESIZE - 1);
    HFONT created = ::CreateFontIndirectW(&look);
    made.emplace(key, created);
    return created;
}

HFONT uiFont(int pixelHeight, bool bold) {
    return font({L"Microsoft YaHei", L"微软雅黑", L"SimSun", L"宋体", L"Noto Sans CJK SC"}, pixelHeight, bold);
}

namespace {

HFONT fontOf(const FontDesign& design) {
    const std::wstring faces[] = {wideFromUtf8(design.faces[0]), wideFromUtf8(design.faces[1]),
                                  wideFromUtf8(design.faces[2]), wideFromUtf8(design.faces[3]),
                                  wideFromUtf8(design.faces[4])};
    return font({faces[0].c_str(), faces[1].c_str(), faces[2].c_str(), faces[3].c_str(), faces[4].c_str()},
                design.pixels);
}

}  // namespace

HFONT listFont() { return fontOf(kListFontDesign); }

HFONT bannerFont() { return fontOf(kBannerFontDesign); }

HBITMAP picture(const wchar_t* name) {
    static std::map<std::wstring, HBITMAP> decoded;
    if (const auto known = decoded.find(name); known != decoded.end()) return known->second;
    HBITMAP bitmap = nullptr;
    HRSRC found = ::FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found != nullptr ? ::LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes != nullptr) {
        const RgbImage image =
            decodeJpeg(std::string_view(static_cast<const char*>(bytes), ::SizeofResource(nullptr, found)));
        if (!image.empty()) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(info.bmiHeader);
            info.bmiHeader.biWidth = image.width;
            info.bmiHeader.biHeight = -image.height;  // rows top to bottom
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap != nullptr) {
                // DIB rows are B, G, R and padded to four bytes.
                const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~static_cast<size_t>(3);
                auto* out = static_cast<std::uint8_t*>(bits);
                for (int y = 0; y < image.height; ++y) {
                    const std::uint8_t* in = image.pixels.data() + static_cast<size_t>(y) * image.width * 3;
                    std::uint8_t* row = out + static_cast<size_t>(y) * stride;
                    for (int x = 0; x < image.width; ++x) {
                        row[x * 3] = in[x * 3 + 2];
                        row[x * 3 + 1] = in[x * 3 + 1];
                        row[x * 3 + 2] = in[x * 3];
                    }
                }
            }
        }
    }
    decoded.emplace(name, bitmap);
    return bitmap;
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP facts{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(facts), &facts) == 0) return {0, 0};
    return {facts.bmWidth, std::abs(facts.bmHeight)};
}

void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
    if (bitmap == nullptr) return;
    const SIZE size = bitmapSize(bitmap);
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ previous = ::SelectObject(source, bitmap);
    ::BitBlt(dc, x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
}

void registerWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof(type);
    if (::GetClassInfoExW(instance(), name, &type)) return;
    type.cbSize = sizeof(type);
    type.style = CS_DBLCLKS;
    type.lpfnWndProc = procedure;
    type.hInstance = instance();
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hIcon = ::LoadIconW(instance(), MAKEINTRESOURCEW(1));
    type.hbrBackground = background;
    type.lpszClassName = name;
    ::RegisterClassExW(&type);
}

bool handOverArea(HWND window, const RECT& area, LPARAM hitTest) {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    ::ScreenToClient(window, &pointer);
    if (LOWORD(hitTest) != HTCLIENT || area.right <= area.left || !::PtInRect(&area, pointer)) return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void drawText(HDC dc, const std::wstring& text, RECT area, HFONT font, COLORREF textColour, UINT format) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour);
    HGDIOBJ previous = ::SelectObject(dc, font != nullptr ? font : uiFont());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_NOPREFIX);
    ::SelectObject(dc, previous);
}

HWND createControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style, const Geometry& g,
                   int id, HFONT font) {
    HWND control =
        ::CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, g.left, g.top, g.width,
                          g.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
    if (control == nullptr) return nullptr;
    ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font : uiFont()), FALSE);
    return control;
}

void setGeometry(HWND control, const Geometry& g) {
    ::SetWindowPos(control, nullptr, g.left, g.top, g.width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

Geometry geometryOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void setVisible(HWND control, bool visible) { ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE); }

Label::Label(HWND parent, const Geometry& geometry, LabelLook look, bool shown) : m_look(std::move(look)) {
    registerWindowClass(kLabelClass, &Label::procedure);
    const DWORD exStyle = m_look.transparent ? WS_EX_TRANSPARENT : 0;
    m_handle = ::CreateWindowExW(exStyle, kLabelClass, m_look.text.c_str(),
                                 WS_CHILD | (m_look.transparent ? 0 : WS_CLIPSIBLINGS) | (shown ? WS_VISIBLE : 0),
                                 geometry.left, geometry.top, geometry.width, geometry.height, parent, nullptr,
                                 instance(), this);
    if (m_handle != nullptr) ::SetWindowPos(m_handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Label::setText(const std::wstring& text) {
    m_look.text = text;
    ::SetWindowTextW(m_handle, text.c_str());  // what assistive tools read
    ::InvalidateRect(m_handle, nullptr, TRUE);
}

void Label::setTextColour(COLORREF colour) {
    if (colour == m_look.textColour) return;
    m_look.textColour = colour;
    ::InvalidateRect(m_handle, nullptr, TRUE);
}

void Label::setPictureAt(POINT at) {
    if (at.x == m_look.pictureAt.x && at.y == m_look.pictureAt.y) return;
    m_look.pictureAt = at;
    ::InvalidateRect(m_handle, nullptr, TRUE);
}

LRESULT CALLBACK Label::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* label = windowOwner<Label>(window, message, lParam);
    if (label != nullptr && message == WM_NCCREATE) label->m_handle = window;
    return label != nullptr ? label->handle(message, wParam, lParam)
                            : ::DefWindowProcW(window, message, wParam, lParam);
}

bool Label::inLinkArea(POINT at) const {
    const RECT& area = m_look.linkArea;
    return area.right > area.left && ::PtInRect(&area, at);
}

LRESULT Label::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // painted whole in WM_PAINT
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_handle, &ps);
            if (!m_look.transparent) paint(dc);
            ::EndPaint(m_handle, &ps);
            return 0;
        }
        case WM_SETCURSOR:
            if (handOverArea(m_handle, m_look.linkArea, lParam)) return TRUE;
            break;
        case WM_MOUSEMOVE:
            if (m_events.pointerMoved) m_events.pointerMoved(at.x, at.y, static_cast<int>(wParam & 0x1F));
            return 0;
        case WM_LBUTTONDOWN: {
            const bool hasLink = m_look.linkArea.right > m_look.linkArea.left;
            if (m_events.leftPressed && (!hasLink || inLinkArea(at))) m_events.leftPressed();
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            if (m_events.doubleClicked) m_events.doubleClicked();
            return 0;
        case WM_RBUTTONDOWN:
            if (m_events.rightPressed) m_events.rightPressed();
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(m_handle, message, wParam, lParam);
}

void Label::paint(HDC dc) {
    RECT area{};
    ::GetClientRect(m_handle, &area);
    const COLORREF fill = m_look.backgroundFrom != nullptr ? *m_look.backgroundFrom : m_look.background;
    HBRUSH background = ::CreateSolidBrush(fill);
    ::FillRect(dc, &area, background);
    ::DeleteObject(background);
    const SIZE pictureSize = m_look.picture != nullptr ? bitmapSize(m_look.picture) : SIZE{0, 0};
    if (m_look.fitPicture && pictureSize.cx > area.right && area.right > 0) {
        const int height = static_cast<int>(static_cast<long long>(pictureSize.cy) * area.right / pictureSize.cx);
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ previous = ::SelectObject(source, m_look.picture);
        ::SetStretchBltMode(dc, HALFTONE);
        ::StretchBlt(dc, 0, (area.bottom - height) / 2, area.right, height, source, 0, 0, pictureSize.cx,
                     pictureSize.cy, SRCCOPY);
        ::SelectObject(source, previous);
        ::DeleteDC(source);
    } else if (m_look.picture != nullptr) {
        drawBitmap(dc, m_look.picture, m_look.pictureAt.x, m_look.pictureAt.y);
    }
    if (m_look.topLine) {
        HPEN pen = ::CreatePen(PS_SOLID, 1, m_look.lineColour);
        HGDIOBJ previous = ::SelectObject(dc, pen);
        ::MoveToEx(dc, 0, 0, nullptr);
        ::LineTo(dc, area.right, 0);
        ::SelectObject(dc, previous);
        ::DeleteObject(pen);
    }
    if (!m_look.text.empty()) {
        const RECT textArea{area.left + m_look.margins.left, area.top + m_look.margins.top,
                            area.right - m_look.margins.right, area.bottom - m_look.margins.bottom};
        drawText(dc, m_look.text, textArea, m_look.font, m_look.textColour, m_look.format);
    }
}

HWND addToolTip(HWND control, const std::wstring& text, RECT area) {
    HWND tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                                  instance(), nullptr);
    if (tips == nullptr) return nullptr;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = 1;
    if (area.right <= area.left) ::GetClientRect(control, &area);
    tool.rect = area;
    std::wstring shown = text;
    tool.lpszText = shown.data();
    ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return tips;
}

void setToolTipText(HWND tips, HWND control, const std::wstring& text) {
    if (tips == nullptr) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = control;
    tool.uId = 1;
    std::wstring shown = text;
    tool.lpszText = shown.data();
    ::SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void setKeyboardOwner(HWND topLevel, KeyboardOwner* owner) {
    if (owner != nullptr) {
        ::SetPropW(topLevel, kKeyboardOwnerProperty, owner);
    } else {
        ::RemovePropW(topLevel, kKeyboardOwnerProperty);
    }
}

void routeMessage(MSG& message) {
    const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (message.hwnd != nullptr && (key || message.message == WM_MOUSEMOVE)) {
        HWND top = ::GetAncestor(message.hwnd, GA_ROOT);
        if (auto* owner = static_cast<KeyboardOwner*>(::GetPropW(top, kKeyboardOwnerProperty))) {
            if (owner->preTranslate(message)) return;
        }
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void runModal(HWND window, HWND owner, const std::function<bool()>& finished) {
    const bool ownerEnabled = owner != nullptr && ::IsWindowEnabled(owner);
    if (ownerEnabled) ::EnableWindow(owner, FALSE);
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    bool quit = false;
    int quitCode = 0;
    MSG message;
    while (!finished()) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got < 0) break;
        routeMessage(message);
    }
    if (ownerEnabled) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    if (quit) ::PostQuitMessage(quitCode);
}

void MessagePump::processPendingEvents() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns the program
            return;
        }
        routeMessage(message);
    }
}

MessagePoster::MessagePoster() {
    registerWindowClass(kPosterClass, &MessagePoster::procedure);
    m_window = ::CreateWindowExW(0, kPosterClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance(), nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessagePoster::~MessagePoster() {
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    ::DestroyWindow(m_window);
    const std::lock_guard lock(m_mutex);
    m_tasks.clear();
}

void MessagePoster::post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    // One message a task: a task that runs a modal loop (a message box) lets the ones after it run inside it.
    ::PostMessageW(m_window, kRunTasks, 0, 0);
}

void MessagePoster::runQueued() {
    for (;;) {
        std::function<void()> task;
        {
            const std::lock_guard lock(m_mutex);
            if (m_tasks.empty()) return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

LRESULT CALLBACK MessagePoster::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTasks) {
        if (auto* poster = reinterpret_cast<MessagePoster*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
            poster->runQueued();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

POINT centredPosition(HWND owner, int width, int height) {
    RECT area{};
    if (owner == nullptr || !::GetWindowRect(owner, &area)) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
}

SIZE outerSize(DWORD style, DWORD exStyle, int width, int height) {
    RECT r{0, 0, width, height};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace lanqi::win32
