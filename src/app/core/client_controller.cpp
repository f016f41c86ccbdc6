#include "app/core/client_controller.h"

#include <algorithm>
#include <memory>

#include "app/core/client_start.h"
#include "app/core/menus.h"
#include "app/core/swarm_health.h"
#include "app/core/vendor.h"
#include "platform/text.h"
#include "scrape/result_entry.h"

namespace lanqi {

ClientController::ClientController(MainView& view, Desktop desktop, PageFetcher& fetcher, TaskPoster& poster,
                                   const Settings& settings, const SiteSlots& definitions)
    : m_view(view),
      m_messages(desktop.get<MessageBoxes>()),
      m_handOffs(desktop.get<HandOffs>()),
      m_clipboard(desktop.get<Clipboard>()),
      m_poster(poster),
      m_settings(settings),
      m_flow(fetcher, poster, searchSites(settings, definitions)),
      m_actions({m_messages, m_handOffs, desktop.get<Clipboard>(), desktop.get<RegistryReader>()}),
      m_commands({m_messages, m_handOffs, desktop.get<WindowEffects>()}, m_actions,
                 [this] { return m_flow.selectedResult(); }) {
    m_flow.setScreenListener([this](unsigned changes) { screenChanged(changes); });
    m_commands.useServiceAddresses(settings.vendorBase, settings.playBase);
    m_commands.resultPageOf = [this](const ResultItem& item) {
        const SearchSites& sites = m_flow.state().runSites;
        const size_t slot = static_cast<size_t>(item.site);
        return slot >= 1 && slot <= sites.size() ? resultPageAddress(item.descriptionUrl, sites[slot - 1].base)
                                                 : Text();
    };
    m_results.setMode(settings.tableView ? ResultsMode::Table : ResultsMode::Pictures);
    m_results.setUnique(settings.uniqueRows);
    m_commands.checkHealth = [this] { checkHealthRequested(); };
    m_commands.switchAutoCheck = [this] { autoCheckSwitched(); };
    m_commands.autoCheckOn = [this] { return m_settings.swarm.enabled && m_settings.swarm.autoCheck; };
    m_commands.swarmDetails = [this](const ResultItem& item) {
        const SwarmReport* report = item.hashKey.empty() ? nullptr : m_results.reportOf(item.hashKey);
        return report != nullptr ? swarmDetailText(*report, item) : Text();
    };
}

namespace {

const char8_t kSwarmQuestion[] =
    u8"检查健康度会像 BT 下载软件一样加入 BitTorrent 网络，向 Tracker 服务器和其他节点打听有多少人在分享这个资源，"
    u8"并取得种子自身的名称和文件列表（不下载、也不上传任何文件内容）。\n\n"
    u8"检查时，你的 IP 地址会被所联系的节点和 Tracker 服务器看到，就像使用 BT 下载软件时一样。\n\n"
    u8"要开启健康度检查吗？";

}  // namespace

bool ClientController::swarmAgreed() {
    if (!m_swarmFactory) {
        m_messages.showMessageBox(gbk(u8"此版本不提供健康度检查。"), kMessageOk | kMessageIconInformation,
                                  gbk(u8"检查健康度"), &m_view.windowHandle());
        return false;
    }
    if (m_settings.swarm.enabled) return true;
    if (m_settings.swarm.asked) {
        m_view.showNotice("健康度检查未开启：可在“站点设置”的“健康度检查”中开启");
        return false;
    }
    const MessageAnswer answer =
        m_messages.showMessageBox(gbk(kSwarmQuestion), kMessageYesNo | kMessageIconQuestion | kMessageDefaultButton2,
                                  gbk(u8"检查健康度"), &m_view.windowHandle());
    m_settings.swarm.asked = true;
    m_settings.swarm.enabled = answer == MessageAnswer::Yes;
    rememberSwarmChoice();
    return m_settings.swarm.enabled;
}

void ClientController::rememberSwarmChoice() {
    if (m_settingsFile.empty()) return;
    Settings inFile = loadSettings(m_settingsFile, false).settings;
    const SwarmSettings& now = m_settings.swarm;
    if (inFile.swarm.enabled == now.enabled && inFile.swarm.asked == now.asked &&
        inFile.swarm.autoCheck == now.autoCheck)
        return;
    inFile.swarm.enabled = now.enabled;
    inFile.swarm.asked = now.asked;
    inFile.swarm.autoCheck = now.autoCheck;
    std::string error;
    saveSettingsFile(m_settingsFile, inFile, error);  // asked again next session at worst
}

SwarmChecker* ClientController::swarmChecker() {
    if (!m_swarm && m_swarmFactory) {
        m_swarm = m_swarmFactory(m_settings.swarm, m_poster,
                                 [this, alive = std::weak_ptr<const bool>(m_alive)](const SwarmReport& report) {
                                     if (!alive.expired()) swarmReported(report);
                                 });
    }
    return m_swarm.get();
}

void ClientController::checkHealthRequested() {
    const ResultItem* item = m_flow.selectedResult();
    if (item == nullptr) return;
    if (item->hashKey.empty()) {
        m_view.showNotice("这一项没有可检查的磁力链接");
        return;
    }
    if (!swarmAgreed()) return;
    if (SwarmChecker* checker = swarmChecker()) checker->check(item->hashKey);
}

void ClientController::autoCheckSwitched() {
    if (m_settings.swarm.enabled && m_settings.swarm.autoCheck) {
        m_settings.swarm.autoCheck = false;
        rememberSwarmChoice();
        return;
    }
    if (!swarmAgreed()) return;
    m_settings.swarm.autoCheck = true;
    rememberSwarmChoice();
    checkShownRows();
}

void ClientController::checkShownRows() {
    if (!m_settings.swarm.enabled || !m_settings.swarm.autoCheck || m_programEnding) return;
    SwarmChecker* checker = swarmChecker();
    if (checker == nullptr) return;
    const auto& rows = m_flow.screen().results;
    for (int line = 0;; ++line) {
        const int row = m_results.rowOfLine(line);
        if (row < 0) break;
        const Text& hash = rows[static_cast<size_t>(row)].hashKey;
        if (!hash.empty() && m_results.reportOf(hash) == nullptr) checker->check(hash);
    }
}

void ClientController::swarmReported(const SwarmReport& report) {
    if (m_programEnding || !m_results.swarmReported(report)) return;
    if (m_results.sortedByHealth()) {
        showResults();
    } else {
        m_view.showResults(m_results.shown(m_flow.screen().selectedResult));
    }
}

void ClientController::rememberView() {
    m_settings.tableView = m_results.mode() == ResultsMode::Table;
    m_settings.uniqueRows = m_results.unique();
    if (m_settingsFile.empty()) return;
    // The file's own values with the view changed: what the environment sets stays out of the file.
    Settings inFile = loadSettings(m_settingsFile, false).settings;
    if (inFile.tableView == m_settings.tableView && inFile.uniqueRows == m_settings.uniqueRows) return;
    inFile.tableView = m_settings.tableView;
    inFile.uniqueRows = m_settings.uniqueRows;
    std::string error;
    saveSettingsFile(m_settingsFile, inFile, error);  // not remembered is no reason to bother the user
}

void ClientController::drawResultsArea() {
    m_view.showSiteStrip(presentSites(m_flow.screen().sites, siteNames()));
    showResults();
}

SiteNames ClientController::siteNames() const {
    const SearchState& state = m_flow.state();
    return siteNamesOf(state.searchUrls.empty() ? m_flow.sites() : state.runSites);
}

void ClientController::useSettings(const Settings& settings, const SiteSlots& definitions) {
    // The next check runs with the new swarm settings; what was found stays shown.
    if (!(settings.swarm == m_settings.swarm)) {
        m_swarm.reset();
        m_results.forgetUnfinishedReports();
    }
    m_settings = settings;
    m_flow.useSites(searchSites(settings, definitions));
    m_commands.useServiceAddresses(settings.vendorBase, settings.playBase);
    m_view.showVendorAddress(settings.vendorBase);
}

bool ClientController::sitesSetUp() {
    // A run in progress, or its message, goes on as it is; a new one with nothing to ask is not started.
    if (m_flow.running() || !noSiteSetUp(m_flow.sites())) return true;
    // Asked once the gesture is over, as a run's message is, so that the window is drawn under the box.
    m_poster.post([this, alive = std::weak_ptr<const bool>(m_alive)] {
        if (alive.expired() || m_programEnding) return;
        if (askToSetUpSites(m_messages, &m_view.windowHandle()) == MessageAnswer::Yes) siteEntryActivated(1);
    });
    return false;
}

std::optional<Text> ClientController::searchableKeyword() {
    if (!sitesSetUp()) return std::nullopt;
    std::optional<Text> keyword = m_view.searchableKeyword();
    if (!keyword && !m_flow.running()) tellKeywordUnsearchable(m_messages, &m_view.windowHandle());
    return keyword;
}

void ClientController::searchRequested() {
    if (const auto keyword = searchableKeyword()) {
        if (!m_flow.screen().message) m_results.resetSort();  // a new search starts in run order
        m_flow.startSearch(*keyword);
    }
}

void ClientController::nextPageRequested() {
    if (const auto keyword = searchableKeyword()) m_flow.goToNextPage(*keyword);
}

void ClientController::previousPageRequested() {
    if (const auto keyword = searchableKeyword()) m_flow.goToPreviousPage(*keyword);
}

void ClientController::pageChosen(int index) {
    if (const auto keyword = searchableKeyword()) m_flow.goToSelectedPage(index, *keyword);
    m_view.render(m_flow.screen(), kPageSelectionChanged);  // an ignored choice does not stay shown
}

void ClientController::rowSelected(int line) { m_flow.selectResult(m_results.rowOfLine(line)); }

void ClientController::rowActivated() { m_commands.run(static_cast<int>(MenuCommand::PlayChannel1)); }

void ClientController::rowMenuRequested() { m_commands.popUpActionMenu(&m_view.windowHandle()); }

void ClientController::rowMenuFromKeyboard() {
    // With no line selected, the main menu, as the right button on the list's empty area gives.
    const std::optional<ScreenPoint> at = m_view.selectedLinePoint();
    if (!at || m_flow.selectedResult() == nullptr) return mainMenuRequested();
    m_commands.popUpActionMenuAt(&m_view.windowHandle(), *at);
}

void ClientController::mainMenuRequested() { m_commands.popUpMainMenu(&m_view.windowHandle()); }

void ClientController::copyRequested() {
    const ResultItem* item = m_flow.selectedResult();
    if (item == nullptr || item->magnetLink.empty()) return;
    m_view.showNotice(m_clipboard.setClipboardText(item->magnetLink) ? "已复制磁力链接" : "无法写入剪贴板，未复制");
}

void ClientController::filterEdited(std::string_view expression) {
    m_filterText = std::string(expression);
    m_results.setFilterText(expression, siteNames());
    showResults();
}

void ClientController::uniqueSwitched(bool on) {
    if (!m_results.setUnique(on)) return;
    showResults();
    rememberView();
}

void ClientController::modeChosen(ResultsMode mode) {
    if (mode == m_results.mode()) return;
    m_results.setMode(mode);
    m_view.showResultsBar(m_results.bar(m_flow.screen().stoppable));
    rememberView();
}

void ClientController::columnClicked(ResultColumn column) {
    m_results.sortBy(column);
    showResults();
}

void ClientController::stopRequested() { m_flow.stopRun(); }

bool ClientController::escapePressed() {
    if (!m_flow.screen().stoppable) return false;
    m_flow.stopRun();
    return true;
}

void ClientController::siteSettingsRequested() { m_commands.showSettings(); }

void ClientController::siteEntryActivated(int slot) {
    if (m_commands.showSettingsAt) return m_commands.showSettingsAt(slot);
    m_commands.showSettings();
}

void ClientController::showResults() {
    const SearchScreen& screen = m_flow.screen();
    m_results.refresh(screen.results, siteNames());
    // A filtered-out row is no longer selected: the actions act only on a row the user can see.
    if (screen.selectedResult >= 0 && m_results.lineOfRow(screen.selectedResult) < 0) m_flow.selectResult(-1);
    m_view.showResults(m_results.shown(m_flow.screen().selectedResult));
    m_view.showResultsBar(m_results.bar(screen.stoppable));
}

void ClientController::vendorAddressRequested() { m_handOffs.openAddress(m_settings.vendorBase); }

void ClientController::closeStarted() {
    m_flow.shutDown();  // a search's fetches give up during the fade
    m_swarm.reset();    // and so do the swarm checks
}

void ClientController::programEndRequested() {
    if (m_programEnding) return;
    m_programEnding = true;
    m_flow.shutDown();
    m_swarm.reset();
    m_view.quit();
}

void ClientController::reportSettingsProblems(const LoadedSettings& settings) {
    lanqi::reportSettingsProblems(m_messages, &m_view.windowHandle(), settings);
}

void ClientController::runVendorVisitAndUpdateCheck(EventPump& events) {
    lanqi::runVendorVisitAndUpdateCheck(m_commands, events, [this] { return m_programEnding; });
}

void ClientController::screenChanged(unsigned changes) {
    const SearchScreen& screen = m_flow.screen();
    constexpr unsigned kResultsParts = kResultsCleared | kResultsAdded | kResultSelectionChanged | kSitesChanged;
    if (changes & ~kResultsParts) m_view.render(screen, changes & ~kResultsParts);
    if (changes & kSitesChanged) m_view.showSiteStrip(presentSites(screen.sites, siteNames()));
    if (changes & (kResultsCleared | kResultsAdded)) {
        if (changes & kResultsCleared) {
            m_results.setFilterText(m_filterText, siteNames());  // the run's slot names
            // The last page's checks give way to this one's.
            if (m_swarm) m_swarm->cancelAll();
            m_results.forgetUnfinishedReports();
        }
        m_results.rowsChanged(screen.results, changes);
        showResults();
        checkShownRows();
    } else if (changes & kResultSelectionChanged) {
        m_view.showResults(m_results.shown(screen.selectedResult));
    } else if (changes & kSitesChanged) {
        m_view.showResultsBar(m_results.bar(screen.stoppable));
    }
    if ((changes & kMessageChanged) == 0 || !screen.message) return;
    // Shown once the flow has finished announcing; the run ends when the user closes it.
    m_poster.post([this, alive = std::weak_ptr<const bool>(m_alive)] {
        if (alive.expired()) return;
        const auto& message = m_flow.screen().message;
        if (!message || m_programEnding) return;
        const int style =
            kMessageOk | (message->icon == MessageIcon::Error ? kMessageIconError : kMessageIconInformation);
        m_messages.showMessageBox(message->text, style, message->caption, &m_view.windowHandle());
        m_flow.acknowledgeMessage();
    });
}

}  // namespace lanqi
