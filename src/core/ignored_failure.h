#pragma once

#include <exception>
#include <string>

namespace k4m {

// Writes one line about a failure the program goes on after, to the diagnostic stream (standard error). The
// user's log keeps exactly the lines the program means to show there.
void reportIgnoredFailure(const char* step, const std::string& message);

// Runs a step whose failure is deliberately ignored: the run goes on after it either way. Naming the step at
// the call site shows the reader which failures are swallowed; the failure itself is reported with that name.
// Only errors of the step itself are swallowed (std::exception); anything else, such as a request to close the
// window, passes on.
template <typename Step> void ignoringFailure(const char* step, Step&& run) {
    try {
        run();
    } catch (const std::exception& e) {
        reportIgnoredFailure(step, e.what());
    }
}

} // namespace k4m
