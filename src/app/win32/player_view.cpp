#include "app/win32/player_view.h"

#include <algorithm>

namespace lanqi::win32 {
namespace {

constexpr DWORD kBorderlessStyle = WS_POPUP | WS_CLIPCHILDREN;

RECT rectOf(const Geometry& g) { return {g.left, g.top, g.left + g.width, g.top + g.height}; }

// The monitor the window is on, in pixels on the virtual screen.
RECT monitorOf(HWND window) {
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen))
        return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return screen.rcMonitor;
}

}  // namespace

Win32PlayerView::Win32PlayerView(MainWindow& window, OnlinePlay::Desktop desktop, std::function<void()> showAboutWindow)
    : m_window(window),
      m_controls(window.playerControls()),
      m_showAboutWindow(std::move(showAboutWindow)),
      m_browser(*this) {
    m_play = std::make_unique<OnlinePlay>(desktop, *this, m_events, m_guard);
    OnlinePlay& play = *m_play;

    m_controls.overlay->events().pointerMoved = [&play](int x, int y, int keys) {
        play.onOverlayPointerMoved(x, y, keys);
    };
    m_controls.overlay->events().leftPressed = [&play] { play.onOverlayLeftButton(); };
    m_controls.overlay->events().rightPressed = [&play] { play.onPlayerMenuRequested(); };
    m_controls.overlay->events().doubleClicked = [&play] { play.togglePlayerFullScreen(); };
    m_controls.shieldStatus->events().rightPressed = [&play] { play.onPlayerMenuRequested(); };
    for (Label* top : {m_controls.playingLabel, m_controls.shieldStatus})
        top->events().pointerMoved = [&play](int, int, int) { play.onPointerOverTopControls(); };
    m_window.events().backToSearchRequested = [&play] { play.returnToSearch(); };
    m_window.events().escapePressed = [&play] { play.onEscapeKey(); };
    m_window.events().resized = [&play] { play.onWindowResized(); };
    m_window.setMessageFilter([this](MSG& message) { return filter(message); });
}

Win32PlayerView::~Win32PlayerView() { m_window.setMessageFilter({}); }

WebBrowserHost& Win32PlayerView::host() {
    // The control and its engine cost memory and start-up time: they come with the first play.
    if (m_host != nullptr) return *m_host;
    OnlinePlay& play = *m_play;
    WebBrowserEvents events;
    events.downloadBegin = [&play] { play.onLoadStarted(); };
    events.navigateComplete = [&play] { play.navigationDone(); };
    events.titleChanged = [&play] { play.checkPlayerPageTitle(); };
    events.navigateError = [this] { navigationFailed(); };
    m_host = WebBrowserHost::create(m_window.handle(), rectOf(scaled(m_browserGeometry, dpiOf(m_window.handle()))),
                                    std::move(events));
    m_browser.setHandle(m_host->window());
    // Under the overlay, which takes the pointer over the page.
    ::SetWindowPos(m_host->window(), m_controls.overlay->handle(), 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return *m_host;
}

bool Win32PlayerView::browserEngineMissing() const {
    return m_host == nullptr || !m_host->ready() || !WebBrowserHost::engineAvailable();
}

bool Win32PlayerView::filter(MSG& message) {
    if (m_host == nullptr) return false;  // no page yet
    HWND page = m_host->window();
    const bool inPage = page != nullptr && (message.hwnd == page || ::IsChild(page, message.hwnd));
    if (message.message == WM_MOUSEMOVE) {
        if (inPage || message.hwnd == m_controls.backButton) m_play->onPointerOverTopControls();
        return false;
    }
    if (!inPage) return false;
    // Esc in the page is the player's, and the page sees it too; the page's keys go to the control first.
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) m_play->onEscapeKey();
    return m_host->translateAccelerator(message);
}

void Win32PlayerView::Browser::navigate(const std::wstring& address) {
    // Before the first play there is no page to clear: the control is not made for the blank page.
    if (m_view.m_host == nullptr && m_view.m_play->playPending() <= 0) return;
    // A control that could not be started, or a request it refuses, reports nothing: the play fails at once,
    // as after a page with the wrong title, once the play request has been made.
    if (!m_view.host().navigate(address)) m_view.m_poster.post([view = &m_view] { view->navigationFailed(); });
}

void Win32PlayerView::navigationFailed() {
    m_play->navigationDone();
    m_play->checkPlayerPageTitle();
}

HWND Win32PlayerView::control(PlayerControl which) const {
    switch (which) {
        case PlayerControl::Browser:
            return m_host != nullptr ? m_host->window() : nullptr;
        case PlayerControl::PlayingLabel:
            return m_controls.playingLabel->handle();
        case PlayerControl::ShieldStatus:
            return m_controls.shieldStatus->handle();
        case PlayerControl::BackButton:
            return m_controls.backButton;
        case PlayerControl::Overlay:
            return m_controls.overlay->handle();
        case PlayerControl::LoadingNotice:
            return m_controls.loadingNotice->handle();
    }
    return m_controls.loadingNotice->handle();
}

void Win32PlayerView::setControlVisible(PlayerControl which, bool visible) {
    if (which == PlayerControl::Browser) {
        if (m_host != nullptr) m_host->setVisible(visible);
        m_window.setPlayerShown(visible);
        // Keys go to the page (and Esc to the player), not to the search box under it; back in the search
        // view they go to the search box again.
        if (visible) {
            if (m_host != nullptr) ::SetFocus(m_host->window());
        } else {
            m_window.focusSearchBox();
        }
        return;
    }
    setVisible(control(which), visible);
    if (which == PlayerControl::BackButton && visible)  // over the loading notice too
        ::SetWindowPos(m_controls.backButton, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32PlayerView::setSearchViewShown(bool shown) { m_window.setSearchViewShown(shown); }

Geometry Win32PlayerView::controlGeometry(PlayerControl which) const {
    if (which == PlayerControl::Browser && m_host == nullptr) return m_browserGeometry;
    return geometryOf(control(which));
}

void Win32PlayerView::setControlGeometry(PlayerControl which, const Geometry& g) {
    if (which == PlayerControl::Browser) {
        m_browserGeometry = g;
        if (m_host != nullptr) m_host->setBounds(rectOf(scaled(g, dpiOf(m_window.handle()))));
    } else {
        setGeometry(control(which), g);
    }
}

void Win32PlayerView::setLoadingText(const Text& text) { m_controls.loadingNotice->setText(wideFromGbk(text)); }

void Win32PlayerView::setShieldStatusText(const Text& text) { m_controls.shieldStatus->setText(wideFromGbk(text)); }

// The window's place is in design units from its monitor's top left corner, as the screen's size is
// (Win32DesktopServices::screenSize): full screen, {0, 0} and the screen's size, covers the window's own
// monitor. The place last reported comes back to the very pixels it was read from.
Geometry Win32PlayerView::windowGeometry() const {
    HWND window = m_window.handle();
    RECT outer{}, client{};
    ::GetWindowRect(window, &outer);
    ::GetClientRect(window, &client);
    const RECT monitor = monitorOf(window);
    const int dpi = dpiOf(window);
    const Geometry pixels{outer.left - monitor.left, outer.top - monitor.top, client.right, client.bottom};
    const Geometry design{unscaled(pixels.left, dpi), unscaled(pixels.top, dpi), unscaled(pixels.width, dpi),
                          unscaled(pixels.height, dpi)};
    // The last few places read, each with the pixels it came from: full screen reads its own as it goes.
    std::erase_if(m_reported, [&](const ReportedPlace& each) { return each.design == design; });
    m_reported.push_back({design, pixels, dpi});
    if (m_reported.size() > kReportedPlaces) m_reported.erase(m_reported.begin());
    return design;
}

void Win32PlayerView::setWindowGeometry(const Geometry& g) {
    HWND window = m_window.handle();
    const DWORD style = m_borderless ? kBorderlessStyle : kMainWindowStyle;
    const RECT monitor = monitorOf(window);
    const int dpi = dpiOf(window);
    Geometry pixels{scaled(g.left, dpi), scaled(g.top, dpi), scaled(g.width, dpi), scaled(g.height, dpi)};
    const auto reported = std::find_if(m_reported.begin(), m_reported.end(),
                                       [&](const ReportedPlace& each) { return each.design == g && each.dpi == dpi; });
    if (reported != m_reported.end()) {
        pixels = reported->pixels;
    } else {
        // An edge on the monitor's edge in design units is on it in pixels too.
        const int width = monitor.right - monitor.left, height = monitor.bottom - monitor.top;
        if (g.left + g.width == unscaled(width, dpi)) pixels.width = width - pixels.left;
        if (g.top + g.height == unscaled(height, dpi)) pixels.height = height - pixels.top;
    }
    const RECT frame = frameOf(style, 0, dpi);
    ::SetWindowPos(window, nullptr, monitor.left + pixels.left, monitor.top + pixels.top,
                   pixels.width + frame.right - frame.left, pixels.height + frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32PlayerView::windowMaximised() const { return ::IsZoomed(m_window.handle()) != FALSE; }

void Win32PlayerView::setWindowMaximised(bool maximised) {
    ::ShowWindow(m_window.handle(), maximised ? SW_MAXIMIZE : SW_RESTORE);
}

void Win32PlayerView::setWindowBaseColour(std::uint32_t rgb) { m_window.setBaseColour(colour(rgb)); }

void Win32PlayerView::setWindowBorder(WindowBorder border) {
    m_borderless = border == WindowBorder::None;
    HWND window = m_window.handle();
    const LONG_PTR visible = ::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE;
    ::SetWindowLongPtrW(window, GWL_STYLE, (m_borderless ? kBorderlessStyle : kMainWindowStyle) | visible);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32PlayerView::setAlwaysOnTop(bool on) {
    ::SetWindowPos(m_window.handle(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32PlayerView::setPointerTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_window.startTimer(MainTimer::Pointer, milliseconds, [this] { m_play->onPointerTimer(); });
    } else {
        m_window.stopTimer(MainTimer::Pointer);
    }
}

void Win32PlayerView::setLoadTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_window.startTimer(MainTimer::PlayLoad, milliseconds, [this] {
            m_window.stopTimer(MainTimer::PlayLoad);  // a single shot
            m_play->onLoadTimer();
        });
    } else {
        m_window.stopTimer(MainTimer::PlayLoad);
    }
}

void Win32PlayerView::setShieldTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_window.startTimer(MainTimer::Shield, milliseconds, [this] { m_play->shield().shieldScan(); });
    } else {
        m_window.stopTimer(MainTimer::Shield);
    }
}

Text Win32PlayerView::browserTitle() const { return m_host != nullptr ? gbkFromWide(m_host->title()) : Text(); }

void Win32PlayerView::showAboutWindow() {
    if (m_showAboutWindow) m_showAboutWindow();
}

}  // namespace lanqi::win32
