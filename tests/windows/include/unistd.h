#pragma once
// The unistd.h calls the shared tests make, on Windows.
#include <windows.h>

#include <io.h>
#include <process.h>

#define _SC_PAGESIZE 30
inline long sysconf(int) {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return static_cast<long>(info.dwPageSize);
}

#include <cstdlib>

// alarm(): the process ends (as SIGALRM would end it) when the time runs out first; alarm(0) cancels.
inline unsigned alarm(unsigned seconds) {
    static HANDLE timer = nullptr;
    if (timer != nullptr) {
        ::DeleteTimerQueueTimer(nullptr, timer, nullptr);
        timer = nullptr;
    }
    if (seconds > 0)
        ::CreateTimerQueueTimer(
            &timer, nullptr, [](void*, BOOLEAN) { std::abort(); }, nullptr, seconds * 1000, 0, WT_EXECUTEONLYONCE);
    return 0;
}
