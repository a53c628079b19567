#pragma once

#include "core/ini_file.h"

#include <string>

namespace k4m {

// Which of the three public mirrors answered "OK" to the status check.
struct MirrorStatus {
    bool dropbox = false;
    bool googleDrive = false;
    bool mediaFire = false; // counts only for "all unreachable", never for the choice of a location
};

// A package's location code ("<key><separator><path>") and whether it is an alternative one on a mirror.
struct LocationChoice {
    std::string code;
    bool alternative = false;
};

// The location of a package: `Location`, unless the server prefers a mirror (`ServerMode` 1: Dropbox's
// `Location1`, then Google Drive's `Location2`; 2: the other way round) and that mirror is reachable and the
// package has a location there.
LocationChoice resolveLocation(const IniFile& manifest, const std::string& packageId, int serverMode,
                               const MirrorStatus& mirrors);

struct PackageUrl {
    std::string url;
    bool soundsOnly = false;     // a previous-generation package (".cxp3"), sounds only
    bool handleRedirect = false; // follow redirects when fetching it
};

// Where the package is fetched from: a location base of the locations answer plus the code's path, the
// version suffix of plug-in binaries and the extension (none on a mirror); or, for location key "3", the
// server's download request.
PackageUrl formPackageUrl(const IniFile& manifest, const std::string& packageId, const LocationChoice& location,
                          const IniFile& locations, const std::string& serverBase, const std::string& eid);

// Whether an address points at one of the file-hosting services, which answer through redirects.
bool isFileHostingAddress(const std::string& url);

} // namespace k4m
