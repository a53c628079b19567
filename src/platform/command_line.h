#pragma once

#include <string>
#include <vector>

namespace k4m {

// Splits a parameter text into arguments the way a Windows program sees them in the simple cases the manager
// uses: blanks separate arguments, double quotes group blanks into one argument and are removed.
std::vector<std::string> splitParameters(const std::string& parameters);

} // namespace k4m
