#include "platform/posix/posix_platform.h"
#include "platform/posix/xdg_folders.h"
#include "platform/user_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k4m::posix {

namespace {

class FlockInstanceLock : public InstanceLock {
public:
    explicit FlockInstanceLock(int fd) : m_fd(fd) {}
    ~FlockInstanceLock() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    FlockInstanceLock(const FlockInstanceLock&) = delete;
    FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

private:
    int m_fd;
};

// A lock file is only worth something where no other user can create, replace or hold it: a folder of this
// user's own that nobody else may write.
bool privateFolder(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string lockFolder(const std::string& fallbackFolder) {
    const std::string runtime = xdgRuntimeDir();
    if (privateFolder(runtime)) return runtime;
    createUserFolders(fallbackFolder);
    return privateFolder(fallbackFolder) ? fallbackFolder : std::string();
}

} // namespace

std::unique_ptr<InstanceLock> PosixPlatform::acquireInstanceLock(const std::string& name,
                                                                 const std::string& fallbackFolder) {
    const std::string folder = lockFolder(fallbackFolder);
    // Without a safe place for the lock file the single-instance rule cannot be checked; do not refuse the user.
    if (folder.empty()) return std::make_unique<FlockInstanceLock>(-1);
    const std::string path = folder + "/" + name + ".lock";
    // Close-on-exec: a program the manager starts must not keep the lock alive after the manager ends.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return std::make_unique<FlockInstanceLock>(-1);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return nullptr;
        return std::make_unique<FlockInstanceLock>(-1);
    }
    return std::make_unique<FlockInstanceLock>(fd);
}

} // namespace k4m::posix
