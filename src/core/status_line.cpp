#include "core/status_line.h"

namespace k4m {

std::string statusLineText(const std::string& progressText, const std::string& overrideText) {
    return overrideText.empty() ? progressText : overrideText;
}

} // namespace k4m
