#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"

namespace lanqi {

// Every process of the proc file system mounted at `procRoot`, in ascending id order: the id, the parent's id,
// the thread count and the scheduling priority (the kernel's value: 20 + nice for ordinary processes, below
// 0 for real-time ones) from "<id>/stat"; the executable name is the file name of "<id>/exe", without a
// " (deleted)" mark, or the kernel's short name when that link cannot be read (kernel threads, zombies,
// other users' processes without the right to look). Names are converted to GBK; a name GBK cannot hold
// is kept as its bytes. Processes that end while the list is read are left out. Module ids are 0.
std::vector<ProcessRecord> readProcessList(const std::string& procRoot = "/proc");

// The fields of one "/proc/<id>/stat" line that readProcessList uses.
struct ProcStat {
    std::string shortName;  // between the first "(" and the last ")"
    std::uint32_t parentProcessId = 0;
    std::int32_t priority = 0;
    std::uint32_t threadCount = 0;
};
// nullopt for a line that is not a stat line.
std::optional<ProcStat> parseProcStat(std::string_view line);

// Ends the process with this id at once (SIGKILL: it cannot refuse). False for id 0, an id beyond the range of
// process ids, and when the signal could not be sent (no such process, no right to end it).
bool terminateProcessById(std::uint32_t processId);

// The first record whose executable name equals `name` ignoring letter case; nullptr for an empty name or none.
const ProcessRecord* findProcessByExecutable(const std::vector<ProcessRecord>& processes, const Text& name);

// Equality of two GBK texts ignoring the case of ASCII letters; the second byte of a two-byte character is
// compared exactly even where it looks like a letter.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace lanqi
