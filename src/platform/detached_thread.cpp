#include "platform/detached_thread.h"

#include <memory>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <system_error>
#include <thread>
#endif

namespace lanqi {

#ifdef _WIN32

namespace {

unsigned __stdcall runWork(void* work) {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(work));
    (*owned)();
    return 0;
}

}  // namespace

bool startDetachedThread(std::function<void()> work) {
    auto* owned = new std::function<void()>(std::move(work));
    const auto thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, runWork, owned, 0, nullptr));
    if (thread == nullptr) {
        delete owned;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

#else

bool startDetachedThread(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

#endif

}  // namespace lanqi
