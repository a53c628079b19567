#include "child_process.h"
#include "platform/posix/posix_platform.h"
#include "platform/user_folders.h"
#include "temp_dir.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::test::Child;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::waitUntil;
using k4m::test::writeFile;

namespace {

void writeScript(const fs::path& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms(0755));
}

class PosixPlatformTest : public testing::Test {
protected:
    k4m::test::IsolatedHome home;
    k4m::posix::PosixPlatform platform;
    TempDir dir;
};

TEST_F(PosixPlatformTest, FolderOpenToEveryoneIsTrueOnlyWhenThisCallCreatedIt) {
    const mode_t oldMask = ::umask(022);
    const std::string folder = (dir / "Kandoro4").string();
    EXPECT_TRUE(platform.createFolderOpenToEveryone(folder));
    ::umask(oldMask);
    // The user's normal rights: no other account may plant files in it.
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms(0755));

    // An existing folder keeps its rights.
    fs::permissions(folder, fs::perms(0700));
    EXPECT_FALSE(platform.createFolderOpenToEveryone(folder));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms(0700));

    // Only the one level is created.
    EXPECT_FALSE(platform.createFolderOpenToEveryone((dir / "a/b").string()));
    EXPECT_FALSE(fs::exists(dir / "a"));
}

TEST_F(PosixPlatformTest, LauncherStartsARealProgramWithItsArguments) {
    writeScript(dir / "prog", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n");
    EXPECT_EQ(platform.launch((dir / "prog").string(), std::string("DLT \"[6] [A]\""), k4m::LaunchRunAs), 0);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(dir / "args.txt") && fs::file_size(dir / "args.txt") > 0; }));
    EXPECT_EQ(readFile(dir / "args.txt"), "DLT\n[6] [A]\n");
}

TEST_F(PosixPlatformTest, LauncherReportsAFailedStart) {
    EXPECT_EQ(platform.launch((dir / "no-such-program").string(), std::nullopt, 0), -1);
    // A program of ours that may not run (no execute right, a noexec file system) is never handed to the
    // desktop's opener as if it were a document.
    writeFile(dir / "km4u_127.exe", "#!/bin/sh\nexit 0\n");
    fs::permissions(dir / "km4u_127.exe", fs::perms(0644));
    EXPECT_EQ(platform.launch((dir / "km4u_127.exe").string(), std::nullopt, 0), -1);
}

struct UmaskCase {
    const char* name;
    mode_t umask;
};

class FoldersUnderUmask : public PosixPlatformTest, public testing::WithParamInterface<UmaskCase> {};

// Whatever the umask, the manager's folders are never open to the group or others, and the single-instance
// lock still finds its private place.
TEST_P(FoldersUnderUmask, AreNeverWritableByOthersAndTheLockStillHolds) {
    const mode_t old = ::umask(GetParam().umask);
    const fs::path data = dir / "home/.local/share";
    const fs::path installer = data / "Kandoro4/Installer";
    const bool created = k4m::createUserFolders(installer.string());
    const bool product = platform.createFolderOpenToEveryone((dir / "Elsewhere").string());
    k4m::test::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    const fs::path lockFolder = dir / "other/.local/share/Kandoro4/Installer";
    auto lock = platform.acquireInstanceLock("KANDORO_MAN_X4", lockFolder.string());
    ::umask(old);
    ASSERT_TRUE(created);
    ASSERT_TRUE(product);
    for (const fs::path& folder :
         {dir / "home", dir / "home/.local", data, data / "Kandoro4", installer, dir / "Elsewhere", lockFolder}) {
        SCOPED_TRACE(folder.string());
        EXPECT_EQ(fs::status(folder).permissions() & (fs::perms::group_write | fs::perms::others_write),
                  fs::perms::none);
    }
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(fs::exists(lockFolder / "KANDORO_MAN_X4.lock"));
    EXPECT_EQ(k4m::test::runChild({K4M_PLATFORM_PROBE, "lock", "KANDORO_MAN_X4", lockFolder.string()}), 1);
}

INSTANTIATE_TEST_SUITE_P(Masks, FoldersUnderUmask,
                         testing::Values(UmaskCase{"Usual022", 022}, UmaskCase{"GroupWrite002", 002},
                                         UmaskCase{"Nothing000", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PosixPlatformTest, LauncherWithFlag2GivesTheExitStatusOnlyOfAChildThatHasEnded) {
    // A child still running answers 0.
    const fs::path slow = dir / "slow-k4m";
    fs::copy_file("/bin/sleep", slow);
    EXPECT_EQ(platform.launch(slow.string(), std::string("5"), k4m::LaunchReturnExitStatus), 0);
    EXPECT_TRUE(platform.terminateProcesses(slow.string(), false));

    // A child that is over when the launcher looks answers its status. Whether it is over that fast is up to
    // the scheduler, so try until it happens; every other answer must be 0.
    int ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (int i = 0; i < 5000 && ended == 0 && std::chrono::steady_clock::now() < deadline; ++i) {
        const int result = platform.launch(K4M_EXIT7, std::nullopt, k4m::LaunchReturnExitStatus);
        ASSERT_TRUE(result == 0 || result == 7) << result;
        ended += result == 7;
    }
    EXPECT_GT(ended, 0);
}

TEST_F(PosixPlatformTest, ShellOpenHandsTheTargetToTheDesktopOpener) {
    writeScript(dir / "bin/xdg-open", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/opened.txt\"\n");
    k4m::test::ScopedEnv path("PATH", (dir / "bin").string() + ":" + std::getenv("PATH"));
    platform.shellOpen("https://example.invalid/quickstart");
    ASSERT_TRUE(
        waitUntil([&] { return fs::exists(dir / "bin/opened.txt") && fs::file_size(dir / "bin/opened.txt") > 0; }));
    EXPECT_EQ(readFile(dir / "bin/opened.txt"), "https://example.invalid/quickstart\n");
}

// Starts a copy of sleep under the given file name, so that its image has that name.
std::unique_ptr<Child> sleeperNamed(const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    fs::copy_file("/bin/sleep", folder / name, fs::copy_options::overwrite_existing);
    auto child = std::make_unique<Child>(std::vector<std::string>{(folder / name).string(), "60"});
    // Wait until the exec has happened, so /proc shows the new image.
    waitUntil([&] {
        std::error_code ec;
        return fs::read_symlink("/proc/" + std::to_string(child->pid()) + "/exe", ec).filename() == name;
    });
    return child;
}

TEST_F(PosixPlatformTest, TerminatorEndsProcessesByExactImageNameIgnoringCase) {
    auto upper = sleeperNamed(dir / "a", "KANDORO4.EXE");
    auto backup = sleeperNamed(dir / "b", "kandoro4.exe.bak");
    EXPECT_TRUE(platform.terminateProcesses("kandoro4.exe", false));
    EXPECT_EQ(upper->waitFor(10s), 128 + SIGKILL);
    EXPECT_TRUE(backup->running());
}

TEST_F(PosixPlatformTest, TerminatorWithPartialFlagEndsEveryImageContainingTheLowerCaseName) {
    // Names no other test uses: ctest runs the tests of this file side by side.
    auto mixed = sleeperNamed(dir / "a", "myTermDAW64.exe");
    auto upper = sleeperNamed(dir / "b", "TERMDAW.EXE");
    auto other = sleeperNamed(dir / "c", "TermSequencer.exe");
    EXPECT_TRUE(platform.terminateProcesses("termdaw", true));
    EXPECT_EQ(mixed->waitFor(10s), 128 + SIGKILL);
    EXPECT_EQ(upper->waitFor(10s), 128 + SIGKILL);
    EXPECT_TRUE(other->running());
}

TEST_F(PosixPlatformTest, RunningProcessesAreWhatTheTerminatorWouldEndEachKnownByItsStart) {
    auto first = sleeperNamed(dir / "a", "MyListedDaw.exe");
    auto other = sleeperNamed(dir / "b", "ListedSequencer.exe");
    const auto running = platform.runningProcesses("listeddaw", true);
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].pid, first->pid());
    EXPECT_NE(running[0].started, 0u);
    EXPECT_TRUE(platform.runningProcesses("no-such-program-k4m.exe", false).empty());

    // A program started again is another process, even if it got the same number.
    first->kill();
    first->waitFor(10s);
    auto second = sleeperNamed(dir / "a", "MyListedDaw.exe");
    const auto now = platform.runningProcesses("mylisteddaw.exe", false);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_NE(now[0], running[0]);
}

TEST_F(PosixPlatformTest, KernelThreadsNeverMatchAHostName) {
    // Every Linux kernel runs "oom_reaper" and "kthreadd"; a host list naming "reaper" must not see them.
    EXPECT_TRUE(platform.runningProcesses("reaper", true).empty());
    EXPECT_TRUE(platform.runningProcesses("kthreadd", false).empty());
    EXPECT_FALSE(platform.terminateProcesses("kthreadd", false));
}

TEST_F(PosixPlatformTest, TerminatorAnswersFalseWhenNothingMatched) {
    EXPECT_FALSE(platform.terminateProcesses("no-such-program-k4m.exe", false));
    EXPECT_FALSE(platform.terminateProcesses("", true));
}

TEST_F(PosixPlatformTest, InstanceLockRefusesASecondHolderAndIsFreeAgainWhenTheHolderDies) {
    auto holder = std::make_unique<Child>(std::vector<std::string>{K4M_PLATFORM_PROBE, "lock", "KANDORO_MAN_X4"});
    ASSERT_TRUE(waitUntil([&] { return holder->output() == "held\n"; }));
    EXPECT_EQ(platform.acquireInstanceLock("KANDORO_MAN_X4", ""), nullptr);
    EXPECT_TRUE(fs::exists(home.runtimeDir() / "KANDORO_MAN_X4.lock"));
    // Another name is another lock.
    EXPECT_NE(platform.acquireInstanceLock("OTHER_MUTEX", ""), nullptr);

    holder->kill();
    auto lock = platform.acquireInstanceLock("KANDORO_MAN_X4", "");
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(k4m::test::runChild({K4M_PLATFORM_PROBE, "lock", "KANDORO_MAN_X4"}), 1);
}

struct LockPlaceCase {
    const char* name;
    std::function<std::string(const fs::path& dir)> runtimeDir; // what XDG_RUNTIME_DIR holds
};

class InstanceLockPlace : public PosixPlatformTest, public testing::WithParamInterface<LockPlaceCase> {};

// Where the system offers no private runtime folder, the lock lives in the manager's own folder: a lock file
// another user keeps in a shared folder can no longer keep the program from starting.
TEST_P(InstanceLockPlace, ALockInASharedFolderNeverBlocksAndTheFallbackIsUsed) {
    const fs::path shared = dir / "shared";
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms(0777));
    const fs::path fallback = dir / "Kandoro4" / "Installer";
    k4m::test::ScopedEnv runtime("XDG_RUNTIME_DIR", GetParam().runtimeDir(dir.path()));
    k4m::test::ScopedEnv temp("TMPDIR", shared.string());
    // Someone else's process holds a lock of that name in the shared folder.
    const fs::path planted = shared / "KANDORO_MAN_X4.lock";
    auto stranger = std::make_unique<Child>(std::vector<std::string>{"flock", planted.string(), "sleep", "30"});
    ASSERT_TRUE(waitUntil([&] { return fs::exists(planted); }));

    auto lock = platform.acquireInstanceLock("KANDORO_MAN_X4", fallback.string());
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(fs::exists(fallback / "KANDORO_MAN_X4.lock"));
    // And it still keeps a second instance of this user out.
    EXPECT_EQ(k4m::test::runChild({K4M_PLATFORM_PROBE, "lock", "KANDORO_MAN_X4", fallback.string()}), 1);
}

INSTANTIATE_TEST_SUITE_P(Places, InstanceLockPlace,
                         testing::Values(LockPlaceCase{"NoRuntimeFolder", [](const fs::path&) { return ""; }},
                                         LockPlaceCase{"RuntimeFolderOpenToOthers",
                                                       [](const fs::path& d) { return (d / "shared").string(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PosixPlatformTest, ProgramsTheManagerStartsDoNotInheritTheLock) {
    auto lock = platform.acquireInstanceLock("KANDORO_MAN_X4", "");
    ASSERT_NE(lock, nullptr);
    const fs::path program = dir / "long-running-k4m";
    fs::copy_file("/bin/sleep", program);
    ASSERT_EQ(platform.launch(program.string(), std::string("30"), 0), 0);
    lock.reset();
    EXPECT_NE(platform.acquireInstanceLock("KANDORO_MAN_X4", ""), nullptr);
    EXPECT_TRUE(platform.terminateProcesses(program.string(), false));
}

TEST_F(PosixPlatformTest, ShellLinkIsADesktopEntryThatStartsTheTarget) {
    const std::string folder = (dir / "applications/Kandoro4").string();
    fs::create_directories(folder);
    const std::string link = platform.shellLinkPath(folder, "Kandoro 4 Manager.lnk");
    EXPECT_EQ(link, folder + "/Kandoro 4 Manager.desktop");
    platform.createShellLink(
        {"Description ...", "/home/u/Kandoro 4 Data/Kandoro4Manager.exe", "/home/u/Kandoro 4 Data"}, link);
    const std::string entry = readFile(link);
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    EXPECT_NE(entry.find("Name=Kandoro 4 Manager\n"), std::string::npos);
    EXPECT_NE(entry.find("Comment=Description ...\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"/home/u/Kandoro 4 Data/Kandoro4Manager.exe\"\n"), std::string::npos);
    EXPECT_NE(entry.find("Path=/home/u/Kandoro 4 Data\n"), std::string::npos);

    EXPECT_THROW(platform.createShellLink({"d", "/x", "/"}, (dir / "missing/x.desktop").string()), std::runtime_error);
}

TEST_F(PosixPlatformTest, ConnectivityNeedsARunningInterfaceBesidesLoopback) {
    // Each case runs the question in a new network namespace of its own, set up by the shell commands given.
    // Root makes the namespace directly (also inside a chroot); others through a user namespace.
    const std::vector<std::string> unshare =
        ::geteuid() == 0 ? std::vector<std::string>{"unshare", "-n"} : std::vector<std::string>{"unshare", "-rn"};
    auto inNamespace = [&](std::vector<std::string> command) {
        command.insert(command.begin(), unshare.begin(), unshare.end());
        return command;
    };
    if (k4m::test::runChild(inNamespace({"true"})) != 0) GTEST_SKIP() << "no network namespaces here";
    struct Case {
        const char* name;
        const char* setup;
        const char* expected;
    };
    for (const Case& c :
         {Case{"LoopbackOnly", "ip link set lo up", "0\n"},
          // up, but its peer is down: no carrier
          Case{"InterfaceUpWithoutCarrier", "ip link add k4m0 type veth peer name k4m1 && ip link set k4m0 up", "0\n"},
          Case{"InterfaceRunning",
               "ip link add k4m0 type veth peer name k4m1 && ip link set k4m0 up && ip link set k4m1 up", "1\n"}}) {
        SCOPED_TRACE(c.name);
        Child probe(inNamespace({"sh", "-c", std::string(c.setup) + " && " + K4M_PLATFORM_PROBE + " connected"}));
        ASSERT_EQ(probe.waitFor(20s), 0) << c.setup;
        EXPECT_EQ(probe.output(), c.expected) << c.setup;
    }
}

TEST_F(PosixPlatformTest, SystemQuestions) {
    EXPECT_FALSE(platform.userAccountControlOn());
    EXPECT_TRUE(platform.is64BitSystem());
    EXPECT_EQ(platform.isElevated(), ::geteuid() == 0);
    EXPECT_EQ(platform.ownExecutablePath(), fs::canonical("/proc/self/exe").string());
    EXPECT_TRUE(platform.vcRuntimeKeyExists(true));
}

} // namespace
