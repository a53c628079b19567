#include "app/post_install.h"

#include "core/server_requests.h"
#include "platform/utf8_path.h"

#include <filesystem>
#include <stdexcept>

namespace k4m {

namespace fs = std::filesystem;

RuntimeCheck checkRuntime(const Platform& platform, const RedistributableSettings& s, const std::string& serverBase) {
    RuntimeCheck check;
    const bool x64 = platform.is64BitSystem();
    if (!x64 && !platform.vcRuntimeUninstallKeyExists(s.guid32)) {
        check.downloadUrl = server::staticUrl(serverBase, s.source32);
        check.logLines.push_back("32-bit VCRT SP is not present");
    } else if (x64 && !platform.vcRuntimeUninstallKeyExists(s.guid64)) {
        check.logLines.push_back("64-bit VCRT SP is not present");
        check.downloadUrl = server::staticUrl(serverBase, s.source64);
    }
    if (platform.vcRuntimeKeyExists(x64)) {
        check.downloadUrl.clear();
        check.logLines.push_back("Newer VC++ RT is present");
    }
    return check;
}

std::string menuFolder(const std::string& startMenuFolder) {
    return utf8Of(pathFromUtf8(startMenuFolder) / "Kandoro4");
}

void removeMenu(const std::string& startMenuFolder) {
    // A start menu that is unknown has no folder of ours: never remove a "Kandoro4" relative to somewhere else.
    if (startMenuFolder.empty()) return;
    const fs::path folder = pathFromUtf8(menuFolder(startMenuFolder));
    if (fs::exists(fs::symlink_status(folder))) fs::remove_all(folder);
}

void createMenu(Platform& platform, const std::string& startMenuFolder, const std::string& dataFolder) {
    try {
        removeMenu(startMenuFolder);
    } catch (const std::exception&) {
        // An old folder that cannot go is replaced file by file below.
    }
    if (startMenuFolder.empty()) throw std::runtime_error("The start menu folder is unknown.");
    const std::string folder = menuFolder(startMenuFolder);
    fs::create_directories(pathFromUtf8(folder));
    const fs::path target = pathFromUtf8(dataFolder) / "Kandoro4Manager.exe";
    const ShellLink link{"Description ...", utf8Of(target), utf8Of(target.parent_path())};
    const std::string linkPath = platform.shellLinkPath(folder, "Kandoro 4 Manager.lnk");
    if (!fs::exists(fs::symlink_status(pathFromUtf8(linkPath)))) platform.createShellLink(link, linkPath);
}

} // namespace k4m
