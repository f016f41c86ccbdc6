#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "actions/result_actions.h"
#include "app/core/results_presenter.h"
#include "app/core/shell_commands.h"
#include "platform/desktop.h"
#include "platform/events.h"
#include "platform/settings.h"
#include "search/page_fetcher.h"
#include "search/search_flow.h"
#include "swarm/swarm_check.h"

namespace lanqi {

// What the controller needs of a main window. The window draws and reports its gestures to the
// controller; it decides nothing itself.
class MainView {
  public:
    virtual ~MainView() = default;
    // Draws the parts of `screen` that `changes` (ScreenChange bits) names: the search row, the title, the
    // banner. The results, their selection and the site strip come through the calls below.
    virtual void render(const SearchScreen& screen, unsigned changes) = 0;
    // The results area, in the list and in the table: the lines to show (the first `kept` of them as drawn
    // last time) and the selected one.
    virtual void showResults(const ResultsShown& shown) = 0;
    // The results tool row and the table's headers.
    virtual void showResultsBar(const ResultsBar& bar) = 0;
    virtual void showSiteStrip(const std::vector<SiteStripEntry>& entries) = 0;
    // A short notice in the window that goes away by itself ("已复制磁力链接").
    virtual void showNotice(const std::string& text) = 0;
    // Where the selected line of the results is on the screen, for its menu from the keyboard; nothing when
    // none is selected or shown.
    virtual std::optional<ScreenPoint> selectedLinePoint() const = 0;
    // The keyword as 搜索框 holds it now (GBK), or nothing when it holds a character GBK lacks.
    virtual std::optional<Text> searchableKeyword() const = 0;
    // The main window as the owner of menus and messages.
    virtual const Window& windowHandle() const = 0;
    // Ends the program's event loop: the exit fade has run out.
    virtual void quit() = 0;
    // The footer's vendor address (its text and its tool tip) when the settings give a new one.
    virtual void showVendorAddress(const Text& vendorBase) = 0;
};

// The wiring both desktop clients share, once: the search row's commands drive the search flow, whose
// screen the view draws after every announced change (a message once the announcement is over, through
// `poster`); the list's gestures and the popup menus reach the result actions and the shell commands with the
// selected result; the logo and footer open the vendor's site; the exit fade's start cancels a search in
// progress and its end ends the program. Online play, the about window and the settings window belong to the
// windows, which set commands()'s hooks.
class ClientController {
  public:
    // The fetcher and the poster must outlive the controller (its flow waits for its fetches when it goes).
    // `settings` and `definitions` (one per slot, as loadSiteDefinitions gives them) are what it runs with.
    using Desktop = DesktopRoles<MessageBoxes, HandOffs, Clipboard, RegistryReader, WindowEffects>;
    ClientController(MainView& view, Desktop desktop, PageFetcher& fetcher, TaskPoster& poster,
                     const Settings& settings, const SiteSlots& definitions);
    ClientController(const ClientController&) = delete;
    ClientController& operator=(const ClientController&) = delete;

    // The window's gestures. A new search during a run stops that run and searches the new keyword; page
    // commands that arrive during a run are ignored by the flow; a keyword with a character the sites'
    // encoding lacks is not searched: the user is told so.
    void searchRequested();                          // Enter in 搜索框, or 按钮1
    void nextPageRequested();                        // 按钮3
    void previousPageRequested();                    // 按钮2
    void pageChosen(int index);                      // the user chose item `index` of 组合框1
    void rowSelected(int line);                      // the line of the results as shown; -1: none
    void rowActivated();                             // double-click or Enter on the selected row: "在线播放通道1"
    void rowMenuRequested();                         // "选择播放" for the selected row, at the pointer
    void rowMenuFromKeyboard();                      // the Menu key or Shift+F10: "选择播放" at the selected line
    void mainMenuRequested();                        // the main popup menu
    void copyRequested();                            // Ctrl+C: the selected result's magnet link, with a notice, no box
    void filterEdited(std::string_view expression);  // 筛选框's text changed (UTF-8, as typed)
    void uniqueSwitched(bool on);                    // 合并相同资源
    void modeChosen(ResultsMode mode);               // 图片视图, 列表视图
    void columnClicked(ResultColumn column);         // a header of the table: sorts, again reverses
    void stopRequested();                            // 停止
    bool escapePressed();                            // Esc: stops a run in progress (true), else nothing (false)
    void siteEntryActivated(int slot);               // an entry of the site strip: 站点设置 at that slot
    void checkHealthRequested();                     // 检查健康度: the swarm check of the selected row
    void autoCheckSwitched();                        // 自动检查健康度: on when off, off when on
    void siteSettingsRequested();                    // Ctrl+,: 站点设置
    void vendorAddressRequested();                   // 图片框1 or the footer's address
    void closeStarted();                             // the exit fade has begun
    void programEndRequested();                      // the exit fade has run out

    // Start-up once the main window is shown: what is wrong in the settings file (one message), then the
    // vendor visit, the version file and the silent update check, with `events` processed meanwhile.
    void startUp(const LoadedSettings& settings, EventPump& events) {
        reportSettingsProblems(settings);
        runVendorVisitAndUpdateCheck(events);
    }
    void reportSettingsProblems(const LoadedSettings& settings);
    void runVendorVisitAndUpdateCheck(EventPump& events);

    // True once the exit fade has run out and the program is ending.
    bool programEnding() const { return m_programEnding; }

    // How this build checks the swarm; none (the default) when it has no BitTorrent library: 检查健康度 says so.
    // The checker is made on the first check the user agrees to, and goes when the settings change and when the
    // exit fade begins.
    void useSwarm(SwarmCheckerFactory factory) { m_swarmFactory = std::move(factory); }

    // Where the view's choices (列表视图, 合并相同资源) are remembered: the settings file, "" for nowhere.
    void rememberViewIn(std::string settingsFile) { m_settingsFile = std::move(settingsFile); }

    // Draws the results area as it stands: the site strip, the tool row and the lines (the windows call it
    // once they are built).
    void drawResultsArea();

    // New settings (站点设置 saved): the next search runs with them, a run in progress keeps its own, and the
    // vendor's and cloud-play addresses follow at once.
    void useSettings(const Settings& settings, const SiteSlots& definitions);
    // The settings in use.
    const Settings& settings() const { return m_settings; }

    SearchFlow& searchFlow() { return m_flow; }
    const SearchFlow& searchFlow() const { return m_flow; }
    ShellCommands& commands() { return m_commands; }

  private:
    void screenChanged(unsigned changes);
    void showResults();
    void rememberView();
    bool swarmAgreed();
    void rememberSwarmChoice();
    SwarmChecker* swarmChecker();
    void checkShownRows();
    void swarmReported(const SwarmReport& report);
    std::optional<Text> searchableKeyword();
    bool sitesSetUp();
    SiteNames siteNames() const;

    MainView& m_view;
    MessageBoxes& m_messages;
    HandOffs& m_handOffs;
    Clipboard& m_clipboard;
    TaskPoster& m_poster;
    Settings m_settings;
    SearchFlow m_flow;
    ResultActions m_actions;
    ShellCommands m_commands;
    ResultsPresenter m_results;
    std::string m_filterText;  // UTF-8
    std::string m_settingsFile;
    SwarmCheckerFactory m_swarmFactory;
    std::unique_ptr<SwarmChecker> m_swarm;
    bool m_programEnding = false;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);  // posted tasks check it
};

}  // namespace lanqi
