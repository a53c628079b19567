#include "core/install_options.h"

#include "core/settings_keys.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

namespace {

int scaleIndexOrDefault(int index) {
    return index >= 0 && index < kScaleEntries ? index : kDefaultScaleIndex;
}

// A format choice as the profile stores it (1 install, 2 do not install); 0 was never chosen.
void applySavedChoice(BoxState& box, int saved) {
    if (saved > FormatNotChosen) box.checked = saved == FormatInstall;
    if (!box.enabled) box.checked = false;
}

int choiceOf(bool install) {
    return install ? FormatInstall : FormatSkip;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(pathFromUtf8(path), ec);
}

// Whether the profile holds `path` as it is: its values are single lines without blanks around them, so a folder
// ending in a blank or holding a line break would be used in this run and another one after the next start.
bool storableAsIs(const std::string& path) {
    return trimView(path).size() == path.size() && path.find_first_of("\r\n") == std::string::npos;
}

// The folder is there, or was created one level deep. A relative path never counts: it would depend on the
// folder the manager was started from.
bool folderReady(const std::string& path, Platform& platform) {
    if (path.empty() || !pathFromUtf8(path).is_absolute() || !storableAsIs(path)) return false;
    if (isFolder(path)) return true;
    platform.createFolderOpenToEveryone(path);
    return isFolder(path);
}

// Folders are held without a trailing separator, as start-up reads them; a root folder keeps its one.
std::string heldFolder(const std::string& text) {
    const std::string cut = removeOneTrailingSeparator(text);
    return cut.empty() ? text : cut;
}

} // namespace

OptionsInitialState initialOptions(const IniFile& profile, const CurrentOptions& current, const OptionsFacts& facts) {
    using profile::kGeneral;
    OptionsInitialState s;

    s.oldData =
        facts.offlineMode ? current.dataFolder : profile.readString(kGeneral, profile::DataFolder, current.dataFolder);
    s.dataEditable = !facts.offlineMode;

    s.useKD3.checked = read(profile, profile::UseKD3);
    s.offline.checked = read(profile, profile::CreateOffline);
    s.offlineBoxVisible = !facts.offlineMode;
    s.beta.checked = read(profile, profile::InstallBetas);
    s.scaleIndex = scaleIndexOrDefault(current.guiScale);

    if (facts.offlineMode) s.offline = {false, false};
    s.offlineHintVisible = s.offline.checked;

    if (facts.kd3DataFolder.empty()) s.useKD3 = {false, false};

    s.vst64.enabled = s.vst2.enabled = s.vst3.enabled = facts.is64BitSystem;
    s.aax = {false, facts.is64BitSystem && facts.proToolsFolderExists};
    s.vst32.enabled = true;

    if (facts.is64BitSystem) s.vst64.checked = true;
    s.vst2.checked = read(profile, profile::VST2);
    s.vst3.checked = read(profile, profile::VST3);
    applySavedChoice(s.vst64, read(profile, profile::InstallVST64));
    if (!s.vst64.enabled) s.vst2.checked = s.vst3.checked = false;
    if (!facts.is64BitSystem) s.vst32.checked = true;
    applySavedChoice(s.vst32, read(profile, profile::InstallVST32));
    applySavedChoice(s.aax, read(profile, profile::InstallAAX));
    if (read(profile, profile::InstallAIOnly)) s.aiOnly.checked = true;

    s.formatGroupsVisible = !current.createOffline || facts.offlineMode;

    s.vst64Folder = current.vst64Folder;
    s.vst32Folder = current.vst32Folder;
    return s;
}

bool insideProgramFiles(std::string_view folder) {
    const std::string lower = toLowerAscii(folder);
    return containsText(lower, "\\program files\\") || containsText(lower, "/program files/");
}

std::optional<OptionsProblem> checkOptions(const OptionsEntries& e, Platform& platform) {
    namespace m = options_message;
    if (e.vst64 && !e.vst2 && !e.vst3) return OptionsProblem{m::kNoVst64SubFormat};
    if (insideProgramFiles(e.dataFolder)) return OptionsProblem{m::kDataInProgramFiles};
    if (!folderReady(e.dataFolder, platform)) return OptionsProblem{m::kDataFolderInvalid};
    if (!e.createOffline) {
        if (!e.vst64 && !e.vst32 && !e.aax) return OptionsProblem{m::kNoFormat, true};
        if (e.vst32 && !folderReady(e.vst32Folder, platform)) return OptionsProblem{m::kVst32FolderInvalid};
        if (e.vst64 && !folderReady(e.vst64Folder, platform)) return OptionsProblem{m::kVst64FolderInvalid};
    }
    return std::nullopt;
}

void recordOfflineChoice(bool createOffline, IniFile& profile, CurrentOptions& current) {
    current.createOffline = createOffline;
    write(profile, profile::CreateOffline, createOffline);
}

std::string soundFolderFor(bool useKD3, const std::string& kd3DataFolder, const std::string& dataFolder) {
    return useKD3 && !kd3DataFolder.empty() ? kd3DataFolder : joinPath(dataFolder, "data");
}

void saveOptions(const OptionsEntries& e, const OptionsFacts& facts, IniFile& profile,
                 const std::string& pluginSettingsPath, CurrentOptions& current) {
    using profile::kGeneral;
    profile.writeString(kGeneral, profile::Plugin64Folder, e.vst64Folder);
    write(profile, profile::InstallVST64, choiceOf(e.vst64));
    profile.writeString(kGeneral, profile::Plugin32Folder, e.vst32Folder);
    write(profile, profile::InstallVST32, choiceOf(e.vst32));
    write(profile, profile::InstallAAX, choiceOf(e.aax));
    profile.writeString(kGeneral, profile::DataFolder, e.dataFolder);
    write(profile, profile::UseKD3, e.useKD3);
    write(profile, profile::InstallAIOnly, e.aiOnly);
    write(profile, profile::InstallBetas, e.beta);

    current.vst64Folder = heldFolder(e.vst64Folder);
    current.vst32Folder = heldFolder(e.vst32Folder);
    current.dataFolder = heldFolder(e.dataFolder);
    current.installVST64 = e.vst64;
    current.installVST32 = e.vst32;
    current.installAAX = e.aax;
    current.installAIOnly = e.aiOnly;
    current.useKD3 = e.useKD3;
    current.installBetas = e.beta;

    IniFile plugin(pathFromUtf8(pluginSettingsPath));
    try {
        plugin.load();
    } catch (const std::exception&) {
        // Unreadable: the file refuses every write from now on and stays as it is.
    }
    write(plugin, plugin::SoundFolder, soundFolderFor(e.useKD3, facts.kd3DataFolder, current.dataFolder));
    write(plugin, plugin::GUIScale, e.scaleIndex);
    current.guiScale = e.scaleIndex;
    plugin.save();

    profile.save();
}

} // namespace k4m
