// Copy and delete mode run by an ordinary user against a plug-in folder only an administrator may write: the
// program asks pkexec once to run it again with the same arguments, and the elevated run does not ask again.
// A stand-in pkexec early on the PATH records how it was called.
#include "manager_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::test::readFile;
using k4m::test::writeFile;

namespace {

class ElevationTest : public testing::Test {
protected:
    void SetUp() override {
        // Everything the unprivileged user must reach lies in one folder it may enter; the test's own temporary
        // folder may not be open to it.
        fs::permissions(root.path(), fs::perms(0777));
        home = root / "home";
        product = home / ".local/share/Kandoro4";
        pluginFolder = home / "vst-system";
        writeFile(product / "bin/64/kandoro4.dll", "k4 64");
        writeFile(product / "bin/64/soundK7.dll", "sk7 64");
        writeFile(product / "Installer/installer.ini",
                  "[General]\r\nInstallVST64=1\r\nVST64=" + (pluginFolder / "kandoro4.dll").string() +
                      "\r\nSK7_VST64=" + (pluginFolder / "soundK7.dll").string() + "\r\n");
        fs::create_directories(pluginFolder);
        writeFile(pluginFolder / "kandoro4.dll", "installed");
        writeFile(pluginFolder / "soundK7.dll", "installed");
        // A copy of the program where the other user can run it.
        fs::create_directories(root / "prog");
        manager = root / "prog/Kandoro4Manager.exe";
        fs::copy_file(K4M_MANAGER_EXE, manager);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "log");
        fs::permissions(root / "log", fs::perms(0777));
    }

    void installPkexec(const std::string& afterRecording) {
        // The program runs with a PATH that holds nothing but this stand-in, so the stand-in records with shell
        // builtins, then finds its tools in the system folders.
        writeFile(root / "bin/pkexec", "#!/bin/sh\n"
                                       "{ echo \"ARGS $*\"; export -p; } >> " +
                                           (root / "log/pkexec.txt").string() + "\n" +
                                           "PATH=/usr/bin:/bin; export PATH\n"
                                           "echo \"UID $(id -u)\" >> " +
                                           (root / "log/pkexec.txt").string() + "\n" + afterRecording);
        fs::permissions(root / "bin/pkexec", fs::perms(0755));
    }

    // Runs the program as an unprivileged user who cannot write the plug-in folder (unless the test opened it).
    int runUnprivileged(const std::vector<std::string>& arguments, bool folderClosed = true) {
        std::vector<std::string> argv;
        if (::geteuid() == 0) {
            // Owned by root and not writable for others: closed to "nobody".
            argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        } else if (folderClosed) {
            fs::permissions(pluginFolder, fs::perms(0555));
        }
        argv.insert(argv.end(),
                    {"env", "-u", "PKEXEC_UID", "HOME=" + home.string(),
                     "XDG_DATA_HOME=" + (home / ".local/share").string(), "XDG_RUNTIME_DIR=" + (root / "log").string(),
                     "PATH=" + (root / "bin").string(), manager.string()});
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return k4m::test::runChild(argv, {}, 60s);
    }

    std::string pkexecLog() const {
        return fs::exists(root / "log/pkexec.txt") ? readFile(root / "log/pkexec.txt") : std::string();
    }

    std::string expectedArgs(const std::string& modeArguments) const {
        return "ARGS env HOME=" + home.string() + " XDG_DATA_HOME=" + (home / ".local/share").string() + " " +
               manager.string() + " " + modeArguments + "\n";
    }

    k4m::test::TempDir root;
    fs::path home, product, pluginFolder, manager;
};

TEST_F(ElevationTest, CopyModeAsksPkexecOnceWithTheUsersFoldersAndTheSameArguments) {
    installPkexec("");
    ASSERT_EQ(runUnprivileged({"CPY", "ALL"}), 0);
    const std::string log = pkexecLog();
    EXPECT_EQ(log.find("ARGS"), 0u) << log;
    EXPECT_EQ(log.substr(0, log.find('\n') + 1), expectedArgs("CPY ALL"));
    EXPECT_NE(log.find("export HOME='" + home.string() + "'"), std::string::npos) << log;
    EXPECT_EQ(log.find("PKEXEC_UID"), std::string::npos) << log;
    if (::geteuid() == 0) {
        EXPECT_NE(log.find("\nUID 65534\n"), std::string::npos) << log;
    }
    EXPECT_EQ(readFile(pluginFolder / "kandoro4.dll"), "installed");
}

TEST_F(ElevationTest, TheElevatedRunDoesNotAskAgain) {
    // Like the real pkexec, the stand-in marks the run it starts with PKEXEC_UID, then starts it (here without
    // more rights, so the work fails once more).
    installPkexec("PKEXEC_UID=$(id -u) exec \"$@\"\n");
    ASSERT_EQ(runUnprivileged({"DLT", "[6]"}), 0);
    const std::string log = pkexecLog();
    EXPECT_EQ(log.substr(0, log.find('\n') + 1), expectedArgs("DLT [6]"));
    EXPECT_EQ(log.find("ARGS", 1), std::string::npos) << "asked twice:\n" << log;
    EXPECT_TRUE(fs::exists(pluginFolder / "kandoro4.dll"));
}

TEST_F(ElevationTest, NoPromptWhenTheUserMayWriteTheTarget) {
    installPkexec("");
    if (::geteuid() == 0) {
        fs::permissions(pluginFolder, fs::perms(0777));
    }
    fs::permissions(pluginFolder / "kandoro4.dll", fs::perms(0666));
    fs::permissions(pluginFolder / "soundK7.dll", fs::perms(0666));
    ASSERT_EQ(runUnprivileged({"CPY", "ALL"}, false), 0);
    EXPECT_EQ(pkexecLog(), "");
    EXPECT_EQ(readFile(pluginFolder / "kandoro4.dll"), "k4 64");
}

TEST_F(ElevationTest, WithoutPkexecTheWorkIsLeftUndoneSilently) {
    ASSERT_EQ(runUnprivileged({"DLT", "ALL"}), 0);
    EXPECT_TRUE(fs::exists(pluginFolder / "kandoro4.dll"));
}

} // namespace
