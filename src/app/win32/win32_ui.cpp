#include "app/win32/win32_ui.h"

#include <commctrl.h>
#include <oleacc.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/core/main_window_design.h"
#include "platform/jpeg_image.h"
#include "platform/win32_text.h"

namespace lanqi::win32 {
namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr UINT kPressLabel = WM_APP + 3;  // a screen reader's default action on a label that is a button
constexpr const wchar_t* kLabelClass = L"LanqiLabel";
constexpr const wchar_t* kPosterClass = L"LanqiTaskPoster";
constexpr const wchar_t* kKeyboardOwnerProperty = L"LanqiKeyboardOwner";

HINSTANCE instance() { return ::GetModuleHandleW(nullptr); }

int CALLBACK noteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Asked of the system once per family.
bool familyInstalled(const wchar_t* family) {
    static std::map<std::wstring, bool> known;
    if (const auto seen = known.find(family); seen != known.end()) return seen->second;
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(wanted.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    known.emplace(family, found);
    return found;
}

// The DPI functions of Windows 10 (1607) and later, where the system has them.
using DpiForWindow = UINT(WINAPI*)(HWND);
using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
    HMODULE loaded = ::GetModuleHandleW(module);
    if (loaded == nullptr) loaded = ::LoadLibraryW(module);
    return loaded != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(loaded, name)))
                             : nullptr;
}

DpiForWindow dpiForWindow() {
    static const auto function = systemFunction<DpiForWindow>(L"user32.dll", "GetDpiForWindow");
    return function;
}

AdjustForDpi adjustForDpi() {
    static const auto function = systemFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    return function;
}

DpiForMonitor dpiForMonitor() {
    static const auto function = systemFunction<DpiForMonitor>(L"shcore.dll", "GetDpiForMonitor");
    return function;
}

int screenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

// A label's accessible object (the interface named by __uuidof: mingw's oleacc library gives no usable
// IID_IAccessible): the system's client object for its window (named by its window text, with its
// place and state), as a push button whose default action presses it, or as static text.
class LabelAccessible final : public IAccessible {
  public:
    LabelAccessible(HWND window, IAccessible* standard, bool button, std::wstring name)
        : m_window(window), m_standard(standard), m_button(button), m_name(std::move(name)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (id == IID_IUnknown || id == IID_IDispatch || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return m_standard->QueryInterface(id, object);  // IOleWindow, IEnumVARIANT: the window's own
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) {
            m_standard->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_standard->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
        return m_standard->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* wrong) override {
        return m_standard->Invoke(member, id, locale, flags, parameters, result, exception, wrong);
    }

    // IAccessible: the role and the default action are the label's, the rest the window's.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr) return E_POINTER;
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return m_standard->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = m_button ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_STATICTEXT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (action == nullptr) return E_POINTER;
        if (!m_button || child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return m_standard->get_accDefaultAction(child, action);
        *action = ::SysAllocString(L"按下");
        return *action != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!m_button || child.vt != VT_I4 || child.lVal != CHILDID_SELF) return m_standard->accDoDefaultAction(child);
        return ::PostMessageW(m_window, kPressLabel, 0, 0) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) return E_POINTER;
        if (m_name.empty() || child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return m_standard->get_accName(child, name);
        *name = ::SysAllocString(m_name.c_str());
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return m_standard->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return m_standard->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_standard->put_accValue(child, value);
    }

  private:
    LONG m_references = 1;
    HWND m_window;
    IAccessible* m_standard;
    bool m_button;
    std::wstring m_name;  // "" for the window text
};

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

int dpiOf(HWND window) {
    if (window != nullptr) {
        if (const DpiForWindow function = dpiForWindow()) {
            const UINT dpi = function(window);
            if (dpi > 0) return static_cast<int>(dpi);
        }
    }
    return screenDpi();
}

int dpiOfMonitor(HMONITOR monitor) {
    if (const DpiForMonitor function = dpiForMonitor(); function != nullptr && monitor != nullptr) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(function(monitor, 0, &x, &y)) && y > 0) return static_cast<int>(y);  // MDT_EFFECTIVE_DPI
    }
    return screenDpi();
}

int scaled(int value, int dpi) { return dpi == kDesignDpi ? value : ::MulDiv(value, dpi, kDesignDpi); }

int unscaled(int value, int dpi) { return dpi == kDesignDpi || dpi <= 0 ? value : ::MulDiv(value, kDesignDpi, dpi); }

Geometry scaled(const Geometry& g, int dpi) {
    const int left = scaled(g.left, dpi), top = scaled(g.top, dpi);
    return {left, top, scaled(g.left + g.width, dpi) - left, scaled(g.top + g.height, dpi) - top};
}

Geometry unscaled(const Geometry& g, int dpi) {
    const int left = unscaled(g.left, dpi), top = unscaled(g.top, dpi);
    return {left, top, unscaled(g.left + g.width, dpi) - left, unscaled(g.top + g.height, dpi) - top};
}

RECT scaled(const RECT& r, int dpi) {
    return {scaled(r.left, dpi), scaled(r.top, dpi), scaled(r.right, dpi), scaled(r.bottom, dpi)};
}

SIZE clientSize(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    const int dpi = dpiOf(window);
    return {unscaled(client.right, dpi), unscaled(client.bottom, dpi)};
}

namespace {

// What a font made here was asked for, so that the same font can be made for another DPI.
struct FontKey {
    std::wstring family;
    int pixelHeight = 0;
    bool bold = false;
    BYTE charset = 0;
    int dpi = kDesignDpi;
    auto operator<=>(const FontKey&) const = default;
};

std::map<FontKey, HFONT>& madeFonts() {
    static std::map<FontKey, HFONT> made;
    return made;
}

std::map<HFONT, FontKey>& fontKeys() {
    static std::map<HFONT, FontKey> keys;
    return keys;
}

HFONT fontFor(const FontKey& key) {
    if (const auto known = madeFonts().find(key); known != madeFonts().end()) return known->second;
    LOGFONTW look{};
    look.lfHeight = -scaled(key.pixelHeight, key.dpi);
    look.lfWeight = key.bold ? FW_BOLD : FW_NORMAL;
    look.lfCharSet = key.charset;
    look.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy_s(look.lfFaceName, key.family.c_str(), LF_FACESIZE - 1);
    HFONT created = ::CreateFontIndirectW(&look);
    madeFonts().emplace(key, created);
    if (created != nullptr) fontKeys().emplace(created, key);
    return created;
}

}  // namespace

HFONT font(std::initializer_list<const wchar_t*> families, int pixelHeight, bool bold, BYTE charset, int dpi) {
    // The families asked for, as they were chosen among the first time: a row of the results asks again.
    static std::map<std::wstring, std::wstring> chosenFor;
    std::wstring asked;
    for (const wchar_t* family : families) asked.append(family).push_back(L'\n');
    auto chosen = chosenFor.find(asked);
    if (chosen == chosenFor.end()) {
        const wchar_t* pick = nullptr;
        for (const wchar_t* family : families) {
            pick = family;
            if (familyInstalled(family)) break;
        }
        chosen = chosenFor.emplace(asked, std::wstring(pick != nullptr ? pick : L"")).first;
    }
    return fontFor({chosen->second, pixelHeight, bold, charset, dpi});
}

HFONT fontAtDpi(HFONT font, int dpi) {
    const auto known = fontKeys().find(font);
    if (known == fontKeys().end() || known->second.dpi == dpi) return font;
    FontKey key = known->second;
    key.dpi = dpi;
    return fontFor(key);
}

HFONT uiFont(int pixelHeight, bool bold, int dpi) {
    return font({L"Microsoft YaHei", L"微软雅黑", L"SimSun", L"宋体", L"Noto Sans CJK SC"}, pixelHeight, bold,
                GB2312_CHARSET, dpi);
}

HFONT fittingUiFont(HWND control, int pixelHeight, int padding) {
    const int dpi = dpiOf(control);
    const std::wstring caption = windowText(control);
    RECT area{};
    ::GetClientRect(control, &area);
    const int room = area.right - 2 * scaled(padding, dpi);
    HDC dc = ::GetDC(control);
    HFONT chosen = uiFont(pixelHeight, false, dpi);
    for (int pixels = pixelHeight; pixels >= 8; --pixels) {
        chosen = uiFont(pixels, false, dpi);
        HGDIOBJ previous = ::SelectObject(dc, chosen);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        ::SelectObject(dc, previous);
        if (size.cx <= room && size.cy <= area.bottom) break;
    }
    ::ReleaseDC(control, dc);
    return chosen;
}

namespace {

HFONT fontOf(const FontDesign& design, int dpi) {
    const std::wstring faces[] = {wideFromUtf8(design.faces[0]), wideFromUtf8(design.faces[1]),
                                  wideFromUtf8(design.faces[2]), wideFromUtf8(design.faces[3]),
                                  wideFromUtf8(design.faces[4])};
    return font({faces[0].c_str(), faces[1].c_str(), faces[2].c_str(), faces[3].c_str(), faces[4].c_str()},
                design.pixels, false, GB2312_CHARSET, dpi);
}

namespace {

// A 24-bit bitmap of width × height whose rows run top to bottom, and where its pixels are; null when none can be
// made.
HBITMAP dibSection(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

HBITMAP bitmapOf(const RgbImage& image) {
    void* bits = nullptr;
    HBITMAP bitmap = dibSection(image.width, image.height, &bits);
    if (bitmap == nullptr) return nullptr;
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
    return bitmap;
}

// The resource decoded as it is; null when there is none or it cannot be decoded.
HBITMAP decodedResource(const std::wstring& name) {
    static std::map<std::wstring, HBITMAP> decoded;
    if (const auto known = decoded.find(name); known != decoded.end()) return known->second;
    HBITMAP bitmap = nullptr;
    HRSRC found = ::FindResourceW(nullptr, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found != nullptr ? ::LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes != nullptr) {
        const RgbImage image =
            decodeJpeg(std::string_view(static_cast<const char*>(bytes), ::SizeofResource(nullptr, found)));
        if (!image.empty()) bitmap = bitmapOf(image);
    }
    decoded.emplace(name, bitmap);
    return bitmap;
}

// `source` resampled to width × height.
HBITMAP resampled(HBITMAP source, int width, int height) {
    const SIZE from = bitmapSize(source);
    if (from.cx == width && from.cy == height) return source;
    void* bits = nullptr;
    HBITMAP target = dibSection(width, height, &bits);
    if (target == nullptr) return source;
    HDC in = ::CreateCompatibleDC(nullptr);
    HDC out = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previousIn = ::SelectObject(in, source);
    HGDIOBJ previousOut = ::SelectObject(out, target);
    ::SetStretchBltMode(out, HALFTONE);
    ::SetBrushOrgEx(out, 0, 0, nullptr);
    ::StretchBlt(out, 0, 0, width, height, in, 0, 0, from.cx, from.cy, SRCCOPY);
    ::SelectObject(in, previousIn);
    ::SelectObject(out, previousOut);
    ::DeleteDC(in);
    ::DeleteDC(out);
    return target;
}

struct PictureKey {
    std::wstring name;
    int dpi = kDesignDpi;
};

std::map<HBITMAP, PictureKey>& pictureKeys() {
    static std::map<HBITMAP, PictureKey> keys;
    return keys;
}

}  // namespace

HFONT listFont(int dpi) { return fontOf(kListFontDesign, dpi); }

HFONT bannerFont(int dpi) { return fontOf(kBannerFontDesign, dpi); }

HBITMAP picture(const wchar_t* name, int dpi) {
    static std::map<std::pair<std::wstring, int>, HBITMAP> made;
    const auto key = std::make_pair(std::wstring(name), dpi);
    if (const auto known = made.find(key); known != made.end()) return known->second;
    HBITMAP design = decodedResource(name);
    HBITMAP bitmap = design;
    if (design != nullptr && dpi != kDesignDpi) {
        const SIZE size = bitmapSize(design);
        HBITMAP sharp = dpi > kDesignDpi ? decodedResource(std::wstring(name) + L"_2X") : nullptr;
        bitmap = resampled(sharp != nullptr ? sharp : design, scaled(size.cx, dpi), scaled(size.cy, dpi));
    }
    made.emplace(key, bitmap);
    if (bitmap != nullptr) pictureKeys().emplace(bitmap, PictureKey{name, dpi});
    return bitmap;
}

HBITMAP pictureAtDpi(HBITMAP bitmap, int dpi) {
    const auto known = pictureKeys().find(bitmap);
    if (known == pictureKeys().end() || known->second.dpi == dpi) return bitmap;
    return picture(known->second.name.c_str(), dpi);
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
    const RECT shown = scaled(area, dpiOf(window));
    if (LOWORD(hitTest) != HTCLIENT || area.right <= area.left || !::PtInRect(&shown, pointer)) return false;
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

namespace {
std::optional<bool> g_highContrastForTests;
}  // namespace

bool highContrast() {
    if (g_highContrastForTests) return *g_highContrastForTests;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF shownColour(COLORREF designed, SystemColour role) {
    return highContrast() ? ::GetSysColor(static_cast<int>(role)) : designed;
}

void setHighContrastForTests(std::optional<bool> on) { g_highContrastForTests = on; }

HWND createControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                   const Geometry& design, int id, HFONT font) {
    const int dpi = dpiOf(parent);
    const Geometry g = scaled(design, dpi);
    HWND control =
        ::CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, g.left, g.top, g.width,
                          g.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
    if (control == nullptr) return nullptr;
    ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontAtDpi(font != nullptr ? font : uiFont(), dpi)),
                   FALSE);
    return control;
}

HWND nameControl(HWND control, const std::wstring& name) {
    HWND before = ::GetWindow(control, GW_HWNDPREV);
    HWND label = ::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0,
                                   ::GetParent(control), nullptr, instance(), nullptr);
    if (label != nullptr)
        ::SetWindowPos(label, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return label;
}

void setGeometry(HWND control, const Geometry& design) {
    const Geometry g = scaled(design, dpiOf(control));
    ::SetWindowPos(control, nullptr, g.left, g.top, g.width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

Geometry pixelGeometryOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

Geometry geometryOf(HWND control) { return unscaled(pixelGeometryOf(control), dpiOf(control)); }

void followDpiChange(HWND window, int oldDpi, const RECT& suggested) {
    const int dpi = dpiOf(window);
    struct Change {
        int oldDpi;
        int dpi;
        std::vector<std::pair<HWND, Geometry>> places;
    } change{oldDpi, dpi, {}};
    // Every place first (in pixels at the old DPI), then every move: a parent's move changes nothing of its
    // children's places inside it.
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM state) -> BOOL {
            auto& each = *reinterpret_cast<Change*>(state);
            // Tool tips are top-level windows that place themselves; only children are enumerated here.
            each.places.emplace_back(child, pixelGeometryOf(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&change));
    for (const auto& [child, was] : change.places) {
        // The window's own children and those of this program's containers; the parts of a control (a list's
        // header, a drop-down's edit, the browser's page) are the control's to place.
        HWND parent = ::GetParent(child);
        wchar_t parentKind[32] = {};
        ::GetClassNameW(parent, parentKind, 32);
        if (parent != window && wcsncmp(parentKind, L"Lanqi", 5) != 0) continue;
        const Geometry g = scaled(unscaled(was, oldDpi), dpi);
        ::SetWindowPos(child, nullptr, g.left, g.top, g.width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (const auto shown = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)); shown != nullptr) {
            const HFONT now = fontAtDpi(shown, dpi);
            if (now != shown) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(now), TRUE);
        }
        ::InvalidateRect(child, nullptr, TRUE);
    }
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window, nullptr, TRUE);
}

void setVisible(HWND control, bool visible) { ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE); }

Label::Label(HWND parent, const Geometry& geometry, LabelLook look, bool shown) : m_look(std::move(look)) {
    registerWindowClass(kLabelClass, &Label::procedure);
    const DWORD exStyle = m_look.transparent ? WS_EX_TRANSPARENT : 0;
    const Geometry at = scaled(geometry, dpiOf(parent));
    m_handle = ::CreateWindowExW(exStyle, kLabelClass, m_look.text.c_str(),
                                 WS_CHILD | (m_look.transparent ? 0 : WS_CLIPSIBLINGS) | (shown ? WS_VISIBLE : 0) |
                                     (m_look.focusable ? WS_TABSTOP : 0),
                                 at.left, at.top, at.width, at.height, parent, nullptr, instance(), this);
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
    const RECT area = scaled(m_look.linkArea, dpiOf(m_handle));
    return area.right > area.left && ::PtInRect(&area, at);
}

LRESULT Label::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const int dpi = dpiOf(m_handle);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // painted whole in WM_PAINT
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_handle, &ps);
            if (!m_look.transparent) paint(dc);
            const bool cuesHidden = (::SendMessageW(m_handle, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
            if (::GetFocus() == m_handle && !cuesHidden) {
                RECT cue{};
                ::GetClientRect(m_handle, &cue);
                if (!m_look.accessibleName.empty() && m_look.linkArea.right > m_look.linkArea.left)
                    cue = scaled(m_look.linkArea, dpiOf(m_handle));
                ::InflateRect(&cue, -1, -1);
                ::SetTextColor(dc, shownColour(RGB(0, 0, 0), SystemColour::Text));
                ::SetBkColor(dc, shownColour(RGB(255, 255, 255), SystemColour::Window));
                ::DrawFocusRect(dc, &cue);
            }
            ::EndPaint(m_handle, &ps);
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
            redrawFocusCue();
            break;
        case WM_GETDLGCODE: {
            // Enter and Space are its own when it is a tab stop (a dialog would press its default button).
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (m_look.focusable && key != nullptr && key->message == WM_KEYDOWN &&
                (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
                return DLGC_WANTMESSAGE;
            return 0;
        }
        case WM_KEYDOWN:
            if (m_look.focusable && (wParam == VK_RETURN || wParam == VK_SPACE)) {
                if (m_events.leftPressed) m_events.leftPressed();
                return 0;
            }
            break;
        case WM_GETOBJECT:
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                IAccessible* standard = nullptr;
                if (SUCCEEDED(::CreateStdAccessibleObject(m_handle, OBJID_CLIENT, __uuidof(IAccessible),
                                                          reinterpret_cast<void**>(&standard))) &&
                    standard != nullptr) {
                    auto* object = new LabelAccessible(m_handle, standard, m_look.focusable, m_look.accessibleName);
                    const LRESULT answer = ::LresultFromObject(__uuidof(IAccessible), wParam, object);
                    object->Release();
                    return answer;
                }
            }
            break;
        case kPressLabel:
            if (m_events.leftPressed) m_events.leftPressed();
            return 0;
        case WM_SETCURSOR:
            if (handOverArea(m_handle, m_look.linkArea, lParam)) return TRUE;
            break;
        case WM_MOUSEMOVE:
            if (m_events.pointerMoved)
                m_events.pointerMoved(unscaled(at.x, dpi), unscaled(at.y, dpi), static_cast<int>(wParam & 0x1F));
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

void Label::redrawFocusCue() {
    if (!m_look.transparent) {
        ::InvalidateRect(m_handle, nullptr, TRUE);
        return;
    }
    // Nothing of its own to draw over: what lies under it is drawn again, then the cue.
    RECT area{};
    ::GetWindowRect(m_handle, &area);
    HWND parent = ::GetParent(m_handle);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&area), 2);
    ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Label::paint(HDC dc) {
    RECT area{};
    ::GetClientRect(m_handle, &area);
    const int dpi = dpiOf(m_handle);
    HBITMAP picture = m_look.picture != nullptr ? pictureAtDpi(m_look.picture, dpi) : nullptr;
    const COLORREF fill = shownColour(m_look.backgroundFrom != nullptr ? *m_look.backgroundFrom : m_look.background,
                                      SystemColour::Window);
    HBRUSH background = ::CreateSolidBrush(fill);
    ::FillRect(dc, &area, background);
    ::DeleteObject(background);
    const SIZE pictureSize = picture != nullptr ? bitmapSize(picture) : SIZE{0, 0};
    if (m_look.fitPicture && pictureSize.cx > area.right && area.right > 0) {
        const int height = static_cast<int>(static_cast<long long>(pictureSize.cy) * area.right / pictureSize.cx);
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ previous = ::SelectObject(source, picture);
        ::SetStretchBltMode(dc, HALFTONE);
        ::StretchBlt(dc, 0, (area.bottom - height) / 2, area.right, height, source, 0, 0, pictureSize.cx,
                     pictureSize.cy, SRCCOPY);
        ::SelectObject(source, previous);
        ::DeleteDC(source);
    } else if (picture != nullptr) {
        drawBitmap(dc, picture, scaled(m_look.pictureAt.x, dpi), scaled(m_look.pictureAt.y, dpi));
    }
    if (m_look.topLine) {
        HPEN pen = ::CreatePen(PS_SOLID, scaled(1, dpi), shownColour(m_look.lineColour, SystemColour::Dim));
        HGDIOBJ previous = ::SelectObject(dc, pen);
        ::MoveToEx(dc, 0, 0, nullptr);
        ::LineTo(dc, area.right, 0);
        ::SelectObject(dc, previous);
        ::DeleteObject(pen);
    }
    if (!m_look.text.empty()) {
        const RECT margins = scaled(m_look.margins, dpi);
        const RECT textArea{area.left + margins.left, area.top + margins.top, area.right - margins.right,
                            area.bottom - margins.bottom};
        drawText(dc, m_look.text, textArea, fontAtDpi(m_look.font != nullptr ? m_look.font : uiFont(), dpi),
                 shownColour(m_look.textColour, SystemColour::Text), m_look.format);
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
    if (area.right <= area.left) {
        ::GetClientRect(control, &area);
    } else {
        area = scaled(area, dpiOf(control));
    }
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

void showKeyboardCues(HWND topLevel) {
    const LRESULT hidden = ::SendMessageW(topLevel, WM_QUERYUISTATE, 0, 0);
    if ((hidden & (UISF_HIDEFOCUS | UISF_HIDEACCEL)) != 0)
        ::SendMessageW(topLevel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

void hideKeyboardCues(HWND topLevel) {
    ::SendMessageW(topLevel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool isNavigationKey(const MSG& message) {
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_MENU) return true;
    if (message.message != WM_KEYDOWN) return false;
    switch (message.wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            return true;
        default:
            return false;
    }
}

void routeMessage(MSG& message) {
    const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (message.hwnd != nullptr && isNavigationKey(message)) showKeyboardCues(::GetAncestor(message.hwnd, GA_ROOT));
    if (message.hwnd != nullptr && (key || message.message == WM_MOUSEMOVE)) {
        HWND top = ::GetAncestor(message.hwnd, GA_ROOT);
        if (auto* owner = static_cast<KeyboardOwner*>(::GetPropW(top, kKeyboardOwnerProperty))) {
            if (owner->preTranslate(message)) return;
        }
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

namespace {
constexpr const wchar_t* kDisabledOwnerProperty = L"LanqiDisabledOwner";
}  // namespace

void runModal(HWND window, HWND owner, const std::function<bool()>& finished) {
    // The owner takes no input while the window runs; the window notes that it disabled it, so that
    // releaseOwner can give it back before the window goes.
    if (owner != nullptr && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ::SetPropW(window, kDisabledOwnerProperty, owner);
    }
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
    releaseOwner(window);
    if (quit) ::PostQuitMessage(quitCode);
}

void releaseOwner(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return;
    auto* owner = static_cast<HWND>(::RemovePropW(window, kDisabledOwnerProperty));
    if (owner == nullptr || !::IsWindow(owner)) return;
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
}

bool dialogKeys(HWND window, MSG& message) {
    if (message.hwnd == nullptr || (message.hwnd != window && !::IsChild(window, message.hwnd))) return false;
    return ::IsDialogMessageW(window, &message) != FALSE;
}

int defaultButtonId(HWND window, int fallbackId) {
    if (HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(window, focus)) {
        const LRESULT code = ::SendMessageW(focus, WM_GETDLGCODE, 0, 0);
        if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) return ::GetDlgCtrlID(focus);
    }
    return fallbackId;
}

void showDefaultButton(HWND window, int fallbackId) {
    const int id = defaultButtonId(window, fallbackId);
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LRESULT code = ::SendMessageW(child, WM_GETDLGCODE, 0, 0);
        if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) == 0) continue;
        const bool isDefault = ::GetDlgCtrlID(child) == id;
        if (((code & DLGC_DEFPUSHBUTTON) != 0) != isDefault)
            ::SendMessageW(child, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
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

void dpiScaledSize(HWND window, int newDpi, SIZE& size) {
    const SIZE client = clientSize(window);
    size = outerSize(static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)),
                     static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)), client.cx, client.cy, newDpi);
}

RECT frameOf(DWORD style, DWORD exStyle, int dpi) {
    RECT r{0, 0, 0, 0};
    if (const AdjustForDpi adjust = adjustForDpi()) {
        adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    }
    return r;
}

SIZE outerSize(DWORD style, DWORD exStyle, int width, int height, int dpi) {
    const RECT frame = frameOf(style, exStyle, dpi);
    return {scaled(width, dpi) + frame.right - frame.left, scaled(height, dpi) + frame.bottom - frame.top};
}

void sizeAndCentre(HWND window, HWND owner, int width, int height) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    const SIZE outer = outerSize(style, exStyle, width, height, dpiOf(window));
    const POINT at = centredPosition(owner, outer.cx, outer.cy);
    ::SetWindowPos(window, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace lanqi::win32
