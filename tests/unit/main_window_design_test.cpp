#include "app/core/main_window_design.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/window_place.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

// Each control has exactly one design, found by designOf, under a name of its own; what is shown at start
// fits the main window.
TEST(MainWindowDesigns, EveryControlHasOneDesignWithANameOfItsOwn) {
    std::set<MainControl> controls;
    std::set<std::string> names;
    for (const ControlDesign& design : mainWindowDesigns()) {
        EXPECT_TRUE(controls.insert(design.control).second) << design.name;
        EXPECT_TRUE(names.insert(design.name).second) << design.name;
        EXPECT_EQ(&designOf(design.control), &design) << design.name;
        EXPECT_GT(design.geometry.width, 0) << design.name;
        EXPECT_LE(design.geometry.left + design.geometry.width, kMainWindowWidth) << design.name;
        EXPECT_LE(design.geometry.top + design.geometry.height, kMainWindowHeight) << design.name;
    }
    EXPECT_EQ(controls.size(), static_cast<size_t>(MainControl::LoadingNotice) + 1);
    for (MainControl control : kMainTabOrder) EXPECT_TRUE(controls.count(control));
}

TEST(MainWindowDesigns, TheLayoutsMoveOnlyTheSearchBoxsWidthAndTheButtonsLeftEdge) {
    for (const ControlDesign& design : mainWindowDesigns()) {
        const Geometry home = layoutGeometry(design.control, SearchLayout::Home);
        const Geometry results = layoutGeometry(design.control, SearchLayout::Results);
        EXPECT_EQ(home, design.geometry) << design.name;
        Geometry moved = design.geometry;
        if (design.control == MainControl::SearchBox) moved.width = results.width;
        if (design.control == MainControl::SearchButton) moved.left = results.left;
        EXPECT_EQ(results, moved) << design.name;
    }
    // In the results layout the box, the button and 上一页 stand side by side without overlapping.
    const Geometry box = layoutGeometry(MainControl::SearchBox, SearchLayout::Results);
    const Geometry button = layoutGeometry(MainControl::SearchButton, SearchLayout::Results);
    EXPECT_LE(box.left + box.width, button.left);
    EXPECT_LE(button.left + button.width, designOf(MainControl::PreviousButton).geometry.left);
}

TEST(MainWindowDesigns, ThePageSelectorGrowsLeftFromItsRightEdgeAndTakesPreviousAlong) {
    const Geometry designed = designOf(MainControl::PageSelector).geometry;
    const int previous = designOf(MainControl::PreviousButton).geometry.left;
    for (const int needed : {0, designed.width - 1, designed.width, designed.width + 1, designed.width + 30}) {
        const PageSelectorPlace place = pageSelectorPlace(needed);
        const PageSelectorPlace wider = pageSelectorPlace(needed, kMainWindowWidth + 100);
        EXPECT_EQ(wider.selector.left, place.selector.left + 100) << needed;
        EXPECT_EQ(wider.previousLeft, place.previousLeft + 100) << needed;
        const int grown = std::max(0, needed - designed.width);
        EXPECT_EQ(place.selector.width, designed.width + grown) << needed;
        EXPECT_EQ(place.selector.left + place.selector.width, designed.left + designed.width) << needed;
        EXPECT_EQ(place.selector.top, designed.top);
        EXPECT_EQ(place.previousLeft, previous - grown) << needed;
    }
}

// --- the window at other sizes ---

struct Size {
    int width, height;
};
// From below the smallest size the window can be made to a 4K screen, with the design size among them.
constexpr Size kSizes[] = {{320, 200},
                           {kMinMainWindowWidth, kMinMainWindowHeight},
                           {700, 450},
                           {812, 548},
                           {kMainWindowWidth, kMainWindowHeight},
                           {1024, 768},
                           {1920, 1080},
                           {3840, 2160}};

int rightOf(const Geometry& g) { return g.left + g.width; }
int bottomOf(const Geometry& g) { return g.top + g.height; }

TEST(MainWindowPlaces, EveryRowFitsItsWindowWithoutOverlapsAtEverySize) {
    const MainControl searchRow[] = {MainControl::Logo,           MainControl::SearchBox,    MainControl::SearchButton,
                                     MainControl::PreviousButton, MainControl::PageSelector, MainControl::NextButton};
    const MainControl toolRow[] = {MainControl::PicturesButton, MainControl::TableButton, MainControl::FilterBox,
                                   MainControl::UniqueSwitch,   MainControl::ResultCount, MainControl::StopButton};
    for (const SearchLayout layout : {SearchLayout::Home, SearchLayout::Results}) {
        for (const Size size : kSizes) {
            const int width = std::max(size.width, kMinMainWindowWidth);
            const int height = std::max(size.height, kMinMainWindowHeight);
            const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                      (layout == SearchLayout::Home ? " home" : " results");
            const auto at = [&](MainControl control) {
                return placedGeometry(control, layout, size.width, size.height);
            };
            for (const ControlDesign& design : mainWindowDesigns()) {
                const Geometry g = at(design.control);
                EXPECT_GT(g.width, 0) << design.name << " " << where;
                EXPECT_GE(g.left, std::min(0, design.geometry.left)) << design.name << " " << where;
                EXPECT_LE(rightOf(g), width) << design.name << " " << where;
                EXPECT_LE(bottomOf(g), height) << design.name << " " << where;
            }
            // The page controls are shown in the results layout only.
            const size_t searchShown = layout == SearchLayout::Home ? 3 : std::size(searchRow);
            for (size_t k = 1; k < searchShown; ++k)
                EXPECT_LE(rightOf(at(searchRow[k - 1])), at(searchRow[k]).left) << where << " search row " << k;
            for (size_t k = 1; k < std::size(toolRow); ++k)
                EXPECT_LE(rightOf(at(toolRow[k - 1])), at(toolRow[k]).left) << where << " tool row " << k;
            // The results fill the space between the tool row and the footer, as designed.
            const Geometry list = at(MainControl::ResultList);
            EXPECT_EQ(at(MainControl::ResultTable), list) << where;
            EXPECT_EQ(at(MainControl::Footer).top - bottomOf(list),
                      designOf(MainControl::Footer).geometry.top - bottomOf(kResultListGeometry))
                << where;
            EXPECT_EQ(width - rightOf(list), kMainWindowWidth - rightOf(kResultListGeometry)) << where;
            // What keeps to the right or the bottom edge keeps the design's distance from it.
            for (const MainControl control : {MainControl::NextButton, MainControl::StopButton, MainControl::SiteStrip})
                EXPECT_EQ(width - rightOf(at(control)), kMainWindowWidth - rightOf(designOf(control).geometry))
                    << designOf(control).name << " " << where;
            for (const MainControl control : {MainControl::Footer, MainControl::FooterLink, MainControl::SiteStrip})
                EXPECT_EQ(height - bottomOf(at(control)), kMainWindowHeight - bottomOf(designOf(control).geometry))
                    << designOf(control).name << " " << where;
            if (size.width == kMainWindowWidth && size.height == kMainWindowHeight) {
                for (const ControlDesign& design : mainWindowDesigns())
                    EXPECT_EQ(at(design.control), layoutGeometry(design.control, layout)) << design.name;
            }
        }
    }
}

TEST(MainWindowPlaces, TheFilterAndTheSearchBoxGrowWithTheWindowUpToABound) {
    Geometry previousFilter{}, previousBox{};
    for (const Size size : kSizes) {
        const Geometry filter = placedGeometry(MainControl::FilterBox, SearchLayout::Results, size.width, size.height);
        const Geometry box = placedGeometry(MainControl::SearchBox, SearchLayout::Results, size.width, size.height);
        EXPECT_GE(filter.width, previousFilter.width) << size.width;
        EXPECT_GE(box.width, previousBox.width) << size.width;
        previousFilter = filter;
        previousBox = box;
    }
    // On a 4K screen the boxes stay boxes for a keyword, not bars across the screen.
    EXPECT_LT(previousFilter.width, 1000);
    EXPECT_LT(previousBox.width, 1000);
}

// Where the window opens: a table of screens and saved places.
TEST(MainWindowPlaces, TheWindowOpensWhereItWasAndAlwaysWithinTheWorkArea) {
    const FrameMargins frame{8, 31, 8, 8};
    const Geometry fullHd{0, 0, 1920, 1040};          // a 1920 x 1080 screen above a task bar
    const Geometry doubledSxga{0, 0, 640, 472};       // 1280 x 1024 at 200 %, above a task bar
    const Geometry tiny{0, 0, 500, 380};              // smaller than the smallest window
    const Geometry rightScreen{1920, 0, 1280, 1024};  // the second of two screens
    struct Case {
        const char* what;
        std::optional<WindowPlace> saved;
        Geometry work;
        std::optional<WindowPlace> expected;  // nullopt: only the general rules below
    } cases[] = {
        {"first start: the design size, centred", std::nullopt, fullHd,
         WindowPlace{(1920 - 8 - 8 - kMainWindowWidth) / 2 + 8, (1040 - 31 - 8 - kMainWindowHeight) / 2 + 31,
                     kMainWindowWidth, kMainWindowHeight, false}},
        {"as it was", WindowPlace{100, 200, 1000, 700, false}, fullHd, WindowPlace{100, 200, 1000, 700, false}},
        {"maximised as it was", WindowPlace{100, 200, 1000, 700, true}, fullHd, WindowPlace{100, 200, 1000, 700, true}},
        {"on the second screen", WindowPlace{2000, 50, 900, 600, false}, rightScreen,
         WindowPlace{2000, 50, 900, 600, false}},
        {"off the screen it lands on: pulled in", WindowPlace{5000, -300, 900, 600, false}, fullHd,
         WindowPlace{1920 - 8 - 900, 31, 900, 600, false}},
        {"larger than the screen now", WindowPlace{0, 0, 3000, 2000, false}, fullHd, std::nullopt},
        {"first start at 200 %", std::nullopt, doubledSxga, std::nullopt},
        {"a screen smaller than the smallest window", std::nullopt, tiny, std::nullopt},
        {"smaller than the smallest window", WindowPlace{10, 40, 50, 20, false}, fullHd,
         WindowPlace{10, 40, kMinMainWindowWidth, kMinMainWindowHeight, false}},
    };
    for (const Case& c : cases) {
        const FittedPlace fitted = fitWindowPlace(c.saved, c.work, frame);
        const WindowPlace& p = fitted.place;
        if (c.expected) {
            EXPECT_EQ(p, *c.expected) << c.what;
        }
        // Frame and all inside the work area, never below the smallest size the screen leaves room for.
        EXPECT_GE(p.left - frame.left, c.work.left) << c.what;
        EXPECT_GE(p.top - frame.top, c.work.top) << c.what;
        EXPECT_LE(p.left + p.width + frame.right, c.work.left + c.work.width) << c.what;
        EXPECT_LE(p.top + p.height + frame.bottom, c.work.top + c.work.height) << c.what;
        EXPECT_GE(p.width, fitted.minimumWidth) << c.what;
        EXPECT_GE(p.height, fitted.minimumHeight) << c.what;
        EXPECT_LE(fitted.minimumWidth, kMinMainWindowWidth) << c.what;
        EXPECT_LE(fitted.minimumHeight, kMinMainWindowHeight) << c.what;
    }
}

class WindowPlaceFileTest : public test::ScratchFolderTest {};

TEST_F(WindowPlaceFileTest, APlaceComesBackAsWrittenAndAFileItDidNotWriteGivesNone) {
    const std::string file = dir + "/新建/window.toml";  // the folder is made, at a UTF-8 path
    EXPECT_EQ(readWindowPlace(file), std::nullopt);
    for (const WindowPlace place : {WindowPlace{-1900, 20, 813, 549, false}, WindowPlace{0, 0, 3840, 2100, true}}) {
        ASSERT_TRUE(writeWindowPlace(file, place));
        EXPECT_EQ(readWindowPlace(file), place);
    }
    EXPECT_EQ(windowPlaceFile(dir + "/lanqi-search/config.toml"), dir + "/lanqi-search/window.toml");

    const std::string good = "left = 1\ntop = 2\nwidth = 800\nheight = 600\nmaximised = false\n";
    for (const std::string& text :
         {std::string("not toml ["), std::string("left = 1\ntop = 2\nwidth = 800\n"),
          std::string("left = 1\ntop = 2\nwidth = 0\nheight = 600\nmaximised = false\n"),
          std::string("left = \"1\"\ntop = 2\nwidth = 800\nheight = 600\nmaximised = false\n"),
          std::string("left = 99999999999\ntop = 2\nwidth = 800\nheight = 600\nmaximised = true\n"),
          good + std::string(5000, '#')}) {
        std::ofstream(pathFromUtf8(file), std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(readWindowPlace(file), std::nullopt) << text.substr(0, 60);
    }
    std::ofstream(pathFromUtf8(file), std::ios::binary | std::ios::trunc) << good;
    EXPECT_EQ(readWindowPlace(file), (WindowPlace{1, 2, 800, 600, false}));
}

}  // namespace
}  // namespace lanqi
