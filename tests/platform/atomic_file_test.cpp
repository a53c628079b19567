#include "platform/atomic_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(AtomicFile, ReplacesTheFileWithTheRequestedModeWhateverTheUmask) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "f", "old");
    const mode_t old = ::umask(077);
    k4m::writeFileAtomically(dir / "f", "new", fs::perms(0755));
    ::umask(old);
    EXPECT_EQ(k4m::test::readFile(dir / "f"), "new");
    EXPECT_EQ(fs::status(dir / "f").permissions(), fs::perms(0755));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

struct LinkCase {
    const char* name;
    const char* linkTarget; // relative to the test folder
};

void PrintTo(const LinkCase& c, std::ostream* out) {
    *out << c.name;
}

class AtomicFileLink : public testing::TestWithParam<LinkCase> {};

TEST_P(AtomicFileLink, ALinkAtTheTargetIsRefusedAndLeftAsItIs) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "victim", "untouched");
    fs::create_symlink(dir / GetParam().linkTarget, dir / "f");
    try {
        k4m::writeFileAtomically(dir / "f", "new");
        ADD_FAILURE() << "the write went ahead";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ELOOP) << e.what();
    }
    EXPECT_EQ(k4m::test::readFile(dir / "victim"), "untouched");
    ASSERT_TRUE(fs::is_symlink(dir / "f"));
    EXPECT_EQ(fs::read_symlink(dir / "f"), dir / GetParam().linkTarget);
    EXPECT_FALSE(fs::exists(dir / "nothing-here"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(Targets, AtomicFileLink,
                         testing::Values(LinkCase{"ToAFile", "victim"}, LinkCase{"Dangling", "nothing-here"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AtomicFile, ALinkPlantedAtTheTemporaryNameIsNotFollowed) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "victim", "untouched");
    // The temporary names count up; the next write takes the one after this.
    const std::string probe = k4m::temporarySibling(dir / "f").string();
    const std::string stem = probe.substr(0, probe.size() - std::string(".tmp").size());
    const size_t dot = stem.rfind('.');
    const fs::path next = stem.substr(0, dot + 1) + std::to_string(std::stoul(stem.substr(dot + 1)) + 1) + ".tmp";
    fs::create_symlink(dir / "victim", next);
    EXPECT_THROW(k4m::writeFileAtomically(dir / "f", "new"), std::system_error);
    EXPECT_EQ(k4m::test::readFile(dir / "victim"), "untouched");
    EXPECT_FALSE(fs::exists(dir / "f"));
}

TEST(AtomicFile, AnEmptyNameWritesNothingAnywhere) {
    k4m::test::TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_THROW(k4m::writeFileAtomically("", "new"), std::system_error);
    fs::current_path(before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 0);
}

struct ReadCase {
    const char* name;
    std::function<fs::path(const fs::path& dir)> prepare; // makes what is read and gives its name
    std::optional<std::string> bytes;                     // what a read gives; none: absent
    int error = 0;                                        // the error a read throws; 0: none
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadRegularFile : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadRegularFile, ReadsOnlyARegularFileNoLargerThanTheLimit) {
    const ReadCase& c = GetParam();
    k4m::test::TempDir dir;
    const fs::path path = c.prepare(dir.path());
    if (c.error == 0) {
        EXPECT_EQ(k4m::readRegularFile(path, 10), c.bytes);
        return;
    }
    try {
        k4m::readRegularFile(path, 10);
        ADD_FAILURE() << "read";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), c.error) << e.what();
        EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
    }
}

fs::path withContent(const fs::path& dir, const std::string& bytes) {
    k4m::test::writeFile(dir / "settings.ini", bytes);
    return dir / "settings.ini";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ReadRegularFile,
    testing::Values(ReadCase{"Missing", [](const fs::path& dir) { return dir / "settings.ini"; }, std::nullopt},
                    ReadCase{"BehindAFileInPlaceOfAFolder",
                             [](const fs::path& dir) { return withContent(dir, "x") / "settings.ini"; }, std::nullopt},
                    ReadCase{"Empty", [](const fs::path& dir) { return withContent(dir, ""); }, ""},
                    ReadCase{"AtTheLimit", [](const fs::path& dir) { return withContent(dir, "0123456789"); },
                             "0123456789"},
                    ReadCase{"OneByteOverTheLimit", [](const fs::path& dir) { return withContent(dir, "0123456789A"); },
                             std::nullopt, EFBIG},
                    ReadCase{"SymbolicLink",
                             [](const fs::path& dir) {
                                 k4m::test::writeFile(dir / "elsewhere", "secret");
                                 fs::create_symlink(dir / "elsewhere", dir / "settings.ini");
                                 return dir / "settings.ini";
                             },
                             std::nullopt, ELOOP},
                    ReadCase{"Folder",
                             [](const fs::path& dir) {
                                 fs::create_directory(dir / "settings.ini");
                                 return dir / "settings.ini";
                             },
                             std::nullopt, EISDIR},
                    // Opening it must not wait for a writer that never comes.
                    ReadCase{"Fifo",
                             [](const fs::path& dir) {
                                 EXPECT_EQ(::mkfifo((dir / "settings.ini").c_str(), 0644), 0);
                                 return dir / "settings.ini";
                             },
                             std::nullopt, EINVAL}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
