#include "platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <charconv>

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

template <typename Number>
bool parseNumber(std::string_view field, Number& value) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size();
}

bool isAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

std::optional<ProcStat> parseProcStat(std::string_view line) {
    // "<id> (<short name>) <state> <ppid> <pgrp> <session> <tty> <tpgid> <flags> <minflt> <cminflt> <majflt>
    //  <cmajflt> <utime> <stime> <cutime> <cstime> <priority> <nice> <threads> ..."; the short name may itself
    // hold blanks and parentheses, so it ends at the last ")".
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    ProcStat stat;
    stat.shortName = std::string(line.substr(open + 1, close - open - 1));

    std::string_view fields[18];
    std::size_t count = 0;
    std::size_t pos = close + 1;
    while (count < 18) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\n')) ++pos;
        if (pos >= line.size()) break;
        const auto end = std::min(line.find_first_of(" \n", pos), line.size());
        fields[count++] = line.substr(pos, end - pos);
        pos = end;
    }
    if (count < 18) return std::nullopt;
    if (!parseNumber(fields[1], stat.parentProcessId) || !parseNumber(fields[15], stat.priority) ||
        !parseNumber(fields[17], stat.threadCount))
        return std::nullopt;
    return stat;
}

std::vector<ProcessRecord> readProcessList(const std::string& procRoot) {
    std::vector<ProcessRecord> processes;
    DIR* dir = ::opendir(procRoot.c_str());
    if (dir == nullptr) return processes;
    while (const dirent* entry = ::readdir(dir)) {
        std::uint32_t id = 0;
        if (!parseNumber(std::string_view(entry->d_name), id) || id == 0) continue;
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

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x81 && x <= 0xFE && i + 1 < a.size()) {  // a two-byte character: both bytes exactly
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        const auto lx = isAsciiUpper(x) ? x + 32 : x;
        const auto ly = isAsciiUpper(y) ? y + 32 : y;
        if (lx != ly) return false;
    }
    return true;
}

const ProcessRecord* findProcessByExecutable(const std::vector<ProcessRecord>& processes, const Text& name) {
    if (name.empty()) return nullptr;
    for (const auto& process : processes)
        if (equalIgnoringCase(process.exeFile, name)) return &process;
    return nullptr;
}

}  // namespace lanqi
