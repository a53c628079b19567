#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace k4m::test {

namespace {

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        merged[entry.substr(0, entry.find('='))] = entry;
    }
    for (const auto& entry : overrides)
        merged[entry.substr(0, entry.find('='))] = entry;
    std::vector<std::string> result;
    for (auto& [name, entry] : merged)
        result.push_back(entry);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(environment);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    auto argp = pointers(args);
    auto envp = pointers(env);
    const int rc = ::posix_spawnp(&m_pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    m_outFd = pipeFds[0];
    if (rc != 0) {
        ::close(m_outFd);
        throw std::runtime_error("cannot start " + argv.at(0) + ": " + std::strerror(rc));
    }
    ::fcntl(m_outFd, F_SETFL, O_NONBLOCK);
}

Child::~Child() {
    kill();
    if (m_outFd >= 0) ::close(m_outFd);
}

std::string Child::output() {
    char buffer[4096];
    while (m_outFd >= 0) {
        const ssize_t n = ::read(m_outFd, buffer, sizeof buffer);
        if (n <= 0) break;
        m_output.append(buffer, static_cast<size_t>(n));
    }
    return m_output;
}

int Child::waitFor(std::chrono::milliseconds timeout) {
    if (m_ended) return m_exitCode;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_ended = true;
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            output();
            return m_exitCode;
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        output();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Child::running() {
    return waitFor(std::chrono::milliseconds(0)) == -1 && !m_ended;
}

void Child::kill() {
    if (m_ended || m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    waitFor(std::chrono::seconds(10));
}

int runChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
             std::chrono::milliseconds timeout) {
    Child child(argv, environment);
    return child.waitFor(timeout);
}

} // namespace k4m::test
