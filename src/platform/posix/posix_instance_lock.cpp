#include "platform/posix/posix_platform.h"
#include "platform/posix/xdg_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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

} // namespace

std::unique_ptr<InstanceLock> PosixPlatform::acquireInstanceLock(const std::string& name) {
    const std::string path = runtimeFolder() + "/" + name + ".lock";
    // Close-on-exec: a program the manager starts must not keep the lock alive after the manager ends.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Without a place for the lock file the single-instance rule cannot be checked; do not refuse the user.
        return std::make_unique<FlockInstanceLock>(-1);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return nullptr;
        return std::make_unique<FlockInstanceLock>(-1);
    }
    return std::make_unique<FlockInstanceLock>(fd);
}

} // namespace k4m::posix
