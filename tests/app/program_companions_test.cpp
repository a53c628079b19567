#include "app/program_companions.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::copyProgramCompanions;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

// A program folder as the Windows build leaves it, with things beside it that are no part of it.
struct ProgramFolder {
    ProgramFolder() {
        writeFile(dir / "app/Kandoro4Manager.exe", "program");
        writeFile(dir / "app/Qt6Core.dll", "core");
        writeFile(dir / "app/LIBSTDC++-6.DLL", "runtime");
        writeFile(dir / "app/platforms/qwindows.dll", "platform");
        writeFile(dir / "app/styles/qwindowsvistastyle.dll", "style");
        writeFile(dir / "app/server.ini", "[Server]");
        writeFile(dir / "app/imageformats/qico.dll", "not loaded");
        writeFile(dir / "elsewhere/secret.dll", "secret");
        fs::create_symlink(dir / "elsewhere/secret.dll", dir / "app/linked.dll");
    }
    fs::path program() const { return dir / "app/Kandoro4Manager.exe"; }
    TempDir dir;
};

TEST(ProgramCompanions, TheLibrariesAndPlugInFoldersGoAlongAndNothingElse) {
    ProgramFolder p;
    const fs::path target = p.dir / "Kandoro 4 Data";
    fs::create_directories(target);
    writeFile(target / "Qt6Core.dll", "older core");
    EXPECT_EQ(copyProgramCompanions(p.program(), target), 4);
    EXPECT_EQ(readFile(target / "Qt6Core.dll"), "core");
    EXPECT_EQ(readFile(target / "LIBSTDC++-6.DLL"), "runtime");
    EXPECT_EQ(readFile(target / "platforms/qwindows.dll"), "platform");
    EXPECT_EQ(readFile(target / "styles/qwindowsvistastyle.dll"), "style");
    // Not the program's own: settings, plug-ins it never loads, a link leading out of its folder.
    EXPECT_FALSE(fs::exists(target / "server.ini"));
    EXPECT_FALSE(fs::exists(target / "imageformats"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(target / "linked.dll")));
}

TEST(ProgramCompanions, NothingIsCopiedIntoTheProgramsOwnFolderOrFromAFolderWithoutThem) {
    ProgramFolder p;
    EXPECT_EQ(copyProgramCompanions(p.program(), p.dir / "app/./"), 0);
    TempDir bare;
    writeFile(bare / "Kandoro4Manager.exe", "program");
    EXPECT_EQ(copyProgramCompanions(bare / "Kandoro4Manager.exe", p.dir / "target"), 0);
    EXPECT_FALSE(fs::exists(p.dir / "target"));
}

} // namespace
