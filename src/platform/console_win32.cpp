#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "platform/win32_text.h"

namespace lanqi {

int terminalColumns() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE || ::GetFileType(out) != FILE_TYPE_CHAR) return 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(out, &info)) return info.srWindow.Right - info.srWindow.Left + 1;
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}

namespace {

// The console's output code page before this program changed it; 0 while unchanged. The console belongs to
// whoever started the program too, so its code page goes back however the program ends: returning from main,
// exit(), an exception nobody catches, Ctrl+C or the console window closing.
std::atomic<UINT> g_previousCodePage{0};
std::terminate_handler g_previousTerminate = nullptr;

void restoreConsoleCodePage() {
    if (const UINT page = g_previousCodePage.exchange(0); page != 0) ::SetConsoleOutputCP(page);
}

BOOL WINAPI onConsoleSignal(DWORD) {
    restoreConsoleCodePage();
    return FALSE;  // the system's own handling (ending the program) follows
}

[[noreturn]] void onTerminate() {
    restoreConsoleCodePage();
    if (g_previousTerminate != nullptr) g_previousTerminate();
    std::abort();
}

}  // namespace

void prepareConsoleOutput() {
    // The bytes go out as written: no "\r" before each "\n", and a console that reads them as UTF-8.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    const UINT previous = ::GetConsoleOutputCP();  // 0: no console
    if (previous == 0 || previous == CP_UTF8 || g_previousCodePage.load() != 0) return;
    if (!::SetConsoleOutputCP(CP_UTF8)) return;
    g_previousCodePage = previous;
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit(restoreConsoleCodePage);
        ::SetConsoleCtrlHandler(onConsoleSignal, TRUE);
        g_previousTerminate = std::set_terminate(onTerminate);
    });
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

}  // namespace lanqi
