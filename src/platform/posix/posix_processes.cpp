#include "platform/posix/posix_platform.h"
#include "platform/process_match.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace k4m::posix {

namespace {

bool isNumber(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// The program file of a process; the kernel's short name when the link is unreadable (another user's process).
std::string imageOf(const std::filesystem::path& procEntry) {
    std::error_code ec;
    std::string image = std::filesystem::read_symlink(procEntry / "exe", ec).string();
    if (!ec && !image.empty()) {
        const std::string deleted = " (deleted)";
        if (image.size() > deleted.size() && image.compare(image.size() - deleted.size(), deleted.size(), deleted) == 0)
            image.resize(image.size() - deleted.size());
        return image;
    }
    std::ifstream comm(procEntry / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// What the kernel's stat line tells about a process.
struct ProcessStat {
    bool kernelThread = false;
    unsigned long long startTicks = 0; // clock ticks after boot at which it started
};

ProcessStat statOf(const std::filesystem::path& procEntry) {
    std::ifstream statFile(procEntry / "stat");
    std::string line;
    std::getline(statFile, line);
    ProcessStat stat;
    // The short name in parentheses may hold blanks and parentheses itself: the fields follow the last ")".
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return stat;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    constexpr unsigned long long kKernelThreadFlag = 0x00200000; // PF_KTHREAD
    for (int i = 3; i <= 22 && (fields >> field); ++i) {
        if (!isNumber(field)) continue;
        if (i == 9) stat.kernelThread = (std::stoull(field) & kKernelThreadFlag) != 0;
        if (i == 22) stat.startTicks = std::stoull(field);
    }
    return stat;
}

// Calls `visit(pid, stat)` for every other process whose image matches. The kernel's own threads are no
// programs: their short names ("oom_reaper") must never match a host's name.
template <typename Visit> void forEachMatching(const std::string& name, bool partial, Visit&& visit) {
    const std::string self = std::to_string(::getpid());
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pidText = entry.path().filename().string();
        if (!isNumber(pidText) || pidText == self) continue;
        const std::string image = imageOf(entry.path());
        if (image.empty() || !processImageMatches(image, name, partial)) continue;
        const ProcessStat stat = statOf(entry.path());
        if (stat.kernelThread) continue;
        visit(static_cast<pid_t>(std::stol(pidText)), stat);
    }
}

} // namespace

bool PosixPlatform::terminateProcesses(const std::string& name, bool partial) {
    bool lastResult = false;
    forEachMatching(name, partial, [&](pid_t pid, const ProcessStat&) { lastResult = ::kill(pid, SIGKILL) == 0; });
    return lastResult;
}

std::vector<RunningProcess> PosixPlatform::runningProcesses(const std::string& name, bool partial) const {
    std::vector<RunningProcess> running;
    forEachMatching(name, partial,
                    [&](pid_t pid, const ProcessStat& stat) { running.push_back({pid, stat.startTicks}); });
    return running;
}

} // namespace k4m::posix
