// main() of the GUI tests: GoogleTest inside a QApplication on the platform the test was built for
// (LANQI_QPA_PLATFORM): "offscreen", or "xcb" on the X server of ctest's "xvfb" fixture.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/xvfb_display.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const std::string platform = LANQI_QPA_PLATFORM;
    if (platform == "xcb") {
        const std::string display = lanqi::test::xvfbDisplay();
        if (!display.empty()) {
            ::setenv("DISPLAY", display.c_str(), 1);
        } else if (std::getenv("DISPLAY") == nullptr) {
            std::fprintf(stderr, "No X display: run through ctest (fixture xvfb) or set DISPLAY.\n");
            return 1;
        }
    }
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
