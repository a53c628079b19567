#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace k4m::test {

// Runs the built manager as a child process with the test's home folders and waits for it to end.
inline int runManager(const std::vector<std::string>& arguments,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    std::vector<std::string> argv = {K4M_MANAGER_EXE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runChild(argv, {}, timeout);
}

} // namespace k4m::test
