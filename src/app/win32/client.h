#pragma once

#include <optional>

#include "app/core/client_controller.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "app/win32/player_view.h"
#include "platform/settings.h"
#include "scrape/site_definition.h"
#include "search/page_fetcher.h"

namespace lanqi::win32 {

// The Win32 main window wired to the client controller for the rest of the run: the window's events become
// the controller's gestures, and the controller draws through the window. The about window and the player
// view are this client's own.
class Client final : private MainView {
  public:
    // `desktop` and `fetcher` must outlive the client (the controller's flow waits for its fetches when it goes).
    Client(DesktopServices& desktop, PageFetcher& fetcher, const Settings& settings, const SiteSlots& definitions);

    MainWindow& window() { return m_window; }
    ClientController& client() { return m_client; }
    EventPump& events() { return m_pump; }
    Win32PlayerView& player() { return m_player; }
    // The main window as the controller sees it.
    MainView& view() { return *this; }

  private:
    void connectWindow();

    // MainView
    void render(const SearchScreen& screen, unsigned changes) override { m_window.render(screen, changes); }
    void showResults(const ResultsShown& shown) override { m_window.showResults(shown); }
    void showResultsBar(const ResultsBar& bar) override { m_window.showResultsBar(bar); }
    void showSiteStrip(const std::vector<SiteStripEntry>& entries) override { m_window.showSiteStrip(entries); }
    void showNotice(const std::string& text) override { m_window.showNotice(wideFromUtf8(text)); }
    std::optional<ScreenPoint> selectedLinePoint() const override { return m_window.selectedLinePoint(); }
    std::optional<Text> searchableKeyword() const override { return m_window.searchableKeyword(); }
    const Window& windowHandle() const override { return m_window.windowHandle(); }
    void quit() override { ::PostQuitMessage(0); }
    void showVendorAddress(const Text& vendorBase) override { m_window.showVendorAddress(vendorBase); }

    void showAboutWindow(const Window* owner) { m_desktop.loadWindow(m_about, owner, true); }
    void showSettingsWindow(int slot);

    DesktopServices& m_desktop;
    MainWindow m_window;
    MessagePump m_pump;
    // The poster outlives the controller, whose flow waits for its fetches when it goes.
    MessagePoster m_poster;
    ClientController m_client;
    AboutWindow m_about;
    Win32PlayerView m_player;
};

}  // namespace lanqi::win32
