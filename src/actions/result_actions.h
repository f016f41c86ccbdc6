#pragma once

#include "platform/desktop.h"
#include "scrape/result_item.h"

namespace lanqi {

// True when the first "文件类型：" of a details text (GBK, searched character by character so a match
// never starts inside a two-byte character) is directly followed by the five bytes "Movie".
bool isVideoRow(const Text& detailText);

// What can be done with a result: each action takes the result it acts on (the selected row's).
class ResultActions {
  public:
    using Desktop = DesktopRoles<MessageBoxes, HandOffs, Clipboard, RegistryReader>;
    explicit ResultActions(Desktop desktop)
        : m_messages(desktop.get<MessageBoxes>()),
          m_handOffs(desktop.get<HandOffs>()),
          m_clipboard(desktop.get<Clipboard>()),
          m_registry(desktop.get<RegistryReader>()) {}

    // "查看文件详情": the site's details, then `more` (GBK) where more is known of the torrent.
    void showResultDetails(const ResultItem& item, const Text& more = {});
    void copyMagnetLink(const ResultItem& item);      // "复制下载地址"
    void sendMagnetToXunlei(const ResultItem& item);  // "迅雷下载"
    void playInXunleiPlayer(const ResultItem& item);  // "迅雷影音播放"
    void openDownloaderPage();                        // "下载迅雷"
    void openPlayerPage();                            // "下载迅雷影音"

  private:
    bool ask(const char8_t* text, const char8_t* caption);
    // Hands the link to the desktop's downloader; says so when nothing took it.
    void handToDownloader(const Text& link);
    // Starts the player (its path from the registry's App Paths) with the link; says so when it cannot.
    void startPlayer(const Text& link);

    MessageBoxes& m_messages;
    HandOffs& m_handOffs;
    Clipboard& m_clipboard;
    RegistryReader& m_registry;
};

}  // namespace lanqi
