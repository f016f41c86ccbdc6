#pragma once

#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

extern char** environ;

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

// Starts openbox on $DISPLAY and waits (up to 10 s) until it manages the screen, as the root window's
// _NET_SUPPORTING_WM_CHECK says. Its pid, or -1 when it did not come up. The caller ends it by that pid.
inline pid_t startWindowManager() {
    char program[] = "openbox";
    char noSession[] = "--sm-disable";
    char* argv[] = {program, noSession, nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return -1;
    for (int i = 0; i < 200; ++i) {
        if (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0) return pid;
        ::usleep(50 * 1000);
    }
    ::kill(pid, SIGKILL);
    return -1;
}

}  // namespace lanqi::test
