#include "app/gui/player_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "app/gui/click_label.h"
#include "platform/qt/qt_text.h"
#include "app/gui/main_window.h"

namespace lanqi {
namespace {

// The embedded browser of the player. A page can never open another browser window: every request for
// one (window.open, target="_blank", the engine's own menu) is answered with no window.
class PlayerBrowser final : public QWebEngineView {
  public:
    using QWebEngineView::QWebEngineView;

  protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType) override { return nullptr; }
};

// The mouse-key state of a pointer report, in the bit layout the player compares: left 1, right 2,
// Shift 4, Ctrl 8, middle 16.
int keyState(const QMouseEvent& event) {
    int keys = 0;
    if (event.buttons() & Qt::LeftButton) keys |= 0x01;
    if (event.buttons() & Qt::RightButton) keys |= 0x02;
    if (event.modifiers() & Qt::ShiftModifier) keys |= 0x04;
    if (event.modifiers() & Qt::ControlModifier) keys |= 0x08;
    if (event.buttons() & Qt::MiddleButton) keys |= 0x10;
    return keys;
}

}  // namespace

QtPlayerView::QtPlayerView(MainWindow& window, OnlinePlay::Desktop desktop, std::function<void()> showAboutWindow)
    : QtPlayerView(window, window.playerControls(), desktop, std::move(showAboutWindow)) {}

QtPlayerView::QtPlayerView(MainWindow& window, const PlayerControls& controls, OnlinePlay::Desktop desktop,
                           std::function<void()> showAboutWindow)
    : QObject(&window),
      m_window(window),
      m_browser(new PlayerBrowser(&window)),
      m_controls(controls),
      m_windowHandle(&window),
      m_browserHandle(m_browser),
      m_showAboutWindow(std::move(showAboutWindow)) {
    m_window.setPlayerBrowser(m_browser);
    // The play request is the user's gesture: the page's video may start on its own.
    m_browser->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    // Right-clicks belong to the player's own menu; the engine's menu (save, view source, open in a new
    // window) is not offered.
    m_browser->setContextMenuPolicy(Qt::NoContextMenu);
    // The top bar's labels lie over the page and the loading notice over the search view: both are drawn
    // opaque, in the window's base colour.
    for (QLabel* label : {m_controls.playingLabel, m_controls.shieldStatus, m_controls.loadingNotice})
        label->setAutoFillBackground(true);
    m_play = std::make_unique<OnlinePlay>(desktop, *this, m_events, m_guard);
    OnlinePlay& play = *m_play;

    connect(m_browser, &QWebEngineView::loadStarted, this, [&play] { play.onLoadStarted(); });
    connect(m_browser, &QWebEngineView::loadFinished, this, [&play](bool) {
        play.navigationDone();
        play.checkPlayerPageTitle();
    });
    connect(m_browser, &QWebEngineView::titleChanged, this, [&play] { play.checkPlayerPageTitle(); });

    m_controls.overlay->setMouseTracking(true);
    m_controls.overlay->installEventFilter(this);
    connect(m_controls.overlay, &ClickLabel::leftPressed, this, [&play] { play.onOverlayLeftButton(); });
    connect(m_controls.overlay, &ClickLabel::rightPressed, this, [&play] { play.onPlayerMenuRequested(); });
    for (QWidget* topControl :
         {static_cast<QWidget*>(m_controls.playingLabel), static_cast<QWidget*>(m_controls.shieldStatus),
          static_cast<QWidget*>(m_controls.backButton)}) {
        topControl->setMouseTracking(true);
        topControl->installEventFilter(this);
    }
    connect(m_controls.backButton, &QPushButton::clicked, this, [&play] { play.returnToSearch(); });
    // The page is drawn by a child widget that the engine creates (and may replace); watch each one.
    m_browser->installEventFilter(this);
    for (QObject* child : m_browser->children()) watchBrowserChild(child);

    // Esc in the page is taken by the event filter; one that the page passes on must not count twice.
    connect(&m_window, &MainWindow::escapePressed, this, [this, &play] {
        QWidget* focus = QApplication::focusWidget();
        if (focus != m_browser && !m_browser->isAncestorOf(focus)) play.onEscapeKey();
    });
    connect(&m_window, &MainWindow::resized, this, [&play] { play.onWindowResized(); });
    m_loadTimer = new QTimer(this);
    m_loadTimer->setSingleShot(true);
    connect(m_loadTimer, &QTimer::timeout, this, [&play] { play.onLoadTimer(); });
    connect(m_controls.pointerTimer, &QTimer::timeout, this, [&play] { play.onPointerTimer(); });
    connect(m_controls.shieldTimer, &QTimer::timeout, this, [&play] { play.shield().shieldScan(); });
}

QtPlayerView::~QtPlayerView() = default;

void QtPlayerView::watchBrowserChild(QObject* child) {
    if (auto* widget = qobject_cast<QWidget*>(child)) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
}

bool QtPlayerView::eventFilter(QObject* watched, QEvent* event) {
    OnlinePlay& play = *m_play;
    if (watched == m_controls.overlay) {
        if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            play.onOverlayPointerMoved(at.x(), at.y(), keyState(*mouse));
        } else if (event->type() == QEvent::MouseButtonDblClick &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            play.togglePlayerFullScreen();
            return true;
        }
        return false;
    }
    if (watched == m_controls.shieldStatus && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        play.onPlayerMenuRequested();
        return true;
    }
    if (watched == m_browser && event->type() == QEvent::ChildAdded) {
        watchBrowserChild(static_cast<QChildEvent*>(event)->child());
        return false;
    }
    const bool browserPart = watched == m_browser || watched->parent() == m_browser;
    if (browserPart && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        play.onEscapeKey();  // the page sees the key too
        return false;
    }
    if (event->type() == QEvent::MouseMove &&
        (browserPart || watched == m_controls.playingLabel || watched == m_controls.shieldStatus ||
         watched == m_controls.backButton)) {
        play.onPointerOverTopControls();
    }
    return false;
}

QWidget* QtPlayerView::control(PlayerControl which) const {
    switch (which) {
        case PlayerControl::Browser:
            return m_browser;
        case PlayerControl::PlayingLabel:
            return m_controls.playingLabel;
        case PlayerControl::ShieldStatus:
            return m_controls.shieldStatus;
        case PlayerControl::BackButton:
            return m_controls.backButton;
        case PlayerControl::Overlay:
            return m_controls.overlay;
        case PlayerControl::LoadingNotice:
            return m_controls.loadingNotice;
    }
    return m_controls.loadingNotice;
}

void QtPlayerView::setControlVisible(PlayerControl which, bool visible) {
    control(which)->setVisible(visible);
    if (which == PlayerControl::BackButton && visible) m_controls.backButton->raise();  // over the loading notice too
    // Keys go to the page (and Esc to the player), not to the search box under it; back in the search
    // view they go to the search box again.
    if (which == PlayerControl::Browser) {
        if (visible) {
            m_browser->setFocus();
        } else {
            m_window.focusSearchBox();
        }
    }
}

void QtPlayerView::setSearchViewShown(bool shown) { m_window.setSearchViewShown(shown); }

Geometry QtPlayerView::controlGeometry(PlayerControl which) const {
    const QRect r = control(which)->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void QtPlayerView::setControlGeometry(PlayerControl which, const Geometry& g) {
    control(which)->setGeometry(g.left, g.top, g.width, g.height);
}

void QtPlayerView::setLoadingText(const Text& text) { m_controls.loadingNotice->setText(toQString(text)); }

void QtPlayerView::setShieldStatusText(const Text& text) { m_controls.shieldStatus->setText(toQString(text)); }

Geometry QtPlayerView::windowGeometry() const {
    // Full screen as asked, even before the window manager has answered with the new size.
    if (m_window.windowState().testFlag(Qt::WindowFullScreen)) {
        const QSize screen = m_window.screen()->size();
        return {0, 0, screen.width(), screen.height()};
    }
    const QRect client = m_window.geometry();  // the client area: the frame is the window manager's
    return {client.x(), client.y(), client.width(), client.height()};
}

void QtPlayerView::setWindowGeometry(const Geometry& g) {
    // The whole screen without a border is the window manager's full-screen state: it covers the panels,
    // and the native window stays the same one.
    const QSize screen = m_window.screen()->size();
    if (m_borderless && g.left == 0 && g.top == 0 && g.width == screen.width() && g.height == screen.height()) {
        m_window.showFullScreen();
        return;
    }
    if (m_window.windowState().testFlag(Qt::WindowFullScreen)) m_window.showNormal();
    m_window.setGeometry(g.left, g.top, g.width, g.height);
}

bool QtPlayerView::windowMaximised() const { return m_window.isMaximized(); }

void QtPlayerView::setWindowMaximised(bool maximised) {
    if (maximised) {
        m_window.showMaximized();
    } else {
        m_window.showNormal();
    }
}

void QtPlayerView::setWindowBaseColour(std::uint32_t rgb) {
    QPalette colours = m_window.palette();
    colours.setColor(QPalette::Window, QColor::fromRgb(static_cast<QRgb>(rgb)));
    m_window.setPalette(colours);
}

// No border and always on top come with the full-screen state (setWindowGeometry); changing the window's
// flags instead would make a new native window, which assistive tools and scripts lose.
void QtPlayerView::setWindowBorder(WindowBorder border) { m_borderless = border == WindowBorder::None; }

void QtPlayerView::setAlwaysOnTop(bool) {}

void QtPlayerView::setPointerTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_controls.pointerTimer->start(milliseconds);
    } else {
        m_controls.pointerTimer->stop();
    }
}

void QtPlayerView::setLoadTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_loadTimer->start(milliseconds);
    } else {
        m_loadTimer->stop();
    }
}

void QtPlayerView::setShieldTimerPeriod(int milliseconds) {
    if (milliseconds > 0) {
        m_controls.shieldTimer->start(milliseconds);
    } else {
        m_controls.shieldTimer->stop();
    }
}

Text QtPlayerView::browserTitle() const { return fromQString(m_browser->title()); }

void QtPlayerView::showAboutWindow() {
    if (m_showAboutWindow) m_showAboutWindow();
}

std::function<void(int, const ResultItem&, const Text&)> installPlayer(MainWindow& window, OnlinePlay::Desktop desktop,
                                                                       std::function<void()> showAboutWindow) {
    QPointer<QtPlayerView> player = new QtPlayerView(window, desktop, std::move(showAboutWindow));
    return [player](int channel, const ResultItem& item, const Text& playService) {
        if (player) player->onlinePlay().playOnline(channel, item, playService);
    };
}

}  // namespace lanqi
