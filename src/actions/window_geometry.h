#pragma once

namespace lanqi {

// Left, top, width, height in pixels: a control in the main window's client area, or the main window on
// the screen (its position and its client size).
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Geometry&) const = default;
};

// The main window's design geometry: its client size, and where the player view's controls and the
// results list sit in window mode. The windows are built from these, and online play puts the controls
// back to them.
inline constexpr int kMainWindowWidth = 813;
inline constexpr int kMainWindowHeight = 549;
// The smallest client area it can be made: at 200 % scaling a 1280 x 1024 screen leaves about 640 x 470 of
// the window's pixels for the window and its frame.
inline constexpr int kMinMainWindowWidth = 600;
inline constexpr int kMinMainWindowHeight = 400;

inline constexpr Geometry kPlayingLabelGeometry{0, 0, 85, 16};     // 标签1
inline constexpr Geometry kShieldStatusGeometry{380, 0, 427, 16};  // 标签3
inline constexpr Geometry kBackButtonGeometry{720, 0, 80, 16};     // 超级按钮1
inline constexpr Geometry kBrowserGeometry{-2, -4, 812, 526};      // 播放浏览框
inline constexpr Geometry kOverlayGeometry{0, 16, 808, 482};       // 透明标签2
inline constexpr Geometry kLoadingNoticeGeometry{0, 0, 808, 522};  // 标签5
inline constexpr Geometry kResultListGeometry{-1, 78, 809, 411};   // 超级列表框1, under the results tool row

// The search row's two layouts: 搜索框 width and 按钮1 left.
inline constexpr int kHomeSearchBoxWidth = 392;
inline constexpr int kHomeSearchButtonLeft = 664;
inline constexpr int kResultsSearchBoxWidth = 224;
inline constexpr int kResultsSearchButtonLeft = 488;
// 组合框1 and 上一页 at their design places; the selector grows to the left for long page numbers.
inline constexpr int kPageSelectorLeft = 672;
inline constexpr int kPageSelectorWidth = 40;
inline constexpr int kPreviousButtonLeft = 608;
inline constexpr int kPageListRows = 20;  // page numbers the open selector shows at once

}  // namespace lanqi
