#pragma once

#include <string>

namespace k4m {

// What the status line shows during an installation: the progress text, unless an override text is set.
std::string statusLineText(const std::string& progressText, const std::string& overrideText);

// The status line's texts that outlive a single handler: the last text Connect showed (so an error can say at
// which step it happened) and the process-wide override text.
struct StatusTexts {
    std::string lastStatus;
    std::string overrideText;
};

} // namespace k4m
