#include "app/entry_decision.h"

namespace k4m {

EntryMode decideEntryMode(const std::string& ownExecutablePath, const std::vector<std::string>& arguments) {
    if (ownExecutablePath.find("km4u_") != std::string::npos) return EntryMode::UpdateSwap;
    if (arguments.size() == 2) {
        if (arguments[0] == "CPY") return EntryMode::Copy;
        if (arguments[0] == "DLT") return EntryMode::Delete;
        return EntryMode::EndAtOnce;
    }
    return EntryMode::Windowed;
}

bool startedEmbedded(const std::vector<std::string>& arguments) {
    return !arguments.empty() && arguments[0] == "EMBED";
}

} // namespace k4m
