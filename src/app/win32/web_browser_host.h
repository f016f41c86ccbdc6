#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace lanqi {

// The events the player needs from the browser control, called on the user-interface thread while it runs its
// message loop (from the control's own event firing, or from the host window's message for the events the
// control reports from inside navigate()), in the order the control reports them; never from inside navigate()
// or the destructor. A handler may destroy the WebBrowserHost that called it.
struct WebBrowserEvents {
    std::function<void()> downloadBegin;     // DWebBrowserEvents2 DownloadBegin
    std::function<void()> navigateComplete;  // NavigateComplete2 of the top-level frame
    std::function<void()> titleChanged;      // TitleChange
    std::function<void()> navigateError;     // NavigateError of the top-level frame
};

class WebBrowserSite;

// The system web browser control (IWebBrowser2, CLSID_WebBrowser) in place in a child window of its own, with
// plain COM: the control's client site, in-place site and frame, its UI handler (no context menu of its own),
// and the DWebBrowserEvents2 sink. The control runs silent (no script error dialogs) and a page never opens
// another browser window nor closes this one.
//
// The program calls OleInitialize on its user-interface thread before creating a host; the host is created,
// used and destroyed on that thread only.
class WebBrowserHost {
  public:
    // Creates a child window of `parent` at `bounds` (client coordinates, initially hidden) and the control in
    // place in it. Never null: when the control cannot be created or activated the host window still exists
    // (window() is null only when the window itself could not be created) and ready() is false.
    static std::unique_ptr<WebBrowserHost> create(HWND parent, const RECT& bounds, WebBrowserEvents events);

    // Releases the control (Close, SetClientSite(nullptr)) and destroys the window; no event is called from here.
    // When the parent is destroyed first, the host window's own destruction releases the control.
    ~WebBrowserHost();

    WebBrowserHost(const WebBrowserHost&) = delete;
    WebBrowserHost& operator=(const WebBrowserHost&) = delete;

    HWND window() const;

    // The system has the engine that shows pages in the control (MSHTML): its HTML document can be made.
    // Asked once; Wine without its Gecko package, or with MSHTML switched off, has none.
    static bool engineAvailable();

    // The control exists and is active in place: navigate can reach it.
    bool ready() const;

    // Starts loading `address` in the top-level frame. False when not ready or the control refused the address;
    // then no event follows. True when the navigation started: downloadBegin, then navigateComplete (and
    // titleChanged) or navigateError follow from the message loop. An address the control cannot load at all
    // (under Wine without its browser engine, any address) ends in navigateError; a server that never answers
    // gives neither for as long as the control waits, so the caller keeps a time limit of its own.
    bool navigate(const std::wstring& address);

    // The document's title as the control reports it: the latest TitleChange text since the current top-level
    // navigation began, else the control's LocationName; "" when there is none.
    std::wstring title() const;

    // Moves and resizes the host window (client coordinates of the parent) and the control's in-place rect.
    void setBounds(const RECT& bounds);
    void setVisible(bool visible);

    // Lets the control see a keyboard message meant for its window first (IOleInPlaceActiveObject::
    // TranslateAccelerator), so Tab, Esc and the arrow keys work inside the page. True when the control took it:
    // the caller then neither translates nor dispatches it.
    bool translateAccelerator(MSG& message);

  private:
    explicit WebBrowserHost(WebBrowserSite* site);

    WebBrowserSite* m_site;  // one reference, released last
};

}  // namespace lanqi
