#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace k4m::test {

// A child process started by a test. Its environment is the test's own with `environment` ("NAME=value")
// laid over it. Killed at the end of the scope if it still runs.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return m_pid; }
    // The exit code, or -1 when the child did not end within `timeout` (it is then still running).
    int waitFor(std::chrono::milliseconds timeout);
    bool running();
    void kill();
    // Everything the child wrote to its standard output so far (after it ended: all of it).
    std::string output();

private:
    pid_t m_pid = -1;
    int m_outFd = -1;
    std::string m_output;
    bool m_ended = false;
    int m_exitCode = -1;
};

// Runs a child to its end; the exit code, or -1 when it had to be killed after `timeout`.
int runChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
             std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Waits until `condition` holds or `timeout` passes; whether it held.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace k4m::test

#include <thread>

template <typename Condition> bool k4m::test::waitUntil(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
