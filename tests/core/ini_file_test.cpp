#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

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
