#include "platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <string>

// The process list from /proc, and ending a process with a signal.
namespace lanqi {
namespace {

// Reads a small file whole; "" when it cannot be opened (the process may have ended).
std::string readSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > 64 * 1024) break;
    }
    ::close(fd);
    return content;
}

// File name of the executable behind "<id>/exe"; "" when the link cannot be read.
std::string executableName(const std::string& exeLink) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(exeLink.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
    std::string_view path(target, static_cast<std::size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) path.remove_suffix(kDeleted.size());
    const auto slash = path.rfind('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    return std::string(path);
}

bool isProcessId(const char* name, std::uint32_t& id) {
    const std::string_view text(name);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<ProcessRecord> readProcessList(const std::string& procRoot) {
    std::vector<ProcessRecord> processes;
    DIR* dir = ::opendir(procRoot.c_str());
    if (dir == nullptr) return processes;
    while (const dirent* entry = ::readdir(dir)) {
        std::uint32_t id = 0;
        if (!isProcessId(entry->d_name, id) || id == 0) continue;
        const std::string base = procRoot + "/" + entry->d_name;
        // The stat line holds everything but the full executable name; a process that has ended leaves no file.
        const auto stat = parseProcStat(readSmallFile(base + "/stat"));
        if (!stat) continue;

        std::string name = executableName(base + "/exe");
        if (name.empty()) name = stat->shortName;
        Text gbkName = convertText(name, "UTF-8", "GBK");
        if (gbkName.empty()) gbkName = name;

        ProcessRecord record;
        record.processId = id;
        record.exeFile = std::move(gbkName);
        record.moduleId = 0;
        record.parentProcessId = stat->parentProcessId;
        record.basePriority = stat->priority;
        record.threadCount = stat->threadCount;
        processes.push_back(std::move(record));
    }
    ::closedir(dir);
    std::sort(processes.begin(), processes.end(),
              [](const ProcessRecord& a, const ProcessRecord& b) { return a.processId < b.processId; });
    return processes;
}

bool terminateProcessById(std::uint32_t processId) {
    // kill() reads 0 and negative numbers as process groups: never let an id become one.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

}  // namespace lanqi
