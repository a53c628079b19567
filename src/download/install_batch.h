#pragma once

#include "core/folder_set.h"
#include "download/package_installer.h"

#include <string>

namespace k4m {

class TcvDLThread;

// The installation options that decide where packages go.
struct InstallChoices {
    bool useKD3 = false;       // sounds go to the previous generation's data folder
    std::string kd3DataFolder; // that folder, as its settings name it
    bool installAAX = false;
    bool installVST64 = false;
    bool installVST32 = false;
};

// The folders of an installation run: the cache is the data folder's "cache"; sounds go to the data folder, or
// to the previous generation's when the options say so and it is known.
InstallTargets installTargetsOf(const FolderSet& folders, const InstallChoices& choices);

// Command 3 of the worker, the installation batch: walks the slot table from slot 0 until the first slot not in
// use, takes each selected package from the cache folder or downloads it there, and hands it to the package
// installer. Errors never stop it: each marks its slot failed and adds a line to the worker's Errors. Ends with
// dldCommand -1 (written by the worker's command loop). The folders come from the shared installTargets.
void runInstallBatch(TcvDLThread& worker);

} // namespace k4m
