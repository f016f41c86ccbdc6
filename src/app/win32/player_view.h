#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "actions/online_play.h"
#include "app/win32/main_window.h"
#include "app/win32/web_browser_host.h"
#include "platform/process_guard.h"

namespace lanqi::win32 {

// The player view on the Win32 main window: the system's web browser control in the place of 播放浏览框,
// and the player's events routed to OnlinePlay, which drives the view back through PlayerView.
//
//   播放浏览框   download begin → shield baseline; navigate complete → navigate-complete; title change →
//               checkPlayerPageTitle; a failed navigation (or a control that could not be started) is a
//               completed navigation whose title is not the player's, so the play fails; Esc; pointer moves
//   透明标签2    pointer moves, left and right button, double-click
//   标签1 标签3 超级按钮1   pointer moves; right button on 标签3; a click on 超级按钮1 returns to search
//   时钟2 时钟3 and the load limit   the main window's timers
class Win32PlayerView final : public PlayerView {
  public:
    // `desktop` and `window` must outlive the view. `showAboutWindow` shows the about window modally over the
    // main window.
    Win32PlayerView(MainWindow& window, OnlinePlay::Desktop desktop, std::function<void()> showAboutWindow);
    ~Win32PlayerView() override;

    OnlinePlay& onlinePlay() { return *m_play; }
    // The browser control exists (it is made for the first play) and is active in place.
    bool browserCreated() const { return m_host != nullptr; }
    bool browserReady() const { return m_host != nullptr && m_host->ready(); }

    void setControlVisible(PlayerControl control, bool visible) override;
    void setSearchViewShown(bool shown) override;
    Geometry controlGeometry(PlayerControl control) const override;
    void setControlGeometry(PlayerControl control, const Geometry& geometry) override;
    void setLoadingText(const Text& text) override;
    void setShieldStatusText(const Text& text) override;
    Geometry windowGeometry() const override;
    void setWindowGeometry(const Geometry& geometry) override;
    bool windowMaximised() const override;
    void setWindowMaximised(bool maximised) override;
    void setWindowBaseColour(std::uint32_t rgb) override;
    void setWindowBorder(WindowBorder border) override;
    void setAlwaysOnTop(bool on) override;
    void setPointerTimerPeriod(int milliseconds) override;
    void setLoadTimerPeriod(int milliseconds) override;
    void setShieldTimerPeriod(int milliseconds) override;
    Window& browser() override { return m_browser; }
    Text browserTitle() const override;
    bool browserEngineMissing() const override;
    const Window* mainWindow() const override { return &m_window.windowHandle(); }
    void showAboutWindow() override;

  private:
    // 播放浏览框 as navigateBrowser reaches it.
    class Browser final : public Win32Window {
      public:
        explicit Browser(Win32PlayerView& view) : m_view(view) {}
        void navigate(const std::wstring& address) override;

      private:
        Win32PlayerView& m_view;
    };

    WebBrowserHost& host();  // made when first needed
    HWND control(PlayerControl control) const;
    bool filter(MSG& message);
    void navigationFailed();

    MainWindow& m_window;
    const PlayerControls m_controls;
    std::function<void()> m_showAboutWindow;
    std::unique_ptr<WebBrowserHost> m_host;         // none until the first play
    Geometry m_browserGeometry = kBrowserGeometry;  // design units, kept for the control until it exists
    Browser m_browser;
    MessagePump m_events;
    WindowsProcessGuard m_guard;
    std::unique_ptr<OnlinePlay> m_play;
    MessagePoster m_poster;
    bool m_borderless = false;
    // The window's place as windowGeometry last gave it, and the pixels it was read from.
    struct ReportedPlace {
        Geometry design;
        Geometry pixels;
        int dpi = kDesignDpi;
    };
    static constexpr size_t kReportedPlaces = 4;
    mutable std::vector<ReportedPlace> m_reported;
};

}  // namespace lanqi::win32
