#pragma once

#include "platform/desktop.h"

namespace lanqi {

// Entry ids of the three popup menus; popupMenuAtPointer answers with one of them.
enum class MenuCommand : int {
    // "选择播放", the action menu of a row
    PlayChannel1 = 1,
    PlayChannel2,
    PlayInXunleiPlayer,
    SendToXunlei,
    CopyMagnetLink,
    ShowDetails,
    OpenPlayerDownloadPage,
    OpenDownloaderDownloadPage,
    OpenVendorSite,
    CheckForUpdate,
    ShowAbout,
    OpenResultPage,   // "打开网页": the result's own page on its site, where the definition cuts one
    SiteSettings,     // "站点设置", as in the main menu
    CheckHealth,      // "检查健康度": the swarm check of the selected row
    AutoCheckHealth,  // "自动检查健康度": check the rows shown, as they are shown (a switch)
    // the main popup menu
    MainOpenPlayerDownloadPage = 20,
    MainOpenDownloaderDownloadPage,
    MainOpenVendorSite,
    MainCheckForUpdate,
    MainShowAbout,
    MainSiteSettings,  // "站点设置", the settings window
};

// "选择播放": the play channels, the external player and downloader, the magnet copy, the details, the
// download pages and the vendor commands, in that order with their separators.
// With `resultPage`, "打开网页" after "查看文件详情" (a result whose definition cuts its own page); then
// "检查健康度" and the switch "自动检查健康度", checked when `autoCheck`.
PopupMenu actionMenu(bool resultPage = false, bool autoCheck = false);

// The menu of the window's background, the banner, the pictures, the footer and an unselected list.
PopupMenu mainPopupMenu();

}  // namespace lanqi
