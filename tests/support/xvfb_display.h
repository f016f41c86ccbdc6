#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace lanqi::test {

// The display (":N") of the X server that ctest's "xvfb" fixture started, or "" when the test runs outside
// ctest without LANQI_XVFB_STATE.
inline std::string xvfbDisplay() {
    const char* state = std::getenv("LANQI_XVFB_STATE");
    if (state == nullptr) return {};
    std::ifstream in(std::string(state) + "/display");
    int display = -1;
    if (!(in >> display) || display < 0) return {};
    return ":" + std::to_string(display);
}

}  // namespace lanqi::test
