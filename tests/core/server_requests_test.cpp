#include "core/server_config.h"
#include "core/server_requests.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

struct TagCase {
    const char* name;
    const char* tag;
    const char* answer;
    const char* expected;
};

class TagValueTest : public testing::TestWithParam<TagCase> {};

TEST_P(TagValueTest, FirstFieldOfTheTagUpToItsClosingBracket) {
    EXPECT_EQ(k4m::TagValue(GetParam().tag, GetParam().answer), GetParam().expected)
        << GetParam().tag << " in " << GetParam().answer;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TagValueTest,
    testing::Values(TagCase{"FirstTag", "N", "OK[N=Some Customer][E=customer address]", "Some Customer"},
                    TagCase{"SecondTag", "E", "OK[N=Some Customer][E=customer address]", "customer address"},
                    TagCase{"MissingTag", "C", "OK[N=Some Customer][E=customer address]", ""},
                    TagCase{"NoTags", "N", "OK", ""}, TagCase{"UnclosedTag", "N", "OK[N=no end", ""},
                    TagCase{"RepeatedTagGivesTheFirst", "N", "[N=first][N=second]", "first"},
                    TagCase{"TagNameIsCaseSensitive", "n", "OK[N=Upper]", ""}, TagCase{"EmptyValue", "N", "OK[N=]", ""},
                    TagCase{"ValueEndsAtTheFirstClosingBracket", "E", "[E=a=b[c]d]", "a=b[c"},
                    TagCase{"TagInsideText", "N", "x [N=inside text] y", "inside text"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UrlCase {
    const char* name;
    std::string url;
    std::string expected;
};

class RequestForming : public testing::TestWithParam<UrlCase> {};

TEST_P(RequestForming, ExactlyAsTheServerExpects) {
    EXPECT_EQ(GetParam().url, GetParam().expected);
}

namespace server = k4m::server;
const std::string kBase = "https://vendor.example:8443";
const std::string kEid = server::customerEid("  AB12-CD34 \t");

INSTANTIATE_TEST_SUITE_P(
    Urls, RequestForming,
    testing::Values(
        UrlCase{"CustomerEidIsTrimmedAndPrefixed", kEid, "Qm8WAB12-CD34"},
        UrlCase{"Login", server::loginUrl(kBase, kEid), kBase + "/kd4_main.php?COM=1&EID=Qm8WAB12-CD34"},
        UrlCase{"Locations", server::locationsUrl(kBase, kEid), kBase + "/kd4_main.php?COM=3&EID=Qm8WAB12-CD34"},
        UrlCase{"Catalog", server::catalogUrl(kBase, kEid), kBase + "/kd4_main.php?COM=10&EID=Qm8WAB12-CD34"},
        UrlCase{"Manifest", server::manifestUrl(kBase, kEid, "M-77"),
                kBase + "/kd4_main.php?COM=11&EID=Qm8WAB12-CD34&MID=M-77"},
        UrlCase{"Package", server::packageUrl(kBase, kEid, "P1", "D9_1002006"),
                kBase + "/kd4_main.php?COM=13&EID=Qm8WAB12-CD34&PID=P1&DID=D9_1002006"},
        // Values go in as they are: no URL encoding.
        UrlCase{"ValuesAreNotEncoded", server::loginUrl(kBase, server::customerEid("A B&C")),
                kBase + "/kd4_main.php?COM=1&EID=Qm8WA B&C"},
        UrlCase{"StaticLicense", server::staticUrl(kBase, server::kLicensePath),
                kBase + "//mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/kd4license.rtf"},
        UrlCase{"StaticVersion", server::staticUrl(kBase, server::kVersionPath),
                kBase + "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.ver"},
        UrlCase{"StaticRuntimeInstaller", server::staticUrl(kBase, std::string("/") + server::kVc64SourceDefault),
                kBase + "//Hq7Wn2Zk5Vb9Xc3M/vcredist_x64.exe"},
        UrlCase{"HttpsOnlyTurnsEveryHttpIntoHttps", k4m::httpsOnly("http://mirror.example/p?from=http://x"),
                "https://mirror.example/p?from=https://x"},
        UrlCase{"HttpsOnlyLeavesUpperCaseHttp", k4m::httpsOnly("HTTP://mirror.example/p"), "HTTP://mirror.example/p"},
        UrlCase{"HttpsOnlyKeepsHttps", k4m::httpsOnly("https://mirror.example/p"), "https://mirror.example/p"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ServerConfig, FileValuesOverDefaultsAndNoTrailingSlash) {
    k4m::test::TempDir dir;
    const k4m::ServerConfig defaults;
    EXPECT_EQ(k4m::loadServerConfig((dir / "missing.ini").string()).base, defaults.base);
    k4m::test::writeFile(dir / "server.ini", "[Server]\r\nBase=https://127.0.0.1:8443/\r\nCAFile=/tmp/ca.pem\r\n"
                                             "StallTimeout=2\r\nSupport=\r\n");
    const auto config = k4m::loadServerConfig((dir / "server.ini").string());
    EXPECT_EQ(config.base, "https://127.0.0.1:8443");
    EXPECT_EQ(config.caFile, "/tmp/ca.pem");
    EXPECT_EQ(config.stallTimeoutSeconds, 2);
    EXPECT_EQ(config.connectTimeoutSeconds, 30);
    EXPECT_EQ(config.support, "");
    EXPECT_EQ(config.website, defaults.website);
    EXPECT_TRUE(config.problems.empty());
}

struct NonsenseCase {
    const char* name;
    const char* line;
    const char* problem;
};

class ServerConfigNonsense : public testing::TestWithParam<NonsenseCase> {};

TEST_P(ServerConfigNonsense, FallsBackToTheDefaultAndSaysSo) {
    k4m::test::TempDir dir;
    const k4m::ServerConfig defaults;
    k4m::test::writeFile(dir / "server.ini", std::string("[Server]\r\n") + GetParam().line + "\r\n");
    const auto config = k4m::loadServerConfig((dir / "server.ini").string());
    EXPECT_EQ(config.base, defaults.base);
    EXPECT_EQ(config.connectTimeoutSeconds, defaults.connectTimeoutSeconds);
    EXPECT_EQ(config.stallTimeoutSeconds, defaults.stallTimeoutSeconds);
    EXPECT_EQ(config.problems, std::vector<std::string>{GetParam().problem});
}

INSTANTIATE_TEST_SUITE_P(
    Values, ServerConfigNonsense,
    testing::Values(
        NonsenseCase{"PlainHttpBase", "Base=http://127.0.0.1:8443",
                     "server.ini: Base=http://127.0.0.1:8443 is not an https address; using https://www.corvane.com"},
        NonsenseCase{"EmptyBase", "Base=", "server.ini: Base= is not an https address; using https://www.corvane.com"},
        NonsenseCase{"SchemeOnly", "Base=https://",
                     "server.ini: Base=https:// is not an https address; using https://www.corvane.com"},
        NonsenseCase{"ZeroStall", "StallTimeout=0",
                     "server.ini: StallTimeout=0 is not a positive number of seconds; using 60"},
        NonsenseCase{"NegativeConnect", "ConnectTimeout=-5",
                     "server.ini: ConnectTimeout=-5 is not a positive number of seconds; using 30"},
        NonsenseCase{"WordForStall", "StallTimeout=soon",
                     "server.ini: StallTimeout=soon is not a positive number of seconds; using 60"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
