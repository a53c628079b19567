#include "child_process.h"
#include "download/package_format.h"
#include "package_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace k4m {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::runChild;
using test::writeFile;

const std::string kK4pack = K4M_K4PACK;

std::string inflate(std::string_view stream) {
    std::string out(1 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(stream.data()),
                         static_cast<uLong>(stream.size())),
              Z_OK);
    out.resize(size);
    return out;
}

class K4packTest : public ::testing::Test {
protected:
    K4packTest() {
        writeFile(src / "data" / "styles" / "b.sty", "style");
        writeFile(src / "data" / "sounds" / "k.wav", std::string(70000, 'k'));
        writeFile(src / "a.txt", "first");
    }

    // The entry paths and their inflated bytes, read back from the package.
    std::vector<std::pair<std::string, std::string>> readBack(const fs::path& package) {
        const std::string bytes = readFile(package);
        const int fd = ::open(package.c_str(), O_RDONLY);
        const PackageHeader header = readPackageHeader(fd);
        ::close(fd);
        std::vector<std::pair<std::string, std::string>> entries;
        int64_t offset = header.payloadStart;
        for (const std::string& line : header.lines) {
            const int32_t size = *parseEntrySize(sizeTextOf(line));
            entries.emplace_back(std::string(entryPathOf(line)), inflate(bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(size))));
            offset += size;
        }
        EXPECT_EQ(offset, static_cast<int64_t>(bytes.size()));
        return entries;
    }

    test::TempDir dir{"k4m-k4pack"};
    fs::path src = dir / "src";
};

TEST_F(K4packTest, BuildsSortedEntriesWithBackslashesAndTheSameBytesEveryTime) {
    fs::create_symlink("/etc/passwd", src / "link.txt");
    const auto report = pack::buildPackage(src, dir / "p.cxp4", {6, false, 3});
    EXPECT_EQ(report.entries, 3);
    writeFile(src / "data" / ".DS_Store", "finder"); // a line without data: the installer reads none
    pack::buildPackage(src, dir / "finder.cxp4");
    EXPECT_EQ(runChild({kK4pack, "verify", (dir / "finder.cxp4").string()}), 0);
    ASSERT_EQ(runChild({kK4pack, "extract", (dir / "finder.cxp4").string(), (dir / "out").string()}), 0);
    EXPECT_EQ(readFile(dir / "out" / "data" / "styles" / "b.sty"), "style");
    EXPECT_FALSE(fs::exists(dir / "out" / "data" / ".DS_Store"));
    fs::remove(src / "data" / ".DS_Store");
    fs::remove(dir / "finder.cxp4");
    fs::remove_all(dir / "out");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a.txt", "first"}, {"data\\sounds\\k.wav", std::string(70000, 'k')}, {"data\\styles\\b.sty", "style"}};
    EXPECT_EQ(readBack(dir / "p.cxp4"), expected);
    pack::buildPackage(src, dir / "again.cxp4", {6, false, 1});
    EXPECT_EQ(readFile(dir / "p.cxp4"), readFile(dir / "again.cxp4"));
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path().extension() == ".cxp4" || e.path().filename() == "src") << e.path();
}

TEST_F(K4packTest, SoundsOnlyPackagesHoldOnlyTheSoundEntries) {
    pack::buildPackage(src, dir / "s.cxp3", {6, true, 0});
    const std::vector<std::pair<std::string, std::string>> expected = {{"data\\sounds\\k.wav", std::string(70000, 'k')}};
    EXPECT_EQ(readBack(dir / "s.cxp3"), expected);
}

// A package that cannot be put in place (a folder is in the way) leaves nothing behind beside it.
TEST_F(K4packTest, AFailedBuildLeavesNothingBehind) {
    writeFile(dir / "out" / "p.cxp4" / "in-the-way", "x");
    EXPECT_THROW(pack::buildPackage(src, dir / "out" / "p.cxp4"), std::runtime_error);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"p.cxp4"});
    EXPECT_TRUE(fs::is_directory(dir / "out" / "p.cxp4"));
}

TEST_F(K4packTest, TheToolBuildsListsVerifiesAndExtracts) {
    const std::string package = (dir / "p.cxp4").string();
    ASSERT_EQ(runChild({kK4pack, "build", src.string(), package, "--level", "9"}), 0);
    test::Child list({kK4pack, "list", package});
    ASSERT_EQ(list.waitFor(std::chrono::seconds(30)), 0);
    EXPECT_NE(list.output().find("data\\styles\\b.sty\t"), std::string::npos);
    EXPECT_EQ(runChild({kK4pack, "verify", package}), 0);
    ASSERT_EQ(runChild({kK4pack, "extract", package, (dir / "out").string()}), 0);
    EXPECT_EQ(readFile(dir / "out" / "data" / "sounds" / "k.wav"), std::string(70000, 'k'));
    EXPECT_EQ(readFile(dir / "out" / "a.txt"), "first");
}

TEST_F(K4packTest, VerifyFindsEveryKindOfDamage) {
    std::string noise(20000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 23);
    const pack::RawEntry a = pack::entry("data\\a.txt", "aaaa");
    pack::RawEntry b = pack::entry("data\\b.bin", noise);
    const pack::RawEntry c = pack::entry("data\\c.txt", "cccc");
    pack::RawEntry flipped = b;
    flipped.stream[flipped.stream.size() / 2] ^= 0x20;
    const std::string good = pack::rawPackage({a, b, c});
    const struct {
        const char* name;
        std::string bytes;
        int status;
    } cases[] = {
        {"good", good, 0},
        {"good with a finder store line", pack::rawPackage({a, pack::lineOnly("x\\.DS_Store~99"), b, c}), 0},
        {"flipped byte in the middle stream", pack::rawPackage({a, flipped, c}), 1},
        {"lying size", pack::rawPackage({a, {"data\\b.bin~" + std::to_string(b.stream.size() - 10), b.stream}, c}), 1},
        {"truncated payload", good.substr(0, good.size() - 3), 1},
        {"trailing bytes", good + "xyz", 1},
        {"negative manifest length", std::string("\xff\xff\xff\xff", 4), 1},
    };
    for (const auto& c : cases) {
        writeFile(dir / "t.cxp4", c.bytes);
        EXPECT_EQ(runChild({kK4pack, "verify", (dir / "t.cxp4").string()}), c.status) << c.name;
    }
}

TEST_F(K4packTest, APackageThatIsNoFileIsRefusedAtOnce) {
    // A pipe would block the open until a writer came; the other kinds open but are no package.
    ASSERT_EQ(::mkfifo((dir / "fifo.cxp4").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.cxp4");
    fs::create_symlink("/dev/zero", dir / "zero.cxp4");
    for (const char* name : {"fifo.cxp4", "folder.cxp4", "zero.cxp4"}) {
        for (const char* command : {"list", "verify", "extract"}) {
            std::vector<std::string> args{kK4pack, command, (dir / name).string()};
            if (std::string(command) == "extract") args.push_back((dir / "out").string());
            EXPECT_EQ(runChild(args, {}, std::chrono::seconds(5)), 1) << name << " " << command;
        }
    }
}

TEST_F(K4packTest, BadUsageEndsWithStatusTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {kK4pack}, {kK4pack, "pack"}, {kK4pack, "build", src.string()}, {kK4pack, "list"},
             {kK4pack, "build", src.string(), "p", "--level", "12"}, {kK4pack, "verify", "p", "--bogus"},
             {kK4pack, "extract", "p", "o", "--inflater", "fast"}})
        EXPECT_EQ(runChild(args), 2) << args.size();
}

} // namespace
} // namespace k4m
