#include "child_process.h"
#include "download/package_format.h"
#include "package_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
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
const std::string kNoData = "(no data)";

std::string noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 23);
    return bytes;
}

std::string inflate(std::string_view stream) {
    std::string out(4 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(stream.data()),
                         static_cast<uLong>(stream.size())),
              Z_OK);
    out.resize(size);
    return out;
}

// The status and everything a child wrote to its standard output and error.
std::pair<int, std::string> runWithOutput(const std::vector<std::string>& argv) {
    std::vector<std::string> shell = {"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh"};
    shell.insert(shell.end(), argv.begin(), argv.end());
    test::Child child(shell);
    const int status = child.waitFor(std::chrono::seconds(30));
    return {status, child.output()};
}

struct ReadEntry {
    std::string path;
    std::string data; // kNoData for a line without payload bytes
    int64_t offset = -1;
    int64_t size = -1;
    bool operator==(const ReadEntry& o) const { return path == o.path && data == o.data; }
};

std::ostream& operator<<(std::ostream& out, const ReadEntry& e) {
    return out << e.path << " (" << e.data.size() << " bytes)";
}

class K4packTest : public ::testing::Test {
protected:
    K4packTest() {
        writeFile(src / "data" / "styles" / "b.sty", "style");
        writeFile(src / "data" / "sounds" / "k.wav", std::string(70000, 'k'));
        writeFile(src / "data" / "sounds" / "noise.wav", kNoise); // several pieces of every buffer
        writeFile(src / "a.txt", "first");
    }

    // The entries read back from a package with the format's own reader and zlib: the lines of a ".DS_Store"
    // and, when `soundsOnly`, of entries outside "data\sounds\" have no payload bytes. The payload must end
    // exactly with the last stream.
    std::vector<ReadEntry> readBack(const fs::path& package, bool soundsOnly = false) {
        const std::string bytes = readFile(package);
        NativeFile file = NativeFile::openForReading(package);
        const PackageHeader header = readPackageHeader(file);
        std::vector<ReadEntry> entries;
        int64_t offset = header.payloadStart;
        for (const std::string& line : header.lines) {
            const std::string path(entryPathOf(line));
            if (entryFileName(path) == kFinderStoreFile || (soundsOnly && path.rfind(kSoundsPrefix, 0) != 0)) {
                entries.push_back({path, kNoData});
                continue;
            }
            const int32_t size = *parseEntrySize(sizeTextOf(line));
            entries.push_back(
                {path, inflate(bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(size))), offset, size});
            offset += size;
        }
        EXPECT_EQ(offset, static_cast<int64_t>(bytes.size()));
        return entries;
    }

    // The names in the test's folder besides the source folder.
    std::set<std::string> namesBesideSource() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path() != src) names.insert(e.path().filename().string());
        return names;
    }

    const std::string kNoise = noise(600'000, 7);
    test::TempDir dir{"k4m-k4pack"};
    fs::path src = dir / "src";
    const std::vector<ReadEntry> kAll = {{"a.txt", "first"},
                                         {"data\\sounds\\k.wav", std::string(70000, 'k')},
                                         {"data\\sounds\\noise.wav", kNoise},
                                         {"data\\styles\\b.sty", "style"}};
};

TEST_F(K4packTest, PacksRegularFilesSortedWithBackslashesAndTheSameBytesWhateverTheThreads) {
    fs::create_symlink("/etc/passwd", src / "link.txt");
    fs::create_directory_symlink(src / "data", src / "linked-folder");
    ASSERT_EQ(::mkfifo((src / "fifo").c_str(), 0600), 0);
    const auto report = pack::buildPackage(src, dir / "p.cxp4", {6, false, 3});
    EXPECT_EQ(report.entries, 4);
    EXPECT_EQ(report.inputBytes, 5 + 70000 + 600'000 + 5);
    EXPECT_EQ(report.packageBytes, static_cast<int64_t>(fs::file_size(dir / "p.cxp4")));
    EXPECT_EQ(readBack(dir / "p.cxp4"), kAll);
    pack::buildPackage(src, dir / "again.cxp4", {6, false, 1});
    EXPECT_EQ(readFile(dir / "p.cxp4"), readFile(dir / "again.cxp4"));
    EXPECT_EQ(namesBesideSource(), (std::set<std::string>{"again.cxp4", "p.cxp4"}));

    for (const int level : {0, 1, 9}) {
        pack::buildPackage(src, dir / "level.cxp4", {level, false, 2});
        EXPECT_EQ(readBack(dir / "level.cxp4"), kAll) << level;
        // A stored stream is larger than its data; any real level shrinks the repeated bytes.
        EXPECT_EQ(fs::file_size(dir / "level.cxp4") > 670'000, level == 0) << level;
    }
}

TEST_F(K4packTest, FinderStoreFilesGetALineWithoutData) {
    writeFile(src / "data" / ".DS_Store", "finder");
    pack::buildPackage(src, dir / "finder.cxp4");
    std::vector<ReadEntry> expected = kAll;
    expected.insert(expected.begin() + 1, {"data\\.DS_Store", kNoData});
    EXPECT_EQ(readBack(dir / "finder.cxp4"), expected);
    EXPECT_EQ(runChild({kK4pack, "verify", (dir / "finder.cxp4").string()}), 0);
    ASSERT_EQ(runChild({kK4pack, "extract", (dir / "finder.cxp4").string(), (dir / "out").string()}), 0);
    EXPECT_EQ(readFile(dir / "out" / "data" / "styles" / "b.sty"), "style");
    EXPECT_FALSE(fs::exists(dir / "out" / "data" / ".DS_Store"));
}

TEST_F(K4packTest, SoundsOnlyPackagesHoldOnlyTheSoundEntries) {
    writeFile(src / "data" / "soundsextra" / "x.wav", "not under the sounds folder");
    pack::buildPackage(src, dir / "s.cxp3", {6, true, 0});
    EXPECT_EQ(readBack(dir / "s.cxp3", true), (std::vector<ReadEntry>{kAll[1], kAll[2]}));
}

TEST_F(K4packTest, ExplicitEntriesKeepTheirOrderAndBadPathsAreRefused) {
    const std::vector<pack::SourceFile> entries = {{"z\\last.sty", src / "data" / "styles" / "b.sty"},
                                                   {"A.TXT", src / "a.txt"}};
    pack::buildPackage(entries, dir / "e.cxp4");
    EXPECT_EQ(readBack(dir / "e.cxp4"), (std::vector<ReadEntry>{{"z\\last.sty", "style"}, {"A.TXT", "first"}}));

    // What the manager would misread or refuse, and a path given twice.
    const std::vector<std::vector<pack::SourceFile>> refused = {
        {{"a~b.txt", src / "a.txt"}},    {{"a\r\nb.txt", src / "a.txt"}},
        {{"..\\a.txt", src / "a.txt"}},  {{"\\a.txt", src / "a.txt"}},
        {{"x\\\\a.txt", src / "a.txt"}}, {{"c:a.txt", src / "a.txt"}},
        {{"x/a.txt", src / "a.txt"}},    {{"", src / "a.txt"}},
        {{"x\\", src / "a.txt"}},        {{"a.txt", src / "a.txt"}, {"a.txt", src / "a.txt"}},
    };
    for (const auto& bad : refused) {
        EXPECT_THROW(pack::buildPackage(bad, dir / "bad.cxp4"), std::runtime_error) << bad.front().entryPath;
        EXPECT_EQ(namesBesideSource(), std::set<std::string>{"e.cxp4"});
    }
}

// After a failure nothing is under the package's name and nothing is left beside it.
TEST_F(K4packTest, AFailedBuildLeavesNothing) {
    fs::create_directories(dir / "taken.cxp4" / "inside");
    EXPECT_THROW(pack::buildPackage(src, dir / "taken.cxp4"), std::runtime_error);
    EXPECT_TRUE(fs::is_directory(dir / "taken.cxp4" / "inside"));
    EXPECT_THROW(pack::buildPackage(src, dir / "missing" / "p.cxp4"), std::runtime_error);

    for (const char* name : {"tilde~1.txt", "back\\slash.txt", "line\nbreak.txt"}) {
        writeFile(src / "data" / name, "x");
        EXPECT_THROW(pack::buildPackage(src, dir / "p.cxp4"), std::runtime_error) << name;
        fs::remove(src / "data" / name);
    }
    EXPECT_EQ(namesBesideSource(), std::set<std::string>{"taken.cxp4"});
}

// Run as an ordinary user too (k4pack_unreadable_source_as_user), where a mode-000 file cannot be read.
TEST_F(K4packTest, AnUnreadableSourceLeavesNoPackage) {
    writeFile(src / "unreadable.txt", "x");
    fs::permissions(src / "unreadable.txt", fs::perms::none);
    if (::access((src / "unreadable.txt").c_str(), R_OK) == 0) GTEST_SKIP() << "root reads every file";
    for (const int threads : {1, 2}) {
        EXPECT_THROW(pack::buildPackage(src, dir / "p.cxp4", {6, false, threads}), std::runtime_error);
        EXPECT_TRUE(namesBesideSource().empty());
    }
}

TEST_F(K4packTest, APackageInsideItsFolderIsNotPackedAgain) {
    pack::buildPackage(src, src / "p.cxp4");
    pack::buildPackage(src, src / "p.cxp4");
    EXPECT_EQ(readBack(src / "p.cxp4"), kAll);
}

TEST_F(K4packTest, TheToolBuildsListsVerifiesAndExtracts) {
    writeFile(src / "data" / ".DS_Store", "finder");
    const std::string package = (dir / "p.cxp4").string();
    ASSERT_EQ(runChild({kK4pack, "build", src.string(), package, "--level", "9", "--threads", "2"}), 0);

    // Each entry with its stream's size and place; the finder store file without data.
    std::string expected;
    for (const ReadEntry& e : readBack(package)) {
        expected += e.path + "\t";
        expected +=
            e.data == kNoData ? "0\tno data\n" : std::to_string(e.size) + "\tat " + std::to_string(e.offset) + "\n";
    }
    test::Child list({kK4pack, "list", package});
    ASSERT_EQ(list.waitFor(std::chrono::seconds(30)), 0);
    EXPECT_EQ(list.output(), expected);

    EXPECT_EQ(runChild({kK4pack, "verify", package}), 0);
    ASSERT_EQ(runChild({kK4pack, "extract", package, (dir / "out").string()}), 0);
    EXPECT_EQ(readFile(dir / "out" / "data" / "sounds" / "noise.wav"), kNoise);
    EXPECT_EQ(readFile(dir / "out" / "a.txt"), "first");

    const std::string sounds = (dir / "s.cxp3").string();
    ASSERT_EQ(runChild({kK4pack, "build", src.string(), sounds, "--sounds-only"}), 0);
    EXPECT_EQ(runChild({kK4pack, "verify", sounds}), 0);
    ASSERT_EQ(runChild({kK4pack, "extract", sounds, (dir / "sounds").string()}), 0);
    EXPECT_EQ(readFile(dir / "sounds" / "data" / "sounds" / "k.wav"), std::string(70000, 'k'));
    EXPECT_FALSE(fs::exists(dir / "sounds" / "a.txt"));
}

TEST_F(K4packTest, VerifyNamesTheFirstBadEntry) {
    const pack::RawEntry a = pack::entry("data\\a.txt", "aaaa");
    pack::RawEntry b = pack::entry("data\\b.bin", noise(20000, 12345));
    const pack::RawEntry c = pack::entry("data\\c.txt", "cccc");
    const pack::RawEntry style = pack::entry("data\\styles\\s.sty", "style");
    pack::RawEntry flipped = b;
    flipped.stream[flipped.stream.size() / 2] ^= 0x20;
    pack::RawEntry badCheck = c;
    badCheck.stream.back() ^= 0x01; // the last byte of the Adler-32
    const std::string good = pack::rawPackage({a, b, c});
    const std::string soundsOnly =
        pack::rawPackage({pack::entry("data\\sounds\\k.wav", "kick"), pack::lineOnly("data\\styles\\s.sty~99"),
                          pack::entry("data\\sounds\\s.wav", "snare")});
    const struct {
        const char* name;
        std::string bytes;
        const char* file;
        int status;
        const char* named; // in the message of a bad package
    } cases[] = {
        {"good", good, "t.cxp4", 0, ""},
        {"finder store line", pack::rawPackage({a, pack::lineOnly("x\\.DS_Store~99"), b, c}), "t.cxp4", 0, ""},
        {"flipped byte in the middle stream", pack::rawPackage({a, flipped, c}), "t.cxp4", 1, "data\\b.bin"},
        {"wrong check value", pack::rawPackage({a, b, badCheck}), "t.cxp4", 1, "data\\c.txt"},
        {"size too small", pack::rawPackage({a, {"data\\b.bin~" + std::to_string(b.stream.size() - 10), b.stream}, c}),
         "t.cxp4", 1, "data\\b.bin"},
        {"size too large",
         pack::rawPackage({a, {"data\\b.bin~" + std::to_string(b.stream.size() + 4), b.stream}, c, c}), "t.cxp4", 1,
         "data\\b.bin"},
        {"size not a number", pack::rawPackage({a, {"data\\b.bin~many", b.stream}, c}), "t.cxp4", 1, "data\\b.bin"},
        {"truncated payload", good.substr(0, good.size() - 3), "t.cxp4", 1, "data\\c.txt"},
        {"trailing bytes", good + "xyz", "t.cxp4", 1, "3 bytes after the last stream"},
        {"path leaving its folder", pack::rawPackage({a, pack::entry("..\\b.bin", "b")}), "t.cxp4", 1, "..\\b.bin"},
        {"negative manifest length", std::string("\xff\xff\xff\xff", 4), "t.cxp4", 1, ""},
        {"sounds-only by its name", soundsOnly, "s.cxp3", 0, ""},
        {"the same as a whole package", soundsOnly, "s.cxp4", 1, "data\\styles\\s.sty"},
        {"a whole package as sounds-only", pack::rawPackage({style, a}), "w.cxp3", 1, ""},
    };
    for (const auto& c : cases) {
        const fs::path file = dir / c.file;
        writeFile(file, c.bytes);
        const auto [status, output] = runWithOutput({kK4pack, "verify", file.string()});
        EXPECT_EQ(status, c.status) << c.name << ": " << output;
        EXPECT_NE(output.find(c.named), std::string::npos) << c.name << ": " << output;
        fs::remove(file);
    }
    writeFile(dir / "s.cxp4", soundsOnly);
    EXPECT_EQ(runChild({kK4pack, "verify", (dir / "s.cxp4").string(), "--sounds-only"}), 0);
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
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{kK4pack},
                                               {kK4pack, "pack"},
                                               {kK4pack, "build", src.string()},
                                               {kK4pack, "list"},
                                               {kK4pack, "build", src.string(), "p", "--level", "12"},
                                               {kK4pack, "build", src.string(), "p", "--threads", "0"},
                                               {kK4pack, "build", src.string(), "p", "--level"},
                                               {kK4pack, "verify", "p", "--bogus"},
                                               {kK4pack, "list", "p", "q"},
                                               {kK4pack, "extract", "p", "o", "--inflater", "fast"}}) {
        const auto [status, output] = runWithOutput(args);
        EXPECT_EQ(status, 2) << args.size();
        EXPECT_NE(output.find("usage: k4pack build FOLDER PACKAGE"), std::string::npos);
    }
}

} // namespace
} // namespace k4m
