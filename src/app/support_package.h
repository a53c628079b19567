#pragma once

#include <string>
#include <vector>

namespace k4m {

// The archive for a support request: "support.zip" beside the profile, made anew each time, holding (each
// Deflate-compressed under its bare file name, in this order) the profile, this run's log lines as "log.txt"
// (saved first as "log.bak" beside the profile), every "*.txt" file in the plug-in's log folder and the plug-in's
// settings file. Each file is added on its own: a missing or unreadable one is left out silently. Returns the
// archive's path; throws std::runtime_error when the archive cannot be made at all.
std::string buildSupportZip(const std::string& profilePath, const std::vector<std::string>& logLines,
                            const std::string& productFolder);

// Where the archive lies: "support.zip" beside the profile.
std::string supportZipPath(const std::string& profilePath);

// "mailto:" with the support address and the prepared subject and body; empty without an address.
std::string supportMailLink(const std::string& supportAddress);

} // namespace k4m
