#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <QApplication>
#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QTimer>

#include "platform/text.h"

// Readable failure messages for the Qt values the tests compare (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline void PrintTo(const QSize& s, std::ostream* out) { *out << s.width() << "x" << s.height(); }
inline void PrintTo(const QPoint& p, std::ostream* out) { *out << p.x() << "," << p.y(); }

namespace lanqi::test {

inline Text gbkOf(const char* utf8Text) { return gbk(std::string(utf8Text)); }

// Answers the next modal message box once it is up: `answer` gets the box, reads what it needs and
// clicks a button. Polls every 10 ms, so it works from inside the box's own event loop; stops polling
// when it has answered or goes out of scope, so it never answers another test's box.
class MessageBoxAnswerer {
  public:
    explicit MessageBoxAnswerer(std::function<void(QMessageBox&)> answer) : m_answer(std::move(answer)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            m_poll.stop();
            m_answered = true;
            m_answer(*box);
        });
        m_poll.start(10);
    }

    bool answered() const { return m_answered; }

  private:
    std::function<void(QMessageBox&)> m_answer;
    QTimer m_poll;
    bool m_answered = false;
};

}  // namespace lanqi::test
