#include "catalog/offline_package.h"
#include "catalog/slot_filling.h"
#include "temp_dir.h"

#include <array>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::IniFile;

namespace {

class SlotFilling : public testing::Test {
protected:
    SlotFilling() {
        context.rowIndex = 4;
        context.profile = &profile;
        context.locations = &locations;
        context.serverBase = "https://vendor.example";
        context.eid = "Qm8WKEY";
        context.status = [this](const std::string& text) { statuses.push_back(text); };
    }

    k4m::ProductFill fill(const std::string& manifestText, int& next) {
        return k4m::fillProductSlots(IniFile::fromText(manifestText), slots, next, context);
    }

    std::array<k4m::TcvDownload, 201> slots;
    IniFile profile = IniFile::fromText("[Packages]\nCORE=7\nOLD=2\n");
    IniFile locations = IniFile::fromText("[Locations]\n2=https://m.example/pkg/\n4=https://www.dropbox.com/s/\n");
    k4m::SlotContext context;
    std::vector<std::string> statuses;
};

const char* kManifest = "[General]\nVersion=4.1.0\n"
                        "[CORE]\nName=Kandoro core\nVersion=7\nSize=1200\nTarget=WINVST64\nLocation=2|core\n"
                        "EditionID=ED1\nEditionName=Standard\n"
                        "[OLD]\nName=Old kit\nVersion=3\nSize=500\nLocation=4|old\n"
                        "[NEW]\nName=New kit\nSize=800\nLocation=2|new\n"
                        "[MAC]\nmacOS=1\nLocation=2|mac\n";

TEST_F(SlotFilling, OneSlotPerAcceptedPackageWithItsStateAgainstTheProfile) {
    int next = 3;
    const auto result = fill(kManifest, next);
    EXPECT_EQ(next, 6);
    EXPECT_EQ(result.filled, 3);
    EXPECT_FALSE(result.tableFull);
    EXPECT_TRUE(result.someInstalled);
    EXPECT_FALSE(result.allCurrent);
    EXPECT_EQ(k4m::productState(result), k4m::ProductState::UpdateAvailable);
    EXPECT_EQ(result.installSize, 1300); // OLD and NEW; CORE is current

    const auto& core = slots[3];
    EXPECT_TRUE(core.InUse);
    EXPECT_EQ(core.ProductIndex, 4);
    EXPECT_EQ(core.dName, "CORE");
    EXPECT_EQ(core.ProductName, "Kandoro core");
    EXPECT_EQ(core.iState, 1);
    EXPECT_EQ(core.oiState, 1);
    EXPECT_TRUE(core.Installed);
    EXPECT_FALSE(core.NoCache);
    EXPECT_EQ(core.URL, "https://m.example/pkg/core_4.1.0.cxp4");
    EXPECT_EQ(core.editionID, "ED1");
    EXPECT_EQ(core.editionname, "Standard");

    const auto& old = slots[4];
    EXPECT_EQ(old.iState, 0);
    EXPECT_TRUE(old.NoCache);
    EXPECT_TRUE(old.oNoCache);
    EXPECT_FALSE(old.Installed);
    EXPECT_TRUE(old.HandleRedirect); // a file-hosting address
    EXPECT_EQ(old.Target, "MAIN");

    const auto& fresh = slots[5];
    EXPECT_EQ(fresh.Version, 1);
    EXPECT_EQ(fresh.iState, 0);
    EXPECT_FALSE(fresh.HandleRedirect);
    EXPECT_FALSE(slots[6].InUse);

    // Each package's steps show on the status line in order; the refused one only gets its first.
    const std::vector<std::string> coreSteps(statuses.begin(), statuses.begin() + 6);
    EXPECT_EQ(coreSteps, (std::vector<std::string>{"Preparing CORE", "PREP-D2 CORE", "PREP-D2A CORE", "PREP-D2B CORE",
                                                   "PREP-D3 CORE", "PREP-D3B CORE"}));
    EXPECT_EQ(statuses.back(), "Preparing MAC");
}

struct StateCase {
    const char* name;
    const char* profile;
    k4m::ProductState state;
};

class ProductStates : public SlotFilling, public testing::WithParamInterface<StateCase> {};

TEST_P(ProductStates, FollowFromTheTwoFlags) {
    profile = IniFile::fromText(GetParam().profile);
    int next = 0;
    EXPECT_EQ(k4m::productState(fill("[General]\n[A]\nVersion=2\n[B]\nVersion=5\n", next)), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProductStates,
    testing::Values(StateCase{"NothingInstalled", "", k4m::ProductState::NotInstalled},
                    StateCase{"OneCurrentOneNeverInstalled", "[Packages]\nA=2\n", k4m::ProductState::UpdateAvailable},
                    StateCase{"OneOlder", "[Packages]\nA=1\nB=5\n", k4m::ProductState::UpdateAvailable},
                    StateCase{"AllCurrent", "[Packages]\nA=2\nB=5\n", k4m::ProductState::UpToDate}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SlotFilling, TheFirstSectionIsNeverAPackageWhateverItsName) {
    int next = 0;
    const auto result = fill("[CORE]\nVersion=7\nLocation=2|core\n[KIT]\nLocation=2|kit\n", next);
    EXPECT_EQ(result.filled, 1);
    EXPECT_EQ(slots[0].dName, "KIT");
    // A product whose manifest could not be fetched has no packages: not installed, nothing to do.
    const auto none = fill("ERROR: Operation timed out", next);
    EXPECT_EQ(none.filled, 0);
    EXPECT_EQ(k4m::productState(none), k4m::ProductState::NotInstalled);
}

TEST_F(SlotFilling, OfflineModeResolvesNoLocation) {
    context.offlineMode = true;
    context.serverMode = 1;
    context.mirrors.dropbox = true;
    int next = 0;
    fill("[General]\n[KIT]\nLocation=2|kit\nLocation1=4|kit\n", next);
    EXPECT_EQ(slots[0].URL, "XXX.cxp4"); // no meaning: the package comes from the package folder
}

TEST_F(SlotFilling, ANegativeSizeCountsAsNothingToDownload) {
    int next = 0;
    const auto result = fill("[General]\n[NEG]\nSize=-5000\nLocation=2|neg\n[POS]\nSize=100\nLocation=2|pos\n", next);
    EXPECT_EQ(result.installSize, 100);
    EXPECT_EQ(slots[0].Size, 0);
    EXPECT_EQ(slots[1].Size, 100);
}

TEST_F(SlotFilling, PackagesBeyondTheTableAreLeftOutNotWrittenPastItsEnd) {
    std::string manifest = "[General]\n";
    for (int i = 0; i < 5; ++i)
        manifest += "[P" + std::to_string(i) + "]\nLocation=2|p\n";
    int next = 198;
    const auto result = fill(manifest, next);
    EXPECT_EQ(next, 201);
    EXPECT_EQ(result.filled, 3);
    EXPECT_TRUE(result.tableFull);
    EXPECT_EQ(slots[200].dName, "P2");
}

TEST(OfflinePackage, KeyCatalogAndManifestsRoundTripAndStayInTheFolder) {
    k4m::test::TempDir dir;
    const fs::path folder = dir / "Offline";
    fs::create_directories(folder);
    const k4m::OfflinePackage package(folder);
    EXPECT_EQ(package.loadKey(), ""); // a missing file reads as empty
    package.saveKey("  KEY-1234 ");
    EXPECT_EQ(package.loadKey(), "KEY-1234");
    EXPECT_EQ(fs::status(folder / "key.dat").permissions() & fs::perms::all, fs::perms(0600));
    package.saveCatalog("[KD4]\nStatus=OK\n");
    EXPECT_EQ(package.loadCatalog(), "[KD4]\r\nStatus=OK\r\n");
    package.saveManifest("M1", "[General]\nVersion=4\n");
    EXPECT_EQ(package.loadManifest("M1"), "[General]\r\nVersion=4\r\n");

    for (const std::string& id :
         std::vector<std::string>{"../escape", "/etc/passwd", "..", "", "C:evil", "a\\b", "a\nb"}) {
        SCOPED_TRACE(id);
        EXPECT_THROW(package.saveManifest(id, "x"), std::invalid_argument);
        EXPECT_EQ(package.loadManifest(id), "");
    }
    EXPECT_FALSE(fs::exists(dir / "escape.dat"));
}

} // namespace
