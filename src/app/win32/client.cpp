#include "app/win32/client.h"

#include "app/core/settings_editor.h"
#include "platform/win32_desktop_services.h"

namespace lanqi::win32 {

Client::Client(DesktopServices& desktop, PageFetcher& fetcher, const Settings& settings, const SiteSlots& definitions)
    : m_desktop(desktop),
      m_window(desktop),
      m_client(*this, desktop, fetcher, m_poster, settings, definitions),
      m_player(m_window, desktop, [this] { showAboutWindow(&m_window.windowHandle()); }) {
    ShellCommands& commands = m_client.commands();
    // Modal over the main window: it takes no clicks while the about window is up.
    commands.showAbout = [this] { showAboutWindow(&m_window.windowHandle()); };
    commands.showSettings = [this] { showSettingsWindow(0); };
    commands.showSettingsAt = [this](int slot) { showSettingsWindow(slot); };
    commands.playOnline = [this](int channel, const ResultItem& item, const Text& playService) {
        m_player.onlinePlay().playOnline(channel, item, playService);
    };
    m_window.showVendorAddress(settings.vendorBase);
    connectWindow();
    m_client.drawResultsArea();
}

void Client::connectWindow() {
    MainWindowEvents& events = m_window.events();
    ClientController& client = m_client;
    events.searchRequested = [&client] { client.searchRequested(); };
    events.nextPageRequested = [&client] { client.nextPageRequested(); };
    events.previousPageRequested = [&client] { client.previousPageRequested(); };
    events.pageChosen = [&client](int index) { client.pageChosen(index); };
    events.rowSelected = [&client](int line) { client.rowSelected(line); };
    events.rowActivated = [&client](int) { client.rowActivated(); };
    events.rowMenuRequested = [&client] { client.rowMenuRequested(); };
    events.rowMenuFromKeyboard = [&client] { client.rowMenuFromKeyboard(); };
    events.mainMenuRequested = [&client] { client.mainMenuRequested(); };
    events.copyRequested = [&client] { client.copyRequested(); };
    events.filterEdited = [&client](const std::string& expression) { client.filterEdited(expression); };
    events.uniqueSwitched = [&client](bool on) { client.uniqueSwitched(on); };
    events.modeChosen = [&client](ResultsMode mode) { client.modeChosen(mode); };
    events.columnClicked = [&client](ResultColumn column) { client.columnClicked(column); };
    events.stopRequested = [&client] { client.stopRequested(); };
    events.siteEntryActivated = [&client](int slot) { client.siteEntryActivated(slot); };
    events.siteSettingsRequested = [&client] { client.siteSettingsRequested(); };
    events.vendorAddressRequested = [&client] { client.vendorAddressRequested(); };
    events.closeStarted = [&client] { client.closeStarted(); };
    events.programEndRequested = [&client] { client.programEndRequested(); };
    // Esc stops a run in progress; otherwise it is the player's (the player view set its meaning).
    events.escapePressed = [&client, player = events.escapePressed] {
        if (!client.escapePressed() && player) player();
    };
}

// 站点设置, modal over the main window, `slot`'s address focused (none for 0); a save applies at once.
void Client::showSettingsWindow(int slot) {
    SettingsWindow::Context context = settingsContextOf(m_client, slot, m_window.keyword());
    SettingsWindow window(std::move(context));
    window.run(m_window.handle());
}

}  // namespace lanqi::win32
