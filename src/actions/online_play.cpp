#include "actions/online_play.h"

#include "actions/blank_page.h"

namespace lanqi {
namespace {

constexpr int kDesignWidth = kMainWindowWidth;
constexpr int kDesignHeight = kMainWindowHeight;

// In full screen the top bar sits just above the screen's edge, and the browser starts 28 pixels above it.
constexpr int kFullScreenTopBarTop = -24;
constexpr int kFullScreenBrowserTop = -28;
// Heights in full screen relative to the window height H: the browser H + 30 (its bottom edge 2 pixels
// below the screen's), or H + 60 on channel 2 while the pointer rests (the page's bottom strip pushed off
// the screen); the overlay H − 28 (the page's own bottom strip open to the mouse) or H (all of it).
constexpr int kBrowserExtra = 30;
constexpr int kBrowserExtraHidden = 60;
constexpr int kOverlayShortfall = 28;
constexpr int kBottomRevealBand = 60;  // pointer this close to the screen's bottom reveals the strip
constexpr int kOverlayTopBand = 10;
constexpr int kOverlayBottomBand = 20;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

constexpr int kErrorBoxStyle = kMessageOk | kMessageIconError;

}  // namespace

Text cloudPlayAddress(const Text& serviceBase, const Text& magnetLink, int channel) {
    // The hash comes from a web page: every byte of it outside [0-9A-Za-z] is percent-encoded, so that it can
    // never add or replace a parameter of the address ("&u=http://elsewhere/#").
    static constexpr std::string_view kPrefix = "magnet:?xt=urn:btih:";
    const bool prefixed = std::string_view(magnetLink).substr(0, kPrefix.size()) == kPrefix;
    Text address = serviceBase + "/api/api.php?u=" + (prefixed ? Text(kPrefix) : Text());
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (size_t i = prefixed ? kPrefix.size() : 0; i < magnetLink.size(); ++i) {
        const auto c = static_cast<unsigned char>(magnetLink[i]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            address.push_back(static_cast<char>(c));
        } else {
            address.push_back('%');
            address.push_back(kHex[c >> 4]);
            address.push_back(kHex[c & 15]);
        }
    }
    return address + (channel == 1 ? "&kltvv=c4" : "&kltvv=ck");
}

OnlinePlay::OnlinePlay(Desktop desktop, PlayerView& view, EventPump& events, const ProcessGuard& guard)
    : m_messages(desktop.get<MessageBoxes>()),
      m_files(desktop.get<FileStore>()),
      m_windows(desktop.get<WindowEffects>()),
      m_view(view),
      m_shield(desktop.get<ProcessControl>(), static_cast<ShieldView&>(*this), events, guard) {}

const Text& OnlinePlay::successTitle() {
    static const Text title = gbk(u8"快乐TV云播接口");
    return title;
}

Geometry playerWindowGeometry(PlayerControl control, int width, int height) {
    const int dx = width - kDesignWidth;
    const int dy = height - kDesignHeight;
    const auto grown = [dx, dy](Geometry g) { return Geometry{g.left, g.top, g.width + dx, g.height + dy}; };
    switch (control) {
        case PlayerControl::PlayingLabel:
            return kPlayingLabelGeometry;
        case PlayerControl::ShieldStatus:
            return {kShieldStatusGeometry.left + dx, 0, kShieldStatusGeometry.width, kShieldStatusGeometry.height};
        case PlayerControl::BackButton:
            return {kBackButtonGeometry.left + dx, 0, kBackButtonGeometry.width, kBackButtonGeometry.height};
        case PlayerControl::Browser:
            return grown(kBrowserGeometry);
        case PlayerControl::Overlay:
            return grown(kOverlayGeometry);
        case PlayerControl::LoadingNotice:
            return grown(kLoadingNoticeGeometry);
    }
    return {};
}

void OnlinePlay::playOnline(int channel, const ResultItem& item, const Text& playService) {
    if (channel != 1 && channel != 2) return;
    static const Text loading = gbk(u8"视频拼命加载中，请稍候...");
    m_view.setLoadingText(loading);
    m_view.setControlVisible(PlayerControl::LoadingNotice, true);
    m_view.setSearchViewShown(false);
    m_shield.switchShieldOn();
    // The way back is open while the page loads.
    m_view.setControlVisible(PlayerControl::BackButton, true);
    m_view.setLoadTimerPeriod(kPlayLoadLimitMs);
    m_playPending = 1;
    m_playChannel = channel == 1 ? 1 : 0;
    // The browser stays hidden while it loads; the loading notice covers the window meanwhile.
    m_windows.navigateBrowser(m_view.browser(), cloudPlayAddress(playService, item.magnetLink, channel));
}

void OnlinePlay::checkPlayerPageTitle() {
    if (m_navigationDone != 1) return;
    m_navigationDone = 0;
    if (m_playPending <= 0) return;  // the blank page, or a page change after the decision
    m_playPending = 0;
    m_view.setLoadTimerPeriod(0);
    if (m_view.browserTitle() == successTitle()) {
        showPlayer();
    } else {
        failPlay();
    }
}

void OnlinePlay::onLoadTimer() {
    m_view.setLoadTimerPeriod(0);
    if (m_playPending <= 0) return;
    m_playPending = 0;
    failPlay();
}

void OnlinePlay::showPlayer() {
    m_view.setControlVisible(PlayerControl::LoadingNotice, false);
    setControlsShown(true);
    m_playerShown = true;
    m_view.setShieldTimerPeriod(kShieldPeriodMs);
}

void OnlinePlay::failPlay() {
    static const Text failed = gbk(u8"视频加载失败！");
    static const Text text = gbk(u8"视屏加载失败：无法连接服务器，请检查网络设置。");
    static const Text caption = gbk(u8"网络错误");
    // Without a browser engine no page can load, however well the server answers: the network is not to blame.
    static const Text noEngineText = gbk(u8"视屏加载失败：本机没有可用的网页浏览组件");
    static const Text noEngineCaption = gbk(u8"播放错误");
    const bool noEngine = m_view.browserEngineMissing();
    m_view.setLoadingText(failed);
    m_messages.showMessageBox(noEngine ? noEngineText : text, kErrorBoxStyle, noEngine ? noEngineCaption : caption,
                              m_view.mainWindow());
    returnToSearch();
    m_view.setControlVisible(PlayerControl::LoadingNotice, false);
}

void OnlinePlay::setControlsShown(bool shown) {
    for (const PlayerControl control : {PlayerControl::Browser, PlayerControl::PlayingLabel,
                                        PlayerControl::ShieldStatus, PlayerControl::BackButton, PlayerControl::Overlay})
        m_view.setControlVisible(control, shown);
}

void OnlinePlay::returnToSearch() {
    // The search view comes back under the player first, so that the keys can go to its search box at once.
    m_view.setSearchViewShown(true);
    setControlsShown(false);
    if (m_playPending > 0) m_view.setControlVisible(PlayerControl::LoadingNotice, false);  // left while loading
    m_playPending = 0;
    m_playerShown = false;
    m_view.setLoadTimerPeriod(0);
    m_shield.switchShieldOff();
    // The blank page is written into the user's private folder only; when that cannot be done the browser
    // shows an empty page from memory, never a file at that place that someone else may have written.
    const Text folder = m_files.specialFolder(SpecialFolder::TemporaryFiles);
    const Text path = folder + kBlankPageFileName;
    const bool written = !folder.empty() && m_files.writeFile(path, {localBlankPage()});
    m_windows.navigateBrowser(m_view.browser(), written ? path : Text(kEmptyPageAddress));
}

void OnlinePlay::endPlayAndReturn() {
    if (fullScreen()) togglePlayerFullScreen();
    m_shield.requestStop();
    returnToSearch();
}

void OnlinePlay::togglePlayerFullScreen() {
    if (fullScreen()) {
        enterWindowMode();
    } else {
        enterFullScreen();
    }
}

void OnlinePlay::onEscapeKey() {
    if (fullScreen()) {
        togglePlayerFullScreen();
    } else if (m_playerShown || m_playPending > 0) {
        endPlayAndReturn();
    }
}

void OnlinePlay::onWindowResized() {
    if (m_fullScreen) return;
    const Geometry window = m_view.windowGeometry();
    for (const PlayerControl control :
         {PlayerControl::PlayingLabel, PlayerControl::ShieldStatus, PlayerControl::BackButton, PlayerControl::Browser,
          PlayerControl::Overlay, PlayerControl::LoadingNotice})
        m_view.setControlGeometry(control, playerWindowGeometry(control, window.width, window.height));
}

void OnlinePlay::enterWindowMode() {
    m_fullScreen = false;
    m_view.setWindowBaseColour(kWhite);
    m_view.setWindowBorder(WindowBorder::FixedSingle);
    m_view.setWindowGeometry(m_windowed);
    if (m_windowedMaximised) m_view.setWindowMaximised(true);
    onWindowResized();
    m_view.setAlwaysOnTop(false);
    m_windowModeEntryVisible = false;
    m_fullScreenEntryVisible = true;
}

void OnlinePlay::enterFullScreen() {
    m_windowedMaximised = m_view.windowMaximised();
    m_windowed = m_view.windowGeometry();
    m_fullScreen = true;
    const ScreenSize screen = m_windows.screenSize();
    m_view.setWindowBaseColour(kBlack);
    m_view.setWindowBorder(WindowBorder::None);
    m_view.setWindowGeometry({0, 0, screen.width, screen.height});
    for (const PlayerControl control :
         {PlayerControl::PlayingLabel, PlayerControl::ShieldStatus, PlayerControl::BackButton}) {
        Geometry g = m_view.controlGeometry(control);
        g.top = kFullScreenTopBarTop;
        m_view.setControlGeometry(control, g);
    }
    Geometry browser = m_view.controlGeometry(PlayerControl::Browser);
    browser.top = kFullScreenBrowserTop;
    browser.width = screen.width + 4;
    browser.height = screen.height + kBrowserExtra;
    m_view.setControlGeometry(PlayerControl::Browser, browser);
    Geometry overlay = m_view.controlGeometry(PlayerControl::Overlay);
    overlay.top = 0;
    overlay.width = browser.width;
    overlay.height = screen.height - kOverlayShortfall;
    m_view.setControlGeometry(PlayerControl::Overlay, overlay);
    m_view.setAlwaysOnTop(true);
    m_windowModeEntryVisible = true;
    m_fullScreenEntryVisible = false;
}

void OnlinePlay::setControlHeight(PlayerControl control, int height) {
    Geometry g = m_view.controlGeometry(control);
    g.height = height;
    m_view.setControlGeometry(control, g);
}

void OnlinePlay::onOverlayPointerMoved(int x, int y, int keys) {
    const PointerState now{x, y, keys};
    if (now != m_lastOverlayPointer) {
        m_windows.setPointerVisible(true);
        if (m_playerMenuOpen != kPlayerMenuOpen) m_view.setPointerTimerPeriod(kPointerHideDelayMs);
    }
    m_lastOverlayPointer = now;

    const int overlayHeight = m_view.controlGeometry(PlayerControl::Overlay).height;
    if (y >= overlayHeight - kOverlayBottomBand || y < kOverlayTopBand || m_playerMenuOpen == kPlayerMenuOpen) {
        m_windows.setPointerVisible(true);  // never hidden in the bands
        m_view.setPointerTimerPeriod(0);
    }
    if (!fullScreen()) return;

    // Full screen: near the screen's bottom the page's own controls come back within reach.
    const int windowHeight = m_view.windowGeometry().height;
    const int screenHeight = m_windows.screenSize().height;
    const int browserHeight = m_view.controlGeometry(PlayerControl::Browser).height;
    const bool nearBottom = y >= screenHeight - kBottomRevealBand;
    if (nearBottom && browserHeight > windowHeight + kBrowserExtra) {
        setControlHeight(PlayerControl::Browser, windowHeight + kBrowserExtra);
        setControlHeight(PlayerControl::Overlay, windowHeight - kOverlayShortfall);
    } else if (m_playChannel > 0 && nearBottom && browserHeight == windowHeight + kBrowserExtra) {
        setControlHeight(PlayerControl::Overlay, windowHeight - kOverlayShortfall);
    }
}

void OnlinePlay::onPointerTimer() {
    if (fullScreen()) {
        const int windowHeight = m_view.windowGeometry().height;
        setControlHeight(PlayerControl::Browser,
                         windowHeight + (m_playChannel > 0 ? kBrowserExtra : kBrowserExtraHidden));
        setControlHeight(PlayerControl::Overlay, windowHeight);  // the page receives no clicks
    }
    m_windows.setPointerVisible(m_playerMenuOpen == kPlayerMenuOpen);
    m_view.setPointerTimerPeriod(0);  // once per pause
}

void OnlinePlay::onPointerOverTopControls() {
    m_windows.setPointerVisible(true);
    m_view.setPointerTimerPeriod(0);
}

void OnlinePlay::setShieldMenuEntries(bool switchOnVisible, bool switchOffVisible) {
    m_shieldOnEntryVisible = switchOnVisible;
    m_shieldOffEntryVisible = switchOffVisible;
}

PopupMenu OnlinePlay::playerMenu() const {
    const auto item = [](PlayerMenuCommand command, const char8_t* caption, bool visible) {
        return MenuEntry::item(static_cast<int>(command), gbk(caption), visible);
    };
    return {{
        item(PlayerMenuCommand::WindowMode, u8"返回窗口播放", m_windowModeEntryVisible),
        item(PlayerMenuCommand::FullScreen, u8"全屏播放", m_fullScreenEntryVisible),
        MenuEntry::line(),
        item(PlayerMenuCommand::EndPlay, u8"结束播放并返回搜索", true),
        MenuEntry::line(),
        item(PlayerMenuCommand::ShieldOn, u8"开启看片防护盾", m_shieldOnEntryVisible),
        item(PlayerMenuCommand::ShieldOff, u8"关闭看片防护盾", m_shieldOffEntryVisible),
        MenuEntry::line(),
        item(PlayerMenuCommand::About, u8"关于播放器", true),
    }};
}

void OnlinePlay::onPlayerMenuRequested() {
    m_view.setAlwaysOnTop(false);  // the menu and what it opens must not end up behind the window
    m_playerMenuOpen = kPlayerMenuOpen;
    m_windows.setPointerVisible(true);
    runPlayerMenuCommand(m_windows.popupMenuAtPointer(m_view.mainWindow(), playerMenu()));
}

void OnlinePlay::runPlayerMenuCommand(int command) {
    switch (static_cast<PlayerMenuCommand>(command)) {
        case PlayerMenuCommand::WindowMode:  // shown only in full screen: toggles without asking
        case PlayerMenuCommand::FullScreen:
            togglePlayerFullScreen();
            break;
        case PlayerMenuCommand::EndPlay:
            endPlayAndReturn();
            break;
        case PlayerMenuCommand::ShieldOn:
            m_shield.switchShieldOn();
            break;
        case PlayerMenuCommand::ShieldOff:
            m_shield.switchShieldOff();
            break;
        case PlayerMenuCommand::About:
            showAboutWindow();
            break;
    }
}

void OnlinePlay::showAboutWindow() {
    m_view.setAlwaysOnTop(false);
    m_view.showAboutWindow();
    if (m_view.windowGeometry().width >= kDesignWidth + 1) m_view.setAlwaysOnTop(true);
}

}  // namespace lanqi
