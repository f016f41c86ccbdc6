#include "app/core/main_window_design.h"

#include <algorithm>
#include <array>

#include "actions/online_play.h"

namespace lanqi {
namespace {

// The footer's text follows the vendor's address, so the windows write it; its design here is its place.
constexpr std::array kDesigns{
    ControlDesign{MainControl::Logo, "图片框1", {8, 0, 248, 48}, "", "产品标志", 0, true},
    ControlDesign{MainControl::SearchBox, "搜索框", {264, 8, kHomeSearchBoxWidth, 32}, "", "搜索关键词", 16, true},
    ControlDesign{MainControl::SearchButton, "按钮1", {kHomeSearchButtonLeft, 8, 80, 32}, "岚栖搜索", "", 0, true},
    ControlDesign{MainControl::PreviousButton, "按钮2", {kPreviousButtonLeft, 16, 56, 24}, "上一页", "", 0, false},
    ControlDesign{
        MainControl::PageSelector, "组合框1", {kPageSelectorLeft, 20, kPageSelectorWidth, 20}, "", "页码", 0, false},
    ControlDesign{MainControl::NextButton, "按钮3", {720, 16, 56, 24}, "下一页", "", 0, false},
    ControlDesign{MainControl::PicturesButton, "图片视图", {8, 52, 64, 22}, "图片视图", "以图片显示结果", 0, true},
    ControlDesign{MainControl::TableButton, "列表视图", {74, 52, 64, 22}, "列表视图", "以表格显示结果", 0, true},
    ControlDesign{MainControl::FilterBox, "筛选框", {146, 52, 250, 22}, "", "筛选（Ctrl+F）", 0, true},
    ControlDesign{
        MainControl::UniqueSwitch, "合并相同资源", {404, 52, 112, 22}, "合并相同资源", "每个种子只显示一行", 0, true},
    ControlDesign{MainControl::ResultCount, "结果计数", {520, 52, 208, 22}, "", "结果数量", 0, true},
    ControlDesign{MainControl::StopButton, "停止", {736, 52, 64, 22}, "停止", "停止搜索（Esc）", 0, true},
    ControlDesign{MainControl::ResultList, "超级列表框1", kResultListGeometry, "", "搜索结果", 14, true},
    ControlDesign{MainControl::ResultTable, "结果表格", kResultListGeometry, "", "搜索结果表格", 0, false},
    ControlDesign{MainControl::Banner, "标签2", {0, 48, 808, 442}, "岚栖种子搜索神器", "", 56, true},
    ControlDesign{MainControl::HomePicture, "图片框2", {181, 253, 448, 37}, "", "首页图片：岚栖种子搜索神器", 0, true},
    ControlDesign{MainControl::Footer, "标签8", {0, 489, 808, 31}, "", "", 0, true},
    ControlDesign{MainControl::FooterLink, "透明标签1", {32, 489, 392, 31}, "", "官方网站", 0, true},
    ControlDesign{MainControl::SiteStrip, "站点状态", {576, 493, 228, 24}, "", "各站点的搜索状态", 0, true},
    ControlDesign{MainControl::Browser, "播放浏览框", kBrowserGeometry, "", "播放画面", 0, false},
    ControlDesign{MainControl::Overlay, "透明标签2", kOverlayGeometry, "", "播放器操作区", 0, false},
    ControlDesign{MainControl::PlayingLabel, "标签1", kPlayingLabelGeometry, "正在播放：", "", 0, false},
    ControlDesign{MainControl::ShieldStatus, "标签3", kShieldStatusGeometry, "", "", 0, false},
    ControlDesign{MainControl::BackButton, "超级按钮1", kBackButtonGeometry, "点此返回搜索", "", 0, false},
    ControlDesign{MainControl::LoadingNotice, "标签5", kLoadingNoticeGeometry, "视频拼命加载中，请稍候...", "", 0,
                  false},
};

}  // namespace

std::span<const ControlDesign> mainWindowDesigns() { return kDesigns; }

const ControlDesign& designOf(MainControl control) {
    for (const ControlDesign& design : kDesigns) {
        if (design.control == control) return design;
    }
    return kDesigns.front();  // every control has its entry; the table test holds it to that
}

Geometry layoutGeometry(MainControl control, SearchLayout layout) {
    Geometry g = designOf(control).geometry;
    const bool home = layout == SearchLayout::Home;
    if (control == MainControl::SearchBox) g.width = home ? kHomeSearchBoxWidth : kResultsSearchBoxWidth;
    if (control == MainControl::SearchButton) g.left = home ? kHomeSearchButtonLeft : kResultsSearchButtonLeft;
    return g;
}

namespace {

// How far 搜索框 and 筛选框 grow in a wider window, and how narrow they, 结果计数 and the logo may become in a
// narrower one.
constexpr int kSearchBoxGrowth = 256;
constexpr int kFilterBoxGrowth = 250;
constexpr int kMinSearchBoxWidth = 160;
constexpr int kMinFilterBoxWidth = 120;
constexpr int kMinResultCountWidth = 64;
constexpr int kMinLogoWidth = 40;

// What the search row does with a change `dx` of the window's width: 搜索框's change of width, and the
// logo's (the search box and its button move by the logo's).
struct SearchRowChange {
    int box = 0;
    int logo = 0;
};
SearchRowChange searchRowChange(SearchLayout layout, int dx) {
    if (dx >= 0) return {std::min(dx, kSearchBoxGrowth), 0};
    const int boxWidth = layoutGeometry(MainControl::SearchBox, layout).width;
    const int box = std::max(dx, kMinSearchBoxWidth - boxWidth);
    const int logo = std::max(dx - box, kMinLogoWidth - designOf(MainControl::Logo).geometry.width);
    return {box, logo};
}

// The results tool row's: 筛选框's change of width and 结果计数's.
struct ToolRowChange {
    int filter = 0;
    int count = 0;
};
ToolRowChange toolRowChange(int dx) {
    if (dx >= 0) {
        const int filter = std::min(dx, kFilterBoxGrowth);
        return {filter, dx - filter};
    }
    const int filter = std::max(dx, kMinFilterBoxWidth - designOf(MainControl::FilterBox).geometry.width);
    const int count = std::max(dx - filter, kMinResultCountWidth - designOf(MainControl::ResultCount).geometry.width);
    return {filter, count};
}

}  // namespace

Geometry placedGeometry(MainControl control, SearchLayout layout, int width, int height) {
    Geometry g = layoutGeometry(control, layout);
    const int dx = std::max(width, kMinMainWindowWidth) - kMainWindowWidth;
    const int dy = std::max(height, kMinMainWindowHeight) - kMainWindowHeight;
    const SearchRowChange search = searchRowChange(layout, dx);
    const ToolRowChange tools = toolRowChange(dx);
    switch (control) {
        case MainControl::Logo:
            g.width += search.logo;
            break;
        case MainControl::SearchBox:
            g.left += search.logo;
            g.width += search.box;
            break;
        case MainControl::SearchButton:
            g.left += search.logo + search.box;
            break;
        case MainControl::PreviousButton:
        case MainControl::PageSelector:
        case MainControl::NextButton:
        case MainControl::StopButton:
            g.left += dx;
            break;
        case MainControl::FilterBox:
            g.width += tools.filter;
            break;
        case MainControl::UniqueSwitch:
            g.left += tools.filter;
            break;
        case MainControl::ResultCount:
            g.left += tools.filter;
            g.width += tools.count;
            break;
        case MainControl::ResultList:
        case MainControl::ResultTable:
        case MainControl::Banner:
            g.width += dx;
            g.height += dy;
            break;
        case MainControl::HomePicture:
            g.left += dx / 2;  // stays centred under the banner's name
            break;
        case MainControl::Footer:
            g.top += dy;
            g.width += dx;
            break;
        case MainControl::FooterLink:
            g.top += dy;
            break;
        case MainControl::SiteStrip:
            g.left += dx;
            g.top += dy;
            break;
        case MainControl::Browser:
            return playerWindowGeometry(PlayerControl::Browser, dx + kMainWindowWidth, dy + kMainWindowHeight);
        case MainControl::Overlay:
            return playerWindowGeometry(PlayerControl::Overlay, dx + kMainWindowWidth, dy + kMainWindowHeight);
        case MainControl::PlayingLabel:
            return playerWindowGeometry(PlayerControl::PlayingLabel, dx + kMainWindowWidth, dy + kMainWindowHeight);
        case MainControl::ShieldStatus:
            return playerWindowGeometry(PlayerControl::ShieldStatus, dx + kMainWindowWidth, dy + kMainWindowHeight);
        case MainControl::BackButton:
            return playerWindowGeometry(PlayerControl::BackButton, dx + kMainWindowWidth, dy + kMainWindowHeight);
        case MainControl::LoadingNotice:
            return playerWindowGeometry(PlayerControl::LoadingNotice, dx + kMainWindowWidth, dy + kMainWindowHeight);
        default:
            break;
    }
    return g;
}

PageSelectorPlace pageSelectorPlace(int neededWidth, int windowWidth) {
    const int dx = std::max(windowWidth, kMinMainWindowWidth) - kMainWindowWidth;
    const Geometry designed = designOf(MainControl::PageSelector).geometry;
    const int width = std::max(designed.width, neededWidth);
    const int grown = width - designed.width;
    return {{designed.left + dx - grown, designed.top, width, designed.height},
            designOf(MainControl::PreviousButton).geometry.left + dx - grown};
}

FittedPlace fitWindowPlace(const std::optional<WindowPlace>& saved, const Geometry& workArea,
                           const FrameMargins& frame) {
    FittedPlace fitted;
    // The client area that fits inside the work area with the frame around it.
    const int roomWidth = std::max(1, workArea.width - frame.left - frame.right);
    const int roomHeight = std::max(1, workArea.height - frame.top - frame.bottom);
    fitted.minimumWidth = std::min(kMinMainWindowWidth, roomWidth);
    fitted.minimumHeight = std::min(kMinMainWindowHeight, roomHeight);
    WindowPlace& place = fitted.place;
    place.width = std::clamp(saved ? saved->width : kMainWindowWidth, fitted.minimumWidth, roomWidth);
    place.height = std::clamp(saved ? saved->height : kMainWindowHeight, fitted.minimumHeight, roomHeight);
    const int leftmost = workArea.left + frame.left;
    const int topmost = workArea.top + frame.top;
    if (saved) {
        place.left = std::clamp(saved->left, leftmost, leftmost + roomWidth - place.width);
        place.top = std::clamp(saved->top, topmost, topmost + roomHeight - place.height);
        place.maximised = saved->maximised;
    } else {
        place.left = leftmost + (roomWidth - place.width) / 2;
        place.top = topmost + (roomHeight - place.height) / 2;
    }
    return fitted;
}

}  // namespace lanqi
