#include "app/startup_rules.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    const char* name;
    const char* server;
    bool newer;
};

class VersionCheck : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionCheck, ComparesPartByPartAsNumbers) {
    EXPECT_EQ(k4m::isNewerVersion(GetParam().server), GetParam().newer) << GetParam().server;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionCheck,
    testing::Values(VersionCase{"NextPatchIsNewer", "1.2.7", true}, VersionCase{"TwoDigitPatchIsNewer", "1.2.10", true},
                    VersionCase{"SameVersionIsNotNewer", "1.2.6", false},
                    VersionCase{"OlderPatchIsNotNewer", "1.2.5", false}, VersionCase{"HigherMinorIsNewer", "1.3", true},
                    VersionCase{"HigherMajorIsNewer", "2.0.0", true},
                    VersionCase{"ExtraNumberIsNewer", "1.2.6.1", true},
                    VersionCase{"FewerNumbersIsNotNewer", "1.2", false},
                    VersionCase{"SurroundingBlanksAreIgnored", " 1.2.7\r\n", true},
                    VersionCase{"ErrorWithVersionIsNotNewer", "ERROR: 1.2.7", false},
                    VersionCase{"HttpErrorIsNotNewer", "ERROR: HTTP/1.1 404 Not Found", false},
                    VersionCase{"WordIsNotNewer", "Maintenance", false}, VersionCase{"EmptyIsNotNewer", "", false},
                    VersionCase{"EmptyNumberIsNotNewer", "1..7", false},
                    VersionCase{"TooLongNumberIsNotNewer", "99999999999.0", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateCopyName, CarriesTheVersionDigits) {
    EXPECT_EQ(k4m::updateCopyName("1.2.7"), "km4u_127.exe");
    EXPECT_EQ(k4m::updateCopyName("1.2.10"), "km4u_1210.exe");
}

struct HostCase {
    const char* name;
    const char* log;
    const char* host;
};

class LastHost : public testing::TestWithParam<HostCase> {};

TEST_P(LastHost, FileNameOfThePathThirteenCharactersAfterTheMarker) {
    EXPECT_EQ(k4m::lastHostFromPluginLog(GetParam().log), GetParam().host);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LastHost,
    testing::Values(HostCase{"WindowsPath", "Start\r\nHost Path: ::C:\\Program Files\\Host\\Host64.exe\r\n",
                             "Host64.exe"},
                    HostCase{"FirstMarkedLineWithSlashPath",
                             "x Host Path: 1 /opt/daw/bin/MyDaw\nHost Path: ::C:\\Second.exe\n", "MyDaw"},
                    HostCase{"BareFileName", "Host Path: ::Studio.exe", "Studio.exe"},
                    HostCase{"NothingAfterTheMarker", "Host Path: ", ""},
                    HostCase{"NoMarker", "no marker here\n", "xxx"}, HostCase{"EmptyLog", "", "xxx"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartupTexts, ZipPathProbePromptFooterHintPromotion) {
    EXPECT_TRUE(k4m::startedFromZipArchive("/tmp/Temp1_manager.zip/Kandoro4Manager.exe"));
    EXPECT_FALSE(k4m::startedFromZipArchive("/tmp/manager.ZIP/Kandoro4Manager.exe"));
    EXPECT_EQ(k4m::probeFailureText(""),
              ". This tool requires you to be connected to the Internet unless you have prepared an offline "
              "installation package.");
    EXPECT_EQ(k4m::footerText("https://www.corvane.com"), "Version 1.2.6 Corvane [https://www.corvane.com]");
    EXPECT_EQ(k4m::hintText(true, true), "Click LOAD INSTALL to begin...");
    EXPECT_EQ(k4m::hintText(false, false), "Click CONNECT to begin...");
    EXPECT_EQ(k4m::hintText(false, true),
              "Copy && paste your customer key from your delivery email into the box above and click [Connect]...");
    EXPECT_FALSE(k4m::showsPromotion("NONE"));
    EXPECT_FALSE(k4m::showsPromotion("ERROR: HTTP/1.1 404 Not Found"));
    EXPECT_TRUE(k4m::showsPromotion("Summer sale: 30% off all kits"));
    EXPECT_TRUE(k4m::masksKey(11));
    EXPECT_FALSE(k4m::masksKey(10));
}

} // namespace
