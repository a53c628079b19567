#pragma once

#include "core/version.h"

#include <string>

namespace k4m {

inline constexpr const char* kCompanyName = "Corvane";

// A program started from inside a Zip archive (a path through "....zip").
bool startedFromZipArchive(const std::string& ownExecutablePath);

// The last host program named in the plug-in's own log: the file name of the path that starts 13 characters
// after the first "Host Path: "; "xxx" when no line has the marker.
std::string lastHostFromPluginLog(const std::string& logText);

// Whether the server's version is newer than ours. Versions are compared part by part as numbers (1.2.10 is
// newer than 1.2.6); an answer containing "ERROR", or one that is no version, never is.
bool isNewerVersion(const std::string& serverVersion, const std::string& ownVersion = kManagerVersion);

// The version text without its dots ("1.2.7" gives "127"), as the update copy's name carries it.
std::string versionDigits(const std::string& version);

// "km4u_" + the version's digits + ".exe".
std::string updateCopyName(const std::string& serverVersion);

// The text of the prompt when the connectivity probe failed.
std::string probeFailureText(const std::string& lastRequestError);

// The footer: "Version 1.2.6 Corvane [<web site>]".
std::string footerText(const std::string& website);

// The hint under the header before Connect.
std::string hintText(bool offlineMode, bool keyEmpty);

// Whether a promotion answer is shown ("NONE" and error answers are not).
bool showsPromotion(const std::string& answer);

// Long customer keys are shown masked.
inline bool masksKey(size_t keyLength) {
    return keyLength > 10;
}

} // namespace k4m
