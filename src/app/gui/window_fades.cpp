#include "app/gui/window_fades.h"

#include <cmath>

#include <QCoreApplication>

#include "app/core/fade.h"
#include "platform/net.h"

namespace lanqi {
namespace {

class WidgetFadeIn final : public FadeInHost {
  public:
    explicit WidgetFadeIn(QWidget& window) : m_window(window) {}

    void hideWindow() override {
        m_window.hide();
        m_window.winId();  // creates the native window when it does not exist yet
    }
    // Qt accepts an opacity on every platform; where the window system cannot show it (no compositor),
    // the window simply stays opaque, which is what a platform without layered windows shows too.
    bool canChangeOpacity() override { return true; }
    void setWindowOpacity(int level) override { m_window.setWindowOpacity(opacityFromLevel(level)); }
    void showWindow() override { m_window.show(); }
    void processPendingEvents() override { QCoreApplication::processEvents(); }
    void sleepMilliseconds(int milliseconds) override { sleepMs(milliseconds); }

  private:
    QWidget& m_window;
};

}  // namespace

qreal opacityFromLevel(int level) { return qBound(0, level, kOpaque) / static_cast<qreal>(kOpaque); }

int levelFromOpacity(qreal opacity) { return static_cast<int>(std::lround(opacity * kOpaque)); }

void fadeInWidget(QWidget& window, int stepDelay) {
    WidgetFadeIn host(window);
    fadeInWindow(host, stepDelay);
}

}  // namespace lanqi
