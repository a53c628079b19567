#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

namespace k4m {

// Copy mode: copies the staged plug-in binaries from the product folder to the targets the profile names, for
// every format the profile says to install. `arguments` are the two command-line arguments, handed on when the
// work needs administrator rights this run does not have. Always ends with exit code 0.
int runCopyMode(Platform& platform, const std::vector<std::string>& arguments);

// Delete mode: removes the plug-in binaries of the formats the second argument marks ("[6]", "[3]", "[A]") or
// of all formats and the whole product folder ("ALL"). Always ends with exit code 0.
int runDeleteMode(Platform& platform, const std::vector<std::string>& arguments);

} // namespace k4m
