#include "catalog/read_product.h"

#include <gtest/gtest.h>

namespace {

struct BetaCase {
    const char* name;
    const char* catalog;
    const char* section;
    const char* key;
    bool betas;
    const char* expected;
};

class ReadProductBeta : public testing::TestWithParam<BetaCase> {};

TEST_P(ReadProductBeta, PublishedBetasOfTheMainProductsTakeOver) {
    const auto catalog = k4m::IniFile::fromText(GetParam().catalog);
    EXPECT_EQ(k4m::ReadProduct(catalog, GetParam().section, GetParam().key, "N/A", GetParam().betas),
              GetParam().expected);
}

const char* kBeta = "[KD4]\nName=Kandoro 4\nManifest=M1\nBetaManifest=MB\nBetaName=Kandoro 4 Beta\n"
                    "[DRUMS]\nName=Drums\nBetaManifest=MX\nBetaName=Drums Beta\n"
                    "[KD4F]\nName=Free\nBetaManifest=FB\n"
                    "[kd4]\nBeta1002006Manifest=MV\nBeta1002006Name=Kandoro 4 for 1.2.6\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadProductBeta,
    testing::Values(BetaCase{"BetasOffKeepsTheRelease", kBeta, "KD4", "Name", false, "Kandoro 4"},
                    BetaCase{"VersionedBetaWinsOverThePlainBeta", kBeta, "KD4", "Name", true, "Kandoro 4 for 1.2.6"},
                    BetaCase{"VersionedBetaManifest", kBeta, "KD4", "Manifest", true, "MV"},
                    BetaCase{"PlainBetaOfTheFreeProduct", kBeta, "KD4F", "Manifest", true, "FB"},
                    BetaCase{"BetaWithoutANameShowsTheDefault", kBeta, "KD4F", "Name", true, "N/A"},
                    BetaCase{"OtherProductsHaveNoBetas", kBeta, "DRUMS", "Name", true, "Drums"},
                    BetaCase{"MissingKeyGivesTheDefault", kBeta, "DRUMS", "Status", false, "N/A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadCatalog, ProductsInFileOrderWithTheirDefaultsAndHiddenOnesKeepingTheirIndex) {
    const auto catalog = k4m::IniFile::fromText("[KD4]\r\nName=Kandoro 4\r\nStatus=OK\r\nManifest=M1\r\nNew=220\r\n"
                                                "[LEGACY]\r\nEnvironment=2\r\nStatus=OK\r\n"
                                                "[Latin]\r\nName = Latin Kit \r\n"
                                                "[kd4]\r\nEnvironment=1\r\n");
    const auto products = k4m::readCatalog(catalog, false);
    ASSERT_EQ(products.size(), 3u); // a repeated section continues the first
    EXPECT_EQ(products[0].id, "KD4");
    EXPECT_EQ(products[0].environment, 1);
    EXPECT_TRUE(products[0].installable());
    EXPECT_EQ(products[0].newBadge, 220);
    EXPECT_EQ(products[0].manifestId, "M1");
    EXPECT_FALSE(products[1].hasRow());
    EXPECT_EQ(products[2].name, "Latin Kit");
    EXPECT_EQ(products[2].status, "Not available yet");
    EXPECT_FALSE(products[2].installable());
    EXPECT_EQ(products[2].manifestId, "");
    EXPECT_TRUE(k4m::readCatalog(k4m::IniFile::fromText("ERROR: Could not connect"), false).empty());
}

} // namespace
