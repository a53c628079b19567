#include "platform/command_line.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/xdg_folders.h"

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace k4m::posix {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The manager's programs keep their Windows names everywhere ("Kandoro4Manager.exe", "km4u_127.exe").
bool isProgramName(const std::string& path) {
    return path.size() > 4 && path.ends_with(".exe");
}

void waitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

int exitStatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return 0;
}

} // namespace

pid_t spawnProcess(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // The child starts with a clean signal state whatever the manager has blocked or ignored.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

void reapInBackground(pid_t pid) {
    std::thread([pid] { waitForChild(pid); }).detach();
}

int PosixPlatform::launch(const std::string& target, const std::optional<std::string>& parameters, int flags) {
    // Programs have no window to hide and elevation happens on demand in the command modes, so flags 1 and 4
    // change nothing here. Documents and links go to the desktop's opener.
    std::vector<std::string> argv;
    if (isExecutableFile(target)) {
        argv.push_back(target);
        if (parameters) {
            for (auto& a : splitParameters(*parameters))
                argv.push_back(std::move(a));
        }
    } else if (isProgramName(target)) {
        return -1; // a program that cannot run here (no execute right, a file system mounted noexec) is no document
    } else if (target.find(':') != std::string::npos || ::access(target.c_str(), F_OK) == 0) {
        argv = {"xdg-open", target};
    } else {
        return -1; // neither a program, a document nor a link
    }
    const pid_t pid = spawnProcess(argv);
    if (pid < 0) return -1;
    if (flags & LaunchReturnExitStatus) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return exitStatusOf(status);
    }
    reapInBackground(pid);
    return 0;
}

void PosixPlatform::shellOpen(const std::string& target) {
    const pid_t pid = spawnProcess({"xdg-open", target});
    if (pid > 0) reapInBackground(pid);
}

bool PosixPlatform::rerunElevated(const std::vector<std::string>& arguments) {
    // PKEXEC_UID marks a run that pkexec started: never ask twice.
    if (isElevated() || std::getenv("PKEXEC_UID") != nullptr) return false;
    const std::string self = ownExecutablePath();
    if (self.empty()) return false;
    // pkexec clears the environment; pass the folders the elevated copy needs to find this user's profile.
    std::vector<std::string> argv = {"pkexec", "env", "HOME=" + homeFolder(), "XDG_DATA_HOME=" + xdgDataHome(), self};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const pid_t pid = spawnProcess(argv);
    if (pid < 0) return false;
    waitForChild(pid);
    return true;
}

} // namespace k4m::posix
