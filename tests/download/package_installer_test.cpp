#include "core/ini_file.h"
#include "download/entry_inflater.h"
#include "download/package_installer.h"
#include "download/worker_shared.h"
#include "package_writer.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <zlib.h>

namespace k4m {
namespace {

namespace fs = std::filesystem;
using pack::entry;
using pack::lineOnly;
using pack::rawPackage;
using pack::RawEntry;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

class RecordingHost : public InstallerHost {
public:
    void log(const std::string& line) override { lines.push_back(line); }
    void setLastAction(const std::string& text) override { actions.push_back(text); }
    void addError(const std::string& line) override { errors.push_back(line); }
    bool logged(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

    std::vector<std::string> lines;
    std::vector<std::string> actions;
    std::vector<std::string> errors;
};

// Every regular file and link under `root` with its bytes (a link with its target), by path relative to root.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            files[rel] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file())
            files[rel] = test::readFile(it->path());
        else if (it->is_directory())
            files[rel + "/"] = "";
    }
    return files;
}

// Files of the manager's own making that must never be left behind.
std::vector<std::string> leftovers(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        if (name.ends_with(".tmp")) found.push_back(e.path().string());
    }
    return found;
}

class PackageInstallerTest : public ::testing::Test {
protected:
    PackageInstallerTest() {
        InstallTargets& t = shared.installTargets;
        t.commonAppDataFolder = (dir / "common").string();
        t.productFolder = (dir / "common" / "Kandoro4").string();
        t.installerFolder = t.productFolder + "/Installer";
        t.soundDataFolder = (dir / "data").string();
        t.cacheFolder = (dir / "data" / "cache").string();
        t.proToolsFolder = (dir / "aax").string();
        t.vst64Folder = (dir / "vst64").string();
        t.vst32Folder = (dir / "vst32").string();
        t.installAAX = t.installVST64 = t.installVST32 = true;
        shared.profile = &profile;
        fs::create_directories(dir / "packages");
    }

    // Writes the package and installs it.
    bool install(const std::string& bytes, PackageSlot slot = {"MAIN", "pkg", false},
                 const std::string& name = "pkg.cxp4", InstallerTuning tuning = {}) {
        packagePath = (dir / "packages" / name).string();
        test::writeFile(packagePath, bytes);
        return installPackage(packagePath, slot, shared, host, tuning);
    }

    fs::path product(const std::string& rel) const { return fs::path(shared.installTargets.productFolder) / rel; }
    fs::path sounds(const std::string& rel) const { return fs::path(shared.installTargets.soundDataFolder) / rel; }

    test::TempDir dir{"k4m-installer"};
    WorkerShared shared;
    IniFile profile;
    RecordingHost host;
    std::string packagePath;
};

TEST_F(PackageInstallerTest, InstallsEntriesInManifestOrderWithEveryLogLineAndAction) {
    const RawEntry style = entry("data\\styles\\Rock.sty", "style bytes");
    const RawEntry sample = entry("data\\sounds\\kit\\snare.wav", std::string(5000, 's'));
    ASSERT_TRUE(install(rawPackage({style, sample})));

    EXPECT_EQ(test::readFile(product("data/styles/Rock.sty")), "style bytes");
    EXPECT_EQ(test::readFile(sounds("data/sounds/kit/snare.wav")), std::string(5000, 's'));
    const std::string stylePath = product("data/styles/Rock.sty").string();
    const std::string samplePath = sounds("data/sounds/kit/snare.wav").string();
    EXPECT_THAT(host.lines, ElementsAreArray({std::string(), "Installing package [" + packagePath + "]",
                                              "Decompress " + style.line, "Installing [" + stylePath + "]",
                                              "Decompress " + sample.line, "Installing [" + samplePath + "]",
                                              std::string("Installation Completed"), std::string()}));
    EXPECT_THAT(host.actions,
                ElementsAreArray({std::string("Initialize"), std::string("Check manifest"), "Decompress " + style.line,
                                  "Saving " + stylePath, "Decompress " + sample.line, "Saving " + samplePath}));
    EXPECT_TRUE(host.errors.empty());
    EXPECT_THAT(leftovers(dir.path()), ::testing::IsEmpty());
}

// The same package gives the same files and the same lines whichever inflater runs and however many threads
// inflate ahead, including a broken stream among them.
TEST_F(PackageInstallerTest, ParallelInflationKeepsTheSequentialOutcome) {
    std::vector<RawEntry> entries;
    for (int i = 0; i < 40; ++i) {
        std::string data(1000 + i * 3000, static_cast<char>('a' + i % 26));
        for (size_t j = 0; j < data.size(); j += 7) data[j] = static_cast<char>(j * 31 + i);
        entries.push_back(entry("data\\sounds\\s" + std::to_string(i) + ".wav", data));
    }
    entries[17].stream[entries[17].stream.size() / 2] ^= 0x55;
    const std::string package = rawPackage(entries);

    std::vector<std::string> firstLines;
    std::map<std::string, std::string> firstFiles;
    const InstallerTuning tunings[] = {{1, 1, Inflater::Zlib}, {1, 8, Inflater::Fastest}, {4, 3, Inflater::Fastest},
                                       {2, 16, Inflater::Zlib}};
    for (const InstallerTuning& tuning : tunings) {
        fs::remove_all(shared.installTargets.soundDataFolder);
        host = {};
        EXPECT_FALSE(install(package, {"MAIN", "pkg", false}, "pkg.cxp4", tuning));
        const auto files = snapshot(shared.installTargets.soundDataFolder);
        if (firstLines.empty()) {
            firstLines = host.lines;
            firstFiles = files;
            EXPECT_EQ(files.size(), 39u + 2u); // 39 samples and the folders data/ and data/sounds/
            continue;
        }
        EXPECT_EQ(host.lines, firstLines) << "threads " << tuning.threads;
        EXPECT_EQ(files, firstFiles) << "threads " << tuning.threads;
    }
}

TEST_F(PackageInstallerTest, ACorruptMiddleStreamFailsOnlyItsEntry) {
    RawEntry bad = entry("data\\b.txt", std::string(20000, 'b'));
    bad.stream[bad.stream.size() / 2] ^= 0xff;
    EXPECT_FALSE(install(rawPackage({entry("data\\a.txt", "aaa"), bad, entry("data\\c.txt", "ccc")})));

    EXPECT_EQ(test::readFile(product("data/a.txt")), "aaa");
    EXPECT_EQ(test::readFile(product("data/c.txt")), "ccc");
    EXPECT_FALSE(fs::exists(product("data/b.txt")));
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_THAT(host.errors[0], ::testing::StartsWith("[pkg.cxp4] Decompression error! "));
    EXPECT_TRUE(host.logged(host.errors[0].substr(std::string("[pkg.cxp4] ").size())));
    EXPECT_TRUE(host.logged("Installation Completed"));
    EXPECT_THAT(leftovers(dir.path()), ::testing::IsEmpty());
}

// Streams that do not end exactly at their declared size are decompression errors, whatever the inflater: a
// small entry is inflated whole, a large one (over a mebibyte of stream) in pieces.
TEST_F(PackageInstallerTest, AStreamMustEndExactlyAtItsSize) {
    std::string noise(1536 * 1024, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 23);
    for (const std::string& data : {std::string(3000, 'x'), noise}) {
        const std::string stream = pack::zlibStream(data);
        struct Case {
            const char* name;
            std::string bytes; // the entry's declared bytes
        };
        const Case cases[] = {
            {"whole", stream},
            {"trailing bytes", stream + "junk"},
            {"cut short", stream.substr(0, stream.size() - 3)},
            {"wrong check value", stream.substr(0, stream.size() - 1) + static_cast<char>(stream.back() ^ 1)},
            {"broken in the middle", stream.substr(0, stream.size() / 2) + static_cast<char>(~stream[stream.size() / 2]) +
                                         stream.substr(stream.size() / 2 + 1)},
            {"not zlib at all", std::string(64, 'z')},
            {"empty", std::string()},
        };
        for (const Inflater inflater : {Inflater::Zlib, Inflater::Fastest}) {
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(c.name) + (inflater == Inflater::Zlib ? ", zlib" : ", fastest") + ", " +
                             std::to_string(data.size()) + " bytes");
                host = {};
                fs::remove_all(dir / "common");
                const bool whole = std::string(c.name) == "whole";
                const std::string package = rawPackage(
                    {{"data\\x.txt~" + std::to_string(c.bytes.size()), c.bytes}, entry("data\\y.txt", "y")});
                EXPECT_EQ(install(package, {"MAIN", "pkg", false}, "pkg.cxp4", {0, 8, inflater}), whole);
                EXPECT_EQ(fs::exists(product("data/x.txt")), whole);
                if (whole) {
                    EXPECT_TRUE(test::readFile(product("data/x.txt")) == data);
                }
                EXPECT_EQ(test::readFile(product("data/y.txt")), "y");
                ASSERT_EQ(host.errors.size(), whole ? 0u : 1u);
                if (!whole) {
                    EXPECT_THAT(host.errors[0], HasSubstr("Decompression error! "));
                }
            }
        }
    }
}

struct EdgeCase {
    const char* name;
    PackageSlot slot;
    std::string packageName;
    std::vector<RawEntry> entries;
    std::vector<std::string> written;    // under the test folder
    std::vector<std::string> notWritten; // under the test folder
    std::vector<std::string> logLines;   // among the log lines
    bool aax = true;
    bool vst32 = true;
    bool createOffline = false;
};

TEST_F(PackageInstallerTest, EdgeCasesOfTargetsOverridesAndSkippedEntries) {
    const std::string p = "common/Kandoro4/";
    const std::vector<EdgeCase> cases = {
        {"sounds-only: other entries skipped, no payload read",
         {"MAIN", "snd", true},
         "snd.cxp3",
         {lineOnly("data\\styles\\x.sty~999"), entry("data\\sounds\\k.wav", "kick")},
         {"data/data/sounds/k.wav"},
         {p + "data/styles/x.sty"},
         {"Skipping data\\styles\\x.sty~999"}},
        {"finder store file: no payload read",
         {"MAIN", "p", false},
         "p.cxp4",
         {lineOnly("data\\.DS_Store~12345"), entry("data\\a.txt", "a")},
         {p + "data/a.txt"},
         {p + "data/.DS_Store"},
         {"Skipped finder store file"}},
        {"zip entries in any letter case are not written",
         {"MAIN", "p", false},
         "p.cxp4",
         {entry("extra\\a.ZiP", "zip"), entry("extra\\b.zip", "zip"), entry("extra\\c.txt", "c")},
         {p + "extra/c.txt"},
         {p + "extra/a.ZiP", p + "extra/a.zip", p + "extra/b.zip"},
         {"Ignoring ZIP file"}},
        {"upper-case extension written in lower case, the name keeps its case",
         {"MAIN", "p", false},
         "p.cxp4",
         {entry("Data\\Kick.WAV", "k")},
         {p + "Data/Kick.wav"},
         {p + "Data/Kick.WAV"},
         {}},
        {"AAX package with the AAX format on unpacks into the cache",
         {"AAX", "kd4_AAX", false},
         "kd4_AAX.cxp4",
         {entry("Kandoro4.aaxplugin\\Contents\\x64\\Kandoro4.aaxplugin", "aax")},
         {"data/cache/Kandoro4.aaxplugin/Contents/x64/Kandoro4.aaxplugin"},
         {"aax/Kandoro4.aaxplugin"},
         {}},
        {"AAX package with the AAX format off writes nothing",
         {"AAX", "kd4_AAX", false},
         "kd4_AAX.cxp4",
         {entry("Kandoro4.aaxplugin\\x.bin", "aax"), entry("data\\sounds\\s.wav", "s")},
         {},
         {"data/cache/Kandoro4.aaxplugin", "aax/Kandoro4.aaxplugin", "data/data/sounds/s.wav"},
         {},
         false},
        {"AAX target without AAX in the name goes to the Pro Tools folder",
         {"AAX", "kd4_pt", false},
         "kd4_pt.cxp4",
         {entry("K.aaxplugin\\x.bin", "aax")},
         {"aax/K.aaxplugin/x.bin"},
         {},
         {}},
        {"MACVST writes only its sound entries",
         {"MACVST", "mac", false},
         "mac.cxp4",
         {entry("Kandoro4.vst\\bin", "mac"), entry("data\\sounds\\m.wav", "m")},
         {"data/data/sounds/m.wav"},
         {p + "Kandoro4.vst/bin", "Kandoro4.vst/bin"},
         {}},
        {"TOP goes to the common application data folder",
         {"TOP", "top", false},
         "top.cxp4",
         {entry("Shared\\t.txt", "t")},
         {"common/Shared/t.txt"},
         {},
         {}},
        {"kandoro4.dll of a 32-bit package with the 32-bit format off stays in the product folder",
         {"WINVST32", "vst32", false},
         "vst32.cxp4",
         {entry("bin\\32\\kandoro4.dll", "dll32")},
         {p + "bin/32/kandoro4.dll"},
         {"vst32/kandoro4.dll"},
         {},
         true,
         false},
        {"kandoro4.dll and soundK7.dll of a 64-bit package are copied to the 64-bit folder",
         {"WINVST64", "vst64", false},
         "vst64.cxp4",
         {entry("bin\\64\\kandoro4.dll", "dll64"), entry("bin\\64\\soundK7.dll", "sk7")},
         {p + "bin/64/kandoro4.dll", "vst64/kandoro4.dll", "vst64/soundK7.dll"},
         {"vst32/kandoro4.dll"},
         {"64-bit VST plugin copied to: " + (dir / "vst64").string()}},
        {"offline package creation writes nothing but the archives",
         {"MAIN", "p", false},
         "p.cxp4",
         {entry("data\\a.txt", "a"), entry("data\\sounds\\b.wav", "b")},
         {},
         {p + "data/a.txt", "data/data/sounds/b.wav"},
         {},
         true,
         true,
         true},
        {"MACPL stores the whole package as the plug-in archive",
         {"MACPL", "mpl", false},
         "mpl.cxp4",
         {entry("x", "x")},
         {p + "Installer/kd4_plugins.zip"},
         {p + "x"},
         {"Copying plugin archive"},
         true,
         true,
         true},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "common");
        fs::remove_all(dir / "data");
        fs::remove_all(dir / "aax");
        fs::remove_all(dir / "vst64");
        fs::remove_all(dir / "vst32");
        host = {};
        shared.installTargets.installAAX = c.aax;
        shared.installTargets.installVST32 = c.vst32;
        shared.createOffline = c.createOffline;
        EXPECT_TRUE(install(rawPackage(c.entries), c.slot, c.packageName));
        for (const std::string& f : c.written) EXPECT_TRUE(fs::is_regular_file(dir / f)) << f;
        for (const std::string& f : c.notWritten) EXPECT_FALSE(fs::exists(dir / f)) << f;
        for (const std::string& l : c.logLines) EXPECT_THAT(host.lines, Contains(l));
        EXPECT_TRUE(host.errors.empty());
    }
}

TEST_F(PackageInstallerTest, PluginCopiesRecordTheirPathsInTheProfile) {
    ASSERT_TRUE(install(rawPackage({entry("bin\\32\\kandoro4.dll", "k"), entry("bin\\32\\soundK7.dll", "s")}),
                        {"WINVST32", "v", false}, "v.cxp4"));
    EXPECT_EQ(profile.readString("General", "VST32", ""), (dir / "vst32" / "kandoro4.dll").string());
    EXPECT_EQ(profile.readString("General", "SK7_VST32", ""), (dir / "vst32" / "soundK7.dll").string());
    EXPECT_FALSE(profile.valueExists("General", "VST64"));
    EXPECT_EQ(test::readFile(dir / "vst32" / "soundK7.dll"), "s");
    EXPECT_TRUE(host.logged("32-bit VST plugin copied to: " + (dir / "vst32").string()));
}

// As root no folder refuses a write; a folder in the way of the file does, for everyone.
TEST_F(PackageInstallerTest, RefusedWritesInPluginFoldersAskForElevation) {
    fs::create_directories(dir / "aax" / "K.aaxplugin" / "x.bin" / "in-the-way");
    fs::create_directories(dir / "vst64" / "kandoro4.dll" / "in-the-way");
    EXPECT_TRUE(install(rawPackage({entry("K.aaxplugin\\x.bin", "aax"), entry("K.aaxplugin\\y.bin", "y")}),
                        {"AAX", "pt", false}, "pt.cxp4"));
    EXPECT_TRUE(host.logged("Elevation needed for AAX"));
    EXPECT_TRUE(fs::is_regular_file(dir / "aax" / "K.aaxplugin" / "y.bin"));
    EXPECT_TRUE(shared.elevationNeeded);

    shared.elevationNeeded = false;
    host = {};
    EXPECT_TRUE(install(rawPackage({entry("bin\\64\\kandoro4.dll", "k")}), {"WINVST64", "v", false}, "v.cxp4"));
    EXPECT_TRUE(host.logged("Elevation needed for " + (dir / "vst64").string()));
    EXPECT_TRUE(shared.elevationNeeded);
    EXPECT_TRUE(fs::is_regular_file(product("bin/64/kandoro4.dll")));
    EXPECT_THAT(leftovers(dir.path()), ::testing::IsEmpty());
}

TEST_F(PackageInstallerTest, ARefusedWriteElsewhereEndsThePackage) {
    fs::create_directories(product("data/b.txt/in-the-way"));
    EXPECT_FALSE(install(rawPackage({entry("data\\a.txt", "a"), entry("data\\b.txt", "b"), entry("data\\c.txt", "c")})));
    EXPECT_TRUE(fs::exists(product("data/a.txt")));
    EXPECT_FALSE(fs::exists(product("data/c.txt")));
    ASSERT_EQ(host.errors, std::vector<std::string>{"[pkg.cxp4] " + product("data/b.txt").string()});
    EXPECT_THAT(host.lines.back(), ::testing::StartsWith(product("data/b.txt").string() + " ["));
    EXPECT_FALSE(host.logged("Installation Completed"));
    EXPECT_FALSE(host.logged("Decompress data\\c.txt~" + std::to_string(entry("x", "c").stream.size())));
}

TEST_F(PackageInstallerTest, MonoDerivativeKeepsTheFirstChannelAndIsNotRecreated) {
    std::string stereo;
    for (int i = 0; i < 300000; ++i) stereo += static_cast<char>(i % 251);
    ASSERT_TRUE(install(rawPackage({entry("data\\sounds\\Kit\\Kick CS _s01.wav", stereo)})));
    std::string mono;
    for (size_t i = 0; i < stereo.size(); ++i)
        if (i % 4 < 2) mono += stereo[i];
    EXPECT_EQ(test::readFile(sounds("data/sounds/Kit/Kick _c01.wav")), mono);
    EXPECT_TRUE(host.logged("Extracting Kick CS _s01.wav..."));
    EXPECT_THAT(host.actions, Contains("CSTOCM [" + sounds("data/sounds/Kit/Kick CS _s01.wav").string() + "]"));

    test::writeFile(sounds("data/sounds/Kit/Kick _c01.wav"), "kept");
    host = {};
    ASSERT_TRUE(install(rawPackage({entry("data\\sounds\\Kit\\Kick CS _s01.wav", stereo)})));
    EXPECT_EQ(test::readFile(sounds("data/sounds/Kit/Kick _c01.wav")), "kept");
    EXPECT_FALSE(host.logged("Extracting Kick CS _s01.wav..."));
}

TEST_F(PackageInstallerTest, MonoDerivativesStayInsideTheirFolder) {
    // Removing " CS" can turn a folder named ". CS." into "..", and the " _c" folder of a derivative is not the
    // " _s" folder its source was written through: neither may carry the derivative out of the destination.
    fs::create_directories(dir / "outside");
    fs::create_directories(product(""));
    fs::create_directory_symlink(dir / "outside", product("Kit _c"));
    const std::string stereo(4000, 's');
    struct Case {
        const char* name;
        std::string entryPath;
    };
    const Case cases[] = {
        {"a folder that becomes ..", ". CS.\\Kick _s CS .wav"},
        {"a link where the derivative's folder is", "Kit _s\\Kick CS .wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = {};
        EXPECT_FALSE(install(rawPackage({entry(c.entryPath, stereo)})));
        EXPECT_THAT(snapshot(dir / "outside"), ::testing::IsEmpty());
        EXPECT_THAT(snapshot(dir / "common"), Not(Contains(::testing::Key(::testing::HasSubstr("Kick _c")))));
        EXPECT_THAT(leftovers(dir.path()), ::testing::IsEmpty());
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_FALSE(host.logged("Installation Completed"));
    }
}

TEST(MonoDerivativePath, ReplacesTheFirstMarkersOnly) {
    EXPECT_EQ(monoDerivativePath("/d/Kick CS _s1 CS _s.wav"), "/d/Kick _c1 CS _s.wav");
    EXPECT_EQ(monoDerivativePath("/d/A CS _sB"), "/d/A _cB");
}

TEST_F(PackageInstallerTest, ManifestTextIsDecodedByItsByteOrderMarkOrAsWindows1252) {
    ASSERT_TRUE(install(rawPackage({entry("data\\Caf\xe9.txt", "1252")})));
    EXPECT_EQ(test::readFile(product("data/Caf\xc3\xa9.txt")), "1252");
    ASSERT_TRUE(install(rawPackage({entry("data\\\xc3\xa9t\xc3\xa9.txt", "utf8")}, "\xef\xbb\xbf")));
    EXPECT_EQ(test::readFile(product("data/\xc3\xa9t\xc3\xa9.txt")), "utf8");
}

// Hostile packages: each fails as a package with its error line, and nothing outside the destination folders
// changes — neither beside them nor through a link planted in them.
TEST_F(PackageInstallerTest, HostilePackagesFailWithoutTouchingAnythingOutside) {
    fs::create_directories(dir / "outside");
    test::writeFile(dir / "outside" / "keep.txt", "keep");
    fs::create_directories(product("data"));
    fs::create_directory_symlink(dir / "outside", product("data/link"));
    const std::string good = entry("data\\ok.txt", "ok").line;
    const RawEntry ok = entry("data\\ok.txt", "ok");
    const std::string payload = pack::zlibStream("evil");
    auto evil = [&](const std::string& path) { return RawEntry{path + "~" + std::to_string(payload.size()), payload}; };
    auto header = [](int32_t n) {
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(n) >> (8 * i)) & 0xff);
        return bytes;
    };
    struct Case {
        const char* name;
        std::string package;
        bool okFirst = true; // the good entry comes first and is installed
    };
    std::string noise(10000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 23);
    const std::string full = rawPackage({ok, entry("data\\x.txt", noise)});
    const Case cases[] = {
        {"parent folder", rawPackage({ok, evil("..\\..\\..\\outside\\evil.txt")})},
        {"parent inside the path", rawPackage({ok, evil("data\\..\\..\\..\\..\\outside\\evil.txt")})},
        {"dots and blanks", rawPackage({ok, evil("... \\outside\\evil.txt")})},
        {"absolute", rawPackage({ok, evil("\\tmp\\evil.txt")})},
        {"absolute with slash", rawPackage({ok, evil("/tmp/evil.txt")})},
        {"drive letter", rawPackage({ok, evil("C:\\evil.txt")})},
        {"UNC", rawPackage({ok, evil("\\\\server\\share\\evil.txt")})},
        {"colon", rawPackage({ok, evil("data\\evil.txt:stream")})},
        {"control character", rawPackage({ok, evil("data\\ev\x01il.txt")})},
        {"through a link", rawPackage({ok, evil("data\\link\\evil.txt")})},
        {"size beyond the end", rawPackage({ok, {"data\\x.txt~999999", payload}})},
        {"negative size", rawPackage({ok, {"data\\x.txt~-5", payload}})},
        {"size not a number", rawPackage({ok, {"data\\x.txt~12ab", payload}})},
        {"no size", rawPackage({ok, {"data\\x.txt", payload}})},
        {"truncated payload", full.substr(0, full.size() - 100)},
        {"manifest length negative", header(-1) + good, false},
        {"manifest length beyond the end", header(100000) + good, false},
        {"shorter than its length", std::string("\x01\x00", 2), false},
    };
    const auto before = snapshot(dir / "outside");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = {};
        fs::remove(product("data/ok.txt"));
        EXPECT_FALSE(install(c.package));
        EXPECT_EQ(snapshot(dir / "outside"), before);
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_THAT(host.errors[0], ::testing::StartsWith("[pkg.cxp4] "));
        EXPECT_FALSE(host.logged("Installation Completed"));
        EXPECT_FALSE(fs::exists(product("data/x.txt")));
        EXPECT_FALSE(fs::exists(dir / "common" / "outside"));
        EXPECT_THAT(leftovers(dir.path()), ::testing::IsEmpty());
        EXPECT_EQ(fs::exists(product("data/ok.txt")), c.okFirst); // the entry before a refused one is installed
    }
}

TEST_F(PackageInstallerTest, AnEntryBeyondFourGibibytesFails) {
    // One mebibyte of zeros deflated from a fresh state and flushed to a byte boundary can be repeated at will;
    // the stream then ends with an empty final block and the Adler-32 of that many zeros.
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    const std::string zeros(1 << 20, '\0');
    std::string block(1 << 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
    ASSERT_EQ(z.avail_in, 0u);
    block.resize(block.size() - z.avail_out);
    deflateEnd(&z);
    const uint64_t blocks = (kMaxEntryBytes >> 20) + 1;
    std::string stream = "\x78\x01";
    for (uint64_t i = 0; i < blocks; ++i) stream += block;
    stream += std::string("\x03\x00", 2);
    const uint32_t adler = static_cast<uint32_t>(((blocks << 20) % 65521) << 16 | 1);
    for (int shift = 24; shift >= 0; shift -= 8) stream += static_cast<char>((adler >> shift) & 0xff);
    // A target without a folder: the entry is inflated and checked but never written.
    EXPECT_FALSE(install(rawPackage({{"big.bin~" + std::to_string(stream.size()), stream}}), {"MACVST", "m", false}));
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_THAT(host.errors[0], HasSubstr("4 GiB"));
}

} // namespace
} // namespace k4m
