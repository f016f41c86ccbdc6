#include "platform/qt/qt_task_poster.h"

#include <QMetaObject>

namespace lanqi {

void QtTaskPoster::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
}

}  // namespace lanqi
