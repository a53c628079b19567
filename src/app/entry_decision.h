#pragma once

#include <string>
#include <vector>

namespace k4m {

enum class EntryMode {
    UpdateSwap, // the program file is an update copy ("km4u_" in its path)
    Copy,       // "CPY <anything>"
    Delete,     // "DLT <markers or ALL>"
    EndAtOnce,  // two arguments that name no command mode
    Windowed,   // everything else
};

// Decides how the program runs from its own path and its arguments (without the program name). Arguments are
// compared exactly, with case.
EntryMode decideEntryMode(const std::string& ownExecutablePath, const std::vector<std::string>& arguments);

// Whether the windowed run should connect by itself once it has started.
bool startedEmbedded(const std::vector<std::string>& arguments);

} // namespace k4m
