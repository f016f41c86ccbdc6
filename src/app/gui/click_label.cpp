#include "app/gui/click_label.h"

#include <QMouseEvent>

namespace lanqi {

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    switch (event->button()) {
        case Qt::LeftButton:
            event->accept();
            emit leftPressed();
            return;
        case Qt::RightButton:
            event->accept();
            emit rightPressed(event->globalPosition().toPoint());
            return;
        default:
            QLabel::mousePressEvent(event);
    }
}

}  // namespace lanqi
