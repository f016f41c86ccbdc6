#include "app/core/main_window_design.h"

#include <algorithm>
#include <array>

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

ControlAnchor anchorOf(MainControl control) {
    switch (control) {
        case MainControl::PreviousButton:
        case MainControl::PageSelector:
        case MainControl::NextButton:
        case MainControl::StopButton:
            return {true, false, false, false};
        case MainControl::ResultCount:
            return {true, false, false, false};
        case MainControl::ResultList:
        case MainControl::ResultTable:
        case MainControl::Banner:
            return {false, false, true, true};
        case MainControl::HomePicture:
            return {false, false, false, false};
        case MainControl::Footer:
            return {false, true, true, false};
        case MainControl::FooterLink:
            return {false, true, false, false};
        case MainControl::SiteStrip:
            return {true, true, false, false};
        default:
            return {};
    }
}

Geometry placedGeometry(MainControl control, SearchLayout layout, int width, int height) {
    Geometry g = layoutGeometry(control, layout);
    const int grownX = std::max(0, width - kMainWindowWidth);
    const int grownY = std::max(0, height - kMainWindowHeight);
    const ControlAnchor anchor = anchorOf(control);
    if (anchor.right) g.left += grownX;
    if (anchor.bottom) g.top += grownY;
    if (anchor.widens) g.width += grownX;
    if (anchor.heightens) g.height += grownY;
    if (control == MainControl::HomePicture) g.left += grownX / 2;  // stays centred under the banner's name
    return g;
}

PageSelectorPlace pageSelectorPlace(int neededWidth) {
    const Geometry designed = designOf(MainControl::PageSelector).geometry;
    const int width = std::max(designed.width, neededWidth);
    const int grown = width - designed.width;
    return {{designed.left - grown, designed.top, width, designed.height},
            designOf(MainControl::PreviousButton).geometry.left - grown};
}

}  // namespace lanqi
