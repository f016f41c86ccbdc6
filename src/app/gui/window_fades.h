#pragma once

#include <QWidget>

namespace lanqi {

// Window opacity as the fades count it (0..255) to Qt's 0.0..1.0 and back. Qt keeps a top-level
// window's opacity in 1/255 steps, so a level survives the round trip exactly.
qreal opacityFromLevel(int level);
int levelFromOpacity(qreal opacity);

// fadeInWindow on a top-level widget: hides it, shows it at opacity 0 and raises the opacity step by step,
// running pending events after each step and sleeping stepDelay ms between steps.
void fadeInWidget(QWidget& window, int stepDelay);

}  // namespace lanqi
