#include "app/core/main_window_design.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
        const int grown = std::max(0, needed - designed.width);
        EXPECT_EQ(place.selector.width, designed.width + grown) << needed;
        EXPECT_EQ(place.selector.left + place.selector.width, designed.left + designed.width) << needed;
        EXPECT_EQ(place.selector.top, designed.top);
        EXPECT_EQ(place.previousLeft, previous - grown) << needed;
    }
}

}  // namespace
}  // namespace lanqi
