#pragma once

#include "platform/desktop.h"
#include "scrape/result_rows.h"
#include "scrape/run_records.h"

namespace lanqi {

// True when the first "文件类型：" of a details text (GBK, searched character by character so a match
// never starts inside a two-byte character) is directly followed by the five bytes "Movie".
bool isVideoRow(const Text& detailText);

// What can be done with the selected row. Every action finds its row through selectedEntryNumber and
// does nothing when no row is selected or the selection lies past the stored lists.
class ResultActions {
  public:
    ResultActions(DesktopServices& desktop, const RunRecords& records, const ResultRows& rows)
        : m_desktop(desktop), m_records(records), m_rows(rows) {}

    // The selected row plus one: the element number in magnetLinks and detailTexts, counted from 1.
    int selectedEntryNumber() const { return m_rows.selectedRow() + 1; }

    void showResultDetails();   // "查看文件详情"
    void copyMagnetLink();      // "复制下载地址"
    void sendMagnetToXunlei();  // "迅雷下载"
    void playInXunleiPlayer();  // "迅雷影音播放"
    void openDownloaderPage();  // "下载迅雷"
    void openPlayerPage();      // "下载迅雷影音"

  private:
    // Element `n` (from 1) of a store, or nullptr when n is outside it.
    static const Text* entry(const std::vector<Text>& store, int n);
    bool ask(const char8_t* text, const char8_t* caption);

    DesktopServices& m_desktop;
    const RunRecords& m_records;
    const ResultRows& m_rows;
};

}  // namespace lanqi
