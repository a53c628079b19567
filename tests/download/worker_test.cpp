// The download worker against a real HTTPS server on 127.0.0.1 with its own certificate.
#include "core/log.h"
#include "download/file_sink.h"
#include "download/tcv_dl_thread.h"
#include "https_server.h"
#include "temp_dir.h"
#include "zip_builder.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::TcvDLThread;
using k4m::test::readFile;
using k4m::test::TempDir;
namespace answer = k4m::sim::answer;

namespace {

std::string pattern(uint64_t size) {
    std::string s(size, '\0');
    for (uint64_t i = 0; i < size; ++i)
        s[i] = k4m::sim::generatedByte(i);
    return s;
}

class WorkerTest : public testing::Test {
protected:
    void SetUp() override {
        log.open(dir / "log.txt");
        worker = makeWorker(server.caFile());
        worker->Start();
    }

    std::unique_ptr<TcvDLThread> makeWorker(const std::string& caFile) {
        k4m::HttpSettings settings;
        settings.caFile = caFile;
        settings.connectTimeoutSeconds = 5;
        settings.stallTimeoutSeconds = 1;
        return std::make_unique<TcvDLThread>(shared, &log, settings);
    }

    std::string url(const std::string& path) const { return server.base() + path; }

    // Posts a file command and waits for it.
    void run(int command, const std::string& path, const std::string& store, const std::string& entry = "") {
        worker->dldURL = url(path);
        worker->dldStore = store;
        worker->dldFileInZip = entry;
        worker->postAndWait(command);
    }

    std::vector<std::string> errorLines() const {
        std::vector<std::string> result;
        for (const auto& line : log.lines())
            if (line.rfind("DLD ERROR", 0) == 0) result.push_back(line);
        return result;
    }

    size_t requestsFor(const std::string& path) const {
        size_t n = 0;
        for (const auto& r : server.requests())
            n += r == path;
        return n;
    }

    TempDir dir;
    k4m::sim::HttpsServer server;
    k4m::WorkerShared shared;
    k4m::Log log;
    std::unique_ptr<TcvDLThread> worker;
};

// ---- command 2, fetch text ----

TEST_F(WorkerTest, FetchTextTrimsAndJoinsLinesWithCrLfAndSendsTheUserAgent) {
    server.on("/t.txt", answer::body(" \r\n OK[N=Name]\nsecond line \r\n\r\n"));
    EXPECT_EQ(k4m::fetchText(*worker, url("/t.txt")), "OK[N=Name]\r\nsecond line");
    EXPECT_EQ(server.lastUserAgent(), "Corvane KM4 1.2.6");
    EXPECT_EQ(worker->dldCommand.load(), 0);
}

TEST_F(WorkerTest, FetchTextDecodesWindows1252AndByteOrderMarks) {
    server.on("/cp.txt", answer::body("caf\xE9"));
    server.on("/bom.txt", answer::body("\xEF\xBB\xBFok"));
    EXPECT_EQ(k4m::fetchText(*worker, url("/cp.txt")), "caf\xC3\xA9");
    EXPECT_EQ(k4m::fetchText(*worker, url("/bom.txt")), "ok");
}

TEST_F(WorkerTest, HttpAddressesAreRequestedOverHttps) {
    server.on("/v", answer::body("1.2.6"));
    const std::string plain = "http://127.0.0.1:" + std::to_string(server.port()) + "/v";
    EXPECT_EQ(k4m::fetchText(*worker, plain), "1.2.6");
    EXPECT_EQ(worker->dldURL, url("/v"));
}

TEST_F(WorkerTest, FetchTextFailuresBecomeErrorAnswers) {
    EXPECT_EQ(k4m::fetchText(*worker, url("/missing")), "ERROR: HTTP/1.1 404 Not Found");
    EXPECT_EQ(shared.lastRequestError.get(), "HTTP/1.1 404 Not Found");
    server.on("/loop", answer::redirect(url("/loop")));
    const std::string loop = k4m::fetchText(*worker, url("/loop"));
    EXPECT_EQ(loop.rfind("ERROR: ", 0), 0u);
    EXPECT_NE(loop.find("redirect"), std::string::npos) << loop;
    // The worker ends each of them: the window never waits forever.
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(WorkerTest, WithoutTheServersCertificateAuthorityTlsIsRefused) {
    worker->Terminate();
    shared.stopFlag = false;
    auto untrusting = makeWorker("");
    untrusting->Start();
    server.on("/v", answer::body("1.2.6"));
    const std::string result = k4m::fetchText(*untrusting, url("/v"));
    EXPECT_EQ(result.rfind("ERROR: ", 0), 0u) << result;
    EXPECT_NE(result.find("certificate"), std::string::npos) << result;
}

TEST_F(WorkerTest, OneConnectionServesManyRequests) {
    server.on("/v", answer::body("1.2.6"));
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(k4m::fetchText(*worker, url("/v")), "1.2.6");
    EXPECT_EQ(server.connectionCount(), 1u);
}

// ---- commands 1 and 4, files ----

TEST_F(WorkerTest, SaveFileWritesTheWholeBodyAndReportsProgress) {
    server.on("/pkg.cxp4", answer::generated(3'000'000));
    const auto target = dir / "cache" / "pkg.cxp4";
    fs::create_directories(target.parent_path());
    run(k4m::CmdSaveFile, "/pkg.cxp4", target.string());
    EXPECT_TRUE(worker->dldOK);
    EXPECT_EQ(readFile(target), pattern(3'000'000));
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
    EXPECT_FLOAT_EQ(worker->dldCompletion.load(), 100.0f);
    EXPECT_EQ(shared.currentBytes.load(), 3'000'000);
    EXPECT_EQ(worker->dldMax.load(), 0); // reset when the command ended
    EXPECT_EQ(worker->LastAction.get(), "");
}

TEST_F(WorkerTest, WithoutContentLengthTheExpectedSizeComesFromTheSlotSize) {
    server.on("/nolength", answer::generated(100'000, false));
    worker->dldSize = 500; // kB
    run(k4m::CmdSaveFile, "/nolength", (dir / "a.bin").string());
    EXPECT_TRUE(worker->dldOK);
    EXPECT_EQ(fs::file_size(dir / "a.bin"), 100'000u);
    EXPECT_FLOAT_EQ(worker->dldCompletion.load(), 20.0f);

    worker->dldSize = 0;
    run(k4m::CmdSaveFile, "/nolength", (dir / "b.bin").string());
    EXPECT_TRUE(worker->dldOK);
    EXPECT_FLOAT_EQ(worker->dldCompletion.load(), 0.0f);
}

TEST_F(WorkerTest, RedirectChainsAreFollowed) {
    server.on("/a", answer::redirect("/b"));
    server.on("/b", answer::redirect(url("/c"), 301));
    server.on("/c", answer::body("arrived"));
    run(k4m::CmdSaveFile, "/a", (dir / "f").string());
    EXPECT_TRUE(worker->dldOK);
    EXPECT_EQ(readFile(dir / "f"), "arrived");
}

struct FailureCase {
    const char* name;
    std::function<void(k4m::sim::HttpsServer&)> setup;
    const char* messagePart;
    size_t requestsPerAttempt = 1;
};

class WorkerFileFailure : public WorkerTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(WorkerFileFailure, IsRetriedThreeTimesLoggedAndLeavesNoFile) {
    GetParam().setup(server);
    const auto target = dir / "pkg.cxp4";
    run(k4m::CmdSaveFile, "/pkg", target.string());
    EXPECT_FALSE(worker->dldOK);
    EXPECT_EQ(worker->dldCommand.load(), 0);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
    const auto errors = errorLines();
    ASSERT_EQ(errors.size(), 3u);
    for (const auto& line : errors) {
        EXPECT_EQ(line.rfind("DLD ERROR CMD=1: ", 0), 0u) << line;
        EXPECT_NE(line.find(GetParam().messagePart), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 17), " @ Downloading...") << line;
    }
    EXPECT_EQ(requestsFor("/pkg"), 3u * GetParam().requestsPerAttempt);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WorkerFileFailure,
    testing::Values(
        FailureCase{"NotFound", [](auto&) {}, "HTTP/1.1 404 Not Found"},
        FailureCase{"ServerError", [](auto& s) { s.on("/pkg", answer::body("no", 503)); }, "503"},
        FailureCase{"CutConnection", [](auto& s) { s.on("/pkg", answer::cutAfter(200'000, 1'000'000)); }, ""},
        FailureCase{"Stall", [](auto& s) { s.on("/pkg", answer::stallAfter(s, 50'000, 1'000'000)); }, ""},
        FailureCase{
            "RedirectToHttp",
            [](auto& s) { s.on("/pkg", answer::redirect("http://127.0.0.1:" + std::to_string(s.port()) + "/x")); },
            "https"},
        FailureCase{"RedirectToFile", [](auto& s) { s.on("/pkg", answer::redirect("file:///etc/passwd")); }, "https"},
        FailureCase{"RedirectLoop", [](auto& s) { s.on("/pkg", answer::redirect("/pkg")); }, "Maximum (25) redirects",
                    26}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, AStallFailsWithinTheStallLimit) {
    server.on("/pkg", answer::stallAfter(server, 10'000, 1'000'000));
    const auto start = std::chrono::steady_clock::now();
    run(k4m::CmdSaveFile, "/pkg", (dir / "f").string());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(worker->dldOK);
    EXPECT_LT(elapsed, 10s); // three attempts of one to two seconds each
    EXPECT_NE(errorLines().at(0).find("No data received for 1 seconds"), std::string::npos) << errorLines().at(0);
}

TEST_F(WorkerTest, CancelMidTransferEndsAtOnceAndLeavesNoFile) {
    server.on("/big", answer::stallAfter(server, 100'000, 10'000'000));
    const auto target = dir / "big.cxp4";
    worker->dldURL = url("/big");
    worker->dldStore = target.string();
    int pumped = 0;
    // The waiting window keeps running; here it presses Cancel once data arrived.
    worker->postAndWait(k4m::CmdSaveFile, [&] {
        ++pumped;
        if (worker->dldCurrent > 0) worker->dldCancel = true;
    });
    EXPECT_GT(pumped, 0);
    EXPECT_FALSE(worker->dldOK);
    EXPECT_EQ(worker->LastAction.get(), "Cancelled Download");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
    EXPECT_EQ(requestsFor("/big"), 1u); // a cancel is not retried
}

TEST_F(WorkerTest, AFailedSaveReportsThroughDldOkWithoutRetrying) {
    server.on("/f", answer::body("data"));
    run(k4m::CmdSaveFile, "/f", (dir / "no-such-folder" / "f").string());
    EXPECT_FALSE(worker->dldOK);
    EXPECT_TRUE(errorLines().empty());
    EXPECT_EQ(requestsFor("/f"), 0u); // a target that cannot be created is not worth a download
}

TEST_F(WorkerTest, Command4FollowsRedirectsAndItsFailedSaveIsRetriedAtTheLoop) {
    server.on("/r", answer::redirect("/f"));
    server.on("/f", answer::body("data"));
    run(k4m::CmdSaveFileFollow, "/r", (dir / "f").string());
    EXPECT_EQ(readFile(dir / "f"), "data");
    EXPECT_TRUE(worker->http().followRedirects());

    run(k4m::CmdSaveFileFollow, "/f", (dir / "no-such-folder" / "f").string());
    EXPECT_FALSE(worker->dldOK);
    EXPECT_EQ(errorLines().size(), 3u);
    EXPECT_EQ(errorLines().at(0).rfind("DLD ERROR CMD=4: ", 0), 0u);
}

// ---- commands 5 and 7, archives ----

TEST_F(WorkerTest, ArchiveEntryIsExtractedWithoutItsFoldersAsAProgram) {
    k4m::test::makeZip(dir / "update.zip",
                       {{"bin/", ""}, {"bin/Kandoro4Manager.exe", "new manager"}, {"readme.txt", "r"}});
    server.on("/Kandoro4Manager.zip", answer::file((dir / "update.zip").string()));
    const auto store = dir / "manager" / "Update";
    run(k4m::CmdZipEntry, "/Kandoro4Manager.zip", store.string(), "Kandoro4Manager.exe");
    EXPECT_TRUE(worker->dldOK);
    EXPECT_EQ(readFile(store / "Kandoro4Manager.exe"), "new manager");
    EXPECT_EQ(fs::status(store / "Kandoro4Manager.exe").permissions(), fs::perms(0755));
    EXPECT_EQ(std::distance(fs::directory_iterator(store), {}), 1); // no archive left behind
}

TEST_F(WorkerTest, ArchiveFailuresReportThroughDldOk) {
    k4m::test::makeZip(dir / "a.zip", {{"other.txt", "x"}});
    server.on("/a.zip", answer::file((dir / "a.zip").string()));
    server.on("/not-a.zip", answer::body("<html>not an archive</html>"));
    run(k4m::CmdZipEntry, "/a.zip", (dir / "out1").string(), "Kandoro4Manager.exe");
    EXPECT_FALSE(worker->dldOK);
    run(k4m::CmdZipEntry, "/not-a.zip", (dir / "out2").string(), "Kandoro4Manager.exe");
    EXPECT_FALSE(worker->dldOK);
    EXPECT_FALSE(fs::exists(dir / "out2" / "Kandoro4Manager.exe"));
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(WorkerTest, WholeArchiveIsExtractedWithItsFolders) {
    k4m::test::makeZip(dir / "all.zip", {{"data/", ""},
                                         {"data/sounds/kick.wav", "kick"},
                                         {"data\\styles\\rock.sty", "rock"},
                                         {"tool", "#!/bin/sh\n", 0755}});
    server.on("/all.zip", answer::file((dir / "all.zip").string()));
    run(k4m::CmdZipAll, "/all.zip", (dir / "out").string());
    EXPECT_TRUE(worker->dldOK);
    EXPECT_EQ(readFile(dir / "out/data/sounds/kick.wav"), "kick");
    EXPECT_EQ(readFile(dir / "out/data/styles/rock.sty"), "rock");
    EXPECT_EQ(fs::status(dir / "out/tool").permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(dir / "out/data/sounds/kick.wav").permissions(), fs::perms(0644));
}

TEST_F(WorkerTest, AnArchiveWithANameLeavingTheFolderWritesNothing) {
    for (const std::string evil :
         {"../escaped.txt", "/tmp/k4m-absolute.txt", "C:\\escaped.txt", "a/../../escaped.txt"}) {
        SCOPED_TRACE(evil);
        k4m::test::makeZip(dir / "evil.zip", {{"good.txt", "fine"}, {evil, "bad"}});
        server.on("/evil.zip", answer::file((dir / "evil.zip").string()));
        const auto out = dir / "nest" / "out";
        run(k4m::CmdZipAll, "/evil.zip", out.string());
        EXPECT_FALSE(worker->dldOK);
        EXPECT_FALSE(fs::exists(out / "good.txt"));
        EXPECT_FALSE(fs::exists(dir / "nest" / "escaped.txt"));
        EXPECT_FALSE(fs::exists("/tmp/k4m-absolute.txt"));
    }
}

TEST_F(WorkerTest, ExtractionNeverFollowsALinkOutOfTheTargetFolder) {
    const auto out = dir / "out";
    fs::create_directories(out);
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", out / "data");
    k4m::test::makeZip(dir / "a.zip", {{"data/file.txt", "x"}});
    server.on("/a.zip", answer::file((dir / "a.zip").string()));
    run(k4m::CmdZipAll, "/a.zip", out.string());
    EXPECT_FALSE(worker->dldOK);
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "file.txt"));
}

// ---- command 6, probe; other codes ----

TEST_F(WorkerTest, ProbeStoresTheStatusOrMinusOneWithTheMessage) {
    server.on("/", answer::body("home"));
    worker->dldURL = url("/");
    worker->postAndWait(k4m::CmdProbe);
    EXPECT_EQ(shared.lastStatusCode.load(), 200);
    EXPECT_EQ(worker->dldResult, "");

    worker->dldURL = url("/gone");
    worker->postAndWait(k4m::CmdProbe);
    EXPECT_EQ(shared.lastStatusCode.load(), 404);
    EXPECT_EQ(shared.lastRequestError.get(), "HTTP/1.1 404 Not Found");

    worker->dldURL = "https://127.0.0.1:1/";
    worker->postAndWait(k4m::CmdProbe);
    EXPECT_EQ(shared.lastStatusCode.load(), -1);
    EXPECT_FALSE(shared.lastRequestError.get().empty());
    EXPECT_EQ(worker->dldResult, "ERROR: " + shared.lastRequestError.get());
}

TEST_F(WorkerTest, UnknownCodesAreClearedAndTheBatchEndsWithMinusOne) {
    worker->postAndWait(9);
    EXPECT_EQ(worker->dldCommand.load(), 0);
    bool ran = false;
    worker->setBatchRunner([&ran](TcvDLThread&) { ran = true; });
    worker->post(k4m::CmdInstallBatch);
    worker->dldCommand.waitFor([](int code) { return code == k4m::CmdBatchFinished; });
    EXPECT_TRUE(ran);
}

TEST_F(WorkerTest, SlotInitialisationClearsTheFieldsConnectRefills) {
    auto& slot = worker->Downloads[200];
    slot.InUse = slot.Installed = slot.NoCache = true;
    slot.Size = slot.Downloaded = 7;
    slot.dName = "kept";
    worker->initSlots();
    EXPECT_FALSE(slot.InUse || slot.Installed || slot.NoCache);
    EXPECT_EQ(slot.Size + slot.Downloaded, 0);
    EXPECT_EQ(slot.dName, "kept");
    EXPECT_EQ(worker->Downloads.size(), 201u);
}

TEST_F(WorkerTest, TerminateEndsAnIdleWorkerAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    worker->Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

} // namespace
