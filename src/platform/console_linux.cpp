#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>

namespace lanqi {

int terminalColumns() {
    if (::isatty(STDOUT_FILENO) == 0) return 0;
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}

void prepareConsoleOutput() { std::setlocale(LC_ALL, ""); }

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace lanqi
