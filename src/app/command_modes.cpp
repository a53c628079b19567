#include "app/command_modes.h"

#include "core/file_ops.h"
#include "core/folder_set.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

namespace {

enum class Kind { File, Bundle };

struct Binary {
    const TextKey& targetKey;
    const char* fileName; // the only file name a target of this key may have
    Kind kind;
};

struct FormatBlock {
    const IntegerKey& choice;
    const char* marker;
    const char* stagingFolder; // under the product folder's "bin"
    Binary binaries[2];
};

const FormatBlock kBlocks[] = {
    {profile::InstallVST64,
     "[6]",
     "64",
     {{profile::VST64, "kandoro4.dll", Kind::File}, {profile::SK7_VST64, "soundK7.dll", Kind::File}}},
    {profile::InstallVST32,
     "[3]",
     "32",
     {{profile::VST32, "kandoro4.dll", Kind::File}, {profile::SK7_VST32, "soundK7.dll", Kind::File}}},
    {profile::InstallAAX,
     "[A]",
     "aax",
     {{profile::AAX, "Kandoro4.aaxplugin", Kind::Bundle}, {profile::AAX_SK7, "soundK7.aaxplugin", Kind::Bundle}}},
};

// The profile lies in a folder every user may write, and these modes may run with administrator rights: a
// target only counts when it carries the name its key stands for, so a tampered profile cannot aim the copy
// or the deletion at any other file.
bool acceptableTarget(const std::string& target, const Binary& binary) {
    return fileNamePart(target) == binary.fileName;
}

IniFile loadProfile(const Platform& platform) {
    IniFile ini(pathFromUtf8(profilePathOf(platform.commonAppDataFolder())));
    if (!ini.path().empty()) ini.load();
    return ini;
}

// Copies one binary; throws on any error, which ends the format block.
void copyBinary(Platform& platform, const IniFile& ini, const std::string& productFolder, const FormatBlock& block,
                const Binary& binary) {
    const std::string target = read(ini, binary.targetKey);
    const fs::path targetPath = pathFromUtf8(target);
    const std::string parent = parentFolder(target);
    if (parent.empty())
        throw fs::filesystem_error("no target folder", targetPath, std::make_error_code(std::errc::invalid_argument));
    if (!acceptableTarget(target, binary) || isSymlink(targetPath)) return;

    fs::create_directories(pathFromUtf8(parent));
    const fs::path source = pathFromUtf8(productFolder) / "bin" / block.stagingFolder / binary.fileName;
    if (binary.kind == Kind::File) {
        if (!fs::is_regular_file(source))
            throw fs::filesystem_error("missing source", source,
                                       std::make_error_code(std::errc::no_such_file_or_directory));
        copyFileReplacing(source, targetPath);
    } else {
        if (!fs::is_directory(source))
            throw fs::filesystem_error("missing source", source,
                                       std::make_error_code(std::errc::no_such_file_or_directory));
        copyTree(source, targetPath);
        platform.runSystemAttributeCommand(std::string("+S ") + binary.fileName, platform.proToolsPluginFolder());
    }
}

void deleteBinary(Platform& platform, const IniFile& ini, const Binary& binary) {
    const std::string target = read(ini, binary.targetKey);
    const fs::path targetPath = pathFromUtf8(target);
    if (target == kMissing || !acceptableTarget(target, binary) || isSymlink(targetPath)) return;
    if (binary.kind == Kind::File) {
        if (fs::is_regular_file(targetPath)) fs::remove(targetPath);
    } else if (fs::is_directory(targetPath)) {
        platform.runSystemAttributeCommand("-S \"" + target + "\"", "");
        removeTree(targetPath);
    }
}

bool refusedForLackOfRights(const std::exception& e) {
    const auto* error = dynamic_cast<const std::system_error*>(&e);
    return error != nullptr && isPermissionError(error->code());
}

// Asks for administrator rights once when the work failed for lack of them. A refused or impossible
// elevation leaves the work undone, silently.
void elevateIfRefused(Platform& platform, bool refused, const std::vector<std::string>& arguments) {
    if (refused && !platform.isElevated()) platform.rerunElevated(arguments);
}

} // namespace

int runCopyMode(Platform& platform, const std::vector<std::string>& arguments) {
    bool refused = false;
    try {
        const IniFile ini = loadProfile(platform);
        const std::string productFolder = productFolderOf(platform.commonAppDataFolder());
        for (const FormatBlock& block : kBlocks) {
            if (read(ini, block.choice) != FormatInstall) continue;
            try {
                for (const Binary& binary : block.binaries)
                    copyBinary(platform, ini, productFolder, block, binary);
            } catch (const std::exception& e) {
                // An error ends this format block only; the next block still runs.
                refused = refused || refusedForLackOfRights(e);
            }
        }
    } catch (const std::exception& e) {
        refused = refusedForLackOfRights(e);
    }
    elevateIfRefused(platform, refused, arguments);
    return 0;
}

int runDeleteMode(Platform& platform, const std::vector<std::string>& arguments) {
    const std::string& which = arguments.at(1);
    const bool all = which == "ALL";
    bool refused = false;
    try {
        const IniFile ini = loadProfile(platform);
        for (const FormatBlock& block : kBlocks) {
            if (!all && which.find(block.marker) == std::string::npos) continue;
            for (const Binary& binary : block.binaries)
                deleteBinary(platform, ini, binary);
        }
        if (all) {
            const std::string productFolder = productFolderOf(platform.commonAppDataFolder());
            try {
                const fs::path folder = pathFromUtf8(productFolder);
                if (!productFolder.empty() && !isSymlink(folder)) removeTree(folder);
            } catch (const std::exception& e) {
                // The product folder's removal is guarded on its own; only missing rights are worth a retry.
                refused = refusedForLackOfRights(e);
            }
        }
    } catch (const std::exception& e) {
        // Any error while removing binaries ends the whole mode silently.
        refused = refusedForLackOfRights(e);
    }
    elevateIfRefused(platform, refused, arguments);
    return 0;
}

} // namespace k4m
