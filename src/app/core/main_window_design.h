#pragma once

#include <optional>
#include <span>

#include "actions/window_geometry.h"
#include "platform/window_place.h"
#include "search/search_screen.h"

namespace lanqi {

// The main window's controls, as both windows build them.
enum class MainControl {
    Logo,            // 图片框1
    SearchBox,       // 搜索框
    SearchButton,    // 按钮1
    PreviousButton,  // 按钮2
    PageSelector,    // 组合框1
    NextButton,      // 按钮3
    PicturesButton,  // 图片视图: the results as pictures (超级列表框1)
    TableButton,     // 列表视图: the results as a table (结果表格)
    FilterBox,       // 筛选框
    UniqueSwitch,    // 合并相同资源: one row per torrent
    ResultCount,     // 结果计数: shown of total, or what is wrong in the filter
    StopButton,      // 停止
    ResultList,      // 超级列表框1
    ResultTable,     // 结果表格, in the list's place
    Banner,          // 标签2
    HomePicture,     // 图片框2
    Footer,          // 标签8
    FooterLink,      // 透明标签1, the footer's address
    SiteStrip,       // 站点状态: one entry per slot, over the footer right of its text
    Browser,         // 播放浏览框
    Overlay,         // 透明标签2
    PlayingLabel,    // 标签1
    ShieldStatus,    // 标签3
    BackButton,      // 超级按钮1
    LoadingNotice,   // 标签5
};

// A face to ask for, in order (the Windows face first, then faces that exist on Linux: fonts-noto-cjk), at a
// height in pixels. UTF-8.
struct FontDesign {
    const char* faces[5];  // exactly five: the windows ask for them in this order
    int pixels;
};
inline constexpr FontDesign kListFontDesign{{"宋体", "SimSun", "NSimSun", "Noto Serif CJK SC", "Noto Sans CJK SC"}, 14};
inline constexpr FontDesign kBannerFontDesign{{"隶书", "LiSu", "STLiti", "Noto Serif CJK SC", "Noto Sans CJK SC"}, 56};

// One control's design: what both windows give it when they build it. Texts are UTF-8.
struct ControlDesign {
    MainControl control;
    const char* name;            // the control name (the Qt object name)
    Geometry geometry;           // in the client area, in the home layout
    const char* caption;         // the text it shows, "" for none
    const char* accessibleName;  // what a screen reader says, "" for the caption
    int fontPixels;              // the text's height in pixels, 0 for the window's own font
    bool shownAtStart;
};

// Every control of the main window in creation order: a later control lies over an earlier one (the banner
// over the list, the home picture over the banner, the player view over everything).
std::span<const ControlDesign> mainWindowDesigns();
const ControlDesign& designOf(MainControl control);

// Tab goes through the search row left to right, then the results tool row, into the results (the list or
// the table, whichever is shown) and on to the site strip.
inline constexpr MainControl kMainTabOrder[] = {
    MainControl::SearchBox,    MainControl::SearchButton,   MainControl::PreviousButton, MainControl::PageSelector,
    MainControl::NextButton,   MainControl::PicturesButton, MainControl::TableButton,    MainControl::FilterBox,
    MainControl::UniqueSwitch, MainControl::StopButton,     MainControl::ResultList,     MainControl::ResultTable,
    MainControl::SiteStrip};

// The control's geometry in `layout` in a client area of `width` x `height` (kMainWindowWidth x kMainWindowHeight
// is the design; never smaller than kMinMainWindowWidth x kMinMainWindowHeight). The results and the banner
// take the change of size; the search row's page controls, 停止, the site strip and the footer keep their
// distance from the right or the bottom edge. In a wider window 搜索框 and 筛选框 grow (each up to a bound),
// in a narrower one 搜索框 and 筛选框 give way first, then the logo and 结果计数. The player's controls are
// where window mode puts them (playerWindowGeometry).
Geometry placedGeometry(MainControl control, SearchLayout layout, int width, int height);

// The search row's two layouts move 搜索框's width and 按钮1's left edge; every other control keeps its design.
Geometry layoutGeometry(MainControl control, SearchLayout layout);

// 组合框1 wide enough for its longest page number (`neededWidth`, never narrower than designed), growing to the
// left from its right edge (placed for a client area `windowWidth` wide); 上一页 moves left along with it.
struct PageSelectorPlace {
    Geometry selector;
    int previousLeft = 0;
};
PageSelectorPlace pageSelectorPlace(int neededWidth, int windowWidth = kMainWindowWidth);

// The screen's work area (the screen without its task bars), in the window's pixels, and the frame the window
// system draws around the client area.
struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
struct FittedPlace {
    WindowPlace place;                       // the client area's place
    int minimumWidth = kMinMainWindowWidth;  // the smallest the window may be made there
    int minimumHeight = kMinMainWindowHeight;
};
// Where the main window opens on `workArea`: as it was when it closed (`saved`), or at its designed size
// centred; never larger than the work area leaves room for (its smallest size shrinks to fit a screen smaller
// than that), and moved, frame and all, into the work area when it would stick out.
FittedPlace fitWindowPlace(const std::optional<WindowPlace>& saved, const Geometry& workArea,
                           const FrameMargins& frame);

}  // namespace lanqi
