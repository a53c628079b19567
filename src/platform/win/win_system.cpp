// The kernel, security, registry, shell-link and network services.
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wininet.h>

#include <stdexcept>

namespace k4m::win {

namespace {

class MutexLock : public InstanceLock {
public:
    explicit MutexLock(HANDLE mutex) : m_mutex(mutex) {}
    // Never released by hand: the system releases it with the process, as with any other end of the run.
    ~MutexLock() override { ::CloseHandle(m_mutex); }

private:
    HANDLE m_mutex;
};

bool registryKeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::runtime_error comError(const char* what, HRESULT hr) {
    char code[16];
    wsprintfA(code, "%08lX", static_cast<unsigned long>(hr));
    return std::runtime_error(std::string(what) + " (error 0x" + code + ")");
}

} // namespace

bool WinPlatform::createFolderOpenToEveryone(const std::string& path) {
    // Everyone by its well-known identity: the group's name is translated on other languages' systems
    // ("Jeder", "Tout le monde"), where a look-up of "Everyone" fails.
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD everyoneSize = sizeof everyone;
    if (!::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize)) return false;
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = 0x1FFFFF;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
    PACL acl = nullptr;
    if (::SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS) return false;
    SECURITY_DESCRIPTOR descriptor;
    bool created = false;
    if (::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
        // A folder that exists keeps its access list: the call fails with "already exists".
        const std::wstring folder = wide(path);
        created = ::CreateDirectoryW(folder.c_str(), &attributes) != 0;
        // Some systems (wine among them) drop the list given at creation but keep one set afterwards; where
        // the creation kept it, setting the same list again changes nothing. Everyone may replace the new
        // folder at once, by a link to a system folder too: the list goes onto the folder itself, opened
        // without following a link, and onto nothing below it, never by its name.
        if (created) {
            const HANDLE handle =
                ::CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            BY_HANDLE_FILE_INFORMATION data{};
            if (handle != INVALID_HANDLE_VALUE) {
                if (::GetFileInformationByHandle(handle, &data) &&
                    (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                    (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                    ::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, &descriptor);
                ::CloseHandle(handle);
            }
        }
    }
    ::LocalFree(acl);
    return created;
}

bool WinPlatform::is64BitSystem() const {
#ifdef _WIN64
    return true; // a 64-bit program runs on nothing else
#else
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    if (isWow64 == nullptr) return false;
    BOOL wow64 = FALSE;
    if (!isWow64(::GetCurrentProcess(), &wow64)) throw std::runtime_error("Invalid handle");
    return wow64 != FALSE;
#endif
}

std::unique_ptr<InstanceLock> WinPlatform::acquireInstanceLock(const std::string& name, const std::string&) {
    // A named mutex needs no file; another user's session has its own namespace for it.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, wide(name).c_str());
    if (mutex == nullptr) return nullptr;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex);
}

bool WinPlatform::vcRuntimeUninstallKeyExists(const std::string& productCode) const {
    return registryKeyExists(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + wide(productCode));
}

bool WinPlatform::vcRuntimeKeyExists(bool x64) const {
    return registryKeyExists(std::wstring(L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes") +
                             (x64 ? L"\\x64" : L"\\x86"));
}

std::string WinPlatform::shellLinkPath(const std::string& folder, const std::string& name) const {
    return folder + "\\" + name + ".lnk";
}

void WinPlatform::createShellLink(const ShellLink& link, const std::string& linkPath) {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool uninitialise = SUCCEEDED(init);
    IShellLinkW* shellLink = nullptr;
    IPersistFile* file = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&shellLink));
    if (SUCCEEDED(hr)) {
        shellLink->SetDescription(wide(link.description).c_str());
        shellLink->SetPath(wide(link.target).c_str());
        shellLink->SetWorkingDirectory(wide(link.workingFolder).c_str());
        hr = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    }
    if (SUCCEEDED(hr)) hr = file->Save(wide(linkPath).c_str(), TRUE);
    if (file != nullptr) file->Release();
    if (shellLink != nullptr) shellLink->Release();
    if (uninitialise) ::CoUninitialize();
    if (FAILED(hr)) throw comError(("Could not create the shortcut " + linkPath).c_str(), hr);
}

bool WinPlatform::hasNetworkConnection() const {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

} // namespace k4m::win

namespace k4m {

std::unique_ptr<Platform> createPlatform() {
    return std::make_unique<win::WinPlatform>();
}

} // namespace k4m
