#include "actions/result_actions.h"

#include "platform/addresses.h"
#include "scrape/result_entry.h"

namespace lanqi {
namespace {

constexpr int kQuestionStyle = kMessageYesNo | kMessageIconQuestion;     // 36
constexpr int kInformationStyle = kMessageOk | kMessageIconInformation;  // 64

// The default value of this key names the program that opens .torrent files.
constexpr const char* kDownloaderMarkerPath = "Software\\Classes\\.torrent\\";
// The player registers itself for the browser-emulation feature under its executable's name.
constexpr const char* kPlayerMarkerPath =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\XMP.exe";
// Where Windows (and Wine) keep the player's full path.
constexpr const char* kPlayerPathKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\XMP.exe\\";

}  // namespace

bool isVideoRow(const Text& detailText) {
    static const Text label = gbk(u8"文件类型：");
    size_t i = 0;
    while (i < detailText.size()) {
        if (detailText.compare(i, label.size(), label) == 0)
            return detailText.compare(i + label.size(), 5, "Movie") == 0;
        i += static_cast<unsigned char>(detailText[i]) >= 0x80 ? 2 : 1;
    }
    return false;
}

bool ResultActions::ask(const char8_t* text, const char8_t* caption) {
    return m_messages.showMessageBox(gbk(text), kQuestionStyle, gbk(caption)) == MessageAnswer::Yes;
}

void ResultActions::showResultDetails(const ResultItem& item, const Text& more) {
    static const Text caption = gbk(u8"文件详情");
    m_messages.showMessageBox(decodeCharacterReferences(item.detailText) + more, kMessageOk, caption);
}

void ResultActions::copyMagnetLink(const ResultItem& item) {
    if (m_clipboard.setClipboardText(item.magnetLink))
        m_messages.showMessageBox(gbk(u8"复制下载地址成功，请粘贴到迅雷下载。"), kInformationStyle, gbk(u8"已复制"));
    else
        m_messages.showMessageBox(gbk(u8"复制下载地址失败：请手动复制下载链接并粘贴到迅雷下载。"), kInformationStyle,
                                  gbk(u8"复制失败"));
}

void ResultActions::handToDownloader(const Text& link) {
    if (m_handOffs.handOverAddress(link)) return;
    m_messages.showMessageBox(gbk(u8"没有程序接收这个磁力链接：请安装 BT 下载软件，或复制下载地址后粘贴到下载软件中。"),
                              kMessageOk | kMessageIconWarning, gbk(u8"下载失败"));
}

void ResultActions::startPlayer(const Text& link) {
    Text path = m_registry.readRegistryText(kRegistryLocalMachine, kPlayerPathKey);
    if (path.empty()) path = "XMP.exe";  // Wine and Windows look it up themselves
    if (m_handOffs.runWindowsProgram(path, link)) return;
    m_messages.showMessageBox(gbk(u8"无法启动迅雷影音（") + path + gbk(u8"）：请确认播放器已安装且能够运行。"),
                              kMessageOk | kMessageIconWarning, gbk(u8"播放失败"));
}

void ResultActions::sendMagnetToXunlei(const ResultItem& item) {
    const Text& link = item.magnetLink;
    // The downloader counts as there when Wine's registry names it for torrents or the desktop has a
    // program for magnet links.
    const Text marker = m_registry.readRegistryText(kRegistryCurrentUser, kDownloaderMarkerPath);
    if ((marker.size() >= 6 && marker.compare(0, 6, "Xunlei") == 0) || !m_handOffs.magnetLinkHandler().empty()) {
        handToDownloader(link);
        return;
    }
    if (ask(u8"检测到您还未安装迅雷，是否下载迅雷？", u8"未安装迅雷")) {
        openDownloaderPage();
        return;
    }
    if (ask(u8"确定不安装迅雷强制下载？此操作系统可能不会响应。", u8"强制下载")) handToDownloader(link);
}

void ResultActions::playInXunleiPlayer(const ResultItem& item) {
    if (!isVideoRow(item.detailText)) {
        if (ask(u8"不能直接播放：不是视屏文件，是否调用迅雷下载？", u8"播放失败")) sendMagnetToXunlei(item);
        return;
    }
    if (m_registry.registryValueExists(kRegistryCurrentUser, kPlayerMarkerPath)) {
        startPlayer(item.magnetLink);
        return;
    }
    if (ask(u8"检测到您还未安装迅雷影音播放器，是否下载迅雷影音？", u8"未安装播放器")) {
        openPlayerPage();
        return;
    }
    if (ask(u8"确定不安装播放器强制在线播放？此操作系统可能不会响应。", u8"强制播放")) startPlayer(item.magnetLink);
}

void ResultActions::openDownloaderPage() { m_handOffs.openAddress(downloaderPageAddress()); }

void ResultActions::openPlayerPage() { m_handOffs.openAddress(playerPageAddress()); }

}  // namespace lanqi
