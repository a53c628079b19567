// The windowed run and the single-instance rule, with the built program as a child process on the offscreen
// platform.
#include "manager_run.h"
#include "platform/posix/posix_platform.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::test::Child;

namespace {

class WindowedRunTest : public testing::Test {
protected:
    std::unique_ptr<Child> startManager(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv = {K4M_MANAGER_EXE};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<Child>(argv, std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"});
    }

    // The windowed run holds the single-instance lock for as long as it runs.
    bool lockHeldElsewhere() { return platform.acquireInstanceLock("KANDORO_MAN_X4", "") == nullptr; }

    // Whether process `pid` holds a file lock, read from /proc/locks without taking any: a probe that took the
    // instance lock for a moment could make a manager starting just then believe another one runs.
    static bool holdsFileLock(long pid) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            std::istringstream fields(line);
            std::string number, kind, mode, access, owner;
            if (fields >> number >> kind >> mode >> access >> owner && kind == "FLOCK" && owner == std::to_string(pid))
                return true;
        }
        return false;
    }

    k4m::test::IsolatedHome home;
    k4m::posix::PosixPlatform platform;
};

TEST_F(WindowedRunTest, ArgumentsThatNameNoCommandModeOpenTheWindow) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
    };
    for (const Case& c : {Case{"NoArguments", {}}, Case{"CopyWithoutSecondWord", {"CPY"}},
                          Case{"EmbedAlone", {"EMBED"}}, Case{"ThreeArguments", {"DLT", "ALL", "extra"}}}) {
        SCOPED_TRACE(c.name);
        auto manager = startManager(c.arguments);
        ASSERT_TRUE(
            k4m::test::waitUntil([&] { return holdsFileLock(manager->pid()) || !manager->running(); }, 20s));
        EXPECT_TRUE(manager->running()) << "ended with " << manager->waitFor(0ms);
        EXPECT_TRUE(lockHeldElsewhere());
        manager->kill();
        EXPECT_FALSE(lockHeldElsewhere());
    }
}

TEST_F(WindowedRunTest, ASecondInstanceEndsAtOnceWithoutAWindow) {
    auto first = startManager({});
    ASSERT_TRUE(k4m::test::waitUntil([&] { return holdsFileLock(first->pid()); }, 20s));
    auto second = startManager({});
    EXPECT_EQ(second->waitFor(10s), 0);
    EXPECT_EQ(second->output(), "");
    EXPECT_TRUE(first->running());
}

TEST_F(WindowedRunTest, TwoArgumentsWithoutACommandEndAtOnce) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
    };
    for (const Case& c : {Case{"LowerCaseCopy", {"cpy", "ALL"}}, Case{"EmbedWithASecondWord", {"EMBED", "x"}}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(k4m::test::runManager(c.arguments, 10s), 0);
    }
    EXPECT_FALSE(fs::exists(home.runtimeDir() / "KANDORO_MAN_X4.lock"));
}

} // namespace
