// The update copy's run, in-process with its message box answered by the test.
#include "app/ui/update_swap_mode.h"
#include "child_process.h"
#include "modal_answer.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::test::readFile;
using k4m::test::writeFile;

namespace {

class UpdateSwapTest : public testing::Test {
protected:
    // An update copy that, once started under its new name, notes how it was started.
    void writeUpdateCopy(const fs::path& path) {
        updateBody = "#!/bin/sh\necho \"$0 $#\" > \"" + (dir / "started.txt").string() + "\"\n";
        writeFile(path, updateBody);
        fs::permissions(path, fs::perms(0755));
    }

    k4m::test::IsolatedHome home;
    k4m::posix::PosixPlatform platform;
    k4m::test::TempDir dir;
    std::string updateBody;
};

struct SwapCase {
    const char* name;
    const char* updateCopy;
};

class UpdateSwapFrom : public UpdateSwapTest, public testing::WithParamInterface<SwapCase> {};

TEST_P(UpdateSwapFrom, ReplacesTheProgramAndStartsIt) {
    const fs::path copy = dir / GetParam().updateCopy;
    const fs::path target = dir / "Tools/Kandoro4Manager.exe";
    writeUpdateCopy(copy);
    writeFile(target, "old program");

    const auto box = k4m::test::clickOnNextModal("OK");
    EXPECT_EQ(k4m::runUpdateSwapMode(platform, copy.string()), 0);
    ASSERT_TRUE(box->seen);
    EXPECT_EQ(box->text, "The manager has been updated. Click OK to open the updated version.");

    EXPECT_EQ(readFile(target), updateBody);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0755));
    ASSERT_TRUE(k4m::test::waitUntil(
        [&] { return fs::exists(dir / "started.txt") && fs::file_size(dir / "started.txt") > 0; }));
    EXPECT_EQ(readFile(dir / "started.txt"), target.string() + " 0\n");
    // The update copy stays where it was; nothing else is left beside the program.
    EXPECT_TRUE(fs::exists(copy));
    // Beside the program only the update copy (or its Update folder) remains: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Tools"), {}), 2);
}

INSTANTIATE_TEST_SUITE_P(Places, UpdateSwapFrom,
                         testing::Values(SwapCase{"UpdateFolder", "Tools/Update/km4u_127.exe"},
                                         SwapCase{"ProgramFolder", "Tools/km4u_127.exe"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateSwapTest, AFailedWriteLeavesTheOldProgramReportsAndStartsNothing) {
    const fs::path copy = dir / "Tools/Update/km4u_127.exe";
    writeUpdateCopy(copy);
    // A folder where the program should be: the rename over it fails.
    writeFile(dir / "Tools/Kandoro4Manager.exe/keep.txt", "x");

    // The error box comes only after the first was answered: start watching for it then.
    std::shared_ptr<k4m::test::ModalSeen> error;
    const auto ok = k4m::test::answerNextModal([&](QWidget* box) {
        k4m::test::clickButton(box, "OK");
        error = k4m::test::clickOnNextModal("OK");
    });
    EXPECT_EQ(k4m::runUpdateSwapMode(platform, copy.string()), 1);
    ASSERT_TRUE(ok->seen);
    ASSERT_TRUE(error && error->seen);
    EXPECT_TRUE(error->text.startsWith("The update could not be installed")) << error->text.toStdString();
    EXPECT_EQ(readFile(dir / "Tools/Kandoro4Manager.exe/keep.txt"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Tools"), {}), 2); // Update and the folder, no temporary
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(dir / "started.txt"));
}

} // namespace
