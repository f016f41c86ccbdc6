#pragma once

#include <functional>
#include <optional>

#include <QObject>

#include "actions/result_actions.h"
#include "app/core/shell_commands.h"
#include "app/gui/about_window.h"
#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_task_poster.h"
#include "platform/qt/qt_window.h"
#include "search/page_fetcher.h"
#include "search/search_flow.h"

namespace lanqi {

class MainWindow;

// The client's logic wired to its main window for the rest of the run. The search row's commands drive the
// search flow, whose screen the window draws after every announced change; the flow's fetches hand their
// pages back through a queued invocation. The results list's gestures and the popup menus reach the result
// actions and the shell commands with the selected result; the logo and footer open the vendor's site. The
// exit fade's start cancels a search in progress, and its end ends the program.
//
// Online play belongs to the player view, which sets it with setPlayOnline(); until then a double-click, Enter
// on a row and the two play entries do nothing.
class AppController : public QObject {
    Q_OBJECT
  public:
    explicit AppController(MainWindow& window);
    ~AppController() override;

    // How a result is played online through channel 1 or 2 (double-click and Enter use channel 1).
    void setPlayOnline(std::function<void(int channel, const ResultItem& item)> play);

    // Shows the about window, modal; `owner` may be null ("关于..." and "关于软件" give none).
    void showAboutWindow(const Window* owner);
    // "站点设置": the settings window, modal over the main window; a save applies the new settings at once.
    void showSettingsWindow();

    // True once the exit fade has run out and the program is ending.
    bool programEnding() const { return m_programEnding; }

    SearchFlow& searchFlow() { return m_flow; }
    ShellCommands& commands() { return m_commands; }
    DesktopServices& desktop() { return m_desktop; }
    EventPump& events() { return m_events; }
    const Window& mainWindowHandle() const { return m_windowHandle; }

  private:
    void connectWindow();
    void screenChanged(unsigned changes);
    // The keyword in 搜索框, or nothing (after telling the user) when it cannot be searched.
    std::optional<Text> searchableKeyword();

    MainWindow& m_window;
    QtWindow m_windowHandle;
    QtDesktopServices m_desktop;
    QtEventPump m_events;
    // The fetcher and the poster outlive the flow, which waits for its fetches when it goes.
    HttpPageFetcher m_fetcher;
    QtTaskPoster m_poster;
    SearchFlow m_flow;
    ResultActions m_actions;
    ShellCommands m_commands;
    AboutWindowHandle m_aboutWindow;
    bool m_programEnding = false;
};

}  // namespace lanqi
