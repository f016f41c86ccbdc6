#pragma once

#include <cstdint>

#include "actions/shield.h"
#include "actions/window_geometry.h"
#include "platform/desktop.h"
#include "platform/events.h"
#include "scrape/result_item.h"

namespace lanqi {

// The main window's controls that make up the player view.
enum class PlayerControl {
    Browser,        // 播放浏览框
    PlayingLabel,   // 标签1 "正在播放："
    ShieldStatus,   // 标签3
    BackButton,     // 超级按钮1 "点此返回搜索"
    Overlay,        // 透明标签2, over the browser below the top bar
    LoadingNotice,  // 标签5, over the whole client area
};

enum class WindowBorder { FixedSingle, None };

// Where window mode puts a player control in a client area of `width` x `height`: the design's place, the
// browser, the overlay and the loading notice taking the change of size, 标签3 and 超级按钮1 keeping their
// distance from the right edge.
Geometry playerWindowGeometry(PlayerControl control, int width, int height);

// The player view on the main window as the online-play logic drives it. Implemented by the Qt side on
// the real main window and by recording fakes in tests.
class PlayerView {
  public:
    virtual ~PlayerView() = default;

    virtual void setControlVisible(PlayerControl control, bool visible) = 0;
    // The search view's controls (the search row, the results, the banner, the logo and the footer) under
    // the player view. While the loading notice or the browser covers them they are hidden, not merely
    // covered: no Tab, key or screen reader may reach a control the user cannot see.
    virtual void setSearchViewShown(bool shown) = 0;
    virtual Geometry controlGeometry(PlayerControl control) const = 0;
    virtual void setControlGeometry(PlayerControl control, const Geometry& geometry) = 0;
    virtual void setLoadingText(const Text& text) = 0;       // 标签5's caption
    virtual void setShieldStatusText(const Text& text) = 0;  // 标签3's caption

    // The window's place (its client area) and its size; setting it shows the window in its normal state.
    virtual Geometry windowGeometry() const = 0;
    virtual void setWindowGeometry(const Geometry& geometry) = 0;
    virtual bool windowMaximised() const = 0;
    virtual void setWindowMaximised(bool maximised) = 0;
    virtual void setWindowBaseColour(std::uint32_t rgb) = 0;  // 0xRRGGBB
    virtual void setWindowBorder(WindowBorder border) = 0;
    virtual void setAlwaysOnTop(bool on) = 0;

    virtual void setPointerTimerPeriod(int milliseconds) = 0;  // 时钟2; 0 stops it
    // The limit on loading the cloud-play page: a single shot after `milliseconds`; 0 stops it.
    virtual void setLoadTimerPeriod(int milliseconds) = 0;
    virtual void setShieldTimerPeriod(int milliseconds) = 0;  // 时钟3; 0 stops it

    virtual Window& browser() = 0;          // 播放浏览框, for navigateBrowser
    virtual Text browserTitle() const = 0;  // the document title as the browser reports it now, GBK
    // True when the system has no engine that can show a page in the browser, so a play fails whatever the
    // network does.
    virtual bool browserEngineMissing() const { return false; }
    virtual const Window* mainWindow() const = 0;
    // The about window, modal over the main window; returns once it is closed.
    virtual void showAboutWindow() = 0;
};

// Entry ids of the "播放器" popup menu.
enum class PlayerMenuCommand : int {
    WindowMode = 1,  // "返回窗口播放", shown only in full screen
    FullScreen,      // "全屏播放", shown only in window mode
    EndPlay,         // "结束播放并返回搜索"
    ShieldOn,        // "开启看片防护盾"
    ShieldOff,       // "关闭看片防护盾"
    About,           // "关于播放器"
};

// The cloud-play address: base + "/api/api.php?u=" + link + "&kltvv=c4" (channel 1) or "&kltvv=ck"
// (channel 2). The link's "magnet:?xt=urn:btih:" goes in as it is; every byte of the hash after it outside
// [0-9A-Za-z] is percent-encoded.
Text cloudPlayAddress(const Text& serviceBase, const Text& magnetLink, int channel);

inline constexpr int kPointerHideDelayMs = 1000;
inline constexpr int kPlayLoadLimitMs = 30000;  // a cloud-play page that has not loaded by then has failed
inline constexpr int kPlayerMenuOpen = 3;       // playerMenuOpen while the "播放器" menu keeps the pointer shown

// Online play in the player view: the play request, the decision on the page the service answers, going
// back to the search view, window mode and full screen, the pointer over the overlay, the "播放器" menu,
// and the protection shield that runs while a video plays. Every operation runs on the user-interface
// thread, from the main window's events.
class OnlinePlay final : private ShieldView {
  public:
    using Desktop = DesktopRoles<MessageBoxes, FileStore, WindowEffects, ProcessControl>;
    OnlinePlay(Desktop desktop, PlayerView& view, EventPump& events, const ProcessGuard& guard);

    // "在线播放通道1" / "在线播放通道2", and double-click or Enter on a row (channel 1): shows the loading
    // notice, switches the shield on and sends the browser to the cloud-play address (on the service at
    // `playService`) of `item`'s magnet link. Does nothing for a channel other than 1 or 2.
    void playOnline(int channel, const ResultItem& item, const Text& playService);

    // Events of 播放浏览框.
    void onLoadStarted() { m_shield.takeProcessBaseline(); }  // a download begins
    void navigationDone() { m_navigationDone = 1; }           // navigate-complete
    // A title change. Only the first one after a completed navigation, while a play request is pending,
    // decides: "快乐TV云播接口" shows the player, any other title ends in the "网络错误" box and the return
    // to the search view.
    void checkPlayerPageTitle();

    // The load limit ran out: a play still waiting for its page fails as a page with a wrong title does.
    void onLoadTimer();

    // 超级按钮1, also while the page loads: hides the player (and the loading notice), switches the shield
    // off, forgets a play still loading and sends the browser to the local blank page.
    void returnToSearch();
    // "结束播放并返回搜索": leaves full screen first, stops a running scan, then returns to the search view.
    void endPlayAndReturn();
    // "全屏播放", "返回窗口播放", a double-click on the overlay. Full screen covers the screen; window mode puts
    // the window back where and as large as it was before (maximised again if it was).
    void togglePlayerFullScreen();
    // The main window's client area changed size (the user resized or maximised it): in window mode the
    // player's controls follow it.
    void onWindowResized();
    // Esc in the browser or on the main window: from full screen back to window mode; in window mode back to
    // the search view while a page plays or loads; nothing on the search view.
    void onEscapeKey();

    // The pointer over the overlay (overlay coordinates and the mouse-key state), and 时钟2's tick.
    void onOverlayPointerMoved(int x, int y, int keys);
    void onPointerTimer();
    // The pointer moved over the browser, 标签1, 标签3 or 超级按钮1: shown, and 时钟2 stopped.
    void onPointerOverTopControls();
    void onOverlayLeftButton() { m_playerMenuOpen = 0; }
    // Right button on 标签3 or on the overlay: pops up "播放器" at the pointer and runs the chosen entry.
    void onPlayerMenuRequested();
    void runPlayerMenuCommand(int command);

    // "播放器" as it would pop up now.
    PopupMenu playerMenu() const;

    ProtectionShield& shield() { return m_shield; }
    const ProtectionShield& shield() const { return m_shield; }
    bool fullScreen() const { return m_fullScreen; }
    int playPending() const { return m_playPending; }
    int playChannel() const { return m_playChannel; }
    int playerMenuOpen() const { return m_playerMenuOpen; }

    static const Text& successTitle();  // "快乐TV云播接口"

  private:
    // ShieldView: the shield's status text and timer are the player view's; its two menu entries are
    // this menu's.
    void setShieldStatusText(const Text& text) override { m_view.setShieldStatusText(text); }
    void setShieldMenuEntries(bool switchOnVisible, bool switchOffVisible) override;
    void setShieldTimerPeriod(int milliseconds) override { m_view.setShieldTimerPeriod(milliseconds); }

    void showPlayer();
    void failPlay();
    void setControlsShown(bool shown);
    void setControlHeight(PlayerControl control, int height);
    void enterWindowMode();
    void enterFullScreen();
    void showAboutWindow();

    MessageBoxes& m_messages;
    FileStore& m_files;
    WindowEffects& m_windows;
    PlayerView& m_view;
    ProtectionShield m_shield;

    int m_playPending = 0;
    bool m_playerShown = false;
    bool m_fullScreen = false;
    Geometry m_windowed;  // where the window was before full screen
    bool m_windowedMaximised = false;
    int m_navigationDone = 0;
    int m_playChannel = 1;
    int m_playerMenuOpen = 0;
    struct PointerState {
        int x = 0, y = 0, keys = 0;
        bool operator==(const PointerState&) const = default;
    } m_lastOverlayPointer;

    // Visibility of the "播放器" entries that come and go.
    bool m_windowModeEntryVisible = false;
    bool m_fullScreenEntryVisible = true;
    bool m_shieldOnEntryVisible = false;
    bool m_shieldOffEntryVisible = true;
};

}  // namespace lanqi
