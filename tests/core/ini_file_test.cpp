#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using k4m::IniFile;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

struct ReadCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* expected; // nullptr: absent
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValueAsTheSettingsFilesWriteIt) {
    const ReadCase& c = GetParam();
    const auto value = IniFile::fromText(c.text).value(c.section, c.key);
    if (c.expected == nullptr) {
        EXPECT_FALSE(value.has_value()) << *value;
    } else {
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniRead,
    testing::Values(
        ReadCase{"SectionInCapitals", "[GENERAL]\r\nDataFolder=/data\r\n", "General", "DataFolder", "/data"},
        ReadCase{"KeyIgnoresCase", "[General]\r\nDATAFOLDER=/d\r\n", "general", "datafolder", "/d"},
        ReadCase{"NamesAndValuesTrimmed", "  [ General ]  \n  CID  =  AB-12  \n", "General", "CID", "AB-12"},
        ReadCase{"RepeatedSectionContinuesFirst", "[A]\na=1\n[B]\nb=2\n[A]\nc=3\n", "A", "c", "3"},
        ReadCase{"FirstOfTwoEqualKeysWins", "[A]\nk=first\nk=second\n[A]\nk=third\n", "A", "k", "first"},
        ReadCase{"CommentLineIsNoKey", "[A]\n;k=5\n", "A", "k", nullptr},
        ReadCase{"KeyBeforeAnySectionBelongsToNone", "k=1\n[A]\n", "A", "k", nullptr},
        ReadCase{"KeyOfOtherSectionNotSeen", "[A]\nk=1\n[B]\n", "B", "k", nullptr},
        ReadCase{"ValueKeepsInnerEquals", "[A]\nurl=a=b=c\n", "A", "url", "a=b=c"},
        ReadCase{"EmptyValue", "[A]\nk=\n", "A", "k", ""},
        ReadCase{"LineWithoutEqualsIgnored", "[A]\ngarbage\nk=v\n", "A", "k", "v"},
        ReadCase{"Utf8ValueKept", "[A]\nk=\xC3\xA9\n", "A", "k", "\xC3\xA9"}),
    [](const auto& info) { return std::string(info.param.name); });

struct IntegerCase {
    const char* value;
    int expected;
};

class IniInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniInteger, OnlyDecimalIntegersCountOthersReadAsAbsent) {
    const IniFile ini = IniFile::fromText(std::string("[A]\nk=") + GetParam().value + "\n");
    EXPECT_EQ(ini.readInteger("A", "k", -77), GetParam().expected) << "value '" << GetParam().value << "'";
}

INSTANTIATE_TEST_SUITE_P(Values, IniInteger,
                         testing::Values(IntegerCase{"12", 12}, IntegerCase{"-3", -3}, IntegerCase{"+4", 4},
                                         IntegerCase{" 7 ", 7}, IntegerCase{"0", 0}, IntegerCase{"12abc", -77},
                                         IntegerCase{"abc", -77}, IntegerCase{"", -77}, IntegerCase{"0x10", -77},
                                         IntegerCase{"1.5", -77}, IntegerCase{"99999999999", -77},
                                         IntegerCase{"-", -77}, IntegerCase{"2147483647", 2147483647}));

TEST(IniBool, AnyIntegerButZeroIsTrueAndNonNumbersTakeTheDefault) {
    const IniFile ini = IniFile::fromText("[A]\none=1\nzero=0\ntwo=2\nneg=-1\nword=yes\n");
    EXPECT_TRUE(ini.readBool("A", "one", false));
    EXPECT_FALSE(ini.readBool("A", "zero", true));
    EXPECT_TRUE(ini.readBool("A", "two", false));
    EXPECT_TRUE(ini.readBool("A", "neg", false));
    EXPECT_TRUE(ini.readBool("A", "word", true));
    EXPECT_FALSE(ini.readBool("A", "word", false));
    EXPECT_TRUE(ini.readBool("A", "missing", true));
}

TEST(IniWrite, RewriteKeepsEverythingItDoesNotChangeAndUsesCrLf) {
    IniFile ini = IniFile::fromText("; written by the plug-in\n"
                                    "[General]\n"
                                    "Unknown = kept as written\n"
                                    "GUIScale=5\n"
                                    "\n"
                                    "[Mystery]\n"
                                    "x=1\n");
    ini.writeInteger("general", "guiscale", 7);
    ini.writeBool("General", "APSMode", true);
    ini.writeBool("General", "GFX_D2D", false);
    ini.writeString("Packages", "Drums One", "3");
    EXPECT_EQ(ini.toText(), "; written by the plug-in\r\n"
                            "[General]\r\n"
                            "Unknown = kept as written\r\n"
                            "GUIScale=7\r\n"
                            "APSMode=1\r\n"
                            "GFX_D2D=0\r\n"
                            "\r\n"
                            "[Mystery]\r\n"
                            "x=1\r\n"
                            "\r\n"
                            "[Packages]\r\n"
                            "Drums One=3\r\n");
}

TEST(IniWrite, NewKeyOfARepeatedSectionJoinsItAndIsFoundAgain) {
    IniFile ini = IniFile::fromText("[A]\na=1\n[B]\nb=2\n[a]\nc=3\n");
    ini.writeString("A", "d", "4");
    EXPECT_EQ(ini.toText(), "[A]\r\na=1\r\n[B]\r\nb=2\r\n[a]\r\nc=3\r\nd=4\r\n");
    EXPECT_EQ(ini.sectionKeys("a"), (std::vector<std::string>{"a", "c", "d"}));
}

TEST(IniWrite, LineBreakInAValueCannotAddAKey) {
    IniFile ini;
    ini.writeString("General", "CID", "key\r\nInstallVST64=1\n[Evil]");
    const IniFile reread = IniFile::fromText(ini.toText());
    EXPECT_FALSE(reread.valueExists("General", "InstallVST64"));
    EXPECT_FALSE(reread.sectionExists("Evil"));
    EXPECT_EQ(reread.readString("General", "CID", ""), "key  InstallVST64=1 [Evil]");
}

TEST(IniWrite, UnknownLinesAroundEditedEntriesSurviveVerbatim) {
    IniFile ini = IniFile::fromText("; before any section\n"
                                    "stray=1\n"
                                    "\n"
                                    "[General]\r\n"
                                    "; about the key\n"
                                    "  CID = old  \n"
                                    "junk line\r\r\n"
                                    "Drop=me\n"
                                    "\t\n"
                                    "; trailing comment\n"
                                    "[Other]\n"
                                    "o=1\n"
                                    "last line without break");
    ini.writeString("GENERAL", "cid", "new");
    ini.deleteKey("General", "drop");
    ini.writeString("General", "Added", "2");
    EXPECT_EQ(ini.toText(), "; before any section\r\n"
                            "stray=1\r\n"
                            "\r\n"
                            "[General]\r\n"
                            "; about the key\r\n"
                            "CID=new\r\n"
                            "Added=2\r\n"
                            "junk line\r\r\n"
                            "\t\r\n"
                            "; trailing comment\r\n"
                            "[Other]\r\n"
                            "o=1\r\n"
                            "last line without break\r\n");
    EXPECT_EQ(ini.readString("Other", "o", ""), "1");
    EXPECT_FALSE(ini.valueExists("General", "stray"));
}

TEST(IniWrite, NewSectionsAreSetOffByOneBlankLine) {
    IniFile ini;
    ini.writeString("General", "CID", "x");
    ini.writeString("Packages", "Kit", "1");
    ini.writeString("Edition", "E", "Standard");
    EXPECT_EQ(ini.toText(), "[General]\r\nCID=x\r\n\r\n[Packages]\r\nKit=1\r\n\r\n[Edition]\r\nE=Standard\r\n");
    IniFile endsBlank = IniFile::fromText("[A]\na=1\n\n");
    endsBlank.writeString("B", "b", "2");
    EXPECT_EQ(endsBlank.toText(), "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n");
}

TEST(IniWrite, DeleteKeyAndEraseSection) {
    IniFile ini = IniFile::fromText("[General]\nUseDPIX=1\nDPIXOverride=120\n[Packages]\np=1\n");
    ini.deleteKey("General", "usedpix");
    ini.eraseSection("PACKAGES");
    EXPECT_EQ(ini.toText(), "[General]\r\nDPIXOverride=120\r\n");
    EXPECT_FALSE(ini.sectionExists("Packages"));
    ini.writeInteger("Packages", "p", 2);
    EXPECT_EQ(ini.readInteger("Packages", "p", -1), 2);
}

TEST(IniFileOnDisk, WriteThroughReachesTheFileAtEveryChange) {
    TempDir dir;
    const auto path = dir / "installer.ini";
    IniFile profile(path, true);
    EXPECT_FALSE(profile.load());
    EXPECT_FALSE(profile.writeRefused()) << "a missing file is no unreadable one";
    EXPECT_EQ(profile.unreadableReason(), "");
    profile.writeString("General", "CID", "ABC-123");
    IniFile other(path);
    ASSERT_TRUE(other.load());
    EXPECT_EQ(other.readString("General", "CID", ""), "ABC-123");
    profile.writeInteger("General", "InstallVST64", 1);
    ASSERT_TRUE(other.load());
    EXPECT_EQ(other.readInteger("General", "InstallVST64", 0), 1);
    EXPECT_EQ(readFile(path), "[General]\r\nCID=ABC-123\r\nInstallVST64=1\r\n");
    // Only the file itself is left: the temporary files of the atomic writes are gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(IniFileOnDisk, ReadsWindows1252AndUtf16Files) {
    TempDir dir;
    writeFile(dir / "a.ini", "[General]\r\nDataPath=C:\\Daten\\Kl\xE4nge\r\n");
    IniFile a(dir / "a.ini");
    a.load();
    EXPECT_EQ(a.readString("General", "DataPath", ""), "C:\\Daten\\Kl\xC3\xA4nge");

    static constexpr char kUtf16[] = "\xFF\xFE[\0G\0]\0\r\0\n\0k\0=\0\xE9\0";
    writeFile(dir / "b.ini", std::string(kUtf16, sizeof kUtf16 - 1));
    IniFile b(dir / "b.ini");
    b.load();
    EXPECT_EQ(b.readString("G", "k", ""), "\xC3\xA9");
}

TEST(IniFileOnDisk, FailedSaveThrowsAndKeepsNoHalfFile) {
    TempDir dir;
    IniFile ini(dir / "missing-folder" / "installer.ini", true);
    EXPECT_THROW(ini.writeString("General", "CID", "x"), std::system_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

// Sets the umask for the scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

// What a folder holds, down to inode and change time, without following links or reading any file.
std::string snapshot(const fs::path& folder) {
    std::ostringstream out;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) ADD_FAILURE() << "cannot examine " << it->path();
        out << it->path().lexically_relative(folder).string() << " mode=" << std::oct << st.st_mode << std::dec
            << " size=" << st.st_size << " inode=" << st.st_ino << " ctime=" << st.st_ctim.tv_sec << "."
            << st.st_ctim.tv_nsec << " mtime=" << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
        if (S_ISLNK(st.st_mode)) out << " -> " << fs::read_symlink(it->path()).string();
        out << "\n";
    }
    return out.str();
}

// A socket file, which cannot be opened at all.
bool makeSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.string().size() >= sizeof address.sun_path) return false;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    const bool made = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return made;
}

const std::string kProfile = "[General]\r\nCID=CUSTOMER-KEY\r\n[Packages]\r\nDrums One=1002003\r\n";

// A profile's name that holds something the manager cannot read. The test is skipped when `prepare` returns
// false.
struct UnreadableCase {
    const char* name;
    std::function<bool(const fs::path& profile, const fs::path& elsewhere)> prepare;
    const char* reason; // a part of the reason given
};

void PrintTo(const UnreadableCase& c, std::ostream* out) {
    *out << c.name;
}

class IniUnreadable : public testing::TestWithParam<UnreadableCase> {};

TEST_P(IniUnreadable, IsNeverWrittenWhileChangesStayInMemory) {
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    fs::create_directory(dir / "elsewhere");
    if (!GetParam().prepare(path, dir / "elsewhere")) GTEST_SKIP() << "cannot be set up for this user";
    const std::string before = snapshot(dir.path());

    IniFile profile(path, true);
    EXPECT_THROW(profile.load(), std::system_error);
    EXPECT_TRUE(profile.writeRefused());
    EXPECT_NE(profile.unreadableReason().find(GetParam().reason), std::string::npos) << profile.unreadableReason();
    EXPECT_EQ(profile.readString("General", "CID", "none"), "none");
    EXPECT_FALSE(profile.sectionExists("Packages"));

    EXPECT_NO_THROW(profile.writeString("General", "CID", "typed"));
    EXPECT_NO_THROW(profile.writeInteger("Packages", "Kit", 3));
    EXPECT_NO_THROW(profile.deleteKey("Packages", "Kit"));
    EXPECT_NO_THROW(profile.eraseSection("Packages"));
    EXPECT_NO_THROW(profile.save());
    EXPECT_EQ(profile.readString("General", "CID", ""), "typed");
    EXPECT_EQ(snapshot(dir.path()), before);
}

std::vector<UnreadableCase> unreadableCases() {
    std::vector<UnreadableCase> cases{
        UnreadableCase{"PermissionDenied",
                       [](const fs::path& path, const fs::path&) {
                           writeFile(path, kProfile);
                           fs::permissions(path, fs::perms::none);
                           return ::access(path.c_str(), R_OK) != 0;
                       },
                       "Permission denied"},
        UnreadableCase{"Folder",
                       [](const fs::path& path, const fs::path&) {
                           writeFile(path / "inside.txt", "x");
                           return true;
                       },
                       "is a folder"},
        UnreadableCase{"SymbolicLinkToAProfile",
                       [](const fs::path& path, const fs::path& elsewhere) {
                           writeFile(elsewhere / "installer.ini", kProfile);
                           fs::create_symlink(elsewhere / "installer.ini", path);
                           return true;
                       },
                       "symbolic link"},
        UnreadableCase{"DanglingSymbolicLink",
                       [](const fs::path& path, const fs::path& elsewhere) {
                           fs::create_symlink(elsewhere / "created-by-nobody.ini", path);
                           return true;
                       },
                       "symbolic link"},
        UnreadableCase{"Fifo", [](const fs::path& path, const fs::path&) { return ::mkfifo(path.c_str(), 0644) == 0; },
                       "not a regular file"},
        UnreadableCase{"UnixSocket", [](const fs::path& path, const fs::path&) { return makeSocket(path); },
                       "No such device or address"},
        UnreadableCase{"LargerThan16MiB",
                       [](const fs::path& path, const fs::path&) {
                           writeFile(path, kProfile);
                           fs::resize_file(path, IniFile::kMaxFileSize + 1);
                           return true;
                       },
                       "too large"},
        UnreadableCase{"MoreEntriesAndHeadersThanTheCap",
                       [](const fs::path& path, const fs::path&) {
                           std::string text = kProfile; // three of them
                           for (size_t i = 3; i <= IniFile::kMaxEntries; ++i)
                               text += "k=\n";
                           writeFile(path, text);
                           return true;
                       },
                       "more than 1000000 entries and section headers"}};
    // The superuser reads a file of mode 000 all the same: that case runs as an ordinary user instead (a test
    // of its own in tests/CMakeLists.txt).
    if (::geteuid() == 0)
        std::erase_if(cases, [](const UnreadableCase& c) { return c.name == std::string("PermissionDenied"); });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, IniUnreadable, testing::ValuesIn(unreadableCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniUnreadable, RefusalLastsForTheLifeOfTheObjectAndItsCopies) {
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    fs::create_directory(path);
    IniFile profile(path, true);
    EXPECT_THROW(profile.load(), std::system_error);
    fs::remove(path);
    EXPECT_FALSE(profile.load()) << "the file is missing now";
    EXPECT_TRUE(profile.writeRefused());
    profile.writeString("General", "CID", "x");
    IniFile copy(profile);
    copy.writeString("General", "CID", "y");
    IniFile assigned;
    assigned = std::move(copy);
    assigned.save();
    EXPECT_TRUE(assigned.writeRefused());
    EXPECT_EQ(assigned.readString("General", "CID", ""), "y");
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));

    EXPECT_TRUE(IniFile::fromText(std::string(IniFile::kMaxEntries + 1, '\n')).unreadableReason().empty());
    const IniFile crowded = IniFile::fromText([] {
        std::string text;
        for (size_t i = 0; i <= IniFile::kMaxEntries; ++i)
            text += "[s]\n";
        return text;
    }());
    EXPECT_TRUE(crowded.writeRefused());
    EXPECT_FALSE(crowded.sectionExists("s"));
}

TEST(IniLimits, TheLargestAcceptedFilesLoad) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string text;
    };
    std::string exactSize = kProfile;
    exactSize.resize(IniFile::kMaxFileSize, '\n');
    std::string exactCount = kProfile; // four, and two more at the end
    for (size_t i = 6; i < IniFile::kMaxEntries; ++i)
        exactCount += "k=\n";
    exactCount += "[Last]\nkey=value\n";
    for (const Case& c :
         {Case{"Exactly16MiB", std::move(exactSize)}, Case{"ExactlyTheMostEntries", std::move(exactCount)}}) {
        SCOPED_TRACE(c.name);
        writeFile(dir / "installer.ini", c.text);
        IniFile profile(dir / "installer.ini");
        ASSERT_NO_THROW(profile.load());
        EXPECT_FALSE(profile.writeRefused());
        EXPECT_EQ(profile.readString("General", "CID", ""), "CUSTOMER-KEY");
        EXPECT_EQ(profile.readInteger("Packages", "drums one", 0), 1002003);
    }
    IniFile counted(dir / "installer.ini");
    counted.load();
    EXPECT_EQ(counted.readString("last", "KEY", ""), "value");
    EXPECT_EQ(counted.sectionKeys("Packages"), (std::vector<std::string>{"Drums One", "k"}));
}

// The VmRSS or VmHWM line of /proc/self/status, in KiB.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    }
    ADD_FAILURE() << "no " << field << " in /proc/self/status";
    return 0;
}

// How far the resident memory of this process rises above where it was while `work` runs, in KiB; none when
// the peak cannot be reset here. Memory that earlier tests freed but the allocator kept can only make the
// rise smaller, never larger.
std::optional<long> peakGrowthKiB(const std::function<void()>& work) {
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
        reset.flush();
        if (!reset) return std::nullopt;
    }
    const long before = statusKiB("VmRSS:");
    work();
    return statusKiB("VmHWM:") - before;
}

TEST(IniLimits, FifteenMiBOfBlankLinesLoadInLittleMemoryAndAreWrittenBackAsTheyWere) {
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    constexpr size_t kLines = 15 * 1024 * 1024;
    writeFile(path, std::string(kLines, '\n'));
    const auto growth = peakGrowthKiB([&] {
        IniFile profile(path);
        ASSERT_TRUE(profile.load());
        profile.save();
    });
    if (!growth) GTEST_SKIP() << "the memory peak of this process cannot be reset here";
    // A file this size is held in a few copies of its text; one record per line would need gigabytes.
    EXPECT_LT(*growth, 256 * 1024) << "KiB";
    std::cerr << "peak growth " << *growth / 1024 << " MiB\n";

    std::string expected;
    expected.reserve(2 * kLines);
    for (size_t i = 0; i < kLines; ++i)
        expected += "\r\n";
    EXPECT_TRUE(readFile(path) == expected);
}

struct CrowdedCase {
    const char* name;
    std::function<std::string()> text;
    const char* section; // a section to look into
    size_t keys;         // the number of distinct keys it has
};

void PrintTo(const CrowdedCase& c, std::ostream* out) {
    *out << c.name;
}

class IniCrowded : public testing::TestWithParam<CrowdedCase> {};

TEST_P(IniCrowded, LoadsAndAnswersInLinearTime) {
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    writeFile(path, GetParam().text());
    const auto start = std::chrono::steady_clock::now();
    IniFile profile(path);
    ASSERT_TRUE(profile.load());
    EXPECT_EQ(profile.sectionKeys(GetParam().section).size(), GetParam().keys);
    EXPECT_TRUE(profile.sectionExists("S999999"));
    profile.writeString("General", "CID", "typed");
    profile.writeString(GetParam().section, "Added", "1");
    EXPECT_EQ(profile.readString("general", "cid", ""), "typed");
    EXPECT_EQ(profile.sectionKeys(GetParam().section).size(), GetParam().keys + 1);
    const IniFile reread = IniFile::fromText(profile.toText());
    EXPECT_EQ(reread.readInteger(GetParam().section, "added", 0), 1);
    // Linear work takes seconds at most, even with sanitizers on a busy machine; quadratic work takes hours.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

// Close to the most lines the manager holds, with room left for the test's own additions.
constexpr int kCrowd = static_cast<int>(IniFile::kMaxEntries) - 100;

INSTANTIATE_TEST_SUITE_P(Files, IniCrowded,
                         testing::Values(CrowdedCase{"AMillionSectionHeaders",
                                                     [] {
                                                         std::string text = "[s999999]\n";
                                                         for (int i = 0; i < kCrowd; ++i)
                                                             text += "[s" + std::to_string(i) + "]\n";
                                                         return text;
                                                     },
                                                     "s500000", 0},
                                         CrowdedCase{"AMillionKeysInRepeatedSections",
                                                     [] {
                                                         std::string text = "[s999999]\n";
                                                         for (int i = 0; i < kCrowd; ++i)
                                                             text +=
                                                                 (i % 2 ? "k" : "K") + std::to_string(i / 2) + "=\n";
                                                         return text + "[S999999]\n";
                                                     },
                                                     "s999999", kCrowd / 2},
                                         CrowdedCase{"EntriesBetweenJunkLines",
                                                     [] {
                                                         std::string text = "[s999999]\n";
                                                         for (int i = 0; i < kCrowd; ++i)
                                                             text += ";\nk" + std::to_string(i) + "=\n";
                                                         return text;
                                                     },
                                                     "s999999", kCrowd}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniThreads, AWorkerAndTheWindowShareTheProfileWithoutLosingAKey) {
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    IniFile profile(path);
    constexpr int kKeys = 500;
    std::atomic<int> writersLeft{2};
    auto writer = [&](const std::string& section) {
        for (int i = 0; i < kKeys; ++i) {
            profile.writeInteger(section, "k" + std::to_string(i), i);
            EXPECT_EQ(profile.readInteger(section, "K" + std::to_string(i), -1), i);
        }
        --writersLeft;
    };
    std::thread worker(writer, "Packages");
    std::thread other(writer, "Edition");
    // The window thread reads and flushes meanwhile.
    while (writersLeft > 0) {
        profile.save();
        const IniFile seen = IniFile::fromText(profile.toText());
        EXPECT_LE(seen.sectionKeys("Packages").size(), static_cast<size_t>(kKeys));
        (void)profile.value("Edition", "k0");
    }
    worker.join();
    other.join();
    profile.save();

    IniFile reread(path);
    ASSERT_TRUE(reread.load());
    for (const char* section : {"Packages", "Edition"}) {
        ASSERT_EQ(reread.sectionKeys(section).size(), static_cast<size_t>(kKeys)) << section;
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(reread.readInteger(section, "k" + std::to_string(i), -1), i) << section << " k" << i;
    }
}

struct ModeCase {
    const char* name;
    std::optional<fs::perms> existing; // the mode of a file already there
    bool privateFile;
    fs::perms expected;
};

void PrintTo(const ModeCase& c, std::ostream* out) {
    *out << c.name;
}

class IniMode : public testing::TestWithParam<ModeCase> {};

TEST_P(IniMode, SavedFileGetsItsModeWhateverTheUmask) {
    const ModeCase& c = GetParam();
    TempDir dir;
    const fs::path path = dir / "installer.ini";
    if (c.existing) {
        writeFile(path, kProfile);
        fs::permissions(path, *c.existing);
    }
    const ScopedUmask umask(022);
    IniFile profile = c.privateFile ? IniFile(path, true, k4m::kPrivateFileMode) : IniFile(path, true);
    profile.load();
    profile.writeString("General", "LastMID", "7");
    EXPECT_EQ(fs::status(path).permissions(), c.expected);
    IniFile reread(path);
    reread.load();
    EXPECT_EQ(reread.readString("General", "CID", ""), c.existing ? "CUSTOMER-KEY" : "");
    EXPECT_EQ(reread.readString("General", "LastMID", ""), "7");
}

INSTANTIATE_TEST_SUITE_P(Files, IniMode,
                         testing::Values(ModeCase{"NewPrivateFile", std::nullopt, true, fs::perms(0600)},
                                         ModeCase{"PublicFileBecomesPrivate", fs::perms(0644), true, fs::perms(0600)},
                                         ModeCase{"NewOrdinaryFile", std::nullopt, false, fs::perms(0644)},
                                         ModeCase{"OrdinaryFileLosesOddBits", fs::perms(0666), false, fs::perms(0644)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniCopies, CarryPathModeAndContentAndStayIndependent) {
    TempDir dir;
    IniFile original(dir / "a.ini", true, k4m::kPrivateFileMode);
    original.writeString("General", "CID", "one");
    IniFile copy(original);
    copy.writeString("General", "CID", "two");
    EXPECT_EQ(original.readString("General", "CID", ""), "one");
    EXPECT_EQ(readFile(dir / "a.ini"), "[General]\r\nCID=two\r\n");
    EXPECT_EQ(fs::status(dir / "a.ini").permissions(), fs::perms(0600));

    IniFile moved(std::move(copy));
    EXPECT_EQ(moved.path(), dir / "a.ini");
    EXPECT_EQ(moved.readString("General", "CID", ""), "two");
    original = moved;
    original.writeString("Packages", "Kit", "1");
    EXPECT_FALSE(moved.valueExists("Packages", "Kit"));
    original = IniFile::fromText("[G]\nk=v\n");
    EXPECT_TRUE(original.path().empty());
    EXPECT_EQ(original.readString("g", "K", ""), "v");
}

TEST(ProfileKeys, DefaultsOfAnEmptyProfile) {
    const IniFile empty;
    using namespace k4m;
    EXPECT_EQ(read(empty, profile::VST64), "XXX");
    EXPECT_EQ(read(empty, profile::AAX_SK7), "XXX");
    EXPECT_EQ(read(empty, profile::InstallVST64), 0);
    EXPECT_EQ(read(empty, profile::InstallAIOnlySaved), -1);
    EXPECT_FALSE(read(empty, profile::InstallAIOnly));
    EXPECT_TRUE(read(empty, profile::VST2));
    EXPECT_EQ(read(empty, profile::LastBitness), 64);
    EXPECT_EQ(profile::readPackageVersion(empty, "Any Package"), -1);
    EXPECT_EQ(read(empty, plugin::DPIXOverride), 96);
    EXPECT_TRUE(read(empty, plugin::GFX_D2D));
    EXPECT_EQ(read(empty, plugin::PriorityMode), 1);
    EXPECT_EQ(read(empty, plugin::ForceMenuMode), -1);
    EXPECT_EQ(read(empty, plugin::GUIScale), 5);
}

TEST(ProfileKeys, TypedKeysRoundTripAndFindCapitalisedSections) {
    using namespace k4m;
    IniFile ini = IniFile::fromText("[GENERAL]\r\ninstallvst64=2\r\n[PACKAGES]\r\nKit A=1002003\r\n");
    EXPECT_EQ(read(ini, profile::InstallVST64), FormatSkip);
    EXPECT_EQ(profile::readPackageVersion(ini, "kit a"), 1002003);
    EXPECT_EQ(profile::readPackageVersion(ini, "Kit B"), -1);
    write(ini, profile::UseKD3, true);
    profile::writeEdition(ini, "KIT-A", "Standard");
    const IniFile reread = IniFile::fromText(ini.toText());
    EXPECT_EQ(reread.readString("General", "UseKD3", ""), "1");
    EXPECT_EQ(reread.readString("Edition", "KIT-A", ""), "Standard");
}

} // namespace
