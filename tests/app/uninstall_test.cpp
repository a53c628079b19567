// What the uninstall removes of the data folder with the user's own rights, and what it never touches.
#include "app/uninstall.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::test::writeFile;

namespace {

TEST(RemoveUserData, LinksAreRemovedNeverFollowed) {
    k4m::test::TempDir dir;
    const fs::path data = dir / "data";
    writeFile(dir / "outside/keep.wav", "x");
    writeFile(dir / "outside2/keep.txt", "x");
    fs::create_directories(data / "data");
    fs::create_directory_symlink(dir / "outside", data / "cache");        // the cache is a link elsewhere
    fs::create_directory_symlink(dir / "outside2", data / "data/linked"); // a link inside the sound data
    writeFile(data / "Offline/key.dat", "key");
    k4m::removeUserData(data.string(), false);
    EXPECT_FALSE(fs::exists(fs::symlink_status(data / "cache")));
    EXPECT_FALSE(fs::exists(data / "data"));
    EXPECT_FALSE(fs::exists(data / "Offline"));
    EXPECT_TRUE(fs::exists(dir / "outside/keep.wav"));
    EXPECT_TRUE(fs::exists(dir / "outside2/keep.txt"));
}

TEST(RemoveUserData, ADataFolderThatIsALinkOrNotAbsoluteIsLeftAlone) {
    k4m::test::TempDir dir;
    writeFile(dir / "real/data/kick.wav", "x");
    fs::create_directory_symlink(dir / "real", dir / "link");
    // However its name ends: a separator after a link's name makes the system look through the link.
    for (const std::string& name : {(dir / "link").string(), (dir / "link").string() + "/",
                                    (dir / "link").string() + "//", (dir / "link").string() + "/./"}) {
        k4m::removeUserData(name, false);
        EXPECT_TRUE(fs::exists(dir / "real/data/kick.wav")) << name;
    }

    const fs::path before = fs::current_path();
    fs::current_path(dir / "real");
    k4m::removeUserData("", false);
    k4m::removeUserData(".", false);
    fs::current_path(before);
    EXPECT_TRUE(fs::exists(dir / "real/data/kick.wav"));
}

} // namespace
