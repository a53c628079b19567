// The process walk of the terminator: a Toolhelp snapshot, matched by image name.
#include "platform/process_match.h"
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

#include <windows.h>
#include <tlhelp32.h>

namespace k4m::win {

namespace {

// Calls `visit(entry)` for every process of a snapshot taken now; false when no snapshot could be taken.
template <typename Visit> bool forEachProcess(Visit&& visit) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        visit(entry);
    ::CloseHandle(snapshot);
    return true;
}

unsigned long long creationTime(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    unsigned long long time = 0;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user))
        time = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    ::CloseHandle(process);
    return time;
}

} // namespace

bool WinPlatform::terminateProcesses(const std::string& name, bool partial) {
    bool result = false;
    const DWORD self = ::GetCurrentProcessId();
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID == self || !processImageMatches(narrow(entry.szExeFile), name, partial)) return;
        // A process that cannot be opened or ended only changes the result.
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process == nullptr) {
            result = false;
            return;
        }
        result = ::TerminateProcess(process, 0) != 0;
        ::CloseHandle(process);
    });
    return result;
}

std::vector<RunningProcess> WinPlatform::runningProcesses(const std::string& name, bool partial) const {
    std::vector<RunningProcess> found;
    const DWORD self = ::GetCurrentProcessId();
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID == self || !processImageMatches(narrow(entry.szExeFile), name, partial)) return;
        found.push_back({static_cast<long long>(entry.th32ProcessID), creationTime(entry.th32ProcessID)});
    });
    return found;
}

} // namespace k4m::win
