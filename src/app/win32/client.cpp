// lanqi-search.exe: the desktop client as native Win32 windows over the same logic as the Qt client.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <optional>

#include "actions/result_actions.h"
#include "app/core/client_start.h"
#include "app/core/menus.h"
#include "app/core/shell_commands.h"
#include "app/core/vendor.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_window.h"
#include "app/win32/player_view.h"
#include "platform/settings.h"
#include "platform/win32_desktop_services.h"
#include "scrape/site_definition.h"
#include "search/page_fetcher.h"
#include "search/search_flow.h"

namespace lanqi::win32 {
namespace {

// The client's logic wired to its main window for the rest of the run, as the Qt client wires it: the
// search row drives the search flow, whose screen the window draws after every announced change; the
// list's gestures and the popup menus reach the result actions and the shell commands; the exit fade's start
// cancels a search in progress, and its end ends the program.
class Client {
  public:
    explicit Client(Win32DesktopServices& desktop)
        : m_desktop(desktop),
          m_window(desktop),
          m_flow(m_fetcher, m_poster),
          m_actions(desktop),
          m_commands(desktop, m_actions, [this] { return m_flow.selectedResult(); }),
          m_player(m_window, desktop, [this] { showAboutWindow(&m_window.windowHandle()); }) {
        m_commands.showAbout = [this] { showAboutWindow(nullptr); };
        m_commands.showSettings = [this] { openSettingsFile(); };
        m_commands.playOnline = [this](int channel, const ResultItem& item) {
            m_player.onlinePlay().playOnline(channel, item);
        };
        m_flow.setScreenListener([this](unsigned changes) { screenChanged(changes); });
        connectWindow();
    }

    MainWindow& window() { return m_window; }
    ShellCommands& commands() { return m_commands; }
    EventPump& events() { return m_pump; }
    bool programEnding() const { return m_programEnding; }

  private:
    void connectWindow() {
        MainWindowEvents& events = m_window.events();
        // Commands that arrive while a run is in progress are ignored by the flow itself.
        events.searchRequested = [this] {
            if (const auto keyword = searchableKeyword()) m_flow.startSearch(*keyword);
        };
        events.nextPageRequested = [this] {
            if (const auto keyword = searchableKeyword()) m_flow.goToNextPage(*keyword);
        };
        events.previousPageRequested = [this] {
            if (const auto keyword = searchableKeyword()) m_flow.goToPreviousPage(*keyword);
        };
        events.pageChosen = [this](int index) {
            if (const auto keyword = searchableKeyword()) m_flow.goToSelectedPage(index, *keyword);
            m_window.render(m_flow.screen(), kPageSelectionChanged);  // an ignored choice does not stay shown
        };
        events.rowSelected = [this](int row) { m_flow.selectResult(row); };
        // Double-click and Enter on a row are its first entry, "在线播放通道1".
        events.rowActivated = [this](int) { m_commands.run(static_cast<int>(MenuCommand::PlayChannel1)); };
        events.rowMenuRequested = [this] { m_commands.popUpActionMenu(&m_window.windowHandle()); };
        events.mainMenuRequested = [this] { m_commands.popUpMainMenu(&m_window.windowHandle()); };
        events.vendorAddressRequested = [this] { m_desktop.openAddress(vendorBaseAddress()); };
        // The fetches of a search in progress give up while the window fades out.
        events.closeStarted = [this] { m_flow.shutDown(); };
        events.programEndRequested = [this] {
            if (m_programEnding) return;
            m_programEnding = true;
            m_flow.shutDown();
            ::PostQuitMessage(0);
        };
    }

    std::optional<Text> searchableKeyword() {
        std::optional<Text> keyword = m_window.searchableKeyword();
        if (!keyword && !m_flow.running()) tellKeywordUnsearchable(m_desktop, &m_window.windowHandle());
        return keyword;
    }

    void screenChanged(unsigned changes) {
        const SearchScreen& screen = m_flow.screen();
        m_window.render(screen, changes);
        if ((changes & kMessageChanged) != 0 && screen.message) {
            // Shown once the flow has finished announcing; the run ends when the user closes it.
            m_poster.post([this] {
                const auto& message = m_flow.screen().message;
                if (!message || m_programEnding) return;
                const int style =
                    kMessageOk | (message->icon == MessageIcon::Error ? kMessageIconError : kMessageIconInformation);
                m_desktop.showMessageBox(message->text, style, message->caption, &m_window.windowHandle());
                m_flow.acknowledgeMessage();
            });
        }
    }

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
    // The fetcher and the poster outlive the flow, which waits for its fetches when it goes.
    HttpPageFetcher m_fetcher;
    MessagePoster m_poster;
    SearchFlow m_flow;
    ResultActions m_actions;
    ShellCommands m_commands;
    AboutWindow m_about;
    Win32PlayerView m_player;
    bool m_programEnding = false;
};

int runClient() {
    // The settings file (and the environment over it) decide every address from the usage notice on.
    LoadedSettings settings = loadSettings();
    useSettings(settings.settings);
    useSiteDefinitions(loadSiteDefinitions(settings.settings, settings.problems));

    Win32DesktopServices desktop;
    if (runNoticeWindow(desktop) != NoticeOutcome::Agreed) return 0;

    Client client(desktop);
    client.window().fadeIn();
    reportSettingsProblems(desktop, &client.window().windowHandle(), settings);
    runVendorVisitAndUpdateCheck(client.commands(), client.events(), [&client] { return client.programEnding(); });
    // The fade-in and the version fetch process events: the exit fade may already have run out.
    MSG message;
    while (!client.programEnding() && ::GetMessageW(&message, nullptr, 0, 0) > 0) routeMessage(message);
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
