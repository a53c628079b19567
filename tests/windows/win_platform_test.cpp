// The Win32 platform layer against the real system calls (under wine here): special folders, the launcher,
// the terminator with a real child, the instance lock held by a second process, shell links read back through
// the shell, the folder open to Everyone, the registry questions and the file primitives.
#include "platform/atomic_file.h"
#include "platform/folder_copy.h"
#include "platform/native_file.h"
#include "platform/win/wide_text.h"
#include "platform/win/win_platform.h"

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using k4m::win::narrow;
using k4m::win::wide;
using k4m::win::WinPlatform;

namespace {

// A fresh folder under the system's temporary folder, removed at the end of the scope.
class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, base);
        static int counter = 0;
        m_path = fs::path(base) / (L"k4m-win-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++counter));
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / fs::path(wide(name)); }

private:
    fs::path m_path;
};

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

std::string helperPath() {
    WinPlatform platform;
    return (fs::path(wide(platform.ownExecutablePath())).parent_path() / K4M_WIN_HELPER).string();
}

TEST(WinFolders, SpecialFoldersAreTheSystemsWithTheFixedSubPaths) {
    WinPlatform platform;
    const std::string common = platform.commonAppDataFolder();
    ASSERT_FALSE(common.empty());
    EXPECT_TRUE(fs::is_directory(wide(common))) << common;
    EXPECT_FALSE(platform.documentsFolder().empty());
    EXPECT_FALSE(platform.startMenuFolder().empty());

    const std::string vst64 = platform.vst64DefaultFolder();
    EXPECT_TRUE(vst64.ends_with("\\Steinberg\\Vstplugins")) << vst64;
    EXPECT_EQ(vst64.find(" (x86)"), std::string::npos) << vst64;
    const std::string vst32 = platform.vst32DefaultFolder();
    EXPECT_TRUE(vst32.ends_with(" (x86)\\Steinberg\\Vstplugins")) << vst32; // a 64-bit system's 32-bit folder
    const std::string aax = platform.proToolsPluginFolder();
    EXPECT_TRUE(aax.ends_with("\\Common Files\\Avid\\Audio\\Plug-Ins")) << aax;
    EXPECT_EQ(aax.find(" (x86)"), std::string::npos) << aax;
    EXPECT_EQ(platform.defaultDataFolder(), "C:\\Kandoro 4 Data");
    EXPECT_TRUE(platform.ownExecutablePath().ends_with("\\win_platform_test.exe")) << platform.ownExecutablePath();
    EXPECT_TRUE(platform.is64BitSystem());
}

// The terminator's three rules against a real child, found by its image name and ended.
TEST(WinProcesses, ARealChildIsFoundByItsNameAndEnded) {
    WinPlatform platform;
    ASSERT_EQ(platform.launch(helperPath(), std::string("sleep"), k4m::LaunchHidden), 0);
    ASSERT_TRUE(waitUntil([&] { return !platform.runningProcesses("k4m_win_helper.exe", false).empty(); }));
    struct Case {
        const char* name;
        bool partial;
        bool matches;
    };
    for (const Case& c : {Case{"K4M_WIN_HELPER.EXE", false, true}, Case{"k4m_win_helper", false, false},
                          Case{"win_help", true, true}, Case{"WIN_HELP", true, false},
                          Case{"k4m_win_helper.exe.bak", false, false}})
        EXPECT_EQ(!platform.runningProcesses(c.name, c.partial).empty(), c.matches) << c.name << " " << c.partial;
    EXPECT_TRUE(platform.terminateProcesses("win_help", true));
    EXPECT_TRUE(waitUntil([&] { return platform.runningProcesses("k4m_win_helper.exe", false).empty(); }));
    EXPECT_FALSE(platform.terminateProcesses("k4m_win_helper.exe", false)); // none left to end
}

// The elevated copy gets the arguments back as they were, whatever a profile value put into one of them: blanks,
// quotes, backslashes before a quote or at the end, nothing at all.
TEST(WinLaunch, QuotedArgumentsReachTheChildExactly) {
    WinPlatform platform;
    TempDir dir;
    const std::vector<std::string> arguments = {"DLT",
                                                "[6]",
                                                "C:\\Program Files\\Kandoro 4\\",
                                                "C:\\Data\\\" /injected \"",
                                                "a\\\\\"b",
                                                "",
                                                "tab\there",
                                                "two\nlines",
                                                "\\\\server\\share\\",
                                                "\"",
                                                "Grüße ✓",
                                                "plain\\path\\"};
    const std::string out = (dir / "args.bin").string();
    std::wstring commandLine = L"args " + k4m::win::quotedArgument(wide(out));
    for (const std::string& argument : arguments) commandLine += L" " + k4m::win::quotedArgument(wide(argument));
    ASSERT_EQ(platform.launch(helperPath(), narrow(commandLine), k4m::LaunchHidden), 0);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(wide(out)); }));
    std::ifstream in(fs::path(wide(out)), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> received;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\0', at);
        received.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    EXPECT_EQ(received, arguments);
}

// "attrib" is the system's: a program of that name in the working folder or beside this program (the manager's
// folder is open to every user) is never started in its place, with administrator rights perhaps.
TEST(WinLaunch, TheAttributeCommandIsTheSystemsOwn) {
    WinPlatform platform;
    TempDir dir;
    const fs::path ownFolder = fs::path(wide(platform.ownExecutablePath())).parent_path();
    const fs::path planted[] = {dir.path() / L"attrib.exe", dir.path() / L"attrib.com", ownFolder / L"attrib.exe",
                                ownFolder / L"attrib.com"};
    for (const fs::path& copy : planted) fs::copy_file(wide(helperPath()), copy, fs::copy_options::overwrite_existing);
    const fs::path mark = dir.path() / L"planted-ran";
    ::SetEnvironmentVariableW(L"K4M_HELPER_MARK", mark.c_str());
    std::ofstream(dir / "kandoro4.dll") << "plug-in";
    platform.runSystemAttributeCommand("+S kandoro4.dll", dir.path().string());
    const auto system = [&] { return (::GetFileAttributesW((dir / "kandoro4.dll").c_str()) & FILE_ATTRIBUTE_SYSTEM); };
    EXPECT_TRUE(waitUntil([&] { return system() != 0 || fs::exists(mark); }));
    ::SetEnvironmentVariableW(L"K4M_HELPER_MARK", nullptr);
    EXPECT_FALSE(fs::exists(mark));
    EXPECT_NE(system(), 0u);
    platform.terminateProcesses("attrib.exe", false);
    platform.terminateProcesses("attrib.com", false);
    EXPECT_TRUE(waitUntil([&] {
        std::error_code ec;
        for (const fs::path& copy : planted) fs::remove(copy, ec);
        return !fs::exists(planted[2]) && !fs::exists(planted[3]);
    }));
}

TEST(WinLaunch, AStartThatCannotHappenAnswersMinusOne) {
    WinPlatform platform;
    TempDir dir;
    EXPECT_EQ(platform.launch((dir / "missing.exe").string(), std::nullopt, 0), -1);
}

TEST(WinInstanceLock, ALockHeldByAnotherProcessRefusesUntilThatProcessEnds) {
    WinPlatform platform;
    const std::string name = "K4M_TEST_LOCK_" + std::to_string(::GetCurrentProcessId());
    ASSERT_EQ(platform.launch(helperPath(), "lock " + name, k4m::LaunchHidden), 0);
    ASSERT_TRUE(waitUntil([&] {
        HANDLE existing = ::OpenMutexW(SYNCHRONIZE, FALSE, wide(name).c_str());
        if (existing != nullptr) ::CloseHandle(existing);
        return existing != nullptr;
    }));
    EXPECT_EQ(platform.acquireInstanceLock(name, ""), nullptr);
    EXPECT_TRUE(platform.terminateProcesses("k4m_win_helper.exe", false));
    std::unique_ptr<k4m::InstanceLock> lock;
    EXPECT_TRUE(waitUntil([&] { return (lock = platform.acquireInstanceLock(name, "")) != nullptr; }));
    // This process holds it now: a second windowed run of the same user is refused the same way.
    EXPECT_EQ(platform.acquireInstanceLock(name, ""), nullptr);
}

TEST(WinShellLink, TheShortcutReadsBackThroughTheShell) {
    WinPlatform platform;
    TempDir dir;
    const std::string linkPath = platform.shellLinkPath(dir.path().string(), "Kandoro 4 Manager");
    EXPECT_EQ(linkPath, dir.path().string() + "\\Kandoro 4 Manager.lnk");
    const std::string target = (dir / "Daten Grüße\\Kandoro4Manager.exe").string();
    const std::string folder = (dir / "Daten Grüße").string();
    platform.createShellLink({"Description ...", target, folder}, linkPath);

    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                             reinterpret_cast<void**>(&link))));
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    ASSERT_TRUE(SUCCEEDED(file->Load(wide(linkPath).c_str(), STGM_READ)));
    wchar_t text[MAX_PATH * 2] = {};
    ASSERT_TRUE(SUCCEEDED(link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH)));
    EXPECT_EQ(narrow(text), target);
    ASSERT_TRUE(SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH * 2)));
    EXPECT_EQ(narrow(text), folder);
    ASSERT_TRUE(SUCCEEDED(link->GetDescription(text, MAX_PATH * 2)));
    EXPECT_EQ(narrow(text), "Description ...");
    file->Release();
    link->Release();
    ::CoUninitialize();

    EXPECT_THROW(platform.createShellLink({"x", target, folder}, (dir / "no such folder\\x.lnk").string()),
                 std::runtime_error);
}

// The folder the plug-in writes into from other accounts' hosts: Everyone may do everything, inherited below.
TEST(WinFolders, AFolderOpenToEveryoneGrantsEveryoneFullRightsOnlyWhenCreatedNow) {
    WinPlatform platform;
    TempDir dir;
    const std::string folder = (dir / "Kandoro4").string();
    ASSERT_TRUE(platform.createFolderOpenToEveryone(folder));
    EXPECT_TRUE(fs::is_directory(wide(folder)));
    EXPECT_FALSE(platform.createFolderOpenToEveryone(folder));
    EXPECT_FALSE(platform.createFolderOpenToEveryone((dir / "missing\\level").string())); // one level only

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(wide(folder).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &dacl, nullptr, &descriptor),
              ERROR_SUCCESS);
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof everyone;
    ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
    bool granted = false;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        // Every right (0x1FFFFF); a system that keeps rights as file modes keeps read, write, run and delete.
        constexpr DWORD kNeeded = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
        if (::EqualSid(&ace->SidStart, everyone) && (ace->Mask & kNeeded) == kNeeded &&
            (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
                (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE))
            granted = true;
    }
    ::LocalFree(descriptor);
    EXPECT_TRUE(granted);

    // A folder that was there keeps the list it had, whoever made it.
    const std::wstring existing = wide((dir / "Existing").string());
    ASSERT_TRUE(::CreateDirectoryW(existing.c_str(), nullptr));
    BYTE system[SECURITY_MAX_SID_SIZE];
    size = sizeof system;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
    EXPLICIT_ACCESSW onlySystem{};
    onlySystem.grfAccessPermissions = GENERIC_ALL;
    onlySystem.grfAccessMode = SET_ACCESS;
    onlySystem.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    onlySystem.Trustee.ptstrName = reinterpret_cast<LPWSTR>(system);
    PACL systemList = nullptr;
    ASSERT_EQ(::SetEntriesInAclW(1, &onlySystem, nullptr, &systemList), ERROR_SUCCESS);
    ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(existing.c_str()), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, systemList, nullptr),
              ERROR_SUCCESS);
    ::LocalFree(systemList);
    const auto listOf = [](const std::wstring& path) {
        PACL list = nullptr;
        PSECURITY_DESCRIPTOR held = nullptr;
        std::string bytes;
        if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                                    nullptr, &held) == ERROR_SUCCESS &&
            list != nullptr)
            bytes.assign(reinterpret_cast<const char*>(list), list->AclSize);
        ::LocalFree(held);
        return bytes;
    };
    const std::string before = listOf(existing);
    ASSERT_FALSE(before.empty());
    EXPECT_FALSE(platform.createFolderOpenToEveryone(narrow(existing)));
    EXPECT_EQ(listOf(existing), before);
}

TEST(WinRegistry, UnknownRuntimeKeysAreAbsent) {
    WinPlatform platform;
    EXPECT_FALSE(platform.vcRuntimeUninstallKeyExists("{00000000-0000-0000-0000-K4M-NOT-THERE}"));
}

// UTF-8 at the interface, UTF-16 at the system: a name with letters beyond ASCII lands under its own name.
TEST(WinFiles, TheAtomicWriteAndTheRegularReadKeepNamesAndRefuseWhatIsNoFile) {
    TempDir dir;
    const fs::path file = dir.path() / fs::path(u8"Grüße ✓.ini");
    k4m::writeFileAtomically(file, "[General]\r\n");
    EXPECT_TRUE(fs::exists(dir.path() / L"Gr\u00fc\u00dfe \u2713.ini"));
    EXPECT_EQ(k4m::readRegularFile(file, 1000), "[General]\r\n");
    k4m::writeFileAtomically(file, "replaced");
    EXPECT_EQ(k4m::readRegularFile(file, 1000), "replaced");
    EXPECT_EQ(k4m::readRegularFile(dir / "missing.ini", 1000), std::nullopt);
    EXPECT_THROW(k4m::readRegularFile(dir.path(), 1000), std::system_error);
    EXPECT_THROW(k4m::readRegularFile(file, 3), std::system_error);

    auto created = k4m::NativeFile::createNew(dir / "new.bin", k4m::kDefaultFileMode);
    ASSERT_TRUE(created.isOpen());
    auto again = k4m::NativeFile::createNew(dir / "new.bin", k4m::kDefaultFileMode);
    EXPECT_FALSE(again.isOpen());
    EXPECT_TRUE(again.nameTaken());
    EXPECT_TRUE(k4m::NativeFile::openForReading(dir / "none.bin").missing());
}

// A package entry or a folder setting can name a device ("com1.wav", "nul.txt") or a pipe: nothing reaches it.
// What an open answers is a file in the folder, written where it is read back, or nothing at all (newer systems
// keep a device's name with an extension as an ordinary file name).
TEST(WinFiles, NamesOfDevicesAndPipesAreNeverOpened) {
    TempDir dir;
    const std::wstring pipeName = L"\\\\.\\pipe\\k4m-test-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE server = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096,
                                       4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const fs::path names[] = {dir / "nul.txt",
                              dir / "NUL",
                              dir / "com1.wav.1.0.tmp",
                              dir / "con",
                              dir / "lpt1",
                              dir / "aux.ini",
                              fs::path(pipeName),
                              fs::path(L"\\\\?\\pipe\\k4m-none"),
                              fs::path(L"\\\\localhost\\PIPE\\k4m-none")};
    for (const fs::path& name : names) {
        const auto isFileInFolder = [&](k4m::NativeFile& file) {
            const auto info = file.info();
            return info && info->regular && fs::exists(name);
        };
        auto created = k4m::NativeFile::createNew(name, k4m::kDefaultFileMode);
        EXPECT_TRUE(!created.isOpen() || isFileInFolder(created)) << name;
        created.close();
        auto writing = k4m::NativeFile::openForWriting(name, k4m::kDefaultFileMode);
        EXPECT_TRUE(!writing.isOpen() || isFileInFolder(writing)) << name;
        writing.close();
        auto reading = k4m::NativeFile::openForReading(name);
        EXPECT_TRUE(!reading.isOpen() || isFileInFolder(reading)) << name;
        EXPECT_FALSE(k4m::NativeFile::openForReadingThroughLinks(name).isOpen() && !fs::exists(name)) << name;
        EXPECT_EQ(k4m::folderIdentity(name), std::nullopt) << name;
    }
    // The long form of a name on a drive is an ordinary file.
    auto longForm = k4m::NativeFile::createNew(L"\\\\?\\" + (dir / "plain.bin").wstring(), k4m::kDefaultFileMode);
    EXPECT_TRUE(longForm.isOpen() && longForm.writeAll("x") && longForm.close());
    EXPECT_EQ(fs::file_size(dir / "plain.bin"), 1u);
    // No client ever reached the pipe's server.
    EXPECT_FALSE(::ConnectNamedPipe(server, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
    ::CloseHandle(server);
}

// A disk blind to capitals gives a folder a second name: the copy knows it and copies nothing onto itself.
TEST(WinFolderCopy, CopiesATreeAndKnowsAFolderUnderAnotherSpelling) {
    TempDir dir;
    fs::create_directories(dir / "Old\\data\\kits");
    std::ofstream(dir / "Old\\data\\kits\\kick.wav", std::ios::binary) << std::string(100000, 'k');
    std::ofstream(dir / "Old\\Kandoro4Manager.exe", std::ios::binary) << "manager";
    k4m::FolderCopyProgress progress;
    const auto result = k4m::copyFolderContents(dir / "Old", dir / "New", progress);
    EXPECT_EQ(result.outcome, k4m::FolderCopyOutcome::Copied);
    EXPECT_EQ(result.files, 2u);
    EXPECT_EQ(fs::file_size(dir / "New\\data\\kits\\kick.wav"), 100000u);
    EXPECT_EQ(progress.bytesDone, progress.bytesTotal);

    k4m::FolderCopyProgress same;
    EXPECT_EQ(k4m::copyFolderContents(dir / "Old", dir / "OLD", same).outcome, k4m::FolderCopyOutcome::SameFolder);
}

} // namespace
