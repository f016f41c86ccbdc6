#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "platform/desktop.h"
#include "scrape/result_item.h"

namespace lanqi {

enum class SearchLayout {
    Home,     // 搜索框 392 wide, 按钮1 at left 664
    Results,  // 搜索框 224 wide, 按钮1 at left 488: room for 按钮2, 组合框1 and 按钮3
};

// A modal message with a single OK button that the front end shows; it tells the flow when the user has
// closed it (SearchFlow::acknowledgeMessage).
struct ScreenMessage {
    Text text;
    Text caption;
    MessageIcon icon = MessageIcon::Information;
    bool operator==(const ScreenMessage&) const = default;
};

// Where one slot stands in the run on the screen (the site strip).
enum class SiteState : unsigned char {
    Idle,     // no run yet
    Waiting,  // fetched, or waiting for the slots before it to be placed
    Done,     // its page was read: `rows` rows (maybe none)
    Failed,   // no rows: `failure` says why
    Off,      // switched off in the settings (or without a base or definition): not fetched
    Stopped,  // the user stopped the run before its page was placed
};
enum class SiteFailure : unsigned char {
    None,
    Refused,        // nothing accepted the connection
    TimedOut,       // no connection, or no data, in time
    HostNotFound,   // the host name did not resolve
    Tls,            // the secure connection failed
    NotResultPage,  // a page arrived, but not one of that site's result pages
    NoAnswer,       // no page for another reason
};
struct SiteStatus {
    int slot = 0;  // 1-based
    SiteState state = SiteState::Idle;
    SiteFailure failure = SiteFailure::None;
    int rows = 0;
    std::chrono::milliseconds took{0};

    bool operator==(const SiteStatus&) const = default;
};

// Everything of the search that the main window shows, as data. The search flow owns it and changes it;
// front ends draw it and never read a decision back from their widgets. Texts are GBK.
struct SearchScreen {
    Text title;  // the whole window title: the status line
    SearchLayout layout = SearchLayout::Home;
    bool previousVisible = false;  // 按钮2 "上一页"
    bool nextVisible = false;      // 按钮3
    Text nextCaption;              // 按钮3's caption: "下一页" or "强力搜"
    bool pageSelectorVisible = false;
    std::vector<Text> pageItems;      // 组合框1: item i stands for page i + 1
    int selectedPageItem = -1;        // -1: none
    bool bannerVisible = true;        // 标签2 and 图片框2, shown and hidden together
    std::vector<ResultItem> results;  // 超级列表框1's rows, in order
    int selectedResult = -1;          // the row the user selected, -1: none
    std::optional<ScreenMessage> message;
    std::vector<SiteStatus> sites;  // one per slot, in slot order: the slots of the run, or of the next one
    bool stoppable = false;         // a run is in progress that the user may stop (停止, Esc)
};

// What changed since the last announcement: a front end redraws only these parts.
enum ScreenChange : unsigned {
    kTitleChanged = 1u << 0,
    kSearchRowChanged = 1u << 1,  // layout, visibility and caption of the paging controls
    kPageItemsChanged = 1u << 2,
    kPageSelectionChanged = 1u << 3,
    kBannerChanged = 1u << 4,
    kResultsCleared = 1u << 5,  // every row removed (rows may have been added after it)
    kResultsAdded = 1u << 6,    // rows appended at the end
    kMessageChanged = 1u << 7,  // a message came up or was closed
    kResultSelectionChanged = 1u << 8,
    kSitesChanged = 1u << 9,  // the site strip, and whether a run can be stopped
};

}  // namespace lanqi
