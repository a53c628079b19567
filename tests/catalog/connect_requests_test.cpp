// Connect's requests against a real HTTPS server: announced URLs are fetched ahead only where a request takes
// long enough for new connections to pay, and either way each answer is the worker's answer.
#include "catalog/connect_requests.h"
#include "https_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

using namespace std::chrono_literals;
namespace answer = k4m::sim::answer;

namespace {

class ConnectRequestsTest : public testing::Test {
protected:
    ConnectRequestsTest() : worker(shared, nullptr, settings()) {
        server.on("/login", answer::body("OK[N=a]"));
        for (int i = 0; i < 6; ++i)
            server.on("/m" + std::to_string(i), answer::body("[General]\r\nVersion=" + std::to_string(i) + "\r\n"));
        worker.Start();
    }
    ~ConnectRequestsTest() override { worker.Terminate(); }

    k4m::HttpSettings settings() const {
        k4m::HttpSettings s;
        s.caFile = server.caFile();
        return s;
    }
    std::vector<std::string> manifests() const {
        std::vector<std::string> urls;
        for (int i = 0; i < 6; ++i)
            urls.push_back(server.base() + "/m" + std::to_string(i));
        urls.push_back(server.base() + "/missing");
        return urls;
    }
    // Logs in (the first request pays for the connection, the second shows the server's pace), announces the
    // manifests and takes them in order; the answers.
    std::vector<std::string> run(k4m::ConnectRequests& requests) {
        requests.fetch(server.base() + "/login");
        std::vector<std::string> answers{requests.fetch(server.base() + "/login")};
        requests.expect(manifests());
        for (const std::string& url : manifests())
            answers.push_back(requests.fetch(url));
        return answers;
    }
    std::vector<std::string> expected() const {
        std::vector<std::string> answers{"OK[N=a]"};
        for (int i = 0; i < 6; ++i)
            answers.push_back("[General]\r\nVersion=" + std::to_string(i));
        answers.push_back("ERROR: HTTP/1.1 404 Not Found");
        return answers;
    }

    k4m::sim::HttpsServer server;
    k4m::WorkerShared shared;
    k4m::TcvDLThread worker;
};

TEST_F(ConnectRequestsTest, AQuickServerIsAskedOneRequestAfterAnotherOnTheWorkersConnection) {
    // Quick here means within 100 ms: a local server answers far sooner even on a loaded machine, where the
    // default of 2 ms may pass before the login's answer is read.
    k4m::ConnectRequests requests(worker, settings(), 100ms);
    EXPECT_EQ(run(requests), expected());
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(ConnectRequestsTest, ASlowServerIsAskedForTheAnnouncedURLsSideBySide) {
    server.setLatency(150ms);
    k4m::ConnectRequests requests(worker, settings());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(requests), expected());
    // One after another the seven would take over a second on top of the login.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_GT(server.connectionCount(), 1u);
}

TEST_F(ConnectRequestsTest, URLsOtherThanTheAnnouncedOnesStillGoThroughTheWorker) {
    server.setLatency(20ms);
    k4m::ConnectRequests requests(worker, settings(), 1ms);
    requests.fetch(server.base() + "/login");
    requests.expect(manifests());
    ASSERT_TRUE(requests.worthFetchingAhead(server.base() + "/m0"));
    // Asked out of order: the first announced URL is not next, so this one is fetched by itself.
    EXPECT_EQ(requests.fetch(server.base() + "/m3"), "[General]\r\nVersion=3");
    EXPECT_EQ(requests.fetch(server.base() + "/m0"), "[General]\r\nVersion=0");
}

} // namespace
