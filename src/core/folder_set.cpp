#include "core/folder_set.h"

#include "core/settings_keys.h"
#include "core/text_util.h"

namespace k4m {

std::string productFolderOf(const std::string& commonAppDataFolder) {
    return commonAppDataFolder.empty() ? std::string() : joinPath(commonAppDataFolder, "Kandoro4");
}

std::string installerFolderOf(const std::string& commonAppDataFolder) {
    const std::string product = productFolderOf(commonAppDataFolder);
    return product.empty() ? std::string() : joinPath(product, "Installer");
}

std::string profilePathOf(const std::string& commonAppDataFolder) {
    const std::string installer = installerFolderOf(commonAppDataFolder);
    return installer.empty() ? std::string() : joinPath(installer, "installer.ini");
}

namespace {

std::string under(const std::string& folder, const char* name) {
    return folder.empty() ? std::string() : joinPath(folder, name);
}

} // namespace

std::string FolderSet::profilePath() const {
    return installerFile("installer.ini");
}
std::string FolderSet::installerFile(const std::string& name) const {
    return under(installerFolder, name.c_str());
}
std::string FolderSet::logPath() const {
    return installerFile("log.txt");
}
std::string FolderSet::pluginSettingsPath() const {
    return under(productFolder, "kandoro4.ini");
}
std::string FolderSet::pluginLogPath() const {
    return under(under(productFolder, "Logs"), "Kandoro Plugin Log.txt");
}
std::string FolderSet::previousSettingsPath() const {
    return under(previousGenerationFolder, "kandoro3.ini");
}
std::string FolderSet::offlineFolder() const {
    return under(managerFolder, "Offline");
}
std::string FolderSet::updateFolder() const {
    return under(managerFolder, "Update");
}

FolderSet resolveFolderSet(const Platform& platform, const std::string& ownExecutablePath) {
    FolderSet f;
    f.commonAppDataFolder = platform.commonAppDataFolder();
    f.productFolder = productFolderOf(f.commonAppDataFolder);
    f.installerFolder = under(f.productFolder, "Installer");
    f.dataFolder = removeOneTrailingSeparator(platform.defaultDataFolder());
    f.vst64Folder = removeOneTrailingSeparator(platform.vst64DefaultFolder());
    f.vst32Folder = removeOneTrailingSeparator(platform.vst32DefaultFolder());
    f.proToolsFolder = platform.proToolsPluginFolder();
    f.startMenuFolder = platform.startMenuFolder();
    f.documentsFolder = platform.documentsFolder();
    f.previousGenerationFolder = under(f.documentsFolder, "Kandoro3");
    f.managerFolder = parentFolder(ownExecutablePath);
    return f;
}

void applyProfileFolders(FolderSet& folders, const IniFile& profile, bool offlineMode) {
    using profile::kGeneral;
    folders.vst64Folder =
        removeOneTrailingSeparator(profile.readString(kGeneral, profile::Plugin64Folder, folders.vst64Folder));
    folders.vst32Folder =
        removeOneTrailingSeparator(profile.readString(kGeneral, profile::Plugin32Folder, folders.vst32Folder));
    if (!offlineMode)
        folders.dataFolder =
            removeOneTrailingSeparator(profile.readString(kGeneral, profile::DataFolder, folders.dataFolder));
}

} // namespace k4m
