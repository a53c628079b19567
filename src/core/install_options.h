#pragma once

#include "core/ini_file.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace k4m {

// What the installation options dialog decides, without its widgets: the states it opens with, the checks of
// its OK button with their messages, and the values OK saves.

// The entries of the interface-scale list: "80%" to "200%" in steps of ten.
inline constexpr int kScaleEntries = 13;
inline constexpr int kDefaultScaleIndex = 5; // "130%"

// The installation options the running manager holds in memory; OK updates them together with the profile.
struct CurrentOptions {
    std::string& dataFolder;
    std::string& vst64Folder;
    std::string& vst32Folder;
    bool& installVST64;
    bool& installVST32;
    bool& installAAX;
    bool& installAIOnly;
    bool& useKD3;
    bool& installBetas;
    bool& createOffline;
    int& guiScale;
};

// What the dialog needs to know of this computer and this run.
struct OptionsFacts {
    bool offlineMode = false;          // running from an offline package
    bool is64BitSystem = true;         // 64-bit Windows (a 64-bit system elsewhere)
    bool proToolsFolderExists = false; // the Pro Tools plug-in folder is there
    std::string kd3DataFolder;         // the previous generation's data folder; empty when there is none
};

struct BoxState {
    bool checked = false;
    bool enabled = true;
};

// The dialog's controls as its show handler leaves them.
struct OptionsInitialState {
    std::string oldData; // shown in the data folder edit
    bool dataEditable = true;
    BoxState useKD3;
    BoxState offline;
    bool offlineBoxVisible = true;
    bool offlineHintVisible = false; // the hint that takes the place of the hidden groups
    BoxState beta;
    BoxState aiOnly;
    int scaleIndex = kDefaultScaleIndex;
    BoxState vst64;
    BoxState vst2; // sub-formats of 64-bit VST; their boxes are never shown
    BoxState vst3;
    BoxState vst32;
    BoxState aax;
    bool formatGroupsVisible = true; // the 64-bit, 32-bit, AAX and interface-scale groups
    std::string vst64Folder;
    std::string vst32Folder;
};

// The opening states from the profile, the values in memory and the facts of this computer. In offline mode
// the offline package cannot be created, so its box is off and the format groups stay visible: hiding them
// there would leave the formats unchoosable and the dialog unable to close with OK.
OptionsInitialState initialOptions(const IniFile& profile, const CurrentOptions& current, const OptionsFacts& facts);

// What the user chose in the dialog.
struct OptionsEntries {
    std::string dataFolder;
    std::string vst64Folder;
    std::string vst32Folder;
    bool vst64 = false;
    bool vst2 = false;
    bool vst3 = false;
    bool vst32 = false;
    bool aax = false;
    bool useKD3 = false;
    bool aiOnly = false;
    bool beta = false;
    bool createOffline = false;
    int scaleIndex = kDefaultScaleIndex;
};

// What the actions of a changed configuration need after an accepted OK in change mode: the new choices and
// the values the dialog opened with.
struct OptionsChange {
    OptionsEntries entries;
    std::string oldData;
    std::string oldVST64;
    std::string oldVST32;
    bool oldAIOnly = false;
    bool oldBeta = false;
    bool dataChanged = false; // the data folder text differs from the one shown at opening (case-sensitive)
};

// Messages of the OK checks.
namespace options_message {
inline constexpr const char* kNoVst64SubFormat = "Please check at least one 64-bit VST format.";
inline constexpr const char* kDataInProgramFiles =
    "Please select a data folder location outside of the \"Program Files\" folder.";
inline constexpr const char* kDataFolderInvalid =
    "Your data folder selection appears to be invalid. Please double-check and correct as needed.";
inline constexpr const char* kNoFormat = "You must select at least one plugin format to install!";
inline constexpr const char* kVst32FolderInvalid =
    "Your 32-bit VST folder selection appears to be invalid. Please double-check and correct as needed.";
inline constexpr const char* kVst64FolderInvalid =
    "Your 64-bit VST folder selection appears to be invalid. Please double-check and correct as needed.";
} // namespace options_message

// Why OK keeps the dialog open: the message, and whether it is shown as a warning rather than a plain notice.
struct OptionsProblem {
    std::string message;
    bool warning = false;
};

// Whether a folder text lies inside a "Program Files" folder: its lower-cased text contains "\program files\"
// or, for the forward-slash paths of POSIX systems (a Windows drive mounted under Linux), "/program files/".
// "Program Files (x86)" and a text ending in "Program Files" do not count.
bool insideProgramFiles(std::string_view folder);

// OK's checks in their order. Missing folders are created one level deep (data folder always, VST folders
// only for a chosen format unless an offline package is being made), so a folder whose parent is missing is
// refused. A relative path is refused too (it would name a different folder depending on where the manager
// was started), and so is a path that names something other than a folder, or one the profile cannot hold as
// typed (a blank at its end, a line break).
std::optional<OptionsProblem> checkOptions(const OptionsEntries& entries, Platform& platform);

// The offline-package choice of OK, taken before any check: held in memory and written to the profile at once.
void recordOfflineChoice(bool createOffline, IniFile& profile, CurrentOptions& current);

// The folder the plug-in finds its sound data in: the previous generation's data folder when its sounds are
// used, otherwise the data folder's "data" sub-folder.
std::string soundFolderFor(bool useKD3, const std::string& kd3DataFolder, const std::string& dataFolder);

// Saves accepted options: the profile keys and the values in memory, then the plug-in settings file (sound
// folder and interface scale; a file that cannot be read is never replaced), then flushes the profile.
// Throws std::exception when the profile or the plug-in settings cannot be written.
void saveOptions(const OptionsEntries& entries, const OptionsFacts& facts, IniFile& profile,
                 const std::string& pluginSettingsPath, CurrentOptions& current);

} // namespace k4m
