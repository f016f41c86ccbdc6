#pragma once

#include <QLabel>
#include <QPoint>

namespace lanqi {

// A label or picture box that reports mouse presses, the way the windows route them: left button and
// right button (with the pointer's screen position, for popup menus). A label with no text and no
// picture draws nothing and serves as a transparent click area over other controls.
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void leftPressed();
    void rightPressed(QPoint globalPosition);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace lanqi
