// The vendor simulator program, started as a child process the way the demo starts it.
#include "catalog/package_url.h"
#include "catalog/read_product.h"
#include "catalog/slot_filling.h"
#include "child_process.h"
#include "core/ini_file.h"
#include "core/server_requests.h"
#include "download/http_client.h"
#include "download/package_format.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class VendorSimTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(k4m::test::runChild({K4M_VENDOR_SIM, "--make-demo", (dir / "content").string(), "--demo-profile",
                                       (dir / "installer.ini").string()}),
                  0);
        k4m::test::writeFile(dir / "content" / "big.bin", std::string(100'000, 'x'));
        sim = std::make_unique<k4m::test::Child>(
            std::vector<std::string>{K4M_VENDOR_SIM, "--content", (dir / "content").string(), "--cert-dir",
                                     (dir / "cert").string(), "--server-ini", (dir / "server.ini").string(), "--fault",
                                     "/broken=status:503", "--fault", "/big.bin=cut:1000"});
        ASSERT_TRUE(k4m::test::waitUntil([&] { return fs::exists(dir / "server.ini"); }));
        k4m::IniFile ini(dir / "server.ini");
        ini.load();
        base = ini.readString("Server", "Base", "");
        settings.caFile = ini.readString("Server", "CAFile", "");
    }

    // The body of a GET of a server path, or the error message.
    std::string get(const std::string& path) { return fetch(base + path); }

    // The body of a GET that follows at most `maxRedirects` redirects, or the error message.
    std::string fetch(const std::string& url, long maxRedirects = 25) {
        k4m::HttpSettings limited = settings;
        limited.maxRedirects = maxRedirects;
        k4m::HttpClient client(limited);
        std::string body;
        k4m::HttpTransfer transfer;
        transfer.onData = [&](std::string_view data) {
            body.append(data);
            return true;
        };
        try {
            client.get(url, transfer);
        } catch (const k4m::HttpError& e) {
            return std::string("failed: ") + e.what();
        }
        return body;
    }

    k4m::IniFile fetchIni(const std::string& url) { return k4m::IniFile::fromText(fetch(url)); }

    const std::string eid = k4m::server::customerEid("DEMO-KEY");
    k4m::test::TempDir dir;
    std::unique_ptr<k4m::test::Child> sim;
    std::string base;
    k4m::HttpSettings settings;
};

TEST_F(VendorSimTest, ServesTheDemoWithItsOwnCertificateAndWritesServerIni) {
    EXPECT_EQ(base.rfind("https://127.0.0.1:", 0), 0u) << base;
    EXPECT_TRUE(fs::path(settings.caFile).is_absolute());
    EXPECT_EQ(get(k4m::server::kVersionPath), "1.2.6\r\n");
    EXPECT_EQ(get(k4m::server::kStatusPath), "OK\r\n");
    EXPECT_EQ(get(k4m::server::kLicensePath).rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(get("/"), "Kandoro vendor simulator");
    EXPECT_EQ(get(std::string("/kd4_main.php?COM=1&EID=") + k4m::server::customerEid("ANY-KEY")),
              "OK[N=Demo Customer][E=demo.customer@example.com]\r\n");
    EXPECT_EQ(get("/kd4_main.php?COM=99&EID=x"), "ERROR: unknown request");
}

TEST_F(VendorSimTest, FaultKnobsAndPathsOutsideTheContent) {
    EXPECT_EQ(get("/broken"), "failed: HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(get("/big.bin").rfind("failed: ", 0), 0u);
    EXPECT_EQ(get("/missing.txt"), "failed: HTTP/1.1 404 Not Found");
    EXPECT_EQ(get("/%2E%2E/server.ini"), "failed: HTTP/1.1 404 Not Found");
}

TEST_F(VendorSimTest, DemoAddressesAreTheServersOwnAndTheContentHoldsNone) {
    const k4m::IniFile locations = fetchIni(k4m::server::locationsUrl(base, eid));
    EXPECT_EQ(locations.readInteger("Priority", "Mode", 0), 1);
    EXPECT_EQ(locations.readString("Locations", "1", ""), base + "/packages/");
    EXPECT_EQ(locations.readString("Locations", "2", ""), base + "/mirrors/dropbox/files/");

    // The port is chosen at start, so no content file may hold an address.
    for (const auto& entry : fs::recursive_directory_iterator(dir / "content")) {
        if (!entry.is_regular_file()) continue;
        EXPECT_EQ(k4m::test::readFile(entry.path()).find("://"), std::string::npos) << entry.path();
    }
}

TEST_F(VendorSimTest, DemoCatalogHasEveryKindOfRow) {
    const k4m::IniFile catalog = fetchIni(k4m::server::catalogUrl(base, eid));
    const std::vector<k4m::CatalogProduct> products = k4m::readCatalog(catalog, false);
    ASSERT_GT(products.size(), 12u) << "a second column";
    std::set<std::string> statuses;
    size_t hidden = 0, badges = 0;
    for (size_t i = 0; i < products.size(); ++i) {
        statuses.insert(products[i].status);
        if (!products[i].hasRow()) hidden = i;
        if (products[i].newBadge > 0) ++badges;
    }
    EXPECT_GT(hidden, 0u);
    EXPECT_LT(hidden, 12u) << "the gap moves the column break";
    EXPECT_GT(badges, 0u);
    EXPECT_TRUE(statuses.count("OK") && statuses.count("Not available yet")) << statuses.size();
    EXPECT_GE(statuses.size(), 3u) << "a status text of the vendor's own";

    // The beta takes over the main product only when betas are wanted.
    const k4m::CatalogProduct released = products.front();
    const k4m::CatalogProduct beta = k4m::readCatalog(catalog, true).front();
    EXPECT_EQ(released.id, "KD4");
    EXPECT_NE(beta.name, released.name);
    EXPECT_NE(beta.manifestId, released.manifestId);
    for (const auto& mid : {released.manifestId, beta.manifestId})
        EXPECT_GT(fetchIni(k4m::server::manifestUrl(base, eid, mid)).sectionNames().size(), 1u) << mid;
}

struct DemoCase {
    const char* name;
    bool dropboxReachable;
    bool betas;
};

class VendorSimDemoDownloads : public VendorSimTest, public testing::WithParamInterface<DemoCase> {};

// Connect's reading of the demo with the seeded profile: the rows come out as the demo means them, and every
// package the manager would fetch is there, whichever way it is reached.
TEST_P(VendorSimDemoDownloads, EveryOfferedPackageReachesItsFile) {
    k4m::IniFile profile(dir / "installer.ini");
    ASSERT_TRUE(profile.load());
    const k4m::IniFile locations = fetchIni(k4m::server::locationsUrl(base, eid));
    const k4m::IniFile catalog = fetchIni(k4m::server::catalogUrl(base, eid));

    std::array<k4m::TcvDownload, 201> slots;
    int next = 0;
    std::map<std::string, k4m::ProductState> states;
    std::set<std::string> manifestPackages;
    const std::vector<k4m::CatalogProduct> products = k4m::readCatalog(catalog, GetParam().betas);
    for (size_t i = 0; i < products.size(); ++i) {
        const k4m::CatalogProduct& product = products[i];
        if (!product.hasRow() || !product.installable()) continue;
        const k4m::IniFile manifest = fetchIni(k4m::server::manifestUrl(base, eid, product.manifestId));
        for (const auto& section : manifest.sectionNames())
            manifestPackages.insert(section);
        k4m::SlotContext context;
        context.rowIndex = static_cast<int>(i);
        context.profile = &profile;
        context.options = {.installVST32 = true, .installVST64 = true, .installAAX = true};
        context.serverMode = locations.readInteger("Priority", "Mode", 0);
        context.mirrors = {.dropbox = GetParam().dropboxReachable, .googleDrive = true, .mediaFire = true};
        context.locations = &locations;
        context.serverBase = base;
        context.eid = eid;
        states[product.id] = k4m::productState(k4m::fillProductSlots(manifest, slots, next, context));
    }
    using enum k4m::ProductState;
    EXPECT_EQ(states, (std::map<std::string, k4m::ProductState>{{"KD4", UpdateAvailable},
                                                                {"BRUSH", UpToDate},
                                                                {"LATIN", NotInstalled},
                                                                {"FUNK", NotInstalled},
                                                                {"SOUNDK7", NotInstalled},
                                                                {"KD3CLASSIC", NotInstalled},
                                                                {"JAZZ", NotInstalled},
                                                                {"ROCK", UpdateAvailable},
                                                                {"WORLD", NotInstalled},
                                                                {"ELECTRO", NotInstalled},
                                                                {"PLAYERS", UpToDate}}));

    std::set<std::string> targets, offered;
    int fromMirror = 0, throughScript = 0, previousGeneration = 0;
    for (int s = 0; s < next; ++s) {
        const k4m::TcvDownload& slot = slots[static_cast<size_t>(s)];
        SCOPED_TRACE(slot.dName + " " + slot.URL);
        targets.insert(slot.Target);
        offered.insert(slot.dName);
        // A real package: long enough to be no error page, with a manifest that fits in it.
        const std::string package = fetch(slot.URL);
        ASSERT_GE(package.size(), 800u);
        const uint32_t length = static_cast<unsigned char>(package[0]) | static_cast<unsigned char>(package[1]) << 8 |
                                static_cast<unsigned char>(package[2]) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(package[3])) << 24;
        ASSERT_LT(length, package.size() - 4);
        const std::vector<std::string> lines = k4m::manifestLines(package.substr(4, length));
        EXPECT_FALSE(lines.empty());
        for (const std::string& line : lines) {
            if (slot.SoundsOnly) {
                EXPECT_EQ(line.rfind("data\\sounds\\", 0), 0u) << line;
            }
        }
        if (k4m::isFileHostingAddress(slot.URL)) {
            // A share link, a download page, then the file.
            ++fromMirror;
            EXPECT_EQ(fetch(slot.URL, 1).rfind("failed: ", 0), 0u);
        }
        if (slot.URL.find("COM=13") != std::string::npos) ++throughScript;
        if (slot.SoundsOnly) ++previousGeneration;
    }
    EXPECT_EQ(targets, (std::set<std::string>{"MAIN", "WINVST64", "WINVST32", "AAX"}));
    EXPECT_EQ(fromMirror > 0, GetParam().dropboxReachable);
    EXPECT_GT(throughScript, 0);
    EXPECT_GT(previousGeneration, 0);
    for (const char* never : {"KD4_MACAPP", "LATIN_GROOVES"}) {
        EXPECT_TRUE(manifestPackages.count(never)) << never;
        EXPECT_FALSE(offered.count(never)) << never;
    }
}

INSTANTIATE_TEST_SUITE_P(Mirrors, VendorSimDemoDownloads,
                         testing::Values(DemoCase{"DropboxReachable", true, false},
                                         DemoCase{"DropboxUnreachable", false, false},
                                         DemoCase{"BetaWithDropbox", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
