#include "app/win32/web_browser_host.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <ole2.h>
#include <oleidl.h>

#include <deque>
#include <utility>

namespace lanqi {
namespace {

constexpr wchar_t kWindowClass[] = L"LanqiWebBrowserHost";
constexpr UINT kDeliverEvents = WM_APP + 0x51;  // the host window's own: run the events held back

template <class Interface>
void releaseInterface(Interface*& pointer) {
    if (Interface* held = std::exchange(pointer, nullptr)) held->Release();
}

// Parameter `position` (counted from the first one the event declares) of an event, a by-reference VARIANT
// followed to the VARIANT it refers to; null when the event has fewer parameters.
VARIANT* eventArgument(DISPPARAMS* parameters, UINT position) {
    if (parameters == nullptr || parameters->rgvarg == nullptr || position >= parameters->cArgs) return nullptr;
    VARIANT* argument = &parameters->rgvarg[parameters->cArgs - 1 - position];
    if (V_VT(argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(argument) != nullptr)
        argument = V_VARIANTREF(argument);
    return argument;
}

IDispatch* dispatchArgument(VARIANT* argument) {
    if (argument == nullptr) return nullptr;
    if (V_VT(argument) == VT_DISPATCH) return V_DISPATCH(argument);
    if (V_VT(argument) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(argument) != nullptr)
        return *V_DISPATCHREF(argument);
    return nullptr;
}

std::wstring textArgument(VARIANT* argument) {
    BSTR text = nullptr;
    if (argument != nullptr && V_VT(argument) == VT_BSTR) text = V_BSTR(argument);
    if (argument != nullptr && V_VT(argument) == (VT_BYREF | VT_BSTR) && V_BSTRREF(argument) != nullptr)
        text = *V_BSTRREF(argument);
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// Sets an event's by-reference Cancel flag.
void cancelEvent(VARIANT* argument) {
    if (argument == nullptr) return;
    if (V_VT(argument) == (VT_BYREF | VT_BOOL) && V_BOOLREF(argument) != nullptr)
        *V_BOOLREF(argument) = VARIANT_TRUE;
    else if (V_VT(argument) == VT_BOOL)
        V_BOOL(argument) = VARIANT_TRUE;
}

// Whether two interface pointers belong to the same COM object (their IUnknown is the same).
bool sameObject(IUnknown* first, IUnknown* second) {
    if (first == nullptr || second == nullptr) return false;
    IUnknown* firstIdentity = nullptr;
    IUnknown* secondIdentity = nullptr;
    first->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&firstIdentity));
    second->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&secondIdentity));
    const bool same = firstIdentity != nullptr && firstIdentity == secondIdentity;
    releaseInterface(firstIdentity);
    releaseInterface(secondIdentity);
    return same;
}

RECT clientRect(HWND window) {
    RECT rect{};
    if (window != nullptr) GetClientRect(window, &rect);
    return rect;
}

}  // namespace

// The one COM object the control talks to: its client site, in-place site and frame, UI handler and
// DWebBrowserEvents2 sink. It owns the control; the control's references to it go when shutdown() closes the
// control. Reference counted, so a call from the control, or an event handler that destroys the WebBrowserHost,
// never finds it gone: every entry that may reach a handler holds a reference of its own for the call.
class WebBrowserSite final : public IOleClientSite,
                             public IOleInPlaceSite,
                             public IOleInPlaceFrame,
                             public IDocHostUIHandler,
                             public IDispatch {
  public:
    explicit WebBrowserSite(WebBrowserEvents events) : m_events(std::move(events)) {}

    WebBrowserSite(const WebBrowserSite&) = delete;
    WebBrowserSite& operator=(const WebBrowserSite&) = delete;

    // The host window and the control in place in it; false when the control is not there (the window may be).
    bool start(HWND parent, const RECT& bounds);
    // Closes the control and lets go of it; no event handler runs from here on. Idempotent.
    void shutdown();

    HWND window() const { return m_window; }
    bool ready() const { return !m_closed && m_browser != nullptr && m_inPlace; }
    bool navigate(const std::wstring& address);
    std::wstring title() const;
    void setBounds(const RECT& bounds);
    void setVisible(bool visible);
    bool translateAccelerator(MSG& message);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_references); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return left;
    }

    // IOleWindow (of the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return m_closed ? S_FALSE : S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position, RECT* clip,
                                  OLEINPLACEFRAMEINFO* frameInfo) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override;

    // IOleInPlaceUIWindow, IOleInPlaceFrame: a frame without menus, toolbars or a status bar.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override {
        return widths == nullptr ? S_OK : OLE_E_INVALIDRECT;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }  // also IDocHostUIHandler's
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }  // none at all
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override;
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override;
    STDMETHODIMP GetExternal(IDispatch** dispatch) override;
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) override;
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** filtered) override;

    // IDispatch: the DWebBrowserEvents2 sink; the control's ambient property requests get the defaults.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

  private:
    ~WebBrowserSite() = default;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool createControl();
    void resizeControl();
    void focusControl();
    bool isTopLevel(VARIANT* frame) const;
    using Event = std::function<void()> WebBrowserEvents::*;
    void report(Event event);
    void deliverHeldEvents();

    LONG m_references = 1;
    WebBrowserEvents m_events;
    HWND m_window = nullptr;
    IOleObject* m_object = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IOleInPlaceObject* m_inPlaceObject = nullptr;
    IOleInPlaceActiveObject* m_controlActiveObject = nullptr;  // the control's own, asked for at start
    IOleInPlaceActiveObject* m_activeObject = nullptr;         // the one the control set while UI-active
    IConnectionPoint* m_eventSource = nullptr;
    DWORD m_eventCookie = 0;
    bool m_inPlace = false;
    bool m_closed = false;
    bool m_focusing = false;   // focusControl() under way: the control may hand the focus to the window
    int m_navigating = 0;      // navigate() calls under way: their events wait for the message loop
    std::deque<Event> m_held;  // events held back, in the order the control reported them
    std::wstring m_title;      // the latest TitleChange text of the current top-level navigation
};

namespace {

// A reference of one's own on the site for the length of a call that may run an event handler.
class SiteHold {
  public:
    explicit SiteHold(WebBrowserSite* site) : m_site(site) { m_site->AddRef(); }
    ~SiteHold() { m_site->Release(); }
    SiteHold(const SiteHold&) = delete;
    SiteHold& operator=(const SiteHold&) = delete;

  private:
    WebBrowserSite* m_site;
};

}  // namespace

bool WebBrowserSite::start(HWND parent, const RECT& bounds) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when an earlier host registered it

    CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, bounds.left, bounds.top,
                    bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr, instance, this);
    if (m_window == nullptr) return false;  // WM_NCCREATE sets it
    if (createControl()) return true;
    shutdown();
    return false;
}

bool WebBrowserSite::createControl() {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&m_object))))
        return false;
    if (FAILED(m_object->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
    OleSetContainedObject(m_object, TRUE);
    if (FAILED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)))) return false;
    m_browser->put_Silent(VARIANT_TRUE);

    IConnectionPointContainer* sources = nullptr;
    if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&sources)))) {
        if (SUCCEEDED(sources->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_eventSource)) &&
            FAILED(m_eventSource->Advise(static_cast<IDispatch*>(this), &m_eventCookie)))
            releaseInterface(m_eventSource);
        releaseInterface(sources);
    }
    if (m_eventSource == nullptr) return false;  // a control that reports nothing is no use to the player

    RECT position = clientRect(m_window);
    if (FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, m_window,
                                &position)))
        return false;
    if (m_inPlaceObject == nullptr)
        m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlaceObject));
    m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&m_controlActiveObject));
    return ready();
}

void WebBrowserSite::shutdown() {
    if (m_closed) return;
    m_closed = true;
    m_events = {};
    m_held.clear();
    if (m_eventSource != nullptr) m_eventSource->Unadvise(m_eventCookie);
    releaseInterface(m_eventSource);
    releaseInterface(m_browser);
    releaseInterface(m_inPlaceObject);
    releaseInterface(m_controlActiveObject);
    releaseInterface(m_activeObject);
    if (IOleObject* object = std::exchange(m_object, nullptr)) {
        object->Close(OLECLOSE_NOSAVE);  // deactivates in place; the control may call back meanwhile
        object->SetClientSite(nullptr);
        object->Release();
    }
    releaseInterface(m_activeObject);  // in case the control handed one over while closing
    m_inPlace = false;
}

bool WebBrowserSite::navigate(const std::wstring& address) {
    if (!ready()) return false;
    SiteHold hold(this);  // the control may fire events from inside Navigate
    BSTR url = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    if (url == nullptr) return false;
    VARIANT none;
    VariantInit(&none);
    IWebBrowser2* browser = m_browser;
    browser->AddRef();
    ++m_navigating;
    const HRESULT result = browser->Navigate(url, &none, &none, &none, &none);
    --m_navigating;
    browser->Release();
    SysFreeString(url);
    return SUCCEEDED(result);
}

std::wstring WebBrowserSite::title() const {
    if (!m_title.empty()) return m_title;
    if (m_browser == nullptr) return {};
    BSTR name = nullptr;
    std::wstring text;
    if (SUCCEEDED(m_browser->get_LocationName(&name)) && name != nullptr) text.assign(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

void WebBrowserSite::setBounds(const RECT& bounds) {
    if (m_window != nullptr)
        MoveWindow(m_window, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}

void WebBrowserSite::setVisible(bool visible) {
    if (m_window != nullptr) ShowWindow(m_window, visible ? SW_SHOWNA : SW_HIDE);
}

bool WebBrowserSite::translateAccelerator(MSG& message) {
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    if (m_window == nullptr || (message.hwnd != m_window && !IsChild(m_window, message.hwnd))) return false;
    IOleInPlaceActiveObject* active = m_activeObject != nullptr ? m_activeObject : m_controlActiveObject;
    if (active == nullptr || !ready()) return false;
    SiteHold hold(this);
    active->AddRef();
    const HRESULT result = active->TranslateAccelerator(&message);
    active->Release();
    return result == S_OK;
}

void WebBrowserSite::resizeControl() {
    if (m_inPlaceObject == nullptr) return;
    const RECT position = clientRect(m_window);
    m_inPlaceObject->SetObjectRects(&position, &position);
}

// Focus given to the host window goes on into the page: the control becomes UI-active, so the keys reach the
// document and translateAccelerator has an active object to offer them to.
void WebBrowserSite::focusControl() {
    if (!ready() || m_focusing) return;
    SiteHold hold(this);
    m_focusing = true;
    IOleObject* object = m_object;
    object->AddRef();
    RECT position = clientRect(m_window);
    object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, m_window, &position);
    object->Release();
    m_focusing = false;
}

LRESULT CALLBACK WebBrowserSite::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* site = static_cast<WebBrowserSite*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        site->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site));
    }
    auto* site = reinterpret_cast<WebBrowserSite*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (site != nullptr) {
        switch (message) {
            case WM_SIZE:
                site->resizeControl();
                return 0;
            case kDeliverEvents:
                site->deliverHeldEvents();
                return 0;
            case WM_SETFOCUS:
                site->focusControl();
                return 0;
            case WM_DESTROY:  // the parent went first: the control goes with the window
                site->shutdown();
                break;
            case WM_NCDESTROY:
                SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                site->m_window = nullptr;
                break;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool WebBrowserSite::isTopLevel(VARIANT* frame) const { return sameObject(dispatchArgument(frame), m_browser); }

// The control fires some events from inside Navigate itself (an address it cannot load at all fails there and
// then). Those, and any that follow while they wait, go to the handlers from the host window's message instead,
// so a handler never runs inside navigate() and the order stays the control's.
void WebBrowserSite::report(Event event) {
    if (m_closed || !(m_events.*event)) return;
    if (m_navigating == 0 && m_held.empty()) {
        const std::function<void()> handler = m_events.*event;  // a copy: the handler may end the host
        handler();
        return;
    }
    m_held.push_back(event);
    if (m_held.size() == 1 && m_window != nullptr) PostMessageW(m_window, kDeliverEvents, 0, 0);
}

void WebBrowserSite::deliverHeldEvents() {
    SiteHold hold(this);
    // Each event stays at the front while its handler runs, so events the control reports meanwhile queue up
    // behind it rather than overtake the ones still held.
    while (!m_held.empty() && !m_closed) {
        const std::function<void()> handler = m_events.*m_held.front();
        if (handler) handler();
        if (m_closed) break;  // the handler ended the host; shutdown() has let the rest go
        m_held.pop_front();
    }
}

STDMETHODIMP WebBrowserSite::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(iid, IID_IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2))
        *object = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP WebBrowserSite::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = m_window;
    return m_window != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP WebBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WebBrowserSite::GetContainer(IOleContainer** container) {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP WebBrowserSite::OnInPlaceActivate() {
    m_inPlace = true;
    if (m_inPlaceObject == nullptr && m_object != nullptr)
        m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlaceObject));
    return S_OK;
}

STDMETHODIMP WebBrowserSite::OnInPlaceDeactivate() {
    m_inPlace = false;
    return S_OK;
}

STDMETHODIMP WebBrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                              RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || frameInfo == nullptr)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = clientRect(m_window);
    *clip = *position;
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = m_window != nullptr ? GetAncestor(m_window, GA_ROOT) : nullptr;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP WebBrowserSite::OnPosRectChange(LPCRECT position) {
    if (position == nullptr) return E_POINTER;
    if (m_inPlaceObject != nullptr) m_inPlaceObject->SetObjectRects(position, position);
    return S_OK;
}

STDMETHODIMP WebBrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    if (object != nullptr) object->AddRef();
    releaseInterface(m_activeObject);
    m_activeObject = object;
    return S_OK;
}

STDMETHODIMP WebBrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info == nullptr) return E_POINTER;
    // The program is DPI-aware: the page is zoomed to the screen's DPI as the rest of the window is.
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

STDMETHODIMP WebBrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key != nullptr) *key = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WebBrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target != nullptr) *target = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WebBrowserSite::GetExternal(IDispatch** dispatch) {
    if (dispatch != nullptr) *dispatch = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP WebBrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated != nullptr) *translated = nullptr;
    return S_FALSE;
}

STDMETHODIMP WebBrowserSite::FilterDataObject(IDataObject*, IDataObject** filtered) {
    if (filtered != nullptr) *filtered = nullptr;
    return S_FALSE;
}

STDMETHODIMP WebBrowserSite::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP WebBrowserSite::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT*,
                                    EXCEPINFO*, UINT*) {
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;  // an ambient property: the default
    SiteHold hold(this);
    switch (member) {
        case DISPID_BEFORENAVIGATE2:  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
            if (isTopLevel(eventArgument(parameters, 0))) m_title.clear();
            break;
        case DISPID_DOWNLOADBEGIN:
            report(&WebBrowserEvents::downloadBegin);
            break;
        case DISPID_NAVIGATECOMPLETE2:  // (pDisp, URL)
            if (isTopLevel(eventArgument(parameters, 0))) report(&WebBrowserEvents::navigateComplete);
            break;
        case DISPID_TITLECHANGE:  // (Text)
            m_title = textArgument(eventArgument(parameters, 0));
            report(&WebBrowserEvents::titleChanged);
            break;
        case DISPID_NAVIGATEERROR:  // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
            if (isTopLevel(eventArgument(parameters, 0))) report(&WebBrowserEvents::navigateError);
            break;
        case DISPID_NEWWINDOW2:     // (ppDisp, Cancel)
        case DISPID_NEWWINDOW3:     // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
        case DISPID_WINDOWCLOSING:  // (IsChildWindow, Cancel): a page's window.close() leaves the player be
            cancelEvent(eventArgument(parameters, 1));
            break;
        default:
            break;
    }
    return S_OK;
}

WebBrowserHost::WebBrowserHost(WebBrowserSite* site) : m_site(site) {}

namespace {

// The control renders a page as Internet Explorer 7 did unless the program is named under this key; the
// cloud-play page needs the engine's own standards mode (IE11 edge: 11001). Set for this user, for this
// program's file name, before the first control is created; a value already there is left as it is.
void askForStandardsMode() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c != L'\0'; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION", 0,
                        nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        const DWORD edge = 11001;
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&edge), sizeof edge);
    }
    RegCloseKey(key);
}

}  // namespace

std::unique_ptr<WebBrowserHost> WebBrowserHost::create(HWND parent, const RECT& bounds, WebBrowserEvents events) {
    askForStandardsMode();
    auto* site = new WebBrowserSite(std::move(events));
    std::unique_ptr<WebBrowserHost> host(new WebBrowserHost(site));
    site->start(parent, bounds);
    return host;
}

WebBrowserHost::~WebBrowserHost() {
    m_site->shutdown();
    if (HWND window = m_site->window()) DestroyWindow(window);
    m_site->Release();
}

HWND WebBrowserHost::window() const { return m_site->window(); }

bool WebBrowserHost::engineAvailable() {
    // MSHTML's HTML document, {25336920-03F9-11CF-8FD0-00AA00686F13}: what the control shows every page in.
    static const bool available = [] {
        static constexpr CLSID kHtmlDocument = {
            0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};
        IUnknown* document = nullptr;
        if (FAILED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&document))))
            return false;
        document->Release();
        return true;
    }();
    return available;
}
bool WebBrowserHost::ready() const { return m_site->ready(); }
bool WebBrowserHost::navigate(const std::wstring& address) { return m_site->navigate(address); }
std::wstring WebBrowserHost::title() const { return m_site->title(); }
void WebBrowserHost::setBounds(const RECT& bounds) { m_site->setBounds(bounds); }
void WebBrowserHost::setVisible(bool visible) { m_site->setVisible(visible); }
bool WebBrowserHost::translateAccelerator(MSG& message) { return m_site->translateAccelerator(message); }

}  // namespace lanqi
