#include "platform/processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/win32_text.h"

// The process list from a Toolhelp32 snapshot, and ending a process with TerminateProcess.
namespace lanqi {

std::vector<ProcessRecord> readProcessList(const std::string&) {
    std::vector<ProcessRecord> processes;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        ProcessRecord record;
        record.processId = entry.th32ProcessID;
        const std::string name = narrow(entry.szExeFile);
        record.exeFile = convertText(name, "UTF-8", "GBK");
        if (record.exeFile.empty()) record.exeFile = name;
        record.moduleId = entry.th32ModuleID;
        record.parentProcessId = entry.th32ParentProcessID;
        record.basePriority = entry.pcPriClassBase;
        record.threadCount = entry.cntThreads;
        processes.push_back(std::move(record));
    }
    ::CloseHandle(snapshot);
    return processes;
}

bool terminateProcessById(std::uint32_t processId) {
    if (processId == 0) return false;
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    if (process == nullptr) return false;
    const bool ended = ::TerminateProcess(process, 1) != 0;
    ::CloseHandle(process);
    return ended;
}

}  // namespace lanqi
