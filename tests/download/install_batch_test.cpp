// The installation batch (command 3 of the worker) against a real HTTPS server, real packages and real folders.
#include "core/ini_file.h"
#include "core/log.h"
#include "demo_content.h"
#include "download/file_sink.h"
#include "download/install_batch.h"
#include "download/tcv_dl_thread.h"
#include "https_server.h"
#include "package_writer.h"
#include "temp_dir.h"
#include "vendor_content.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <thread>

namespace k4m {
namespace {

namespace fs = std::filesystem;
namespace answer = sim::answer;
using namespace std::chrono_literals;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

// A package of exactly `total` bytes with one entry, "data\styles\<style>.sty", whose bytes begin with `text`.
std::string packageOfSize(size_t total, const std::string& style, const std::string& text) {
    // Stored (level 0), each byte of padding adds one byte to the package, and the size written in the manifest
    // line may grow by a digit on the way.
    int64_t pad = 0;
    for (int attempt = 0; attempt < 4 && pad >= 0; ++attempt) {
        const std::string bytes = pack::rawPackage(
            {pack::entry("data\\styles\\" + style + ".sty", text + std::string(static_cast<size_t>(pad), '.'), 0)});
        if (bytes.size() == total) return bytes;
        pad += static_cast<int64_t>(total) - static_cast<int64_t>(bytes.size());
    }
    ADD_FAILURE() << "no package of " << total << " bytes";
    return {};
}

std::string package(const std::string& style, const std::string& text) {
    return packageOfSize(2000, style, text);
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

class InstallBatchTest : public testing::Test {
protected:
    InstallBatchTest() {
        InstallTargets& t = shared.installTargets;
        t.commonAppDataFolder = (dir / "common").string();
        t.productFolder = (dir / "common" / "Kandoro4").string();
        t.installerFolder = t.productFolder + "/Installer";
        t.soundDataFolder = (dir / "data").string();
        t.cacheFolder = (dir / "data" / "cache").string();
        fs::create_directories(t.cacheFolder);
        fs::create_directories(t.installerFolder);
        shared.profile = &profile;
    }

    void SetUp() override {
        log.open(dir / "log.txt");
        HttpSettings settings;
        settings.caFile = server.caFile();
        settings.connectTimeoutSeconds = 5;
        settings.stallTimeoutSeconds = 5;
        worker = std::make_unique<TcvDLThread>(shared, &log, settings);
        worker->setBatchRunner(runInstallBatch);
        worker->Start();
    }

    // Fills the next slot with a package "<name>" of the product "Product <name>", served at "/<name>".
    TcvDownload& addSlot(const std::string& name) {
        TcvDownload& slot = worker->Downloads[slotCount++];
        slot.InUse = true;
        slot.dName = name;
        slot.URL = url("/" + name);
        slot.Target = "MAIN";
        slot.ProductName = "Product " + name;
        slot.Version = 7;
        slot.Size = 2;
        slot.HandleRedirect = true;
        return slot;
    }

    // Serves a package whose style file holds `text`.
    void serve(const std::string& name, const std::string& text) {
        server.on("/" + name, answer::body(package(name, text)));
    }

    void runBatch() {
        worker->post(CmdInstallBatch);
        worker->dldCommand.waitFor([](int code) { return code == CmdBatchFinished; });
    }

    std::string url(const std::string& path) const { return server.base() + path; }
    fs::path cached(const std::string& name, const char* extension = ".cxp4") const {
        return fs::path(shared.installTargets.cacheFolder) / (name + extension);
    }
    fs::path installed(const std::string& name) const {
        return fs::path(shared.installTargets.productFolder) / "data" / "styles" / (name + ".sty");
    }
    fs::path errorFile() const { return fs::path(shared.installTargets.installerFolder) / "error.txt"; }
    size_t requestsFor(const std::string& path) const {
        const auto r = server.requests();
        return static_cast<size_t>(std::count(r.begin(), r.end(), path));
    }
    // Every name in the cache folder, sorted: partial or temporary files would show here.
    std::vector<std::string> cacheFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(shared.installTargets.cacheFolder, ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    int recordedVersion(const std::string& name) const { return profile.readInteger("Packages", name, -1); }
    bool logged(const std::string& line) const {
        const auto lines = log.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    test::TempDir dir{"k4m-batch"};
    sim::HttpsServer server;
    WorkerShared shared;
    IniFile profile{(dir / "installer.ini")};
    Log log;
    std::unique_ptr<TcvDLThread> worker;
    size_t slotCount = 0;
};

// ---- where a package comes from ----

struct SourceCase {
    const char* name;
    bool cached = false;        // an older package is in the cache folder
    bool noCache = false;       // the slot's NoCache
    bool offlineMode = false;   // offline installation mode
    bool createOffline = false; // offline package creation
    // Expected:
    bool requested = false;
    int dState = StatePending;
    const char* installed = nullptr; // which package's style file was installed: "cached", "served" or none
    const char* inCache = nullptr;   // which package the cache holds afterwards: likewise
    bool recorded = false;           // Packages/<name> holds the version
};

void PrintTo(const SourceCase& c, std::ostream* os) {
    *os << c.name;
}

class PackageSource : public InstallBatchTest, public testing::WithParamInterface<SourceCase> {};

TEST_P(PackageSource, DecidesBetweenTheCacheAndTheServer) {
    const SourceCase& c = GetParam();
    const std::string cachedPackage = package("pkg", "cached");
    const std::string servedPackage = package("pkg", "served");
    if (c.cached) writeFile(cached("pkg"), cachedPackage);
    server.on("/pkg", answer::body(servedPackage));
    shared.offlineMode = c.offlineMode;
    shared.createOffline = c.createOffline;
    TcvDownload& slot = addSlot("pkg");
    slot.NoCache = c.noCache;

    runBatch();

    EXPECT_EQ(requestsFor("/pkg"), c.requested ? 1u : 0u);
    EXPECT_EQ(logged("Downloading [pkg]..."), c.requested);
    EXPECT_EQ(slot.dState, c.dState);
    if (c.installed) {
        EXPECT_TRUE(startsWith(readFile(installed("pkg")), c.installed));
    } else {
        EXPECT_FALSE(fs::exists(installed("pkg")));
    }
    if (c.inCache) {
        EXPECT_EQ(readFile(cached("pkg")), std::string(c.inCache) == "cached" ? cachedPackage : servedPackage);
    } else {
        EXPECT_FALSE(fs::exists(cached("pkg")));
    }
    EXPECT_EQ(recordedVersion("pkg"), c.recorded ? 7 : -1);
    EXPECT_EQ(slot.Downloaded, c.requested ? slot.Size : 0);
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_FALSE(fs::exists(FileSink::partPath(cached("pkg"))));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PackageSource,
    testing::Values(SourceCase{.name = "CacheHit",
                               .cached = true,
                               .dState = StateCompleted,
                               .installed = "cached",
                               .inCache = "cached",
                               .recorded = true},
                    SourceCase{.name = "NotCached",
                               .requested = true,
                               .dState = StateCompleted,
                               .installed = "served",
                               .inCache = "served",
                               .recorded = true},
                    SourceCase{.name = "NoCacheFetchesAgain",
                               .cached = true,
                               .noCache = true,
                               .requested = true,
                               .dState = StateCompleted,
                               .installed = "served",
                               .inCache = "served",
                               .recorded = true},
                    SourceCase{.name = "OfflineInstallationTakesTheCacheDespiteNoCache",
                               .cached = true,
                               .noCache = true,
                               .offlineMode = true,
                               .dState = StateCompleted,
                               .installed = "cached",
                               .inCache = "cached",
                               .recorded = true},
                    // Nothing requested, the state as it was.
                    SourceCase{.name = "OfflineInstallationPassesOverAMissingPackage", .offlineMode = true},
                    SourceCase{.name = "OfflineCreationFetchesACachedPackageAgainAndInstallsNothing",
                               .cached = true,
                               .createOffline = true,
                               .requested = true,
                               .dState = StateInstalling,
                               .inCache = "served",
                               .recorded = true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallBatchTest, ASoundsOnlyPackageIsCachedAsCxp3) {
    writeFile(cached("snd", ".cxp3"),
              pack::rawPackage({pack::entry("data\\sounds\\kick.wav", std::string(900, 'k')),
                                pack::entry("data\\styles\\snd.sty", "not for a sounds-only package")}));
    TcvDownload& slot = addSlot("snd");
    slot.SoundsOnly = true;
    runBatch();
    EXPECT_EQ(slot.dState, StateCompleted);
    EXPECT_EQ(requestsFor("/snd"), 0u);
    EXPECT_EQ(readFile(dir / "data" / "data" / "sounds" / "kick.wav"), std::string(900, 'k'));
    EXPECT_FALSE(fs::exists(installed("snd")));
}

// ---- a download from start to end ----

TEST_F(InstallBatchTest, ADownloadLogsItsStepsFillsTheWorkerAndRecordsThePackage) {
    const std::string bytes = package("kit", "served");
    server.on("/kit", answer::body(bytes));
    shared.decimalSeparator = ",";
    shared.finishedBytes = 1000;
    worker->Errors.set("\r\nfrom the previous run");
    TcvDownload& slot = addSlot("kit");
    slot.URL = "http://127.0.0.1:" + std::to_string(server.port()) + "/kit";
    slot.HandleRedirect = false;
    slot.Size = 3;
    slot.ProductName = "Rock Kit";
    slot.Version = 0x1'8000'0005; // the profile keeps the low 32 bits, as a signed value
    slot.editionID = "ED7";
    slot.editionname = "Kandoro Pro";

    runBatch();

    const std::string packagePath = cached("kit").string();
    const std::string style = installed("kit").string();
    EXPECT_THAT(log.lines(), ElementsAre(Eq("Verifying remote file..."), Eq("Downloading [kit]..."),
                                         MatchesRegex("Elapsed: [0-9]+,[0-9][0-9] minutes"), Eq("Saving to cache..."),
                                         Eq(""), Eq("Installing package [" + packagePath + "]"),
                                         HasSubstr("Decompress data\\styles\\kit.sty~"),
                                         Eq("Installing [" + style + "]"), Eq("Installation Completed"), Eq("")));
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_EQ(slot.dState, StateCompleted);
    EXPECT_EQ(slot.URL, url("/kit"));
    EXPECT_EQ(slot.Downloaded, 3);
    EXPECT_EQ(readFile(cached("kit")), bytes);
    EXPECT_TRUE(startsWith(readFile(installed("kit")), "served"));

    EXPECT_EQ(worker->dldIndex.load(), 0);
    EXPECT_EQ(worker->dldName.get(), "Rock Kit");
    EXPECT_EQ(worker->dldSize.load(), 3);
    EXPECT_FALSE(worker->dldActive);
    EXPECT_EQ(worker->dldMax.load(), 0);
    EXPECT_EQ(worker->dldCurrent.load(), 0);
    EXPECT_EQ(shared.finishedBytes.load(), 1000 + static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(shared.currentBytes.load(), 0);
    EXPECT_EQ(worker->dldCommand.load(), CmdBatchFinished);

    // Written to disk, not only in memory.
    IniFile onDisk(dir / "installer.ini");
    ASSERT_TRUE(onDisk.load());
    EXPECT_EQ(onDisk.readInteger("Packages", "kit", 0), -2147483643);
    EXPECT_EQ(onDisk.readString("Edition", "ED7", ""), "Kandoro Pro");
}

TEST_F(InstallBatchTest, RedirectsAreFollowedPerSlot) {
    serve("target", "served");
    server.on("/followed", answer::redirect("/target"));
    server.on("/not-followed", answer::redirect("/target"));
    TcvDownload& followed = addSlot("followed");
    TcvDownload& notFollowed = addSlot("not-followed");
    notFollowed.HandleRedirect = false;

    runBatch();

    EXPECT_EQ(followed.dState, StateCompleted);
    // The redirect itself is the final answer, and no package.
    EXPECT_EQ(notFollowed.dState, StateFailed);
    EXPECT_EQ(requestsFor("/target"), 1u);
    EXPECT_EQ(worker->Errors.get(), "\r\nERROR: HTTP/1.1 302 Found @ Downloading not-followed...");
    const auto lines = log.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Verifying remote file..."), 1);
}

// ---- answers too short to be a package ----

struct SizeCase {
    size_t bytes;
    bool accepted;
};

class AnswerSize : public InstallBatchTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(AnswerSize, BelowEightHundredBytesIsAnInvalidDownloadSavedAsErrorTxt) {
    const std::string bytes = packageOfSize(GetParam().bytes, "small", "served");
    server.on("/small", answer::body(bytes));
    TcvDownload& slot = addSlot("small");

    runBatch();

    EXPECT_FALSE(fs::exists(FileSink::partPath(cached("small"))));
    if (GetParam().accepted) {
        EXPECT_EQ(slot.dState, StateCompleted);
        EXPECT_EQ(readFile(cached("small")), bytes);
        EXPECT_TRUE(fs::exists(installed("small")));
        EXPECT_FALSE(fs::exists(errorFile()));
        EXPECT_EQ(worker->Errors.get(), "");
    } else {
        EXPECT_EQ(slot.dState, StateFailed);
        EXPECT_EQ(readFile(errorFile()), bytes);
        EXPECT_THAT(cacheFiles(), IsEmpty());
        EXPECT_FALSE(fs::exists(installed("small")));
        EXPECT_EQ(worker->Errors.get(), "\r\nInvalid download!");
        EXPECT_TRUE(logged("Invalid download!"));
        EXPECT_FALSE(logged("Saving to cache..."));
        EXPECT_EQ(recordedVersion("small"), -1);
        EXPECT_EQ(slot.Downloaded, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Limit, AnswerSize, testing::Values(SizeCase{799, false}, SizeCase{800, true}),
                         [](const auto& info) { return std::to_string(info.param.bytes); });

// ---- failed requests ----

struct RequestFailure {
    const char* name;
    std::function<sim::Handler(sim::HttpsServer&)> answer;
    const char* message; // what the error line says between "ERROR: " and " @ "; empty: anything
    bool olderCached;    // an older package of the slot lies in the cache
};

void PrintTo(const RequestFailure& c, std::ostream* os) {
    *os << c.name;
}

class FailedRequest : public InstallBatchTest, public testing::WithParamInterface<RequestFailure> {};

TEST_P(FailedRequest, FailsItsSlotLeavesNothingInTheCacheAndTheBatchGoesOn) {
    const RequestFailure& c = GetParam();
    server.on("/bad", c.answer(server));
    serve("good", "served");
    const std::string older = package("bad", "older");
    if (c.olderCached) writeFile(cached("bad"), older);
    TcvDownload& bad = addSlot("bad");
    bad.NoCache = true;
    TcvDownload& good = addSlot("good");

    runBatch();

    EXPECT_EQ(bad.dState, StateFailed);
    EXPECT_EQ(good.dState, StateCompleted);
    const std::string errors = worker->Errors.get();
    const std::string suffix = " @ Downloading bad...";
    EXPECT_TRUE(startsWith(errors, "\r\nERROR: ")) << errors;
    EXPECT_TRUE(errors.ends_with(suffix)) << errors;
    if (*c.message != '\0') {
        EXPECT_EQ(errors, std::string("\r\nERROR: ") + c.message + suffix);
    }
    EXPECT_TRUE(logged(errors.substr(2)));
    if (c.olderCached) {
        EXPECT_THAT(cacheFiles(), ElementsAre("bad.cxp4", "good.cxp4"));
        EXPECT_EQ(readFile(cached("bad")), older);
    } else {
        EXPECT_THAT(cacheFiles(), ElementsAre("good.cxp4"));
    }
    EXPECT_FALSE(fs::exists(installed("bad")));
    EXPECT_EQ(recordedVersion("bad"), -1);
    EXPECT_EQ(bad.Downloaded, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedRequest,
    testing::Values(
        RequestFailure{"NotFound", [](auto&) { return answer::body("gone", 404); }, "HTTP/1.1 404 Not Found", false},
        RequestFailure{"CutConnection", [](auto&) { return answer::cutAfter(300'000, 1'000'000); }, "", false},
        RequestFailure{"CutConnectionKeepsTheOlderPackage", [](auto&) { return answer::cutAfter(300'000, 1'000'000); },
                       "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallBatchTest, AMissingCacheFolderIsMadeAgain) {
    serve("pkg", "served");
    fs::remove_all(shared.installTargets.cacheFolder);
    TcvDownload& slot = addSlot("pkg");
    runBatch();
    EXPECT_EQ(slot.dState, StateCompleted);
    EXPECT_THAT(cacheFiles(), ElementsAre("pkg.cxp4"));
}

TEST_F(InstallBatchTest, ACacheFolderThatCannotBeWrittenFailsTheSlotWithoutARequest) {
    serve("pkg", "served");
    fs::remove_all(shared.installTargets.cacheFolder);
    writeFile(shared.installTargets.cacheFolder, "a file where the folder belongs");
    TcvDownload& slot = addSlot("pkg");
    runBatch();
    EXPECT_EQ(slot.dState, StateFailed);
    EXPECT_EQ(requestsFor("/pkg"), 0u);
    EXPECT_EQ(worker->Errors.get(),
              "\r\nERROR: cannot write " + FileSink::partPath(cached("pkg")).string() + " @ Downloading pkg...");
}

TEST_F(InstallBatchTest, APackageNameThatLeavesTheCacheFailsItsSlotUnfetched) {
    // The name makes the cached file's name: with a separator in it the batch would save, and take from the
    // cache, a package anywhere.
    writeFile(dir / "data" / "planted.cxp4", package("planted", "planted"));
    serve("ok", "served");
    const std::vector<std::string> names{"../escaped", "..\\escaped", "../planted", "sub/x", "c:x", "bell\a"};
    for (const std::string& name : names) {
        TcvDownload& slot = addSlot(name);
        slot.URL = url("/ok");
    }
    TcvDownload& ok = addSlot("ok");
    runBatch();

    std::string expected;
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(worker->Downloads[i].dState, StateFailed) << names[i];
        expected += "\r\nERROR: the package name " + names[i] + " cannot name a file in the cache";
    }
    EXPECT_EQ(worker->Errors.get(), expected);
    EXPECT_EQ(ok.dState, StateCompleted);
    EXPECT_EQ(requestsFor("/ok"), 1u);
    EXPECT_FALSE(fs::exists(installed("planted")));
    EXPECT_FALSE(fs::exists(dir / "data" / "escaped.cxp4"));
    EXPECT_THAT(cacheFiles(), ElementsAre("ok.cxp4"));
}

TEST_F(InstallBatchTest, WithoutACacheFolderNothingIsFetched) {
    serve("pkg", "served");
    shared.installTargets.cacheFolder.clear();
    TcvDownload& slot = addSlot("pkg");
    runBatch();
    EXPECT_EQ(slot.dState, StateFailed);
    EXPECT_EQ(requestsFor("/pkg"), 0u);
    EXPECT_EQ(worker->Errors.get(), "\r\nERROR: there is no cache folder for the package pkg");
    EXPECT_FALSE(fs::exists("/pkg.cxp4"));
}

TEST_F(InstallBatchTest, AFailedInstallationFailsTheSlotAndKeepsThePackageInTheCache) {
    const std::string broken = pack::rawPackage({pack::RawEntry{"data\\styles\\x.sty~900", std::string(900, 'x')}});
    server.on("/broken", answer::body(broken));
    TcvDownload& slot = addSlot("broken");
    runBatch();
    EXPECT_EQ(slot.dState, StateFailed);
    EXPECT_EQ(readFile(cached("broken")), broken);
    EXPECT_EQ(recordedVersion("broken"), -1);
    EXPECT_EQ(slot.Downloaded, slot.Size);
    EXPECT_THAT(worker->Errors.get(), HasSubstr("[broken.cxp4] "));
}

TEST_F(InstallBatchTest, AProfileThatCannotBeSavedCostsTheRecordNotTheInstallation) {
    IniFile unsaveable(dir / "no-such-folder" / "installer.ini", true);
    shared.profile = &unsaveable;
    serve("pkg", "served");
    TcvDownload& slot = addSlot("pkg");
    slot.editionID = "ED1";
    slot.editionname = "Edition";
    runBatch();
    EXPECT_EQ(slot.dState, StateCompleted);
    EXPECT_TRUE(fs::exists(installed("pkg")));
    const auto lines = log.lines();
    // The version, the edition and the flush each tried and said so.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return startsWith(l, "Profile not saved: "); }),
              3);
    EXPECT_EQ(worker->Errors.get(), "");
}

// The demo vendor's packages are real ones: served by the vendor simulator, the 64-bit plug-in reached through
// the download command's redirect, they install with their plug-in copy and the mono derivative of a sample.
TEST_F(InstallBatchTest, TheDemoVendorsPackagesInstall) {
    sim::makeDemoContent((dir / "vendor").string());
    server.fallback(sim::contentFolder((dir / "vendor").string(), server.base()));
    shared.installTargets.vst64Folder = (dir / "vst64").string();
    shared.installTargets.installVST64 = true;
    TcvDownload& plugin = addSlot("soundk7_win64_1.0.3");
    plugin.URL = server.base() + "/kd4_main.php?COM=13&DID=soundk7_win64_1.0.3";
    plugin.Target = "WINVST64";
    TcvDownload& sounds = addSlot("brush_kits_sounds");
    sounds.URL = server.base() + "/packages/brush_kits_sounds.cxp4";
    runBatch();
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_EQ(plugin.dState, StateCompleted);
    EXPECT_EQ(sounds.dState, StateCompleted);
    EXPECT_TRUE(fs::is_regular_file(dir / "vst64" / "soundK7.dll"));
    EXPECT_EQ(profile.readString("General", "SK7_VST64", ""), (dir / "vst64" / "soundK7.dll").string());
    const fs::path kit = dir / "data" / "data" / "sounds" / "brush_sounds";
    EXPECT_TRUE(fs::is_regular_file(kit / "Kick CS _s01.wav"));
    EXPECT_TRUE(fs::is_regular_file(kit / "Kick _c01.wav"));
    EXPECT_TRUE(fs::is_regular_file(kit / "Snare.wav"));
}

// ---- cancel ----

TEST_F(InstallBatchTest, CancelMidTransferLeavesNoFileKeepsTheSlotDownloadingAndEndsTheBatch) {
    server.on("/big", answer::stallAfter(server, 100'000, 10'000'000));
    serve("next", "served");
    TcvDownload& big = addSlot("big");
    TcvDownload& next = addSlot("next");

    worker->post(CmdInstallBatch);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (worker->dldCurrent == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_GT(worker->dldCurrent.load(), 0);
    worker->dldCancel = true;
    const auto cancelled = std::chrono::steady_clock::now();
    worker->dldCommand.waitFor([](int code) { return code == CmdBatchFinished; });

    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 4s); // not the stall limit
    EXPECT_EQ(big.dState, StateDownloading);
    EXPECT_EQ(next.dState, StatePending);
    EXPECT_EQ(requestsFor("/next"), 0u);
    EXPECT_EQ(worker->LastAction.get(), "Cancelled Download");
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_THAT(cacheFiles(), IsEmpty());
    EXPECT_FALSE(fs::exists(errorFile()));
    EXPECT_FALSE(worker->dldActive);
    EXPECT_EQ(recordedVersion("big"), -1);
    EXPECT_EQ(worker->dldCommand.load(), CmdBatchFinished);
}

TEST_F(InstallBatchTest, TheWindowClosingMidTransferEndsTheBatchLikeACancel) {
    server.on("/big", answer::stallAfter(server, 100'000, 10'000'000));
    serve("next", "served");
    TcvDownload& big = addSlot("big");
    TcvDownload& next = addSlot("next");

    worker->post(CmdInstallBatch);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (worker->dldCurrent == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_GT(worker->dldCurrent.load(), 0);
    const auto closing = std::chrono::steady_clock::now();
    worker->Terminate(); // what the window's closing does

    EXPECT_LT(std::chrono::steady_clock::now() - closing, 4s);
    EXPECT_EQ(big.dState, StateDownloading);
    EXPECT_EQ(next.dState, StatePending);
    EXPECT_EQ(requestsFor("/next"), 0u);
    EXPECT_EQ(worker->Errors.get(), "");
    EXPECT_THAT(cacheFiles(), IsEmpty());
}

// ---- the walk over the slot table ----

struct WalkSlot {
    bool inUse;
    int iState;
    int dStateBefore;
    bool reached; // fetched and installed
    int dStateAfter;
};

struct WalkCase {
    const char* name;
    std::vector<WalkSlot> slots;
    bool cancelledBefore = false;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class SlotWalk : public InstallBatchTest, public testing::WithParamInterface<WalkCase> {};

TEST_P(SlotWalk, StopsAtTheFirstSlotNotInUseAndPassesOverTheOnesLeftAlone) {
    const WalkCase& c = GetParam();
    for (size_t i = 0; i < c.slots.size(); ++i) {
        const std::string name = "p" + std::to_string(i);
        serve(name, "served");
        TcvDownload& slot = addSlot(name);
        slot.InUse = c.slots[i].inUse;
        slot.iState = c.slots[i].iState;
        slot.dState = c.slots[i].dStateBefore;
    }
    worker->dldCancel = c.cancelledBefore;
    worker->Errors.set("\r\nfrom the previous run");

    runBatch();

    EXPECT_EQ(worker->dldCommand.load(), CmdBatchFinished);
    EXPECT_EQ(worker->Errors.get(), "");
    for (size_t i = 0; i < c.slots.size(); ++i) {
        SCOPED_TRACE("slot " + std::to_string(i));
        const std::string name = "p" + std::to_string(i);
        EXPECT_EQ(requestsFor("/" + name), c.slots[i].reached ? 1u : 0u);
        EXPECT_EQ(fs::exists(installed(name)), c.slots[i].reached);
        EXPECT_EQ(worker->Downloads[i].dState, c.slots[i].dStateAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SlotWalk,
    testing::Values(
        WalkCase{"FirstSlotNotInUse", {{false, 0, StatePending, false, StatePending}, {true, 0, 0, false, 0}}},
        WalkCase{"ASlotAfterAnUnusedSlotIsNeverReached",
                 {{true, 0, StatePending, true, StateCompleted},
                  {false, 0, StatePending, false, StatePending},
                  {true, 0, StatePending, false, StatePending}}},
        WalkCase{"SlotsLeftAloneKeepTheirState",
                 {{true, 3, StateSkipped, false, StateSkipped},
                  {true, 1, StateSkipped, false, StateSkipped},
                  {true, 0, StatePending, true, StateCompleted}}},
        WalkCase{"ACancelBeforeTheBatchFetchesNothing", {{true, 0, StatePending, false, StatePending}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the elapsed time ----

struct MinutesCase {
    int64_t milliseconds;
    const char* separator;
    const char* text;
};

TEST(MinutesText, HasTwoDecimalsWithTheGivenSeparator) {
    for (const MinutesCase& c :
         {MinutesCase{0, ".", "0.00"}, MinutesCase{90'000, ".", "1.50"}, MinutesCase{59'999, ",", "1,00"},
          MinutesCase{1'234'567, ",", "20,58"}, MinutesCase{299, ".", "0.00"}, MinutesCase{301, ".", "0.01"}}) {
        SCOPED_TRACE(c.milliseconds);
        EXPECT_EQ(minutesText(c.milliseconds, c.separator), c.text);
    }
}

} // namespace
} // namespace k4m
