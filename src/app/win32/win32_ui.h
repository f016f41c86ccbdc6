#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "actions/window_geometry.h"
#include "platform/events.h"
#include "platform/text.h"

namespace lanqi::win32 {

// ---- Texts. The logic speaks GBK; the windows speak UTF-16.

std::wstring wideFromGbk(const Text& gbk);
std::wstring wideFromUtf8(std::string_view utf8);
// "" when the text holds a character that GBK lacks (and is not itself empty).
Text gbkFromWide(const std::wstring& wide);
std::wstring windowText(HWND window);

// 0xRRGGBB as GDI wants it.
constexpr COLORREF colour(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// ---- Scale. Designs (positions, sizes, font heights) are in 96-dpi units; each window shows them at its own
// DPI: the monitor's under per-monitor awareness, the screen's (LOGPIXELSY) where the system has no
// GetDpiForWindow. Edges scale, so that neighbours stay neighbours.

inline constexpr int kDesignDpi = 96;
// WM_GETDPISCALEDSIZE, which the headers declare for Windows 10 builds only (the message is 1703's).
inline constexpr UINT kGetDpiScaledSize = 0x02E4;
int dpiOf(HWND window);  // the window's DPI; the screen's for null
int dpiOfMonitor(HMONITOR monitor);
int scaled(int value, int dpi);    // design units to pixels at `dpi`
int unscaled(int value, int dpi);  // pixels at `dpi` to design units
Geometry scaled(const Geometry& design, int dpi);
Geometry unscaled(const Geometry& pixels, int dpi);
RECT scaled(const RECT& design, int dpi);
// The client area's size in design units.
SIZE clientSize(HWND window);

// ---- Fonts. The first family the system has, else the last one named (the font mapper then picks a
// Chinese face for it). Each font is made once and lives as long as the program. A height in pixels is a
// design height: at another DPI the font keeps its point size (12 px at 96 dpi is 9 pt, 24 px at 192 dpi).

// Chinese text asks for the GB2312 character set; other text (symbols) for none in particular.
HFONT font(std::initializer_list<const wchar_t*> families, int pixelHeight, bool bold = false,
           BYTE charset = GB2312_CHARSET, int dpi = kDesignDpi);
HFONT uiFont(int pixelHeight = 12, bool bold = false, int dpi = kDesignDpi);  // the windows' own texts
HFONT listFont(int dpi = kDesignDpi);                                         // 宋体 14 px, the results list
HFONT bannerFont(int dpi = kDesignDpi);                                       // 隶书 56 px, the home banner
// A font made here, at `dpi` (the same face, style and design height); other fonts as they are.
HFONT fontAtDpi(HFONT font, int dpi);
// The largest size up to `pixelHeight` (down to 8 px) of the windows' own face in which `control`'s caption
// fits its client area (its height, and its width less `padding` design pixels on either side) at the
// control's DPI.
HFONT fittingUiFont(HWND control, int pixelHeight, int padding);

// ---- Pictures: the JPEG resources of the program (RCDATA named by the file's stem, upper case), decoded
// with the system's imaging into bitmaps that live as long as the program. Null when it cannot be decoded.
// Above 96 dpi the NAME_2X resource (the picture drawn at twice the size) is the source, resampled to the
// design size at that DPI; bitmapSize then gives the size in pixels at that DPI.
HBITMAP picture(const wchar_t* name, int dpi = kDesignDpi);
// A picture made here, at `dpi`; other bitmaps as they are.
HBITMAP pictureAtDpi(HBITMAP picture, int dpi);
SIZE bitmapSize(HBITMAP bitmap);
void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
// Draws `text` in `area` with DrawText's `format`, without filling behind it.
void drawText(HDC dc, const std::wstring& text, RECT area, HFONT font, COLORREF textColour, UINT format);

// ---- Windows.

// Registers a window class of this program once (later calls do nothing): the arrow pointer, the program's
// icon, double-clicks reported, `background` (may be null: the window paints it).
void registerWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr);

// The object a window procedure belongs to: the creation parameter, kept with the window from WM_NCCREATE on.
// Null before it (and for messages that come before WM_NCCREATE).
template <typename Owner>
Owner* windowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// WM_SETCURSOR: the hand over `area` of the window's client area. True when it set the pointer.
bool handOverArea(HWND window, const RECT& area, LPARAM hitTest);

// ---- Controls.

// Places a child control at its design geometry (client coordinates of its parent, design units), on top of
// the controls made before it, so that later controls lie over earlier ones. Its font (the windows' own by
// default) is the one for the parent's DPI.
HWND createControl(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                   const Geometry& geometry, int id = 0, HFONT font = nullptr);
// Names `control` for screen readers as a dialog's label does: a static text `name`, of no size, directly before it
// in the z order (the tab order). Returns the label.
HWND nameControl(HWND control, const std::wstring& name);
void setGeometry(HWND control, const Geometry& geometry);  // design units
Geometry geometryOf(HWND control);                         // in its parent's client coordinates, design units
// WM_DPICHANGED of a top-level window that was at `oldDpi`: every control of it (children of children too) at
// the same design geometry and with its font at the new DPI, then the window in the rectangle the system
// suggests (`suggested`, the message's lParam).
void followDpiChange(HWND window, int oldDpi, const RECT& suggested);
// WM_GETDPISCALEDSIZE of a top-level window: `size` becomes the outer size at `newDpi` whose client area is the
// window's client area now, in design units (the frame is the system's at that DPI, not the old one scaled).
void dpiScaledSize(HWND window, int newDpi, SIZE& size);
void setVisible(HWND control, bool visible);

// A label: a child window that draws a text and a picture on its background (or nothing at all for a
// transparent one) and reports the mouse. Clicks on it are its own, not its parent's. It answers WM_GETOBJECT
// as a push button when focusable (its default action a left press), else as static text, named by its window
// text. With high contrast on it draws in the system's window colours.
struct LabelLook {
    std::wstring text;
    HFONT font = nullptr;
    COLORREF textColour = RGB(0, 0, 0);
    bool transparent = false;  // draws nothing: whatever lies under it shows
    COLORREF background = RGB(255, 255, 255);
    const COLORREF* backgroundFrom = nullptr;  // when set, the colour it points to (the window's base colour)
    UINT format = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX;
    RECT margins{0, 0, 0, 0};
    bool topLine = false;  // a 1-pixel line along its top edge
    COLORREF lineColour = RGB(0, 0, 0);
    HBITMAP picture = nullptr;
    POINT pictureAt{0, 0};
    bool fitPicture = false;  // a label narrower than its picture shows all of it, smaller (left, centred up and down)
    RECT linkArea{0, 0, 0, 0};  // where the pointer turns into a hand and a left click is a link click
    // A tab stop: Enter and Space on it are a left press, and it draws the focus cue. A screen reader takes it
    // for a button; any other label for a static text. Either says its window text.
    bool focusable = false;
    // What a screen reader calls it when that is not its text (a tab stop for the link in its text, say); the
    // focus cue then frames the link area.
    std::wstring accessibleName;
};

struct LabelEvents {
    std::function<void()> leftPressed;  // in the link area when there is one, anywhere otherwise
    std::function<void()> rightPressed;
    std::function<void()> doubleClicked;                       // left button
    std::function<void(int x, int y, int keys)> pointerMoved;  // label coordinates, MK_* state
};

class Label {
  public:
    Label(HWND parent, const Geometry& geometry, LabelLook look, bool shown = true);
    Label(const Label&) = delete;
    Label& operator=(const Label&) = delete;

    HWND handle() const { return m_handle; }
    LabelEvents& events() { return m_events; }
    void setText(const std::wstring& text);
    const std::wstring& text() const { return m_look.text; }
    void setTextColour(COLORREF colour);
    void setPictureAt(POINT at);
    COLORREF textColour() const { return m_look.textColour; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);
    bool inLinkArea(POINT at) const;
    void redrawFocusCue();

    HWND m_handle = nullptr;
    LabelLook m_look;
    LabelEvents m_events;
};

// Adds a tooltip over `area` of `control` (its whole client area when empty). Returns the tooltip window, null
// when it could not be made; setToolTipText changes the text it shows.
HWND addToolTip(HWND control, const std::wstring& text, RECT area = {0, 0, 0, 0});
void setToolTipText(HWND tips, HWND control, const std::wstring& text);

// ---- The message loop.

// What a top-level window of the client does with the keys (and pointer moves) before they reach its
// controls: Tab, Enter and Esc are the window's to interpret. True when it took the message.
class KeyboardOwner {
  public:
    virtual ~KeyboardOwner() = default;
    virtual bool preTranslate(MSG& message) = 0;
};
void setKeyboardOwner(HWND topLevel, KeyboardOwner* owner);

// Routes one message: the keyboard owner of its top-level window first (keys and pointer moves), then the usual
// translation and dispatch.
void routeMessage(MSG& message);

// Runs `window` as a modal window over `owner` (may be null) until `finished` answers true: the owner is
// disabled meanwhile and enabled and active again at the end. A quit request that arrives meanwhile is kept
// for the outer loop.
void runModal(HWND window, HWND owner, const std::function<bool()>& finished);
// Enables and activates the owner that runModal disabled for `window` (nothing otherwise): a modal window
// calls it before it hides or goes, so that the activation and the keys return to its owner, not to another
// program.
void releaseOwner(HWND window);

// The dialog manager's keys for a window of ours that is not a dialog (IsDialogMessage): Tab and Shift+Tab
// among its tab stops, the arrows within a group, Enter as WM_COMMAND of the default button (the window's
// DM_GETDEFID answer), Esc as WM_COMMAND IDCANCEL. True when it took (and dispatched) the message.
bool dialogKeys(HWND window, MSG& message);
// The default button of `window`: the push button that has the focus, else `fallbackId`. showDefaultButton
// gives that button the default look and takes it from the others.
int defaultButtonId(HWND window, int fallbackId);
void showDefaultButton(HWND window, int fallbackId);

// The focus rectangles and access-key underlines of a top-level window: hidden until the keyboard is used there
// (routeMessage shows them at Tab, an arrow or Alt), as in dialogs.
void showKeyboardCues(HWND topLevel);
void hideKeyboardCues(HWND topLevel);

// ---- Colours. With high contrast on (SPI_GETHIGHCONTRAST), the system's colours stand in for the designed
// ones: the window's background and text, the links', and grey text.

enum class SystemColour { Window = COLOR_WINDOW, Text = COLOR_WINDOWTEXT, Link = COLOR_HOTLIGHT, Dim = COLOR_GRAYTEXT };
bool highContrast();
// The designed colour, or the system's `role` colour while high contrast is on.
COLORREF shownColour(COLORREF designed, SystemColour role);
// For the tests: high contrast as if on or off (nothing: as the system says).
void setHighContrastForTests(std::optional<bool> on);

// Runs the messages that are queued now (EventPump on Win32).
class MessagePump final : public EventPump {
  public:
    void processPendingEvents() override;
};

// Hands tasks from any thread to the user-interface thread through a message-only window (TaskPoster on
// Win32). Tasks still queued when it goes are dropped.
class MessagePoster final : public TaskPoster {
  public:
    MessagePoster();
    ~MessagePoster() override;
    void post(std::function<void()> task) override;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void runQueued();

    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

// Centres a window of this outer size over `owner`'s window, or on the work area of the primary screen.
POINT centredPosition(HWND owner, int width, int height);

// The outer size in pixels at `dpi` of a window whose client area is width × height design units with these
// styles (the frame as the system draws it at that DPI).
SIZE outerSize(DWORD style, DWORD exStyle, int width, int height, int dpi = kDesignDpi);
// The frame around a client area at `dpi`, in pixels, as AdjustWindowRectEx gives it for an empty one.
RECT frameOf(DWORD style, DWORD exStyle, int dpi);
// Gives the top-level `window` the outer size for a client area of width × height design units at its DPI,
// centred over `owner` (or on the primary screen's work area).
void sizeAndCentre(HWND window, HWND owner, int width, int height);

}  // namespace lanqi::win32
