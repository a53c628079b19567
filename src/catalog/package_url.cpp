#include "catalog/package_url.h"

#include "core/server_requests.h"
#include "core/text_util.h"

namespace k4m {

namespace {

constexpr const char* kNoLocation = "YYY";

std::string mirrorCandidate(const IniFile& manifest, const std::string& p, bool firstReachable, const char* first,
                            bool secondReachable, const char* second) {
    std::string candidate = kNoLocation;
    if (firstReachable) candidate = manifest.readString(p, first, kNoLocation);
    if (candidate == kNoLocation && secondReachable) candidate = manifest.readString(p, second, kNoLocation);
    return candidate;
}

} // namespace

LocationChoice resolveLocation(const IniFile& manifest, const std::string& p, int serverMode,
                               const MirrorStatus& mirrors) {
    LocationChoice choice{manifest.readString(p, "Location", kNoLocation), false};
    std::string candidate = kNoLocation;
    if (serverMode == 1)
        candidate = mirrorCandidate(manifest, p, mirrors.dropbox, "Location1", mirrors.googleDrive, "Location2");
    else if (serverMode == 2)
        candidate = mirrorCandidate(manifest, p, mirrors.googleDrive, "Location2", mirrors.dropbox, "Location1");
    if ((serverMode == 1 || serverMode == 2) && candidate != kNoLocation) {
        choice.code = candidate;
        choice.alternative = true;
    }
    return choice;
}

PackageUrl formPackageUrl(const IniFile& manifest, const std::string& p, const LocationChoice& location,
                          const IniFile& locations, const std::string& serverBase, const std::string& eid) {
    const std::string target = manifest.readString(p, "Target", "MAIN");
    std::string suffix;
    if (target == "WINVST64" || target == "WINVST32" || target == "MACAPP")
        suffix = "_" + manifest.readString("General", "Version", "XXX");
    if (manifest.readBool(p, "NoSuffixing", false)) suffix.clear();

    const std::string key = location.code.substr(0, 1);
    const std::string path = location.code.size() > 2 ? location.code.substr(2) : std::string();
    auto ext = [&](const char* extension) { return location.alternative ? std::string() : std::string(extension); };
    const std::string base = locations.readString("Locations", key, "XXX");

    PackageUrl result;
    if (manifest.readInteger(p, "Convert", 0) == 1) {
        result.url = base + path + suffix + ext(".cxp3");
        result.soundsOnly = true;
        result.handleRedirect = true;
    } else if (key != "3") {
        result.url = base + path + suffix + ext(".cxp4");
    } else {
        result.url = server::packageUrl(serverBase, eid, manifest.readString(p, "PID", "XXX"), path + suffix);
        result.handleRedirect = true;
    }
    return result;
}

bool isFileHostingAddress(const std::string& url) {
    const std::string lower = toLowerAscii(url);
    for (const char* host : {"mediafire", "google", "dropbox"}) {
        if (lower.find(host) != std::string::npos) return true;
    }
    return false;
}

} // namespace k4m
