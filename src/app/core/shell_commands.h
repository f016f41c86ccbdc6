#pragma once

#include <functional>

#include "actions/result_actions.h"
#include "platform/desktop.h"
#include "platform/settings.h"

namespace lanqi {

// The entries of the popup menus and the state they share with start-up: versionInfoText (the vendor's
// version file as start-up fetched it) and manualUpdateCheck (false until the user first asks for a check).
// Row entries go to ResultActions with the selected result, and do nothing when no row is selected; online
// play and the about window belong to the windows, which set the two hooks.
class ShellCommands {
  public:
    // `selectedResult` answers the result of the selected row, or null when none is selected.
    using Desktop = DesktopRoles<MessageBoxes, HandOffs, WindowEffects>;
    ShellCommands(Desktop desktop, ResultActions& actions, std::function<const ResultItem*()> selectedResult)
        : m_messages(desktop.get<MessageBoxes>()),
          m_handOffs(desktop.get<HandOffs>()),
          m_windows(desktop.get<WindowEffects>()),
          m_actions(actions),
          m_selectedResult(std::move(selectedResult)) {}

    // Plays a result online through channel 1 or 2 on the cloud-play service at `playService`. Does nothing
    // until the player view sets it.
    std::function<void(int channel, const ResultItem& item, const Text& playService)> playOnline =
        [](int, const ResultItem&, const Text&) {};
    // Shows the about window, modal, with no owner. Does nothing until the windows set it.
    std::function<void()> showAbout = [] {};
    // Shows the settings window ("站点设置"). Does nothing until the windows set it.
    std::function<void()> showSettings = [] {};
    // Shows the settings window at slot `slot` (an entry of the site strip). Until the windows set it, the
    // settings window as showSettings shows it.
    std::function<void(int slot)> showSettingsAt;
    // "检查健康度" and the switch "自动检查健康度" (the controller sets them); autoCheckOn answers whether the switch
    // is on, for its check mark.
    std::function<void()> checkHealth = [] {};
    std::function<void()> switchAutoCheck = [] {};
    std::function<bool()> autoCheckOn = [] { return false; };
    // What the swarm check found of a result, to follow its details (GBK, "" for nothing).
    std::function<Text(const ResultItem& item)> swarmDetails = [](const ResultItem&) { return Text(); };
    // The web address of a result's own page ("" for none): its description_url against its site's base.
    std::function<Text(const ResultItem& item)> resultPageOf = [](const ResultItem&) { return Text(); };

    // Pops up "选择播放" (the menu of a selected row) or the main popup menu at the pointer, then runs the
    // chosen entry.
    void popUpActionMenu(const Window* owner);
    void popUpActionMenuAt(const Window* owner, ScreenPoint at);
    void popUpMainMenu(const Window* owner);

    // The vendor's site (its menu entries, the update check) and the cloud-play service (online play), the
    // built-in ones until the settings give theirs.
    void useServiceAddresses(Text vendorBase, Text playBase) {
        m_vendorBase = std::move(vendorBase);
        m_playBase = std::move(playBase);
    }
    const Text& vendorBase() const { return m_vendorBase; }
    const Text& playBase() const { return m_playBase; }

    // Runs the entry of either menu with this id (a MenuCommand); kNoMenuChoice and unknown ids do nothing.
    void run(int menuChoice);

    // The version file as start-up fetched it; empty bytes mean the fetch failed.
    void setVersionFile(const Bytes& fetched);
    void setVersionInfoText(Text text) {
        m_versionInfoText = std::move(text);
        m_versionFile = VersionFile::Fetched;
    }
    const Text& versionInfoText() const { return m_versionInfoText; }
    bool manualUpdateCheck() const { return m_manualUpdateCheck; }

    // checkForUpdate on versionInfoText: silent about an up-to-date version until the user has asked once.
    void checkForUpdate();
    // Start-up's check: never says that the version is the latest, whatever the user asked meanwhile.
    void checkForUpdateAtStartUp();
    // "检查更新" and "软件升级": manualUpdateCheck becomes true for good, then the check runs; when the
    // version file could not be fetched, or start-up is still fetching it, the user is told so.
    void checkForUpdateOnRequest();

  private:
    const ResultItem* selected() const { return m_selectedResult ? m_selectedResult() : nullptr; }
    bool hasResultPage() const;

    MessageBoxes& m_messages;
    HandOffs& m_handOffs;
    WindowEffects& m_windows;
    ResultActions& m_actions;
    std::function<const ResultItem*()> m_selectedResult;
    enum class VersionFile { Pending, Fetched, Unavailable } m_versionFile = VersionFile::Pending;
    Text m_versionInfoText;
    bool m_manualUpdateCheck = false;
    Text m_vendorBase{kBuiltInVendorBase};
    Text m_playBase{kBuiltInPlayBase};
};

}  // namespace lanqi
