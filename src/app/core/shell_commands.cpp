#include "app/core/shell_commands.h"

#include "app/core/menus.h"
#include "app/core/update_check.h"

namespace lanqi {

void ShellCommands::popUpActionMenu(const Window* owner) {
    run(m_windows.popupMenuAtPointer(owner, actionMenu(hasResultPage(), autoCheckOn())));
}

bool ShellCommands::hasResultPage() const {
    const ResultItem* item = selected();
    return item != nullptr && !resultPageOf(*item).empty();
}

void ShellCommands::popUpActionMenuAt(const Window* owner, ScreenPoint at) {
    run(m_windows.popupMenuAt(owner, actionMenu(hasResultPage(), autoCheckOn()), at));
}

void ShellCommands::popUpMainMenu(const Window* owner) { run(m_windows.popupMenuAtPointer(owner, mainPopupMenu())); }

void ShellCommands::run(int menuChoice) {
    const ResultItem* item = selected();
    switch (static_cast<MenuCommand>(menuChoice)) {
        case MenuCommand::PlayChannel1:
            if (item != nullptr && playOnline) playOnline(1, *item, m_playBase);
            return;
        case MenuCommand::PlayChannel2:
            if (item != nullptr && playOnline) playOnline(2, *item, m_playBase);
            return;
        case MenuCommand::PlayInXunleiPlayer:
            if (item != nullptr) m_actions.playInXunleiPlayer(*item);
            return;
        case MenuCommand::SendToXunlei:
            if (item != nullptr) m_actions.sendMagnetToXunlei(*item);
            return;
        case MenuCommand::CopyMagnetLink:
            if (item != nullptr) m_actions.copyMagnetLink(*item);
            return;
        case MenuCommand::ShowDetails:
            if (item != nullptr) m_actions.showResultDetails(*item, swarmDetails(*item));
            return;
        case MenuCommand::CheckHealth:
            if (item != nullptr) checkHealth();
            return;
        case MenuCommand::AutoCheckHealth:
            return switchAutoCheck();
        case MenuCommand::OpenResultPage:
            if (item == nullptr) return;
            if (const Text page = resultPageOf(*item); !page.empty()) m_handOffs.openAddress(page);
            return;
        case MenuCommand::OpenPlayerDownloadPage:
        case MenuCommand::MainOpenPlayerDownloadPage:
            return m_actions.openPlayerPage();
        case MenuCommand::OpenDownloaderDownloadPage:
        case MenuCommand::MainOpenDownloaderDownloadPage:
            return m_actions.openDownloaderPage();
        case MenuCommand::OpenVendorSite:
        case MenuCommand::MainOpenVendorSite:
            return m_handOffs.openAddress(m_vendorBase);
        case MenuCommand::CheckForUpdate:
        case MenuCommand::MainCheckForUpdate:
            return checkForUpdateOnRequest();
        case MenuCommand::ShowAbout:
        case MenuCommand::MainShowAbout:
            if (showAbout) showAbout();
            return;
        case MenuCommand::SiteSettings:
        case MenuCommand::MainSiteSettings:
            if (showSettings) showSettings();
            return;
    }
    // kNoMenuChoice (the menu was dismissed) and ids of no entry.
}

void ShellCommands::setVersionFile(const Bytes& fetched) {
    m_versionInfoText = versionInfoFromBytes(fetched);
    m_versionFile = fetched.empty() ? VersionFile::Unavailable : VersionFile::Fetched;
}

void ShellCommands::checkForUpdate() {
    lanqi::checkForUpdate({m_messages, m_handOffs}, m_versionInfoText, m_manualUpdateCheck, m_vendorBase);
}

void ShellCommands::checkForUpdateAtStartUp() {
    lanqi::checkForUpdate({m_messages, m_handOffs}, m_versionInfoText, false, m_vendorBase);
}

void ShellCommands::checkForUpdateOnRequest() {
    m_manualUpdateCheck = true;
    switch (m_versionFile) {
        case VersionFile::Fetched:
            return checkForUpdate();
        case VersionFile::Unavailable:
            return reportUpdateServerUnreachable(m_messages);
        case VersionFile::Pending:
            m_messages.showMessageBox(gbk(u8"正在连接升级服务器，请稍后再检查更新。"),
                                      kMessageOk | kMessageIconInformation, gbk(u8"软件更新："));
            return;
    }
}

}  // namespace lanqi
