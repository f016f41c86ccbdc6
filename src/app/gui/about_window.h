#pragma once

#include <QWidget>

#include "platform/qt/qt_window.h"

namespace lanqi {

// aboutWindow: the product cards, the name and version, the usage terms, the maker's contact lines and
// rights line, each control at its design position in the 408 × 282 client area and named by its control
// name. It has no commands; its close box or Esc closes it, and closing destroys it.
class AboutWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 408;
    static constexpr int kHeight = 282;

    // `owner` (may be null) becomes the parent window; the about window stays a window of its own.
    explicit AboutWindow(QWidget* owner = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;  // Esc closes it, as its close box does
};

// The about window as loadWindow shows it: created afresh for every showing, since closing destroys it.
class AboutWindowHandle final : public QtWindow {
  public:
    QWidget* create(QWidget* owner) override { return new AboutWindow(owner); }
};

}  // namespace lanqi
