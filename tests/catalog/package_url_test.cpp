#include "catalog/package_acceptance.h"
#include "catalog/package_url.h"

#include <gtest/gtest.h>

namespace {

using k4m::IniFile;

struct AcceptCase {
    const char* name;
    const char* package; // the package section's lines
    k4m::PackageOptions options;
    bool accepted;
};

class Acceptance : public testing::TestWithParam<AcceptCase> {};

TEST_P(Acceptance, FirstRuleThatHoldsLeavesThePackageOut) {
    const auto manifest = IniFile::fromText(std::string("[General]\nVersion=4.1.0\n[P]\n") + GetParam().package);
    EXPECT_EQ(k4m::acceptsPackage(manifest, "P", GetParam().options), GetParam().accepted);
}

k4m::PackageOptions formats(bool vst32, bool vst64, bool aax, bool offline = false) {
    k4m::PackageOptions o;
    o.installVST32 = vst32;
    o.installVST64 = vst64;
    o.installAAX = aax;
    o.createOffline = offline;
    return o;
}
k4m::PackageOptions sounds(bool aiOnly, bool kd3, bool offline) {
    k4m::PackageOptions o;
    o.installAIOnly = aiOnly;
    o.useKD3 = kd3;
    o.createOffline = offline;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Acceptance,
    testing::Values(
        AcceptCase{"PlainPackage", "Name=Core\n", {}, true},
        AcceptCase{"ForMacOS", "macOS=1\n", formats(true, true, true), false},
        AcceptCase{"MinVersionIsThisManager", "MinVersion=1002006\n", {}, true},
        AcceptCase{"MinVersionOneAbove", "MinVersion=1002007\n", {}, false},
        AcceptCase{"MinVersionNegative", "MinVersion=-4\n", {}, true},
        AcceptCase{"SoundsWhenOnlyTheAIFilesAreWanted", "IsSoundSet=1\n", sounds(true, false, true), false},
        AcceptCase{"SoundsWithThePreviousGenerationsData", "IsSoundSet=1\n", sounds(false, true, false), false},
        AcceptCase{"SoundsWithThePreviousGenerationsDataForAnOfflinePackage", "IsSoundSet=1\n",
                   sounds(false, true, true), true},
        AcceptCase{"Vst32SwitchedOff", "VST32=1\n", formats(false, true, true), false},
        AcceptCase{"Vst32SwitchedOffForAnOfflinePackage", "VST32=1\n", formats(false, false, false, true), true},
        AcceptCase{"Vst64SwitchedOff", "VST64=1\n", formats(true, false, true), false},
        AcceptCase{"Vst64On", "VST64=1\n", formats(false, true, false), true},
        AcceptCase{"AaxSwitchedOff", "Target=AAX\n", formats(true, true, false), false},
        AcceptCase{"AaxOn", "Target=AAX\n", formats(false, false, true), true}),
    [](const auto& info) { return std::string(info.param.name); });

struct LocationCase {
    const char* name;
    const char* package;
    int serverMode;
    k4m::MirrorStatus mirrors;
    const char* code;
    bool alternative;
};

class Location : public testing::TestWithParam<LocationCase> {};

TEST_P(Location, MirrorPreferenceOnlyWhereTheMirrorAnswersAndHoldsThePackage) {
    const auto manifest = IniFile::fromText(std::string("[General]\n[P]\n") + GetParam().package);
    const auto choice = k4m::resolveLocation(manifest, "P", GetParam().serverMode, GetParam().mirrors);
    EXPECT_EQ(choice.code, GetParam().code);
    EXPECT_EQ(choice.alternative, GetParam().alternative);
}

const char* kAll = "Location=1|main/p\nLocation1=5|db/p\nLocation2=6|gd/p\n";
const char* kNoDropbox = "Location=1|main/p\nLocation2=6|gd/p\n";

INSTANTIATE_TEST_SUITE_P(
    Modes, Location,
    testing::Values(LocationCase{"ModeZeroUsesTheLocation", kAll, 0, {true, true, true}, "1|main/p", false},
                    LocationCase{"ModeOnePrefersDropbox", kAll, 1, {true, true, false}, "5|db/p", true},
                    LocationCase{"ModeOneFallsToGoogleDrive", kAll, 1, {false, true, false}, "6|gd/p", true},
                    LocationCase{"ModeOneDropboxWithoutThePackage", kNoDropbox, 1, {true, true, false}, "6|gd/p", true},
                    LocationCase{"ModeTwoPrefersGoogleDrive", kAll, 2, {true, true, false}, "6|gd/p", true},
                    LocationCase{"NoMirrorReachable", kAll, 1, {false, false, true}, "1|main/p", false},
                    LocationCase{"OnlyGoogleDriveButNoLocationThere",
                                 "Location=1|main/p\nLocation1=5|db/p\n",
                                 1,
                                 {false, true, false},
                                 "1|main/p",
                                 false},
                    LocationCase{"NoLocationAtAll", "", 0, {}, "YYY", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct UrlCase {
    const char* name;
    const char* package;
    k4m::LocationChoice location;
    const char* url;
    bool soundsOnly;
    bool handleRedirect;
};

class Url : public testing::TestWithParam<UrlCase> {};

TEST_P(Url, IsBaseAndPathWithSuffixAndExtensionOrTheServersDownloadRequest) {
    const auto manifest = IniFile::fromText(std::string("[General]\nVersion=4.1.0\n[P]\n") + GetParam().package);
    const auto locations =
        IniFile::fromText("[Priority]\nMode=0\n[Locations]\n2=https://m.example/pkg/\n5=http://dropbox.example/s/\n");
    const auto url =
        k4m::formPackageUrl(manifest, "P", GetParam().location, locations, "https://vendor.example", "Qm8WKEY-1");
    EXPECT_EQ(url.url, GetParam().url);
    EXPECT_EQ(url.soundsOnly, GetParam().soundsOnly);
    EXPECT_EQ(url.handleRedirect, GetParam().handleRedirect);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Url,
    testing::Values(UrlCase{"Vst64GetsTheProductVersion",
                            "Target=WINVST64\n",
                            {"2|core_win64", false},
                            "https://m.example/pkg/core_win64_4.1.0.cxp4",
                            false,
                            false},
                    UrlCase{"NoSuffixing",
                            "Target=WINVST32\nNoSuffixing=1\n",
                            {"2|core_win32", false},
                            "https://m.example/pkg/core_win32.cxp4",
                            false,
                            false},
                    UrlCase{"SoundSetHasNoSuffix",
                            "IsSoundSet=1\n",
                            {"2|latin", false},
                            "https://m.example/pkg/latin.cxp4",
                            false,
                            false},
                    UrlCase{"MirrorKeepsTheSuffixButNoExtension",
                            "Target=MACAPP\n",
                            {"5|app", true},
                            "http://dropbox.example/s/app_4.1.0",
                            false,
                            false},
                    UrlCase{"PreviousGenerationPackage",
                            "Convert=1\n",
                            {"2|kd3kit", false},
                            "https://m.example/pkg/kd3kit.cxp3",
                            true,
                            true},
                    UrlCase{"ThroughTheServerScript",
                            "Target=WINVST64\nPID=P7\n",
                            {"3|D9", false},
                            "https://vendor.example/kd4_main.php?COM=13&EID=Qm8WKEY-1&PID=P7&DID=D9_4.1.0",
                            false,
                            true},
                    UrlCase{"UnknownLocationKey", "", {"8|x", false}, "XXXx.cxp4", false, false},
                    UrlCase{"NoLocation", "", {"YYY", false}, "XXXY.cxp4", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileHosting, AddressesOfTheThreeServicesInAnyCase) {
    EXPECT_TRUE(k4m::isFileHostingAddress("https://www.DropBox.com/s/x"));
    EXPECT_TRUE(k4m::isFileHostingAddress("https://drive.GOOGLE.com/uc"));
    EXPECT_TRUE(k4m::isFileHostingAddress("https://download.mediafire.com/x"));
    EXPECT_FALSE(k4m::isFileHostingAddress("https://m.example/pkg/core.cxp4"));
}

} // namespace
