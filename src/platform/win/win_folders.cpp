// The special folders, from the shell without creating them. A folder the shell cannot name is an empty text.
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

#include <windows.h>
#include <shlobj.h>

#include <string_view>

namespace k4m::win {

namespace {

std::string specialFolder(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
    return narrow(buffer);
}

// Every " (x86)" taken out, left to right.
std::string withoutX86(std::string folder) {
    constexpr std::string_view x86 = " (x86)";
    for (size_t at = folder.find(x86); at != std::string::npos; at = folder.find(x86, at))
        folder.erase(at, x86.size());
    return folder;
}

// The 64-bit program-files folders: a 32-bit build is handed the " (x86)" ones, with redirection off or not.
std::string sixtyFourBitFolder(int csidl) {
    PVOID redirection = nullptr;
    const BOOL redirectionOff = ::Wow64DisableWow64FsRedirection(&redirection);
    const std::string folder = specialFolder(csidl);
    if (redirectionOff) ::Wow64RevertWow64FsRedirection(redirection);
    return withoutX86(folder);
}

// A sub-path below a special folder; nothing when the folder is unknown, so no path starts at the top of a drive.
std::string below(const std::string& folder, const char* subPath) {
    return folder.empty() ? std::string() : folder + subPath;
}

} // namespace

std::string WinPlatform::commonAppDataFolder() const {
    return specialFolder(CSIDL_COMMON_APPDATA);
}

std::string WinPlatform::documentsFolder() const {
    return specialFolder(CSIDL_PERSONAL);
}

std::string WinPlatform::startMenuFolder() const {
    return specialFolder(CSIDL_STARTMENU);
}

std::string WinPlatform::vst64DefaultFolder() const {
    return below(sixtyFourBitFolder(CSIDL_PROGRAM_FILES), "\\Steinberg\\Vstplugins");
}

std::string WinPlatform::vst32DefaultFolder() const {
    return below(specialFolder(CSIDL_PROGRAM_FILESX86), "\\Steinberg\\Vstplugins");
}

std::string WinPlatform::proToolsPluginFolder() const {
    return below(sixtyFourBitFolder(CSIDL_PROGRAM_FILES_COMMON), "\\Avid\\Audio\\Plug-Ins");
}

std::string WinPlatform::defaultDataFolder() const {
    return "C:\\Kandoro 4 Data";
}

std::string WinPlatform::ownExecutablePath() const {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace k4m::win
