// Starting programs, documents and links through the shell; elevation through the "runas" verb.
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

#include <windows.h>
#include <shellapi.h>

namespace k4m::win {

bool WinPlatform::userAccountControlOn() const {
    // Every Windows this program runs on is 6.0 or later; the switch alone decides.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                        KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG rc = ::RegQueryValueExW(key, L"EnableLUA", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD && value != 0;
}

int WinPlatform::launch(const std::string& target, const std::optional<std::string>& parameters, int flags) {
    const std::wstring file = wide(target);
    const std::wstring arguments = parameters ? wide(*parameters) : std::wstring();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = (flags & LaunchRunAs) && userAccountControlOn() ? L"runas" : nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = parameters ? arguments.c_str() : nullptr;
    info.nShow = (flags & LaunchHidden) ? SW_HIDE : SW_SHOWNORMAL;
    // A declined elevation prompt fails the call like any other start that did not happen.
    if (!::ShellExecuteExW(&info)) return -1;
    int result = 0;
    if (info.hProcess != nullptr) {
        if (flags & LaunchReturnExitStatus) {
            DWORD code = 0;
            if (::GetExitCodeProcess(info.hProcess, &code)) result = static_cast<int>(code);
        }
        ::CloseHandle(info.hProcess);
    }
    return result;
}

void WinPlatform::shellOpen(const std::string& target) {
    ::ShellExecuteW(nullptr, L"OPEN", wide(target).c_str(), L"", L"", SW_SHOWNORMAL);
}

void WinPlatform::runSystemAttributeCommand(const std::string& parameters, const std::string& workingFolder) {
    // By its full name in the system folder: a bare "attrib" is looked for in the working folder and beside this
    // program first, where any user may have put a program of that name.
    wchar_t system[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return;
    const std::wstring attrib = std::wstring(system, length) + L"\\attrib.exe";
    const std::wstring folder = wide(workingFolder);
    ::ShellExecuteW(nullptr, L"OPEN", attrib.c_str(), wide(parameters).c_str(),
                    workingFolder.empty() ? nullptr : folder.c_str(), SW_HIDE);
}

bool WinPlatform::isElevated() const {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    ::CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}

std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    // Backslashes count only before a quote: doubled there, and before the closing quote.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

bool WinPlatform::rerunElevated(const std::vector<std::string>& arguments) {
    // An elevated run never asks again; without user-account control there is nothing to ask for.
    if (isElevated() || !userAccountControlOn()) return false;
    const std::wstring self = wide(ownExecutablePath());
    if (self.empty()) return false;
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        if (!commandLine.empty()) commandLine += L' ';
        commandLine += quotedArgument(wide(argument));
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = self.c_str();
    info.lpParameters = commandLine.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) return false;
    if (info.hProcess != nullptr) {
        ::WaitForSingleObject(info.hProcess, INFINITE);
        ::CloseHandle(info.hProcess);
    }
    return true;
}

} // namespace k4m::win
