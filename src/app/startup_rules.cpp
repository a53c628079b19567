#include "app/startup_rules.h"

#include "core/text_file.h"
#include "core/text_util.h"

#include <vector>

namespace k4m {

bool startedFromZipArchive(const std::string& ownExecutablePath) {
    return containsText(ownExecutablePath, ".zip");
}

std::string lastHostFromPluginLog(const std::string& logText) {
    const std::string marker = "Host Path: ";
    for (const std::string& line : splitLines(logText)) {
        const size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        // The plug-in writes two more characters after the marker.
        const std::string path = at + 13 <= line.size() ? line.substr(at + 13) : std::string();
        const size_t cut = path.find_last_of("\\:/");
        return cut == std::string::npos ? path : path.substr(cut + 1);
    }
    return "xxx";
}

namespace {

// The numeric parts of "1.2.10"; false when the text is not made of digits and dots.
bool versionParts(const std::string& version, std::vector<unsigned long>& parts) {
    const std::string text = trim(version);
    if (text.empty()) return false;
    std::string current;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (current.empty() || current.size() > 9) return false;
            parts.push_back(std::stoul(current));
            current.clear();
        } else if (text[i] >= '0' && text[i] <= '9') {
            current += text[i];
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

bool isNewerVersion(const std::string& serverVersion, const std::string& ownVersion) {
    if (containsText(serverVersion, "ERROR")) return false;
    std::vector<unsigned long> server;
    std::vector<unsigned long> own;
    if (!versionParts(serverVersion, server) || !versionParts(ownVersion, own)) return false;
    while (server.size() < own.size())
        server.push_back(0);
    while (own.size() < server.size())
        own.push_back(0);
    return server > own;
}

std::string versionDigits(const std::string& version) {
    return replaceAll(version, ".", "");
}

std::string updateCopyName(const std::string& serverVersion) {
    return "km4u_" + versionDigits(serverVersion) + ".exe";
}

std::string probeFailureText(const std::string& lastRequestError) {
    return lastRequestError +
           ". This tool requires you to be connected to the Internet unless you have prepared an offline installation "
           "package.";
}

std::string footerText(const std::string& website) {
    return std::string("Version ") + kManagerVersion + " " + kCompanyName + " [" + website + "]";
}

std::string hintText(bool offlineMode, bool keyEmpty) {
    if (offlineMode) return "Click LOAD INSTALL to begin...";
    if (keyEmpty)
        return "Copy && paste your customer key from your delivery email into the box above and click [Connect]...";
    return "Click CONNECT to begin...";
}

bool showsPromotion(const std::string& answer) {
    return answer != "NONE" && answer.rfind("ERROR: ", 0) != 0;
}

} // namespace k4m
