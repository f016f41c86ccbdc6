#pragma once

#include <functional>
#include <optional>

#include <QObject>

#include "app/core/client_controller.h"
#include "app/gui/about_window.h"
#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/qt/qt_task_poster.h"
#include "platform/qt/qt_window.h"
#include "search/page_fetcher.h"

namespace lanqi {

class MainWindow;

// The Qt main window wired to the client controller for the rest of the run: the window's signals become
// the controller's gestures, and the controller draws through the window. The about and settings windows
// are Qt's own.
//
// Online play belongs to the player view, which sets it with setPlayOnline(); until then a double-click, Enter
// on a row and the two play entries do nothing.
class AppController : public QObject, private MainView {
    Q_OBJECT
  public:
    // `settings` and `definitions` are what the client runs with until 站点设置 saves new ones.
    AppController(MainWindow& window, const Settings& settings, const SiteSlots& definitions);
    ~AppController() override;

    // How a result is played online through channel 1 or 2 (double-click and Enter use channel 1).
    void setPlayOnline(std::function<void(int channel, const ResultItem& item, const Text& playService)> play);

    // Shows the about window, modal; `owner` may be null ("关于..." and "关于软件" give none).
    void showAboutWindow(const Window* owner);
    // "站点设置": the settings window, modal over the main window, with slot `slot`'s row focused (0: the
    // first); a save applies the new settings at once.
    void showSettingsWindow(int slot = 0);

    // Start-up once the main window is shown (ClientController::startUp), and its two steps.
    void startUp(const LoadedSettings& settings) { m_client.startUp(settings, m_events); }
    void reportSettingsProblems(const LoadedSettings& settings) { m_client.reportSettingsProblems(settings); }
    void runVendorVisitAndUpdateCheck() { m_client.runVendorVisitAndUpdateCheck(m_events); }

    // True once the exit fade has run out and the program is ending.
    bool programEnding() const { return m_client.programEnding(); }

    ClientController& client() { return m_client; }
    SearchFlow& searchFlow() { return m_client.searchFlow(); }
    ShellCommands& commands() { return m_client.commands(); }
    DesktopServices& desktop() { return m_desktop; }
    EventPump& events() { return m_events; }
    const Window& mainWindowHandle() const { return m_windowHandle; }

  private:
    void connectWindow();

    // MainView
    void render(const SearchScreen& screen, unsigned changes) override;
    std::optional<Text> searchableKeyword() const override;
    const Window& windowHandle() const override { return m_windowHandle; }
    void quit() override;
    void showVendorAddress(const Text& vendorBase) override;
    void showResults(const ResultsShown& shown) override;
    void showResultsBar(const ResultsBar& bar) override;
    void showSiteStrip(const std::vector<SiteStripEntry>& entries) override;
    void showNotice(const std::string& text) override;
    std::optional<ScreenPoint> selectedLinePoint() const override;

    MainWindow& m_window;
    QtWindow m_windowHandle;
    QtDesktopServices m_desktop;
    QtEventPump m_events;
    // The fetcher and the poster outlive the controller, whose flow waits for its fetches when it goes.
    HttpPageFetcher m_fetcher;
    QtTaskPoster m_poster;
    ClientController m_client;
    AboutWindowHandle m_aboutWindow;
};

}  // namespace lanqi
