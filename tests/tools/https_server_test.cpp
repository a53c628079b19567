// The simulator's HTTPS server in-process and as the vendor-sim program: the answer latency of a distant
// server, with requests that arrive together still served together.
#include "child_process.h"
#include "core/ini_file.h"
#include "download/http_client.h"
#include "download/text_answer.h"
#include "https_server.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace answer = k4m::sim::answer;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The text answer of one request on a connection of its own, and how long it took.
struct Timed {
    std::string text;
    double seconds = 0;
};

Timed fetch(const std::string& caFile, const std::string& url) {
    k4m::HttpSettings settings;
    settings.caFile = caFile;
    k4m::HttpClient client(settings);
    const auto start = Clock::now();
    Timed result;
    result.text = k4m::fetchTextAnswer(client, url, {}).text;
    result.seconds = secondsSince(start);
    return result;
}

TEST(HttpsServerLatency, HoldsEveryAnswerBackWhileServingRequestsSideBySide) {
    k4m::sim::HttpsServer server;
    server.setLatency(300ms);
    EXPECT_EQ(server.latency(), 300ms);
    server.on("/v", answer::body("1.2.6"));

    std::vector<Timed> results(8);
    const auto start = Clock::now();
    std::vector<std::thread> clients;
    for (size_t i = 0; i < results.size(); ++i)
        clients.emplace_back([&, i] { results[i] = fetch(server.caFile(), server.base() + "/v"); });
    for (auto& client : clients)
        client.join();
    const double total = secondsSince(start);

    for (const auto& result : results) {
        EXPECT_EQ(result.text, "1.2.6");
        EXPECT_GE(result.seconds, 0.3);
    }
    // One after the other they would take 2.4 s.
    EXPECT_LT(total, 0.9);
    EXPECT_EQ(server.connectionCount(), results.size());

    // A path nobody serves is held back as well.
    const Timed missing = fetch(server.caFile(), server.base() + "/missing");
    EXPECT_EQ(missing.text, "ERROR: HTTP/1.1 404 Not Found");
    EXPECT_GE(missing.seconds, 0.3);
}

TEST(HttpsServerLatency, AStoppingServerDoesNotWaitItOut) {
    auto server = std::make_unique<k4m::sim::HttpsServer>();
    server->setLatency(60s);
    const std::string caFile = server->caFile(), url = server->base() + "/v";
    std::thread client([&] { fetch(caFile, url); });
    ASSERT_TRUE(k4m::test::waitUntil([&] { return server->requests().size() == 1; }));
    const auto start = Clock::now();
    server.reset();
    EXPECT_LT(secondsSince(start), 1.0);
    client.join();
}

class VendorSimLatency : public testing::Test {
protected:
    void SetUp() override { k4m::test::writeFile(dir / "content" / "hello.txt", "hello\r\n"); }

    std::vector<std::string> arguments(const std::string& latency) const {
        return {K4M_VENDOR_SIM,
                "--content",
                (dir / "content").string(),
                "--cert-dir",
                (dir / "cert").string(),
                "--latency",
                latency,
                "--server-ini",
                (dir / "server.ini").string()};
    }

    k4m::test::TempDir dir;
};

TEST_F(VendorSimLatency, TheProgramHoldsAnswersBackByTheOption) {
    k4m::test::Child sim(arguments("300"));
    ASSERT_TRUE(k4m::test::waitUntil([&] { return std::filesystem::exists(dir / "server.ini"); }));
    k4m::IniFile ini(dir / "server.ini");
    ini.load();
    const std::string caFile = ini.readString("Server", "CAFile", "");
    const std::string base = ini.readString("Server", "Base", "");
    const Timed hello = fetch(caFile, base + "/hello.txt");
    EXPECT_EQ(hello.text, "hello");
    EXPECT_GE(hello.seconds, 0.3);
}

TEST_F(VendorSimLatency, TheProgramRefusesAValueThatIsNoWholeNumberOfMilliseconds) {
    for (const char* value : {"-5", "12ms", "", "60001", "99999999999999999999"}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(k4m::test::runChild(arguments(value)), 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "server.ini"));
    }
}

} // namespace
