#include "platform/posix/posix_platform.h"
#include "platform/process_match.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
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

} // namespace

bool PosixPlatform::terminateProcesses(const std::string& name, bool partial) {
    const std::string self = std::to_string(::getpid());
    bool lastResult = false;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pidText = entry.path().filename().string();
        if (!isNumber(pidText) || pidText == self) continue;
        const std::string image = imageOf(entry.path());
        if (image.empty() || !processImageMatches(image, name, partial)) continue;
        lastResult = ::kill(static_cast<pid_t>(std::stol(pidText)), SIGKILL) == 0;
    }
    return lastResult;
}

} // namespace k4m::posix
