#include "platform/qt/qt_window.h"

namespace lanqi {

QWidget* QtWindow::create(QWidget*) { return nullptr; }

QWidget* widgetOf(const Window* window) {
    const auto* qtWindow = dynamic_cast<const QtWindow*>(window);
    return qtWindow ? qtWindow->widget() : nullptr;
}

}  // namespace lanqi
