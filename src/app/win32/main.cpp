// lanqi-search.exe: the desktop client as native Win32 windows over the same logic as the Qt client.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <optional>

#include "app/core/client_controller.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "app/win32/player_view.h"
#include "platform/settings.h"
#include "platform/win32_desktop_services.h"
#include "scrape/site_definition.h"

namespace lanqi::win32 {
namespace {

// The Win32 main window wired to the client controller for the rest of the run: the window's events become
// the controller's gestures, and the controller draws through the window. The about window and the player
// view are this client's own.
class Client final : private MainView {
  public:
    Client(Win32DesktopServices& desktop, const Settings& settings, const SiteSlots& definitions)
        : m_desktop(desktop),
          m_window(desktop),
          m_client(*this, desktop, m_fetcher, m_poster, settings, definitions),
          m_player(m_window, desktop, [this] { showAboutWindow(&m_window.windowHandle()); }) {
        ShellCommands& commands = m_client.commands();
        commands.showAbout = [this] { showAboutWindow(nullptr); };
        commands.showSettings = [this] { openSettingsFile(); };
        commands.playOnline = [this](int channel, const ResultItem& item, const Text& playService) {
            m_player.onlinePlay().playOnline(channel, item, playService);
        };
        m_window.showVendorAddress(settings.vendorBase);
        connectWindow();
    }

    MainWindow& window() { return m_window; }
    ClientController& client() { return m_client; }
    EventPump& events() { return m_pump; }

  private:
    void connectWindow() {
        MainWindowEvents& events = m_window.events();
        ClientController& client = m_client;
        events.searchRequested = [&client] { client.searchRequested(); };
        events.nextPageRequested = [&client] { client.nextPageRequested(); };
        events.previousPageRequested = [&client] { client.previousPageRequested(); };
        events.pageChosen = [&client](int index) { client.pageChosen(index); };
        events.rowSelected = [&client](int row) { client.rowSelected(row); };
        events.rowActivated = [&client](int) { client.rowActivated(); };
        events.rowMenuRequested = [&client] { client.rowMenuRequested(); };
        events.mainMenuRequested = [&client] { client.mainMenuRequested(); };
        events.vendorAddressRequested = [&client] { client.vendorAddressRequested(); };
        events.closeStarted = [&client] { client.closeStarted(); };
        events.programEndRequested = [&client] { client.programEndRequested(); };
    }

    // MainView
    void render(const SearchScreen& screen, unsigned changes) override { m_window.render(screen, changes); }
    std::optional<Text> searchableKeyword() const override { return m_window.searchableKeyword(); }
    const Window& windowHandle() const override { return m_window.windowHandle(); }
    void quit() override { ::PostQuitMessage(0); }
    void showVendorAddress(const Text& vendorBase) override { m_window.showVendorAddress(vendorBase); }

    void showAboutWindow(const Window* owner) { m_desktop.loadWindow(m_about, owner, true); }

    // "站点设置" opens the settings file in Notepad (made with the values in use when there is none yet); the
    // program reads it at its next start.
    void openSettingsFile() {
        const std::string file = settingsFilePath();
        if (::GetFileAttributesW(wideFromUtf8(file).c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::string error;
            saveSettingsFile(file, loadSettings(file, false).settings, error);
        }
        m_desktop.runProgram("notepad.exe", gbkFromWide(wideFromUtf8(file)));
    }

    Win32DesktopServices& m_desktop;
    MainWindow m_window;
    MessagePump m_pump;
    // The fetcher and the poster outlive the controller, whose flow waits for its fetches when it goes.
    HttpPageFetcher m_fetcher;
    MessagePoster m_poster;
    ClientController m_client;
    AboutWindow m_about;
    Win32PlayerView m_player;
};

int runClient() {
    // The settings file (and the environment over it) decide every address from the usage notice on.
    // They are read once, here, and handed to the main window's controller.
    LoadedSettings settings = loadSettings();
    const SiteSlots definitions = loadSiteDefinitions(settings.settings, settings.problems);

    Win32DesktopServices desktop;
    if (runNoticeWindow(desktop, settings.settings.vendorBase) != NoticeOutcome::Agreed) return 0;

    Client client(desktop, settings.settings, definitions);
    client.window().fadeIn();
    client.client().startUp(settings, client.events());
    // The fade-in and the version fetch process events: the exit fade may already have run out.
    MSG message;
    while (!client.client().programEnding() && ::GetMessageW(&message, nullptr, 0, 0) > 0) routeMessage(message);
    return 0;
}

}  // namespace
}  // namespace lanqi::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The browser control and the imaging component are COM objects of this thread.
    const HRESULT ole = ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    const int code = lanqi::win32::runClient();
    if (SUCCEEDED(ole)) ::OleUninitialize();
    return code;
}
