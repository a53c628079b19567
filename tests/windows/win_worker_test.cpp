// The download worker and the package installer of the Windows build, under wine, against the demo vendor
// simulator running on the build machine (started by the test run's fixture). The folders carry names beyond
// ASCII, as a musician's user folder may.
#include "core/log.h"
#include "download/package_installer.h"
#include "download/tcv_dl_thread.h"
#include "download/worker_shared.h"
#include "platform/utf8_path.h"
#include "temp_dir.h"
#include "zip_builder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

namespace fs = std::filesystem;
using k4m::pathFromUtf8;
using k4m::test::readFile;
using k4m::test::TempDir;

namespace {

std::string fixtureValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// "key=value" lines of the simulator's server.ini.
std::map<std::string, std::string> serverIni(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (const size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

struct HostRecord : k4m::InstallerHost {
    void log(const std::string& line) override { lines.push_back(line); }
    void setLastAction(const std::string&) override {}
    void addError(const std::string& line) override { errors.push_back(line); }
    std::vector<std::string> lines, errors;
};

class WinWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        // The fixture's folder: server.ini, the content, the certificate and an unrelated authority.
        const std::string vendor = fixtureValue("K4M_TEST_VENDOR");
        if (vendor.empty()) GTEST_SKIP() << "no vendor simulator in this run";
        vendorFolder = vendor;
        base = serverIni(vendorFolder / "server.ini").at("Base");
        // The simulator writes its certificate's path as the build machine sees it, so it is taken from here.
        caFile = vendorFolder / "certificate" / "certificate.pem";
        ASSERT_TRUE(fs::exists(caFile)) << caFile.string();
        folder = dir.path() / pathFromUtf8("Grüße ✓ Дми");
        fs::create_directories(folder);
        log.open(folder / "log.txt");
    }

    std::unique_ptr<k4m::TcvDLThread> startWorker(const fs::path& authorities) {
        k4m::HttpSettings settings;
        settings.caFile = k4m::utf8Of(authorities);
        settings.connectTimeoutSeconds = 10;
        auto worker = std::make_unique<k4m::TcvDLThread>(shared, &log, settings);
        worker->Start();
        return worker;
    }

    TempDir dir;
    fs::path vendorFolder, folder, caFile;
    std::string base;
    k4m::WorkerShared shared;
    k4m::Log log;
};

TEST_F(WinWorkerTest, TextAndPackageComeOverTlsAndThePackageIsInstalledUnderAFolderBeyondAscii) {
    auto worker = startWorker(caFile);
    const std::string version = k4m::fetchText(*worker, base + "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.ver");
    EXPECT_EQ(version.rfind("ERROR", 0), std::string::npos) << version;
    EXPECT_FALSE(version.empty());

    const fs::path package = folder / "cache" / "brush_kits_styles.cxp4";
    fs::create_directories(package.parent_path());
    ASSERT_TRUE(k4m::saveFile(*worker, base + "/packages/brush_kits_styles.cxp4", k4m::utf8Of(package)))
        << testing::PrintToString(log.lines());
    EXPECT_EQ(readFile(package), readFile(vendorFolder / "content" / "packages" / "brush_kits_styles.cxp4"));

    k4m::InstallTargets& targets = shared.installTargets;
    targets.productFolder = k4m::utf8Of(folder / "Kandoro4");
    targets.installerFolder = targets.productFolder + "/Installer";
    targets.soundDataFolder = k4m::utf8Of(folder / "data");
    targets.cacheFolder = k4m::utf8Of(folder / "cache");
    HostRecord host;
    ASSERT_TRUE(k4m::installPackage(k4m::utf8Of(package), {"MAIN", "BRUSH", false}, shared, host));
    EXPECT_TRUE(host.errors.empty());
    // The demo's styles file: the product's name and version line, then 2000 bytes.
    const std::string styles = readFile(folder / "Kandoro4" / "data" / "styles" / "brush_styles.sty");
    EXPECT_EQ(styles.rfind("Brush Kit Styles, version 5\r\n", 0), 0u);
    EXPECT_EQ(styles.size(), 29u + 2000u);
    EXPECT_TRUE(fs::is_regular_file(folder / "Kandoro4" / "data" / "players" / "brush_styles.ply"));
    // Nothing lands under a name mangled through the system's code page.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

// An archive the server offers, with names beyond ASCII inside, extracted into the folder: whole, and one entry
// under its file name alone.
TEST_F(WinWorkerTest, AnArchiveIsExtractedUnderAFolderBeyondAsciiWithTheNamesOfItsEntries) {
    const std::string name = "utf8-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".zip";
    const fs::path served = vendorFolder / "content" / "packages" / name;
    k4m::test::makeZip(served, {{"kits/Дми kick.wav", "kick"},
                                {"styles/Grüße/", ""},
                                {"styles/Grüße/brush.sty", "style"},
                                {"readme ✓.txt", "read me"}});
    auto worker = startWorker(caFile);
    const std::string url = base + "/packages/" + name;

    const fs::path all = folder / L"all";
    ASSERT_TRUE(k4m::extractArchive(*worker, url, k4m::utf8Of(all))) << testing::PrintToString(log.lines());
    EXPECT_EQ(readFile(all / L"kits\\Дми kick.wav"), "kick");
    EXPECT_EQ(readFile(all / L"styles\\Grüße\\brush.sty"), "style");
    EXPECT_EQ(readFile(all / L"readme ✓.txt"), "read me");
    // The downloaded archive went with the extraction.
    EXPECT_EQ(std::distance(fs::directory_iterator(all), {}), 3);

    const fs::path one = folder / L"one";
    ASSERT_TRUE(k4m::extractArchiveEntry(*worker, url, k4m::utf8Of(one), "kits/Дми kick.wav"))
        << testing::PrintToString(log.lines());
    EXPECT_EQ(readFile(one / L"Дми kick.wav"), "kick");
    EXPECT_EQ(std::distance(fs::directory_iterator(one), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
    fs::remove(served);
}

TEST_F(WinWorkerTest, AServerWhoseAuthorityIsNotTheConfiguredOneIsRefused) {
    auto worker = startWorker(vendorFolder / "other-ca.pem");
    const std::string answer = k4m::fetchText(*worker, base + "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.ver");
    EXPECT_EQ(answer.rfind("ERROR: ", 0), 0u) << answer;
    const fs::path target = folder / "refused.cxp4";
    EXPECT_FALSE(k4m::saveFile(*worker, base + "/packages/brush_kits_styles.cxp4", k4m::utf8Of(target)));
    EXPECT_FALSE(fs::exists(target));
}

} // namespace
