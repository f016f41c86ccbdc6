#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace lanqi::test {

// Address of the sample-sites server that ctest's fixture started ("http://127.0.0.1:PORT"), or "" when
// the test runs outside ctest without LANQI_SAMPLE_STATE.
inline std::string sampleServerBase() {
    const char* state = std::getenv("LANQI_SAMPLE_STATE");
    if (state == nullptr) return {};
    std::ifstream in(std::string(state) + "/port");
    int port = 0;
    if (!(in >> port) || port <= 0) return {};
    return "http://127.0.0.1:" + std::to_string(port);
}

}  // namespace lanqi::test
