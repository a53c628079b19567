#pragma once

#include "platform/platform.h"

#include <string>

namespace k4m {

// The update copy's run: tells the user, replaces the old program with itself and starts it. Needs a
// QApplication. Returns the exit code: 0, or 1 when the swap failed (the user has been told why).
int runUpdateSwapMode(Platform& platform, const std::string& ownExecutablePath);

} // namespace k4m
