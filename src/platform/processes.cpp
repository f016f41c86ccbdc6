#include "platform/processes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <charconv>

namespace lanqi {
namespace {

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
