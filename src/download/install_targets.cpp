#include "download/install_targets.h"

#include "core/text_util.h"

namespace k4m {

InstallTargets installTargetsOf(const FolderSet& folders, const InstallChoices& choices) {
    InstallTargets t;
    t.productFolder = folders.productFolder;
    t.installerFolder = folders.installerFolder;
    t.commonAppDataFolder = folders.commonAppDataFolder;
    // An unknown previous folder would leave the sounds without a destination: they stay with the data.
    const std::string kd3 = removeOneTrailingSeparator(choices.kd3DataFolder);
    t.soundDataFolder = choices.useKD3 && !kd3.empty() ? kd3 : folders.dataFolder;
    // Without a data folder, a cache path would start at the root of the file system.
    t.cacheFolder = folders.dataFolder.empty() ? std::string() : joinPath(folders.dataFolder, "cache");
    t.proToolsFolder = folders.proToolsFolder;
    t.vst64Folder = folders.vst64Folder;
    t.vst32Folder = folders.vst32Folder;
    t.installAAX = choices.installAAX;
    t.installVST64 = choices.installVST64;
    t.installVST32 = choices.installVST32;
    return t;
}

} // namespace k4m
