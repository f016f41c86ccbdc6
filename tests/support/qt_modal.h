#pragma once

// Answering modal message boxes and popup menus from a test. The call under test blocks in its own event loop;
// these helpers arm a timer beforehand that finds the box or menu once it is shown, records what it shows and
// then clicks, presses a key or picks an entry, just as a user would:
//
//   test::SeenMessageBox seen;
//   test::answerNextMessageBox(QMessageBox::Cancel, &seen);
//   EXPECT_EQ(desktop.showMessageBox(text, kMessageOkCancel), MessageAnswer::Cancel);
//
// A box or menu that does not appear within the time limit is closed by the helper when it finally shows
// (never left hanging), and the helper's `appeared` stays false.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace lanqi::test {

// Polls every 10 ms until `find` gives a widget, then runs `act` on it once.
template <typename W>
void whenShown(std::function<W*()> find, std::function<void(W*)> act, int timeoutMs = 10000) {
    auto* timer = new QTimer(qApp);
    auto* elapsed = new int(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, find, act, timeoutMs] {
        *elapsed += 10;
        W* widget = find();
        if (widget == nullptr || !widget->isVisible()) {
            if (*elapsed < timeoutMs) return;
        } else {
            act(widget);
        }
        timer->stop();
        timer->deleteLater();
        delete elapsed;
    });
    timer->start();
}

struct SeenMessageBox {
    bool appeared = false;
    QString title;
    QString text;
    Qt::TextFormat textFormat = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons;  // sorted by value
    std::vector<QString> buttonTexts;                  // their captions, in the same order
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::WindowModality modality = Qt::NonModal;
    bool staysOnTop = false;
    QWidget* parent = nullptr;
};

inline QMessageBox* activeMessageBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

inline void record(QMessageBox* box, SeenMessageBox* seen) {
    if (seen == nullptr) return;
    seen->appeared = true;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->textFormat = box->textFormat();
    seen->icon = box->icon();
    std::vector<std::pair<QMessageBox::StandardButton, QString>> buttons;
    for (QAbstractButton* button : box->buttons()) buttons.emplace_back(box->standardButton(button), button->text());
    std::sort(buttons.begin(), buttons.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    seen->buttons.clear();
    seen->buttonTexts.clear();
    for (const auto& [button, text] : buttons) {
        seen->buttons.push_back(button);
        seen->buttonTexts.push_back(text);
    }
    seen->defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen->modality = box->windowModality();
    seen->staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen->parent = box->parentWidget();
}

// Clicks `button` in the next message box.
inline void answerNextMessageBox(QMessageBox::StandardButton button, SeenMessageBox* seen = nullptr) {
    whenShown<QMessageBox>(activeMessageBox, [button, seen](QMessageBox* box) {
        record(box, seen);
        if (QAbstractButton* target = box->button(button)) target->click();
    });
}

// Presses `key` (Escape, Return) in the next message box.
inline void pressKeyInNextMessageBox(Qt::Key key, SeenMessageBox* seen = nullptr) {
    whenShown<QMessageBox>(activeMessageBox, [key, seen](QMessageBox* box) {
        record(box, seen);
        QTest::keyClick(box, key);
    });
}

struct SeenMenu {
    bool appeared = false;
    QPoint position;
    std::vector<QString> entries;  // captions; "-" for a separator
};

inline QMenu* activeMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

// Picks the entry with this caption in the next popup menu; an empty caption (or none that matches) dismisses
// the menu with Escape.
inline void chooseInNextMenu(const QString& caption, SeenMenu* seen = nullptr) {
    whenShown<QMenu>(activeMenu, [caption, seen](QMenu* menu) {
        QAction* chosen = nullptr;
        if (seen != nullptr) seen->appeared = true;
        if (seen != nullptr) seen->position = menu->pos();
        for (QAction* action : menu->actions()) {
            if (seen != nullptr) seen->entries.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
            if (!action->isSeparator() && !caption.isEmpty() && action->text() == caption) chosen = action;
        }
        if (chosen != nullptr) {
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
}

}  // namespace lanqi::test
