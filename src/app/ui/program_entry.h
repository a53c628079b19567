#pragma once

#include "platform/platform.h"

namespace k4m {

// Everything main does: decides the mode and runs it. Returns the process exit code.
int runProgram(int argc, char** argv, Platform& platform);

} // namespace k4m
