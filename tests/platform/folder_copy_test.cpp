// The data folder's copy to a new place: what arrives, what is skipped, and that the old folder never changes.
#include "platform/folder_copy.h"
#include "platform/atomic_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using k4m::copyFolderContents;
using k4m::FolderCopyOutcome;
using k4m::FolderCopyProgress;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

// Every entry under `root` with its kind and, for files, its content; links by their target. A change anywhere
// in the tree changes the picture.
std::map<std::string, std::string> picture(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        const fs::file_status status = it->symlink_status();
        if (status.type() == fs::file_type::symlink)
            entries[name] = "link " + fs::read_symlink(it->path()).string();
        else if (status.type() == fs::file_type::directory)
            entries[name] = "folder";
        else if (status.type() == fs::file_type::regular)
            entries[name] = "file " + readFile(it->path());
        else
            entries[name] = "other";
    }
    return entries;
}

// A small library: sounds in nested folders, a style file and the manager's own copy.
void writeLibrary(const fs::path& root) {
    writeFile(root / "data/Kits/Rock/kick.wav", std::string(300000, 'k'));
    writeFile(root / "data/Kits/Rock/snare.wav", "snare");
    writeFile(root / "data/Styles/funk.sty", "funk");
    writeFile(root / "Kandoro4Manager.exe", "manager");
}

TEST(FolderCopy, CopiesTheTreeReplacesSameNamedFilesKeepsOthersAndCountsEveryFile) {
    TempDir dir;
    writeLibrary(dir / "old");
    writeFile(dir / "new/data/Styles/funk.sty", "stale");
    writeFile(dir / "new/notes.txt", "the user's own");
    const auto before = picture(dir / "old");

    FolderCopyProgress progress;
    const auto result = copyFolderContents(dir / "old", dir / "new", progress);

    EXPECT_EQ(result.outcome, FolderCopyOutcome::Copied);
    EXPECT_EQ(result.files, 4u);
    EXPECT_EQ(result.skipped, 0u);
    EXPECT_EQ(result.bytes, 300000u + 5 + 4 + 7);
    EXPECT_EQ(progress.filesTotal, 4u);
    EXPECT_EQ(progress.filesDone, 4u);
    EXPECT_EQ(progress.bytesTotal, result.bytes);
    EXPECT_EQ(progress.bytesDone, result.bytes);
    EXPECT_EQ(readFile(dir / "new/data/Kits/Rock/kick.wav"), std::string(300000, 'k'));
    EXPECT_EQ(readFile(dir / "new/data/Styles/funk.sty"), "funk");
    EXPECT_EQ(readFile(dir / "new/Kandoro4Manager.exe"), "manager");
    EXPECT_EQ(readFile(dir / "new/notes.txt"), "the user's own");
    EXPECT_EQ(picture(dir / "old"), before);
    // Nothing half-written is left behind.
    for (const auto& [name, kind] : picture(dir / "new"))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST(FolderCopy, KeepsTheProgramFilesModeAndTheFilesTimes) {
    TempDir dir;
    writeLibrary(dir / "old");
    fs::permissions(dir / "old/Kandoro4Manager.exe", fs::perms::owner_all);
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(dir / "old/data/Styles/funk.sty", stamp);
    FolderCopyProgress progress;
    copyFolderContents(dir / "old", dir / "new", progress);
    EXPECT_EQ(fs::status(dir / "new/Kandoro4Manager.exe").permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::last_write_time(dir / "new/data/Styles/funk.sty"), stamp);
}

// What cannot or must not be copied is skipped and the rest still arrives; nothing outside the two folders is
// read into the copy or written through.
TEST(FolderCopy, SkipsWhatCannotBeCopiedAndNeverFollowsALinkOutOrWritesThroughOne) {
    TempDir dir;
    writeLibrary(dir / "old");
    writeFile(dir / "secret/key.txt", "private");
    writeFile(dir / "victim/file.txt", "untouched");
    // Source side: a link out (file and folder), a dangling link, a pipe, a link to a file inside.
    fs::create_symlink(dir / "secret/key.txt", dir / "old/data/key-link.txt");
    fs::create_directory_symlink(dir / "secret", dir / "old/data/secret-folder");
    fs::create_symlink(dir / "gone.txt", dir / "old/data/dangling.txt");
    ASSERT_EQ(::mkfifo((dir / "old/data/pipe").c_str(), 0600), 0);
    fs::create_symlink("Styles/funk.sty", dir / "old/data/funk-again.sty");
    // Target side: a folder where the source has a file, a link where the source has a folder, a link where
    // the source has a file.
    fs::create_directories(dir / "new/data/Styles/funk.sty");
    fs::create_directories(dir / "new/data");
    fs::create_directory_symlink(dir / "victim", dir / "new/data/Kits");
    fs::create_symlink(dir / "victim/file.txt", dir / "new/Kandoro4Manager.exe");
    const auto before = picture(dir / "old");

    FolderCopyProgress progress;
    const auto result = copyFolderContents(dir / "old", dir / "new", progress);

    EXPECT_EQ(result.outcome, FolderCopyOutcome::Copied);
    // Copied: the manager (replacing the link, not writing through it) and the inside link's file.
    EXPECT_EQ(result.files, 2u);
    // Skipped: three links out or nowhere, the pipe, the folder in funk.sty's place, the Kits link.
    EXPECT_EQ(result.skipped, 6u);
    EXPECT_EQ(readFile(dir / "new/Kandoro4Manager.exe"), "manager");
    EXPECT_FALSE(fs::is_symlink(dir / "new/Kandoro4Manager.exe"));
    EXPECT_EQ(readFile(dir / "new/data/funk-again.sty"), "funk");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir / "new/data/Styles/funk.sty")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "new/data/key-link.txt")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "new/data/secret-folder")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "new/data/pipe")));
    EXPECT_EQ(picture(dir / "victim"), (std::map<std::string, std::string>{{"file.txt", "file untouched"}}));
    EXPECT_EQ(picture(dir / "old"), before);
    EXPECT_EQ(progress.filesDone, progress.filesTotal);
}

// The copier streams each file into "<name>.<pid>.<n>.tmp" beside it. Whatever already holds that name in the
// target, a link planted there or a file of the user's, is neither written through nor overwritten.
TEST(FolderCopy, WhatHoldsTheTemporaryFilesNameInTheTargetStaysAsItIs) {
    struct Case {
        const char* what;
        bool link;
    };
    for (const Case& c : {Case{"a link to a file outside", true}, Case{"the user's own file", false}}) {
        TempDir dir;
        writeFile(dir / "old/sound.wav", "sound");
        writeFile(dir / "victim/file.txt", "untouched");
        fs::create_directories(dir / "new");
        // The name the copier takes next is the one after the name handed out now.
        const std::string probe = k4m::temporarySibling(dir / "new/sound.wav").string();
        const std::string stem = probe.substr(0, probe.rfind('.', probe.size() - 5) + 1);
        const unsigned next = static_cast<unsigned>(std::stoul(probe.substr(stem.size()))) + 1;
        const fs::path planted = stem + std::to_string(next) + ".tmp";
        if (c.link)
            fs::create_symlink(dir / "victim/file.txt", planted);
        else
            writeFile(planted, "the user's own");

        FolderCopyProgress progress;
        const auto result = copyFolderContents(dir / "old", dir / "new", progress);

        EXPECT_EQ(result.files, 1u) << c.what;
        EXPECT_EQ(readFile(dir / "new/sound.wav"), "sound") << c.what;
        EXPECT_FALSE(fs::is_symlink(dir / "new/sound.wav")) << c.what;
        EXPECT_EQ(readFile(dir / "victim/file.txt"), "untouched") << c.what;
        if (c.link) {
            EXPECT_TRUE(fs::is_symlink(planted)) << c.what;
        } else {
            EXPECT_EQ(readFile(planted), "the user's own") << c.what;
        }
    }
}

// An unreadable file is skipped and the rest arrives. Needs an ordinary user: root reads every file.
TEST(FolderCopy, AnUnreadableFileIsSkipped) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    writeLibrary(dir / "old");
    fs::permissions(dir / "old/data/Kits/Rock/snare.wav", fs::perms::none);
    FolderCopyProgress progress;
    const auto result = copyFolderContents(dir / "old", dir / "new", progress);
    fs::permissions(dir / "old/data/Kits/Rock/snare.wav", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(result.files, 3u);
    EXPECT_EQ(result.skipped, 1u);
    EXPECT_FALSE(fs::exists(dir / "new/data/Kits/Rock/snare.wav"));
    EXPECT_EQ(readFile(dir / "new/data/Kits/Rock/kick.wav"), std::string(300000, 'k'));
    EXPECT_EQ(progress.filesDone, 4u);
    EXPECT_EQ(progress.bytesDone, progress.bytesTotal);
}

TEST(FolderCopy, ANewFolderInsideTheOldOneIsLeftOutOfTheCopy) {
    TempDir dir;
    writeLibrary(dir / "old");
    const fs::path inside = dir / "old/data/Moved";
    FolderCopyProgress progress;
    const auto result = copyFolderContents(dir / "old", inside, progress);
    EXPECT_EQ(result.outcome, FolderCopyOutcome::Copied);
    EXPECT_EQ(result.files, 4u);
    EXPECT_EQ(readFile(inside / "data/Kits/Rock/snare.wav"), "snare");
    EXPECT_FALSE(fs::exists(inside / "data/Moved"));
    // Copying once more copies the same four files again, never the copy itself.
    FolderCopyProgress again;
    EXPECT_EQ(copyFolderContents(dir / "old", inside, again).files, 4u);
    EXPECT_FALSE(fs::exists(inside / "data/Moved"));
}

TEST(FolderCopy, AnOldFolderInsideTheNewOneIsNeverWritten) {
    TempDir dir;
    // The old folder holds a sub-folder named like itself: copied up one level it would land on the old files.
    writeFile(dir / "lib/data/sound.wav", "old sound");
    writeFile(dir / "lib/data/data/sound.wav", "nested sound");
    const auto before = picture(dir / "lib/data");
    FolderCopyProgress progress;
    const auto result = copyFolderContents(dir / "lib/data", dir / "lib", progress);
    EXPECT_EQ(result.outcome, FolderCopyOutcome::Copied);
    EXPECT_EQ(picture(dir / "lib/data"), before);
    EXPECT_EQ(result.skipped, 1u); // the folder "data", whose place is the old folder itself
    EXPECT_EQ(readFile(dir / "lib/sound.wav"), "old sound");
}

TEST(FolderCopy, TwoNamesOfOneFolderAndAMissingSourceCopyNothing) {
    TempDir dir;
    writeLibrary(dir / "old");
    fs::create_directory_symlink(dir / "old", dir / "alias");
    const auto before = picture(dir / "old");
    struct Case {
        fs::path from, to;
        FolderCopyOutcome outcome;
    };
    for (const Case& c : {Case{dir / "old", dir.path() / "old/", FolderCopyOutcome::SameFolder},
                          Case{dir / "old", dir / "alias", FolderCopyOutcome::SameFolder},
                          Case{dir / "old", dir / "x/../old", FolderCopyOutcome::SameFolder},
                          Case{dir / "missing", dir / "new", FolderCopyOutcome::NoSource},
                          Case{dir / "old/Kandoro4Manager.exe", dir / "new", FolderCopyOutcome::NoSource}}) {
        FolderCopyProgress progress;
        const auto result = copyFolderContents(c.from, c.to, progress);
        EXPECT_EQ(result.outcome, c.outcome) << c.from << " -> " << c.to;
        EXPECT_EQ(result.files, 0u);
    }
    EXPECT_EQ(picture(dir / "old"), before);
}

// Copies in a child process of its own in which `alias` is a second name of the folder `real` (mounted there
// once more, as a case-blind disk or a bind mount gives one folder two names that no spelling rule finds).
// The child's exit status is the outcome; kNoMount when the system lets no process mount in its own namespace.
constexpr int kNoMount = 77;
int copyWithAlias(const fs::path& real, const fs::path& alias, const fs::path& from, const fs::path& to) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            // An ordinary user becomes the superuser of a namespace of its own.
            const std::string uid = "0 " + std::to_string(::getuid()) + " 1";
            const std::string gid = "0 " + std::to_string(::getgid()) + " 1";
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(kNoMount);
            std::ofstream("/proc/self/setgroups") << "deny";
            std::ofstream("/proc/self/uid_map") << uid;
            std::ofstream("/proc/self/gid_map") << gid;
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(real.c_str(), alias.c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(kNoMount);
        FolderCopyProgress progress;
        ::_exit(static_cast<int>(copyFolderContents(from, to, progress).outcome));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The inode of every entry: a file copied onto itself keeps its content but not its inode.
std::map<std::string, ino_t> inodes(const fs::path& root) {
    std::map<std::string, ino_t> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat info {};
        ::lstat(it->path().c_str(), &info);
        entries[fs::relative(it->path(), root).string()] = info.st_ino;
    }
    return entries;
}

// Two names of one folder that their spelling does not give away: the old folder is never written, the copy
// never copies itself, and a new folder that is the old one is no copy at all.
TEST(FolderCopy, AFolderUnderASecondNameIsKnownForWhatItIs) {
    enum Where { OldItself, InsideOld, OldInsideNew };
    struct Case {
        const char* what;
        Where where;
        int outcome;
    };
    for (const Case& c : {Case{"the old folder itself", OldItself, int(FolderCopyOutcome::SameFolder)},
                          Case{"a folder inside the old one", InsideOld, int(FolderCopyOutcome::Copied)},
                          Case{"a folder around the old one", OldInsideNew, int(FolderCopyOutcome::Copied)}}) {
        TempDir dir;
        // The old folder "lib/data" holds a sub-folder named like itself: copied one level up it would land on
        // the old files.
        writeFile(dir / "lib/data/sound.wav", "old sound");
        writeFile(dir / "lib/data/data/sound.wav", "nested sound");
        fs::create_directories(dir / "alias");
        const fs::path old = dir / "lib/data";
        const auto before = picture(old);
        const auto beforeInodes = inodes(old);

        int outcome = -1;
        switch (c.where) {
        case OldItself:
            outcome = copyWithAlias(old, dir / "alias", old, dir / "alias");
            break;
        case InsideOld:
            outcome = copyWithAlias(old, dir / "alias", old, dir / "alias/moved");
            break;
        case OldInsideNew:
            outcome = copyWithAlias(dir / "lib", dir / "alias", old, dir / "alias");
            break;
        }
        if (outcome == kNoMount) GTEST_SKIP() << "no process may mount in a namespace of its own here";

        EXPECT_EQ(outcome, c.outcome) << c.what;
        if (c.where == InsideOld) {
            EXPECT_EQ(readFile(old / "moved/data/sound.wav"), "nested sound") << c.what;
            EXPECT_FALSE(fs::exists(old / "moved/moved")) << c.what;
            fs::remove_all(old / "moved");
        }
        if (c.where == OldInsideNew) {
            EXPECT_EQ(readFile(dir / "lib/sound.wav"), "old sound") << c.what;
        }
        EXPECT_EQ(picture(old), before) << c.what;
        EXPECT_EQ(inodes(old), beforeInodes) << c.what;
    }
}

TEST(FolderCopy, ASourceThatIsALinkIsFollowed) {
    TempDir dir;
    writeLibrary(dir / "disk/library");
    fs::create_directory_symlink(dir / "disk/library", dir / "Kandoro");
    FolderCopyProgress progress;
    EXPECT_EQ(copyFolderContents(dir / "Kandoro", dir / "new", progress).files, 4u);
    EXPECT_EQ(readFile(dir / "new/data/Styles/funk.sty"), "funk");
}

TEST(ByteSizeText, UsesTheLargestFittingUnit) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0 bytes"}, Case{1023, "1023 bytes"}, Case{1024, "1 KB"}, Case{1024 * 1024 - 1, "1023 KB"},
          Case{1024 * 1024, "1.0 MB"}, Case{1536ull * 1024 * 1024, "1.5 GB"}, Case{40ull << 30, "40.0 GB"}})
        EXPECT_EQ(k4m::byteSizeText(c.bytes), c.text) << c.bytes;
}

} // namespace
