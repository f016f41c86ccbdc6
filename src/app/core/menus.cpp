#include "app/core/menus.h"

namespace lanqi {
namespace {

MenuEntry item(MenuCommand command, const char8_t* caption) {
    return MenuEntry::item(static_cast<int>(command), gbk(caption));
}

}  // namespace

PopupMenu actionMenu(bool resultPage, bool autoCheck) {
    return {{
        item(MenuCommand::PlayChannel1, u8"在线播放通道1"),
        item(MenuCommand::PlayChannel2, u8"在线播放通道2"),
        item(MenuCommand::PlayInXunleiPlayer, u8"迅雷影音播放"),
        item(MenuCommand::SendToXunlei, u8"迅雷下载"),
        item(MenuCommand::CopyMagnetLink, u8"复制下载地址"),
        MenuEntry::line(),
        item(MenuCommand::ShowDetails, u8"查看文件详情"),
        MenuEntry::item(static_cast<int>(MenuCommand::OpenResultPage), gbk(u8"打开网页"), resultPage),
        item(MenuCommand::CheckHealth, u8"检查健康度"),
        MenuEntry::toggle(static_cast<int>(MenuCommand::AutoCheckHealth), gbk(u8"自动检查健康度"), autoCheck),
        MenuEntry::line(),
        item(MenuCommand::OpenPlayerDownloadPage, u8"下载迅雷影音"),
        item(MenuCommand::OpenDownloaderDownloadPage, u8"下载迅雷"),
        MenuEntry::line(),
        item(MenuCommand::OpenVendorSite, u8"岚栖科技官方网站"),
        MenuEntry::line(),
        item(MenuCommand::CheckForUpdate, u8"软件升级"),
        item(MenuCommand::ShowAbout, u8"关于软件"),
        MenuEntry::line(),
        item(MenuCommand::SiteSettings, u8"站点设置"),
    }};
}

PopupMenu mainPopupMenu() {
    return {{
        item(MenuCommand::MainOpenPlayerDownloadPage, u8"下载迅雷影音播放器"),
        item(MenuCommand::MainOpenDownloaderDownloadPage, u8"下载 迅雷软件"),
        MenuEntry::line(),
        item(MenuCommand::MainOpenVendorSite, u8"岚栖科技官网"),
        MenuEntry::line(),
        item(MenuCommand::MainCheckForUpdate, u8"检查更新"),
        item(MenuCommand::MainShowAbout, u8"关于..."),
        MenuEntry::line(),
        item(MenuCommand::MainSiteSettings, u8"站点设置"),
    }};
}

}  // namespace lanqi
