// The download worker against a real HTTPS server on 127.0.0.1 with its own certificate.
#include "core/log.h"
#include "download/file_sink.h"
#include "download/tcv_dl_thread.h"
#include "https_server.h"
#include "temp_dir.h"
#include "vendor_content.h"
#include "zip_builder.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <httplib.h>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::TcvDLThread;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;
namespace answer = k4m::sim::answer;
using Clock = std::chrono::steady_clock;

namespace {

std::string pattern(uint64_t size) {
    std::string s(size, '\0');
    for (uint64_t i = 0; i < size; ++i)
        s[i] = k4m::sim::generatedByte(i);
    return s;
}

// `count` pieces of `size` letters ("aaa...bbb..."), `pause` apart, with a Content-Length.
k4m::sim::Handler pausedPieces(size_t size, size_t count, std::chrono::milliseconds pause) {
    return [=](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(size * count, "text/plain", [=](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0) std::this_thread::sleep_for(pause);
            const std::string piece(size, static_cast<char>('a' + offset / size % 26));
            return sink.write(piece.data(), piece.size());
        });
    };
}

std::string piecesText(size_t size, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += std::string(size, static_cast<char>('a' + i % 26));
    return text;
}

// Sends nothing back until `delay` passed or the server stops.
k4m::sim::Handler silentFor(const k4m::sim::HttpsServer& server, std::chrono::milliseconds delay) {
    return [&server, delay](const httplib::Request&, httplib::Response& response) {
        const auto until = Clock::now() + delay;
        while (!server.stopping() && Clock::now() < until)
            std::this_thread::sleep_for(20ms);
        response.set_content("late", "text/plain");
    };
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class WorkerTest : public testing::Test {
protected:
    void SetUp() override {
        log.open(dir / "log.txt");
        worker = makeWorker(server.caFile());
        worker->Start();
    }

    std::unique_ptr<TcvDLThread> makeWorker(const std::string& caFile, long stallSeconds = 1, long textSeconds = 120) {
        k4m::HttpSettings settings;
        settings.caFile = caFile;
        settings.connectTimeoutSeconds = 5;
        settings.stallTimeoutSeconds = stallSeconds;
        settings.textTimeoutSeconds = textSeconds;
        return std::make_unique<TcvDLThread>(shared, &log, settings);
    }

    // Replaces the worker by one with other limits.
    void restartWorker(long stallSeconds, long textSeconds = 120) {
        worker.reset(); // ending the old one raises the shared stop flag
        shared.stopFlag = false;
        worker = makeWorker(server.caFile(), stallSeconds, textSeconds);
        worker->Start();
    }

    std::string url(const std::string& path) const { return server.base() + path; }

    // Posts a file command by hand and waits for it (command 4 has no request function).
    void run(int command, const std::string& path, const std::string& store) {
        worker->dldURL = url(path);
        worker->dldStore = store;
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

struct PlantedPartCase {
    const char* name;
    std::function<void(const fs::path& part, const fs::path& victim)> plant;
};

class PlantedPart : public WorkerTest, public testing::WithParamInterface<PlantedPartCase> {};

// Whatever lies under the partial download's name (a pipe that would block the open for ever, a link to
// another file) is no file of the download's: it is replaced, never opened or written through.
TEST_P(PlantedPart, IsReplacedAndTheDownloadCompletes) {
    server.on("/homescreen.jpg", answer::body("picture"));
    const fs::path target = dir / "homescreen.jpg";
    const fs::path victim = dir / "private.txt";
    writeFile(victim, "the user's own\n");
    GetParam().plant(k4m::FileSink::partPath(target), victim);
    EXPECT_TRUE(k4m::saveFile(*worker, url("/homescreen.jpg"), target.string()));
    EXPECT_EQ(readFile(target), "picture");
    EXPECT_EQ(readFile(victim), "the user's own\n");
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
}

INSTANTIATE_TEST_SUITE_P(
    Plants, PlantedPart,
    testing::Values(PlantedPartCase{"Pipe", [](const fs::path& part,
                                               const fs::path&) { ASSERT_EQ(::mkfifo(part.c_str(), 0600), 0); }},
                    PlantedPartCase{
                        "LinkToAnotherFile",
                        [](const fs::path& part, const fs::path& victim) { fs::create_symlink(victim, part); }},
                    PlantedPartCase{"EarlierPiece", [](const fs::path& part,
                                                       const fs::path&) { writeFile(part, "old piece, longer"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, SaveFileWritesTheWholeBodyAndReportsProgress) {
    server.on("/pkg.cxp4", answer::generated(3'000'000));
    const auto target = dir / "cache" / "pkg.cxp4";
    fs::create_directories(target.parent_path());
    EXPECT_TRUE(k4m::saveFile(*worker, url("/pkg.cxp4"), target.string()));
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
    EXPECT_TRUE(k4m::saveFile(*worker, url("/nolength"), (dir / "a.bin").string()));
    EXPECT_EQ(fs::file_size(dir / "a.bin"), 100'000u);
    EXPECT_FLOAT_EQ(worker->dldCompletion.load(), 20.0f);

    worker->dldSize = 0;
    EXPECT_TRUE(k4m::saveFile(*worker, url("/nolength"), (dir / "b.bin").string()));
    EXPECT_FLOAT_EQ(worker->dldCompletion.load(), 0.0f);
}

TEST_F(WorkerTest, RedirectChainsAreFollowed) {
    server.on("/a", answer::redirect("/b"));
    server.on("/b", answer::redirect(url("/c"), 301));
    server.on("/c", answer::body("arrived"));
    EXPECT_TRUE(k4m::saveFile(*worker, url("/a"), (dir / "f").string()));
    EXPECT_EQ(readFile(dir / "f"), "arrived");
}

struct FailureCase {
    const char* name;
    std::function<void(k4m::sim::HttpsServer&)> setup;
    const char* messagePart;
    size_t requestsPerAttempt = 1;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class WorkerFileFailure : public WorkerTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(WorkerFileFailure, IsRetriedThreeTimesLoggedAndLeavesNoFile) {
    GetParam().setup(server);
    const auto target = dir / "pkg.cxp4";
    EXPECT_FALSE(k4m::saveFile(*worker, url("/pkg"), target.string()));
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
    EXPECT_FALSE(k4m::saveFile(*worker, url("/pkg"), (dir / "f").string()));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, 10s); // three attempts of one to two seconds each
    EXPECT_NE(errorLines().at(0).find("No data received for 1 seconds"), std::string::npos) << errorLines().at(0);
}

TEST_F(WorkerTest, CancelMidTransferEndsAtOnceAndLeavesNoFile) {
    server.on("/big", answer::stallAfter(server, 100'000, 10'000'000));
    const auto target = dir / "big.cxp4";
    int pumped = 0;
    // The waiting window keeps running; here it presses Cancel once data arrived.
    const bool saved = k4m::saveFile(*worker, url("/big"), target.string(), [&] {
        ++pumped;
        if (worker->dldCurrent > 0) worker->dldCancel = true;
    });
    EXPECT_GT(pumped, 0);
    EXPECT_FALSE(saved);
    EXPECT_EQ(worker->LastAction.get(), "Cancelled Download");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
    EXPECT_EQ(requestsFor("/big"), 1u); // a cancel is not retried
}

TEST_F(WorkerTest, AFailedSaveReportsThroughDldOkWithoutRetrying) {
    server.on("/f", answer::body("data"));
    EXPECT_FALSE(k4m::saveFile(*worker, url("/f"), (dir / "no-such-folder" / "f").string()));
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

// ---- slow servers and time limits ----

// Twelve bytes half a second apart take 5.5 seconds: long enough for the rule to act, short enough that a
// client without it finishes the download and the test says so.
const std::string kDripBody(12, 'x');

struct SlowAnswer {
    const char* name;
    std::function<k4m::sim::Handler(const k4m::sim::HttpsServer&, const fs::path& dir)> answer;
};

void PrintTo(const SlowAnswer& c, std::ostream* os) {
    *os << c.name;
}

class TooSlow : public WorkerTest, public testing::WithParamInterface<SlowAnswer> {
protected:
    void SetUp() override {
        WorkerTest::SetUp();
        restartWorker(2);
        server.on("/slow", GetParam().answer(server, dir.path()));
    }
};

constexpr const char* kTooSlow = "Transfer too slow: under 100 bytes/s for 2 seconds";

TEST_P(TooSlow, FailsATextRequestAfterOneStallPeriod) {
    const auto start = Clock::now();
    EXPECT_EQ(k4m::fetchText(*worker, url("/slow")), std::string("ERROR: ") + kTooSlow);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 1.9);
    EXPECT_LT(elapsed, 4.0);
    EXPECT_EQ(shared.lastRequestError.get(), kTooSlow);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TooSlow,
    testing::Values(SlowAnswer{"Drip", [](const auto& s, const auto&) { return answer::drip(s, kDripBody, 500ms); }},
                    // A quick start must not pay for a trickle later: the rate is the one of the last period.
                    SlowAnswer{"DripAfterAQuickStart",
                               [](const auto& s, const auto&) {
                                   return answer::drip(s, std::string(50'000, 'x') + kDripBody, 500ms, 50'000);
                               }},
                    SlowAnswer{"SimulatorKnob",
                               [](const auto& s, const fs::path& dir) {
                                   k4m::test::writeFile(dir / "drip.txt", kDripBody);
                                   return k4m::sim::faultHandler(s, "drip:500", (dir / "drip.txt").string());
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, EveryAttemptOfADrippingFileFailsAfterOneStallPeriod) {
    restartWorker(2);
    server.on("/pkg", answer::drip(server, kDripBody, 500ms));
    const auto target = dir / "pkg.cxp4";
    const auto start = Clock::now();
    EXPECT_FALSE(k4m::saveFile(*worker, url("/pkg"), target.string()));
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 3 * 1.9);
    EXPECT_LT(elapsed, 3 * 4.0);
    EXPECT_EQ(requestsFor("/pkg"), 3u);
    const auto errors = errorLines();
    ASSERT_EQ(errors.size(), 3u);
    for (const auto& line : errors)
        EXPECT_NE(line.find(kTooSlow), std::string::npos) << line;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(k4m::FileSink::partPath(target)));
}

struct PatientCase {
    const char* name;
    std::function<void(k4m::sim::HttpsServer&)> setup; // serves "/start"
    std::string expected;
};

void PrintTo(const PatientCase& c, std::ostream* os) {
    *os << c.name;
}

class PausesWithinThePeriod : public WorkerTest, public testing::WithParamInterface<PatientCase> {};

TEST_P(PausesWithinThePeriod, DoNotFailATransfer) {
    restartWorker(2);
    GetParam().setup(server);
    const auto start = Clock::now();
    EXPECT_EQ(k4m::fetchText(*worker, url("/start")), GetParam().expected);
    EXPECT_GT(secondsSince(start), 2.5); // it outlasted a period, so the rule had its chance
}

INSTANTIATE_TEST_SUITE_P(
    Servers, PausesWithinThePeriod,
    testing::Values(PatientCase{"PiecesWithPauses", [](auto& s) { s.on("/start", pausedPieces(300, 5, 800ms)); },
                                piecesText(300, 5)},
                    // Nothing but headers for seconds: a redirect chain whose every hop takes its time.
                    PatientCase{"SlowRedirectChain",
                                [](auto& s) {
                                    const std::vector<std::string> hops{"/start", "/2", "/3", "/4",
                                                                        "/5",     "/6", "/7", "/8"};
                                    for (size_t i = 0; i < hops.size(); ++i) {
                                        const std::string next = i + 1 < hops.size() ? hops[i + 1] : "";
                                        s.on(hops[i],
                                             [next](const httplib::Request& request, httplib::Response& response) {
                                                 std::this_thread::sleep_for(400ms);
                                                 if (next.empty())
                                                     answer::body("arrived")(request, response);
                                                 else
                                                     answer::redirect(next)(request, response);
                                             });
                                    }
                                },
                                "arrived"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, TheTextLimitEndsATextRequestThatKeepsSending) {
    restartWorker(2, 3);
    server.on("/endless", pausedPieces(1000, 100, 100ms));
    const auto start = Clock::now();
    EXPECT_EQ(k4m::fetchText(*worker, url("/endless")), "ERROR: Request not completed within 3 seconds");
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 2.9);
    EXPECT_LT(elapsed, 5.0);
}

TEST_F(WorkerTest, TheTextLimitEndsAProbeWithoutAnswer) {
    restartWorker(10, 2);
    server.on("/silent", silentFor(server, 8s));
    const auto start = Clock::now();
    const k4m::ProbeResult result = k4m::probe(*worker, url("/silent"));
    const double elapsed = secondsSince(start);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.error, "Request not completed within 2 seconds");
    EXPECT_GE(elapsed, 1.9);
    EXPECT_LT(elapsed, 4.0);
}

TEST_F(WorkerTest, FileRequestsAreNotBoundByTheTextLimit) {
    restartWorker(2, 1);
    server.on("/pkg", pausedPieces(1000, 4, 700ms));
    EXPECT_TRUE(k4m::saveFile(*worker, url("/pkg"), (dir / "pkg").string()));
    EXPECT_EQ(readFile(dir / "pkg"), piecesText(1000, 4));
}

// ---- commands 5 and 7, archives ----

TEST_F(WorkerTest, ArchiveEntryIsExtractedWithoutItsFoldersAsAProgram) {
    k4m::test::makeZip(dir / "update.zip",
                       {{"bin/", ""}, {"bin/Kandoro4Manager.exe", "new manager"}, {"readme.txt", "r"}});
    server.on("/Kandoro4Manager.zip", answer::file((dir / "update.zip").string()));
    const auto store = dir / "manager" / "Update";
    EXPECT_TRUE(k4m::extractArchiveEntry(*worker, url("/Kandoro4Manager.zip"), store.string(), "Kandoro4Manager.exe"));
    EXPECT_EQ(readFile(store / "Kandoro4Manager.exe"), "new manager");
    EXPECT_EQ(fs::status(store / "Kandoro4Manager.exe").permissions(), fs::perms(0755));
    EXPECT_EQ(std::distance(fs::directory_iterator(store), {}), 1); // no archive left behind
}

TEST_F(WorkerTest, ArchiveFailuresReportThroughDldOk) {
    k4m::test::makeZip(dir / "a.zip", {{"other.txt", "x"}});
    server.on("/a.zip", answer::file((dir / "a.zip").string()));
    server.on("/not-a.zip", answer::body("<html>not an archive</html>"));
    EXPECT_FALSE(k4m::extractArchiveEntry(*worker, url("/a.zip"), (dir / "out1").string(), "Kandoro4Manager.exe"));
    EXPECT_FALSE(k4m::extractArchiveEntry(*worker, url("/not-a.zip"), (dir / "out2").string(), "Kandoro4Manager.exe"));
    EXPECT_FALSE(fs::exists(dir / "out2" / "Kandoro4Manager.exe"));
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(WorkerTest, WholeArchiveIsExtractedWithItsFolders) {
    k4m::test::makeZip(dir / "all.zip", {{"data/", ""},
                                         {"data/sounds/kick.wav", "kick"},
                                         {"data\\styles\\rock.sty", "rock"},
                                         {"tool", "#!/bin/sh\n", 0755}});
    server.on("/all.zip", answer::file((dir / "all.zip").string()));
    EXPECT_TRUE(k4m::extractArchive(*worker, url("/all.zip"), (dir / "out").string()));
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
        EXPECT_FALSE(k4m::extractArchive(*worker, url("/evil.zip"), out.string()));
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
    EXPECT_FALSE(k4m::extractArchive(*worker, url("/a.zip"), out.string()));
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "file.txt"));
}

struct SpecialEntryCase {
    const char* name;
    std::vector<k4m::test::ZipEntry> entries;
    const char* entry; // command 5 for this entry; nullptr: command 7
    const char* kind;
};

void PrintTo(const SpecialEntryCase& c, std::ostream* os) {
    *os << c.name;
}

class SpecialEntry : public WorkerTest, public testing::WithParamInterface<SpecialEntryCase> {};

TEST_P(SpecialEntry, RefusesTheWholeArchive) {
    const SpecialEntryCase& c = GetParam();
    k4m::test::makeZip(dir / "special.zip", c.entries);
    server.on("/special.zip", answer::file((dir / "special.zip").string()));
    const auto out = dir / "out";
    const bool stored = c.entry != nullptr
                            ? k4m::extractArchiveEntry(*worker, url("/special.zip"), out.string(), c.entry)
                            : k4m::extractArchive(*worker, url("/special.zip"), out.string());
    EXPECT_FALSE(stored);
    EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
    const auto lines = log.lines();
    const std::string expected = std::string("Archive error: the archive holds ") + c.kind;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(expected, 0) == 0;
    })) << testing::PrintToString(lines);
}

const k4m::test::ZipEntry kManager{"bin/Kandoro4Manager.exe", "new manager", 0755};

INSTANTIATE_TEST_SUITE_P(
    Types, SpecialEntry,
    testing::Values(
        SpecialEntryCase{"LinkAsTheRequestedEntry",
                         {{"bin/", ""}, {"bin/Kandoro4Manager.exe", "/bin/sh", 0, S_IFLNK}},
                         "Kandoro4Manager.exe",
                         "a symbolic link"},
        SpecialEntryCase{"LinkBesideTheRequestedEntry",
                         {{"bin/", ""}, kManager, {"bin/help", "../../outside", 0, S_IFLNK}},
                         "Kandoro4Manager.exe",
                         "a symbolic link"},
        SpecialEntryCase{"LinkInAWholeArchive",
                         {{"bin/", ""}, kManager, {"bin/help", "/etc/passwd", 0, S_IFLNK}},
                         nullptr,
                         "a symbolic link"},
        SpecialEntryCase{"PipeInAWholeArchive", {kManager, {"bin/pipe", "", 0644, S_IFIFO}}, nullptr, "a pipe"},
        SpecialEntryCase{"DeviceInAWholeArchive", {kManager, {"bin/tty", "", 0600, S_IFCHR}}, nullptr, "a device"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- command 6, probe; other codes ----

TEST_F(WorkerTest, ProbeStoresTheStatusOrMinusOneWithTheMessage) {
    server.on("/", answer::body("home"));
    k4m::ProbeResult result = k4m::probe(*worker, url("/"));
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(shared.lastStatusCode.load(), 200);
    EXPECT_EQ(worker->dldResult, "");

    result = k4m::probe(*worker, url("/gone"));
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.error, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(shared.lastRequestError.get(), "HTTP/1.1 404 Not Found");

    result = k4m::probe(*worker, "https://127.0.0.1:1/");
    EXPECT_EQ(result.status, -1);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(shared.lastRequestError.get(), result.error);
    EXPECT_EQ(worker->dldResult, "ERROR: " + result.error);
}

// ---- abandoning a wait ----

// A request the window abandons, and what its request function returns then.
struct AbandonedCase {
    const char* name;
    std::function<std::string(TcvDLThread&, const std::string& url, const fs::path& folder,
                              const std::function<void()>& pump)>
        request;
    std::string expected;
};

void PrintTo(const AbandonedCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelWait : public WorkerTest, public testing::WithParamInterface<AbandonedCase> {
protected:
    void SetUp() override {
        WorkerTest::SetUp();
        restartWorker(20);
        // Answers after a while: a cancel that got lost shows as an answer instead of the cancel's result.
        server.on("/silent", silentFor(server, 3s));
        server.on("/ok", answer::body("fine"));
        fs::create_directories(target);
    }

    std::string request(const std::function<void()>& pump = {}) {
        return GetParam().request(*worker, url("/silent"), target, pump);
    }

    fs::path target = dir / "target";
};

TEST_P(CancelWait, EndsTheRunningRequestWithoutRetry) {
    std::optional<Clock::time_point> cancelledAt;
    // The waiting window cancels once the request reached the server.
    const std::string result = request([&] {
        if (!cancelledAt && requestsFor("/silent") == 1) {
            cancelledAt = Clock::now();
            worker->cancelWait();
        }
    });
    ASSERT_TRUE(cancelledAt.has_value());
    EXPECT_LT(secondsSince(*cancelledAt), 2.5);
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(requestsFor("/silent"), 1u);
    EXPECT_TRUE(fs::is_empty(target));
    // The next command runs normally.
    EXPECT_EQ(k4m::fetchText(*worker, url("/ok")), "fine");
}

TEST_P(CancelWait, CountsWhenItComesBeforeTheWorkerTookTheCommand) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::string result;
        const auto start = Clock::now();
        std::thread window([&] { result = request(); });
        // Right after the post; the worker has usually not even woken up.
        while (worker->dldCommand.load() == k4m::CmdIdle) {
        }
        worker->cancelWait();
        window.join();
        EXPECT_EQ(result, GetParam().expected);
        EXPECT_LT(secondsSince(start), 2.5);
    }
    EXPECT_LE(requestsFor("/silent"), 3u); // at most one each: no retry
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(k4m::fetchText(*worker, url("/ok")), "fine");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CancelWait,
    testing::Values(
        AbandonedCase{"FetchText",
                      [](TcvDLThread& w, const std::string& url, const fs::path&, const std::function<void()>& pump) {
                          return k4m::fetchText(w, url, pump);
                      },
                      "ERROR: Cancelled"},
        AbandonedCase{
            "SaveFile",
            [](TcvDLThread& w, const std::string& url, const fs::path& folder, const std::function<void()>& pump) {
                return std::string(k4m::saveFile(w, url, (folder / "f").string(), pump) ? "saved" : "not saved");
            },
            "not saved"},
        AbandonedCase{
            "ExtractArchive",
            [](TcvDLThread& w, const std::string& url, const fs::path& folder, const std::function<void()>& pump) {
                return std::string(k4m::extractArchive(w, url, (folder / "out").string(), pump) ? "stored"
                                                                                                : "not stored");
            },
            "not stored"},
        AbandonedCase{"Probe",
                      [](TcvDLThread& w, const std::string& url, const fs::path&, const std::function<void()>& pump) {
                          const k4m::ProbeResult r = k4m::probe(w, url, pump);
                          return std::to_string(r.status) + " " + r.error;
                      },
                      "-1 Cancelled"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, ACancelWithNothingWaitingDoesNotReachTheNextCommand) {
    server.on("/f", answer::body("data"));
    worker->cancelWait();
    EXPECT_TRUE(k4m::saveFile(*worker, url("/f"), (dir / "f").string()));
    EXPECT_EQ(readFile(dir / "f"), "data");
    worker->cancelWait();
    EXPECT_EQ(k4m::fetchText(*worker, url("/f")), "data");
}

TEST_F(WorkerTest, TheBatchNeverSeesACancelWait) {
    server.on("/pkg", pausedPieces(1000, 4, 300ms));
    std::string outcome;
    worker->setBatchRunner([&](TcvDLThread& w) {
        try {
            outcome = w.fetchToFile(url("/pkg"), (dir / "pkg").string()) ? "stored" : "not stored";
        } catch (const std::exception& e) {
            outcome = e.what();
        }
    });
    worker->post(k4m::CmdInstallBatch);
    while (requestsFor("/pkg") == 0)
        std::this_thread::sleep_for(5ms);
    worker->cancelWait();
    worker->dldCommand.waitFor([](int code) { return code == k4m::CmdBatchFinished; });
    EXPECT_EQ(outcome, "stored");
    EXPECT_EQ(readFile(dir / "pkg"), piecesText(1000, 4));
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
