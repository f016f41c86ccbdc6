#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/desktop.h"

namespace lanqi {

// What every dialog window of the client is: a dialog with a title and a close box, and no minimise or
// maximise buttons.
inline constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// A window or control of the Qt desktop services: the widget behind a Window handle.
//
// For a widget that already exists, wrap it: `QtWindow handle(widget);`. For a window that loadWindow creates,
// derive from QtWindow and build the widget in create(), which is the window's creation handler:
//
//   class AboutWindow : public QtWindow {
//       QWidget* create(QWidget* owner) override { return new AboutWidget(owner); }
//   };
//
// The handle does not own the widget; it forgets it when the widget is destroyed (for example a window with
// Qt::WA_DeleteOnClose), so the next loadWindow creates it again.
class QtWindow : public Window {
  public:
    explicit QtWindow(QWidget* widget = nullptr) : m_widget(widget) {}

    QWidget* widget() const { return m_widget; }

    // Builds the window's widget with `owner` (may be null) as its parent window, running its creation handler;
    // nullptr when it cannot be built. loadWindow calls it when widget() is null. The default builds nothing.
    virtual QWidget* create(QWidget* owner);

    // Called by loadWindow with what create() returned.
    void adopt(QWidget* widget) { m_widget = widget; }

  private:
    QPointer<QWidget> m_widget;
};

// The widget behind a handle; nullptr for no handle, a handle of another toolkit or a destroyed widget.
QWidget* widgetOf(const Window* window);

}  // namespace lanqi
