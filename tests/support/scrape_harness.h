#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "scrape/scrape.h"

namespace lanqi::test {

// Results list that records every call.
class RecordingRows final : public ResultRows {
  public:
    struct Row {
        Text caption;
        int picture;
    };
    std::vector<Row> rows;
    int clears = 0;
    void appendResultRow(const Text& caption, int pictureIndex) override { rows.push_back({caption, pictureIndex}); }
    void clearResultRows() override {
        rows.clear();
        ++clears;
    }
    int selectedRow() const override { return -1; }
};

class RecordingStatus final : public StatusLine {
  public:
    std::vector<Text> titles;
    void setWindowTitle(const Text& title) override { titles.push_back(title); }
};

class CountingEvents final : public EventPump {
  public:
    int calls = 0;
    void processPendingEvents() override { ++calls; }
};

// Run records, fakes and the context that ties them together.
struct ScrapeHarness {
    RunRecords records;
    RecordingRows rows;
    RecordingStatus status;
    CountingEvents events;
    ScrapeContext context{records, rows, status, events};

    void scrape(int site) {
        records.currentSite = site;
        scrapeSitePage(context);
    }
    // Rows added by the calls so far: caption and picture of row `r`.
    const RecordingRows::Row& row(size_t r) const { return rows.rows.at(r); }
};

// Bytes of tests/fixtures/<name>.
inline std::string readFixture(const std::string& name) {
    std::ifstream in(std::string(LANQI_FIXTURE_DIR) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// GBK of a UTF-8 literal, for comparing with what the scraper produced.
inline Text g(std::string_view utf8Text) { return gbk(utf8Text); }

// The download block of a details text for an info-hash, as the user reads it.
inline std::string downloadBlockUtf8(const std::string& hash) {
    return "\r\n\r\n下载链接：magnet:?xt=urn:btih:" + hash +
           "\r\n用鼠标左键双击文件即可直接在线播放，或单击鼠标右键用迅雷影音播放。如不能播放，请使用迅雷下载。";
}

}  // namespace lanqi::test

// Compares GBK bytes with the GBK form of a UTF-8 literal and shows both readably when they differ.
#define EXPECT_GBK(actual, expectedUtf8)                \
    EXPECT_EQ((actual), ::lanqi::test::g(expectedUtf8)) \
        << "actual as UTF-8: " << ::lanqi::utf8(actual) << "\nexpected: " << (expectedUtf8)
