#include "platform/qt/qt_desktop_services.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMetaProperty>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/x11_windows.h"
#include "platform/wine_registry.h"

namespace lanqi {
namespace {

// An absolute path is a local file; a text with a scheme ("http:", "magnet:") is taken as it stands; anything
// else is guessed the way a browser's address bar would ("www.example.com" is http).
// How long openAddress waits for xdg-open to say whether a program took the address.
constexpr int kOpenerVerdictMilliseconds = 1500;

QUrl addressUrl(const QString& address) {
    if (address.startsWith(u'/')) return QUrl::fromLocalFile(address);
    const QUrl url(address, QUrl::TolerantMode);
    if (url.isValid() && url.scheme().size() > 1) return url;
    return QUrl::fromUserInput(address);
}

QMessageBox::StandardButton standardButton(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return QMessageBox::Ok;
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
        case MessageAnswer::Abort:
            return QMessageBox::Abort;
        case MessageAnswer::Retry:
            return QMessageBox::Retry;
        case MessageAnswer::Ignore:
            return QMessageBox::Ignore;
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// Button captions as the home platform shows them in Chinese; Qt's own are English without a translation.
QString buttonCaption(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return QStringLiteral("确定");
        case MessageAnswer::Cancel:
            return QStringLiteral("取消");
        case MessageAnswer::Abort:
            return QStringLiteral("中止");
        case MessageAnswer::Retry:
            return QStringLiteral("重试");
        case MessageAnswer::Ignore:
            return QStringLiteral("忽略");
        case MessageAnswer::Yes:
            return QStringLiteral("是");
        case MessageAnswer::No:
            return QStringLiteral("否");
    }
    return {};
}

QMessageBox::Icon messageIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Ends `loop` once `widget` is hidden for good (closed, not minimised) or destroyed.
class CloseWatcher : public QObject {
  public:
    CloseWatcher(QWidget* widget, QEventLoop* loop) : m_widget(widget), m_loop(loop) {
        widget->installEventFilter(this);
        connect(widget, &QObject::destroyed, loop, &QEventLoop::quit);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_widget && event->type() == QEvent::Hide) {
            // Decided once the hide has completed: a minimised window is still visible.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!m_widget || !m_widget->isVisible()) m_loop->quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

  private:
    QPointer<QWidget> m_widget;
    QEventLoop* m_loop;
};

}  // namespace

void QtDesktopServices::openAddress(const Text& address) {
    const QString text = toQString(address);
    if (text.isEmpty()) return;
    QDesktopServices::openUrl(addressUrl(text));
}

bool QtDesktopServices::handOverAddress(const Text& address) {
    const QString text = toQString(address);
    if (text.isEmpty()) return false;
    // xdg-open ends when the program it started ends, or at once when it finds none. Its verdict is awaited
    // for a moment (the window keeps drawing, but takes no input meanwhile); one still running by then has
    // handed the address over, and is left to end by itself.
    auto* opener = new QProcess(qApp);
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({text});  // xdg-open takes addresses and file paths as they are
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->start();
    if (!opener->waitForStarted(5000)) {
        opener->deleteLater();
        return false;
    }
    QEventLoop loop;
    QTimer::singleShot(kOpenerVerdictMilliseconds, &loop, &QEventLoop::quit);
    QObject::connect(opener, &QProcess::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (opener->state() != QProcess::NotRunning) return true;
    return opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
}

Text QtDesktopServices::magnetLinkHandler() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/magnet")});
    query.closeWriteChannel();
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
    return fromQString(QString::fromUtf8(query.readAllStandardOutput()).trimmed());
}

bool QtDesktopServices::runProgram(const Text& file, const Text& parameter) {
    const QString program = toQString(file);
    const QString argument = toQString(parameter);
    // A text that does not convert is not started with a mangled name or argument.
    if (program.isEmpty() || (argument.isEmpty() && !parameter.empty())) return false;
    return QProcess::startDetached(program, argument.isEmpty() ? QStringList() : QStringList{argument});
}

bool QtDesktopServices::runWindowsProgram(const Text& windowsPath, const Text& parameter) {
    const QString path = toQString(windowsPath);
    const QString argument = toQString(parameter);
    if (path.isEmpty() || (argument.isEmpty() && !parameter.empty())) return false;
    QStringList arguments{path};
    if (!argument.isEmpty()) arguments.push_back(argument);
    return QProcess::startDetached(QStringLiteral("wine"), arguments);
}

bool QtDesktopServices::setClipboardText(const Text& text) {
    const Text placed = text.substr(0, text.find('\0'));
    const QString string = toQString(placed);
    if (string.isEmpty() && !placed.empty()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(string, QClipboard::Clipboard);
    return clipboard->text(QClipboard::Clipboard) == string;
}

std::optional<Text> QtDesktopServices::registryString(int root, const Text& path) {
    return WineRegistry(winePrefixDirectory()).readText(root, path);
}

bool QtDesktopServices::registryValueExists(int root, const Text& path) {
    return WineRegistry(winePrefixDirectory()).valueExists(root, path);
}

Text QtDesktopServices::specialFolder(SpecialFolder) { return privateFolder(); }

bool QtDesktopServices::writeFile(const Text& path, const std::vector<Bytes>& blocks) {
    return writeFileBlocks(path, blocks);
}

MessageAnswer QtDesktopServices::messageBox(const Text& text, int style, const Text& caption, const Window* owner) {
    const MessageBoxLayout layout = decodeMessageBoxStyle(style);
    QMessageBox box(widgetOf(owner));
    box.setWindowFlags(kDialogWindowFlags);
    box.setWindowTitle(toQString(caption));
    box.setTextFormat(Qt::PlainText);  // texts from web pages are shown, never interpreted
    box.setText(toQString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    box.setIcon(messageIcon(layout.icon));
    for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
        QPushButton* button = box.addButton(standardButton(layout.buttons[i]));
        button->setText(buttonCaption(layout.buttons[i]));
        if (i == layout.defaultButton) box.setDefaultButton(button);
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (layout.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();

    // Closing the box (Esc, the close button) clicks its escape button, which Qt picks as Windows would:
    // Cancel where there is one, the only button, or No.
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const MessageAnswer answer : layout.buttons)
        if (standardButton(answer) == clicked) return answer;
    return layout.buttons.back();
}

int QtDesktopServices::popupMenuAtPointer(const Window* owner, const PopupMenu& menu) {
    const QPoint pointer = QCursor::pos() + QPoint(3, 3);
    return popupMenuAt(owner, menu, {pointer.x(), pointer.y()});
}

int QtDesktopServices::popupMenuAt(const Window* owner, const PopupMenu& menu, ScreenPoint at) {
    QMenu popup(widgetOf(owner));
    for (const MenuEntry& entry : menu.entries) {
        if (!entry.visible) continue;
        if (entry.separator) {
            popup.addSeparator();
        } else {
            QAction* action = popup.addAction(toQString(entry.caption));
            action->setData(entry.id);
            if (entry.checked) {
                action->setCheckable(true);
                action->setChecked(true);
            }
        }
    }
    if (popup.isEmpty()) return kNoMenuChoice;
    const QAction* chosen = popup.exec(QPoint(at.x, at.y));
    return chosen ? chosen->data().toInt() : kNoMenuChoice;
}

bool QtDesktopServices::loadWindow(Window& window, const Window* owner, bool modal) {
    auto* qtWindow = dynamic_cast<QtWindow*>(&window);
    if (qtWindow == nullptr) return false;
    QWidget* widget = qtWindow->widget();
    if (widget == nullptr) {
        widget = qtWindow->create(widgetOf(owner));
        if (widget == nullptr) return false;
        qtWindow->adopt(widget);
    }
    if (!widget->isWindow()) widget->setWindowFlag(Qt::Window);
    const Qt::WindowModality modality = modal ? Qt::ApplicationModal : Qt::NonModal;
    if (widget->windowModality() != modality) {
        widget->hide();  // modality is taken when a window is shown
        widget->setWindowModality(modality);
    }
    widget->show();
    widget->raise();
    widget->activateWindow();
    if (modal) {
        QEventLoop loop;
        CloseWatcher watcher(widget, &loop);
        loop.exec(QEventLoop::DialogExec);
    }
    return true;
}

void QtDesktopServices::navigateBrowser(Window& browser, const Text& address) {
    QWidget* control = widgetOf(&browser);
    const QString text = toQString(address);
    if (control == nullptr || text.isEmpty()) return;
    const QMetaObject* meta = control->metaObject();
    const int index = meta->indexOfProperty("url");
    if (index < 0 || !meta->property(index).isWritable()) return;
    meta->property(index).write(control, addressUrl(text));
}

std::vector<ProcessRecord> QtDesktopServices::listProcesses() { return readProcessList(); }

bool QtDesktopServices::terminateProcess(std::uint32_t processId) { return terminateProcessById(processId); }

bool QtDesktopServices::terminateProcess(const Text& name) {
    if (name.empty()) return false;
    if (const std::string title = utf8(name); !title.empty()) {
        if (const auto owner = processOwningTopLevelWindow(title)) return terminateProcessById(*owner);
    }
    const auto processes = readProcessList();
    const ProcessRecord* process = findProcessByExecutable(processes, name);
    return process != nullptr && terminateProcessById(process->processId);
}

void QtDesktopServices::applyWindowOpacity(Window& window, int alpha) {
    if (QWidget* widget = widgetOf(&window)) widget->window()->setWindowOpacity(alpha / 255.0);
}

void QtDesktopServices::setPointerVisible(bool show) {
    // Only the blank cursors on top of the override stack are this service's; others (a busy cursor) stay.
    const auto blankOnTop = [] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        return cursor != nullptr && cursor->shape() == Qt::BlankCursor;
    };
    if (show) {
        while (blankOnTop()) QGuiApplication::restoreOverrideCursor();
    } else if (!blankOnTop()) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    }
}

ScreenSize QtDesktopServices::screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    return {screen->size().width(), screen->size().height()};
}

}  // namespace lanqi
