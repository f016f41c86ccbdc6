#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "actions/online_play.h"
#include "app/gui/main_window.h"
#include "platform/process_guard.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_window.h"

class QLabel;
class QPushButton;
class QTimer;
class QWebEngineView;

namespace lanqi {

class ClickLabel;
class MainWindow;

// The player view on the main window: puts an embedded browser (Qt WebEngine) in the place of
// 播放浏览框 and routes the player's events to OnlinePlay, which drives the view back through PlayerView.
//
//   播放浏览框   load started → shield baseline; load finished → navigate-complete, then the title as it
//               stands (see below); title changed → checkPlayerPageTitle; new windows refused; Esc
//   透明标签2    pointer moves, left and right button, double-click
//   标签1 标签3 超级按钮1   pointer moves; right button on 标签3; a click on 超级按钮1 returns to search
//   时钟2 时钟3   pointer auto-hide, shield scan
//
// The engine reports a document's title before it reports the load finished (the other way round from
// the control the player was designed on), so the title the page holds when the load finishes is handed
// on as the first title change after the completed navigation. The player lives as long as the window.
class QtPlayerView final : public QObject, public PlayerView {
    Q_OBJECT
  public:
    // `desktop` must outlive the window. `showAboutWindow` shows the about window modally over the main
    // window; without one, "关于播放器" shows nothing.
    QtPlayerView(MainWindow& window, OnlinePlay::Desktop desktop, std::function<void()> showAboutWindow = {});
    QtPlayerView(MainWindow& window, const PlayerControls& controls, OnlinePlay::Desktop desktop,
                 std::function<void()> showAboutWindow);
    ~QtPlayerView() override;

    OnlinePlay& onlinePlay() { return *m_play; }
    QWebEngineView& browserView() { return *m_browser; }

    // PlayerView
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
    Window& browser() override { return m_browserHandle; }
    Text browserTitle() const override;
    const Window* mainWindow() const override { return &m_windowHandle; }
    void showAboutWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* control(PlayerControl control) const;
    void watchBrowserChild(QObject* child);

    MainWindow& m_window;
    QWebEngineView* m_browser = nullptr;  // 播放浏览框
    PlayerControls m_controls;            // the window's other player controls and timers
    QTimer* m_loadTimer = nullptr;        // the cloud-play page's load limit
    QtWindow m_windowHandle;
    QtWindow m_browserHandle;
    std::function<void()> m_showAboutWindow;
    QtEventPump m_events;
    LinuxProcessGuard m_guard;
    std::unique_ptr<OnlinePlay> m_play;
    bool m_borderless = false;  // the player asked for no border: the next screen-sized geometry is full screen
};

// Installs the player view on `window` (see QtPlayerView) and gives playOnline(channel, result, playService):
// channel 1 for "在线播放通道1", a double-click or Enter on a row; channel 2 for "在线播放通道2". The callable
// does nothing once the window is gone.
std::function<void(int channel, const ResultItem& item, const Text& playService)> installPlayer(
    MainWindow& window, OnlinePlay::Desktop desktop, std::function<void()> showAboutWindow = {});

}  // namespace lanqi
