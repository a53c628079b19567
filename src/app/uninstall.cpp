#include "app/uninstall.h"

#include "platform/utf8_path.h"
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

void removeUserData(const std::string& dataFolder, bool offlineMode) {
    // An unknown data folder is no folder to remove anything relative to.
    fs::path data = pathFromUtf8(dataFolder);
    if (dataFolder.empty() || !data.is_absolute()) return;
    // Without trailing separators and "." parts: after a link's name they make the system look through it.
    while (data.has_relative_path() && (!data.has_filename() || data.filename() == "."))
        data = data.parent_path();
    std::error_code ec;
    if (fs::is_symlink(data, ec)) return; // the folder itself was swapped for a link: nothing of ours is there
    auto remove = [&](const char* name) {
        std::error_code ignored;
        fs::remove_all(data / name, ignored);
    };
    if (!offlineMode) {
        remove("cache");
        remove("Offline");
    }
    remove("data");
}

} // namespace k4m
