#include "app/core/client_controller.h"

#include <algorithm>
#include <memory>

#include "app/core/client_start.h"
#include "app/core/menus.h"
#include "app/core/vendor.h"
#include "platform/text.h"
#include "scrape/result_entry.h"

namespace lanqi {

RowPresentation presentRow(const ResultItem& item) {
    RowPresentation row;
    row.caption = utf8(decodeCharacterReferences(item.title));
    row.toolTip = row.caption;
    row.iconKind = item.fileKind >= 0 && item.fileKind < kRowIconCount ? item.fileKind : -1;
    // The size and date lines as the details text shows them, in their order; a line whose field the page
    // left empty adds nothing.
    for (const DetailLine& line : item.lines) {
        const bool shown = line.field == ResultField::Size   ? !item.sizeText.empty()
                           : line.field == ResultField::Date ? !item.dateText.empty()
                                                             : false;
        if (!shown) continue;
        const size_t from = std::min(line.label.find_first_not_of("\r\n"), line.label.size());
        const std::string text = utf8(line.label.substr(from) + line.value);
        row.toolTip += "\n" + text;
        if (!row.accessibleDescription.empty()) row.accessibleDescription += "，";
        row.accessibleDescription += text;
    }
    return row;
}

ClientController::ClientController(MainView& view, Desktop desktop, PageFetcher& fetcher, TaskPoster& poster,
                                   const Settings& settings, const SiteSlots& definitions)
    : m_view(view),
      m_messages(desktop.get<MessageBoxes>()),
      m_handOffs(desktop.get<HandOffs>()),
      m_poster(poster),
      m_settings(settings),
      m_flow(fetcher, poster, searchSites(settings, definitions)),
      m_actions({m_messages, m_handOffs, desktop.get<Clipboard>(), desktop.get<RegistryReader>()}),
      m_commands({m_messages, m_handOffs, desktop.get<WindowEffects>()}, m_actions,
                 [this] { return m_flow.selectedResult(); }) {
    m_flow.setScreenListener([this](unsigned changes) { screenChanged(changes); });
    m_commands.useServiceAddresses(settings.vendorBase, settings.playBase);
}

void ClientController::useSettings(const Settings& settings, const SiteSlots& definitions) {
    m_settings = settings;
    m_flow.useSites(searchSites(settings, definitions));
    m_commands.useServiceAddresses(settings.vendorBase, settings.playBase);
    m_view.showVendorAddress(settings.vendorBase);
}

std::optional<Text> ClientController::searchableKeyword() {
    std::optional<Text> keyword = m_view.searchableKeyword();
    if (!keyword && !m_flow.running()) tellKeywordUnsearchable(m_messages, &m_view.windowHandle());
    return keyword;
}

void ClientController::searchRequested() {
    if (const auto keyword = searchableKeyword()) m_flow.startSearch(*keyword);
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

void ClientController::rowSelected(int row) { m_flow.selectResult(row); }

void ClientController::rowActivated() { m_commands.run(static_cast<int>(MenuCommand::PlayChannel1)); }

void ClientController::rowMenuRequested() { m_commands.popUpActionMenu(&m_view.windowHandle()); }

void ClientController::mainMenuRequested() { m_commands.popUpMainMenu(&m_view.windowHandle()); }

void ClientController::vendorAddressRequested() { m_handOffs.openAddress(m_settings.vendorBase); }

void ClientController::closeStarted() { m_flow.shutDown(); }  // a search's fetches give up during the fade

void ClientController::programEndRequested() {
    if (m_programEnding) return;
    m_programEnding = true;
    m_flow.shutDown();
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
    m_view.render(screen, changes);
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
