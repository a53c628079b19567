// The installation batch (command 3) against a real HTTPS server on 127.0.0.1, with real packages.
#include "child_process.h"
#include "core/ini_file.h"
#include "core/log.h"
#include "download/install_batch.h"
#include "download/tcv_dl_thread.h"
#include "demo_content.h"
#include "https_server.h"
#include "vendor_content.h"
#include "package_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace k4m {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::writeFile;
namespace answer = sim::answer;

// A package with one text entry, padded with an incompressible entry to `size` bytes or more.
std::string packageOf(const std::string& name, size_t size = 4000) {
    std::string noise(size, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 23);
    return pack::rawPackage({pack::entry("data\\" + name + ".txt", name), pack::entry("data\\" + name + ".bin", noise)});
}

class InstallBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.open(dir / "log.txt");
        FolderSet folders;
        folders.productFolder = (dir / "product").string();
        folders.installerFolder = (dir / "product" / "Installer").string();
        folders.commonAppDataFolder = (dir / "common").string();
        folders.dataFolder = (dir / "data").string();
        shared.installTargets = installTargetsOf(folders, {});
        shared.profile = &profile;
        HttpSettings settings;
        settings.caFile = server.caFile();
        settings.connectTimeoutSeconds = 5;
        settings.stallTimeoutSeconds = 2;
        worker = std::make_unique<TcvDLThread>(shared, &log, settings);
        worker->setBatchRunner(runInstallBatch);
        worker->Start();
    }

    // Fills slot `i` for the package `name` served at "/p/<name>.cxp4".
    TcvDownload& slot(int i, const std::string& name, int64_t version = 7) {
        TcvDownload& s = worker->Downloads[static_cast<size_t>(i)];
        s.InUse = true;
        s.dName = name;
        s.Target = "MAIN";
        s.URL = server.base() + "/p/" + name + ".cxp4";
        s.Version = version;
        s.ProductName = "Product " + name;
        s.HandleRedirect = true;
        s.Size = 4;
        return s;
    }

    void runBatch() {
        worker->post(CmdInstallBatch);
        ASSERT_TRUE(test::waitUntil([&] { return worker->dldCommand.load() == CmdBatchFinished; }, 60s));
    }

    fs::path cached(const std::string& name) const { return dir / "data" / "cache" / (name + ".cxp4"); }
    bool installed(const std::string& name) const { return fs::exists(dir / "product" / "data" / (name + ".txt")); }
    size_t requestsFor(const std::string& name) const {
        size_t n = 0;
        for (const auto& r : server.requests()) n += r == "/p/" + name + ".cxp4";
        return n;
    }
    bool logged(const std::string& line) const {
        const auto lines = log.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> cacheFolderNames() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir / "data" / "cache", ec)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir{"k4m-batch"};
    sim::HttpsServer server;
    WorkerShared shared;
    IniFile profile;
    Log log;
    std::unique_ptr<TcvDLThread> worker;
};

TEST_F(InstallBatchTest, DownloadsIntoTheCacheInstallsAndRecordsEachPackage) {
    server.on("/p/a.cxp4", answer::body(packageOf("a")));
    server.on("/p/b.cxp4", answer::body(packageOf("b")));
    TcvDownload& a = slot(0, "a", (int64_t{1} << 32) + 42); // only the low 32 bits are recorded
    a.editionID = "ED1";
    a.editionname = "Deluxe";
    a.HandleRedirect = false;
    slot(1, "b");
    runBatch();

    EXPECT_EQ(a.dState.load(), StateCompleted);
    EXPECT_EQ(worker->Downloads[1].dState.load(), StateCompleted);
    EXPECT_TRUE(installed("a") && installed("b"));
    EXPECT_EQ(readFile(cached("a")), packageOf("a"));
    EXPECT_EQ(profile.readInteger("Packages", "a", 0), 42);
    EXPECT_EQ(profile.readString("Edition", "ED1", ""), "Deluxe");
    EXPECT_EQ(a.Downloaded, a.Size);
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_EQ(shared.currentBytes.load(), 0);
    EXPECT_EQ(shared.finishedBytes.load(), static_cast<int64_t>(packageOf("a").size() + packageOf("b").size()));
    const auto lines = log.lines();
    const auto first = std::find(lines.begin(), lines.end(), "Verifying remote file...");
    ASSERT_NE(first, lines.end());
    EXPECT_EQ(*(first + 1), "Downloading [a]...");
    EXPECT_TRUE((first + 2)->starts_with("Elapsed: 0.0") && (first + 2)->ends_with(" minutes")) << *(first + 2);
    EXPECT_EQ(*(first + 3), "Saving to cache...");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Verifying remote file..."), 1); // b follows redirects
    EXPECT_EQ(cacheFolderNames(), (std::vector<std::string>{"a.cxp4", "b.cxp4"}));
}

TEST_F(InstallBatchTest, TheCacheIsUsedUnlessTheSlotOrAnOfflinePackageSaysOtherwise) {
    const struct {
        const char* name;
        bool noCache;
        bool createOffline;
        bool offlineMode;
        size_t requests;
        int dState;
        bool installed;
    } cases[] = {
        {"cache hit", false, false, false, 0, StateCompleted, true},
        {"NoCache fetches again", true, false, false, 1, StateCompleted, true},
        {"offline package creation fetches again and installs nothing", false, true, false, 1, StateInstalling, false},
        {"offline installation mode takes the cache even with NoCache", true, false, true, 0, StateCompleted, true},
    };
    server.on("/p/c.cxp4", answer::body(packageOf("c", 5000)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "product");
        profile = IniFile();
        writeFile(cached("c"), packageOf("c"));
        TcvDownload& s = slot(0, "c");
        s.dState = StatePending;
        s.NoCache = c.noCache;
        shared.createOffline = c.createOffline;
        shared.offlineMode = c.offlineMode;
        const size_t before = requestsFor("c");
        runBatch();
        worker->dldCommand = CmdIdle;
        EXPECT_EQ(requestsFor("c") - before, c.requests);
        EXPECT_EQ(s.dState.load(), c.dState);
        EXPECT_EQ(installed("c"), c.installed);
        EXPECT_EQ(profile.readInteger("Packages", "c", 0), 7);
        if (c.requests > 0) {
            EXPECT_EQ(readFile(cached("c")), packageOf("c", 5000));
        }
    }
}

TEST_F(InstallBatchTest, AnswersShorterThan800BytesAreInvalidDownloads) {
    const std::string short799(799, 'e');
    server.on("/p/short.cxp4", answer::body(short799));
    // 800 bytes exactly: a real package padded after its last stream (which no entry reads) is stored and installed.
    std::string exact = pack::rawPackage({pack::entry("data\\x.txt", "x")});
    exact += std::string(800 - exact.size(), '\0');
    server.on("/p/exact.cxp4", answer::body(exact));
    TcvDownload& s = slot(0, "short");
    TcvDownload& e = slot(1, "exact");
    runBatch();

    EXPECT_EQ(s.dState.load(), StateFailed);
    EXPECT_EQ(readFile(dir / "product" / "Installer" / "error.txt"), short799);
    EXPECT_FALSE(fs::exists(cached("short")));
    EXPECT_TRUE(logged("Invalid download!"));
    EXPECT_EQ(e.dState.load(), StateCompleted);
    EXPECT_EQ(readFile(dir / "product" / "data" / "x.txt"), "x");
    EXPECT_EQ(readFile(cached("exact")), exact);
    EXPECT_EQ(cacheFolderNames(), (std::vector<std::string>{"exact.cxp4"}));
    EXPECT_EQ(worker->Errors.get().substr(0, std::string("\r\nInvalid download!").size()), "\r\nInvalid download!");
}

TEST_F(InstallBatchTest, FailedRequestsFailTheirSlotAndLeaveNothingInTheCache) {
    server.on("/p/cut.cxp4", answer::cutAfter(3000, 100000));
    server.on("/p/ok.cxp4", answer::body(packageOf("ok")));
    TcvDownload& cut = slot(0, "cut");
    slot(1, "missing");
    TcvDownload& ok = slot(2, "ok");
    runBatch();

    EXPECT_EQ(cut.dState.load(), StateFailed);
    EXPECT_EQ(worker->Downloads[1].dState.load(), StateFailed);
    EXPECT_EQ(ok.dState.load(), StateCompleted);
    EXPECT_EQ(cacheFolderNames(), (std::vector<std::string>{"ok.cxp4"}));
    const std::string errors = worker->Errors.get();
    EXPECT_NE(errors.find("ERROR: "), std::string::npos);
    EXPECT_NE(errors.find(" @ Downloading cut..."), std::string::npos);
    EXPECT_NE(errors.find(" @ Downloading missing..."), std::string::npos);
}

TEST_F(InstallBatchTest, APackageNameThatLeavesTheCacheFailsItsSlotUnfetched) {
    // The name makes the cached file's name: with a separator in it the batch would save, and take from the
    // cache, a package anywhere.
    writeFile(dir / "data" / "planted.cxp4", packageOf("planted"));
    server.on("/p/ok.cxp4", answer::body(packageOf("ok")));
    const char* const names[] = {"../escaped", "..\\escaped", "../planted", "sub/x"};
    int i = 0;
    for (const char* name : names) {
        TcvDownload& s = slot(i++, name);
        s.URL = server.base() + "/p/ok.cxp4";
        s.NoCache = false;
    }
    TcvDownload& ok = slot(i, "ok");
    runBatch();

    for (int k = 0; k < i; ++k) EXPECT_EQ(worker->Downloads[static_cast<size_t>(k)].dState.load(), StateFailed) << k;
    EXPECT_EQ(ok.dState.load(), StateCompleted);
    EXPECT_EQ(requestsFor("ok"), 1u);
    EXPECT_FALSE(installed("planted"));
    EXPECT_FALSE(fs::exists(dir / "data" / "escaped.cxp4"));
    EXPECT_FALSE(fs::exists(dir / "data" / "cache" / "sub"));
    EXPECT_EQ(cacheFolderNames(), (std::vector<std::string>{"ok.cxp4"}));
    EXPECT_NE(worker->Errors.get().find("../escaped"), std::string::npos);
}

TEST_F(InstallBatchTest, ACancelStopsTheTransferAndEndsTheBatch) {
    server.on("/p/slow.cxp4", answer::drip(server, packageOf("slow", 100000), 5ms, 20000));
    server.on("/p/next.cxp4", answer::body(packageOf("next")));
    TcvDownload& s = slot(0, "slow");
    TcvDownload& next = slot(1, "next");
    worker->post(CmdInstallBatch);
    ASSERT_TRUE(test::waitUntil([&] { return worker->dldCurrent.load() > 0; }, 30s));
    worker->dldCancel = true;
    ASSERT_TRUE(test::waitUntil([&] { return worker->dldCommand.load() == CmdBatchFinished; }, 30s));

    EXPECT_EQ(s.dState.load(), StateDownloading);
    EXPECT_EQ(next.dState.load(), StatePending);
    EXPECT_EQ(worker->LastAction.get(), "Cancelled Download");
    EXPECT_EQ(requestsFor("next"), 0u);
    EXPECT_EQ(cacheFolderNames(), std::vector<std::string>{});
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_FALSE(worker->dldActive.load());
}

TEST_F(InstallBatchTest, TheWalkStopsAtTheFirstUnusedSlotAndPassesOverSlotsLeftAlone) {
    server.on("/p/a.cxp4", answer::body(packageOf("a")));
    server.on("/p/b.cxp4", answer::body(packageOf("b")));
    server.on("/p/late.cxp4", answer::body(packageOf("late")));
    TcvDownload& a = slot(0, "a");
    a.iState = 3; // marked up to date
    a.dState = StateSkipped;
    slot(1, "b");
    slot(3, "late"); // after the unused slot 2
    runBatch();
    EXPECT_EQ(a.dState.load(), StateSkipped);
    EXPECT_EQ(requestsFor("a"), 0u);
    EXPECT_EQ(worker->Downloads[1].dState.load(), StateCompleted);
    EXPECT_EQ(requestsFor("late"), 0u);
    EXPECT_EQ(worker->Downloads[3].dState.load(), StatePending);

    // A table whose first slot is unused: nothing at all happens.
    worker->dldCommand = CmdIdle;
    worker->initSlots();
    const size_t before = server.requests().size();
    runBatch();
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(InstallBatchTest, OfflineInstallationModeRequestsNothing) {
    shared.offlineMode = true;
    TcvDownload& s = slot(0, "absent");
    s.dState = StatePending;
    runBatch();
    EXPECT_EQ(s.dState.load(), StatePending);
    EXPECT_TRUE(server.requests().empty());
}

// The demo vendor's packages are real ones: served by the vendor simulator, the 64-bit plug-in reached through
// the download command's redirect, they install with their plug-in copy and the mono derivative of a sample.
TEST_F(InstallBatchTest, TheDemoVendorsPackagesInstall) {
    sim::makeDemoContent((dir / "vendor").string());
    server.fallback(sim::contentFolder((dir / "vendor").string(), server.base()));
    shared.installTargets.vst64Folder = (dir / "vst64").string();
    shared.installTargets.installVST64 = true;
    TcvDownload& plugin = slot(0, "soundk7_win64_1.0.3");
    plugin.URL = server.base() + "/kd4_main.php?COM=13&DID=soundk7_win64_1.0.3";
    plugin.Target = "WINVST64";
    TcvDownload& sounds = slot(1, "brush_kits_sounds");
    sounds.URL = server.base() + "/packages/brush_kits_sounds.cxp4";
    runBatch();
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_EQ(plugin.dState.load(), StateCompleted);
    EXPECT_EQ(sounds.dState.load(), StateCompleted);
    EXPECT_TRUE(fs::is_regular_file(dir / "vst64" / "soundK7.dll"));
    EXPECT_EQ(profile.readString("General", "SK7_VST64", ""), (dir / "vst64" / "soundK7.dll").string());
    const fs::path kit = dir / "data" / "data" / "sounds" / "brush_sounds";
    EXPECT_TRUE(fs::is_regular_file(kit / "Kick CS _s01.wav"));
    EXPECT_TRUE(fs::is_regular_file(kit / "Kick _c01.wav"));
    EXPECT_TRUE(fs::is_regular_file(kit / "Snare.wav"));
}

TEST(InstallTargets, SoundsGoToThePreviousGenerationOnlyWhenChosenAndKnown) {
    FolderSet f;
    f.dataFolder = "/d";
    f.productFolder = "/p";
    EXPECT_EQ(installTargetsOf(f, {true, "/kd3", true, false, true}).soundDataFolder, "/kd3");
    EXPECT_EQ(installTargetsOf(f, {true, "", false, false, false}).soundDataFolder, "/d");
    EXPECT_EQ(installTargetsOf(f, {false, "/kd3", false, false, false}).soundDataFolder, "/d");
    const InstallTargets t = installTargetsOf(f, {false, "", true, false, true});
    EXPECT_EQ(t.cacheFolder, "/d/cache");
    EXPECT_TRUE(t.installAAX && !t.installVST64 && t.installVST32);
}

} // namespace
} // namespace k4m
