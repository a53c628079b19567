// Text answers fetched ahead over several connections, against a real HTTPS server on 127.0.0.1 and beside
// the worker's own answers for the same addresses.
#include "child_process.h"
#include "download/tcv_dl_thread.h"
#include "download/text_prefetch.h"
#include "https_server.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <httplib.h>
#include <optional>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using k4m::TextPrefetch;
namespace answer = k4m::sim::answer;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A handler that takes `work` for each request and counts how many it serves at the same time.
class BusyHandler {
public:
    explicit BusyHandler(std::chrono::milliseconds work) : m_work(work) {}

    k4m::sim::Handler handler() {
        return [this](const httplib::Request& request, httplib::Response& response) {
            const int now = ++m_inFlight;
            int most = m_mostInFlight.load();
            while (now > most && !m_mostInFlight.compare_exchange_weak(most, now)) {
            }
            std::this_thread::sleep_for(m_work);
            --m_inFlight;
            response.set_content("done " + request.get_param_value("n"), "text/plain");
        };
    }
    int mostInFlight() const { return m_mostInFlight; }

private:
    std::chrono::milliseconds m_work;
    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_mostInFlight{0};
};

class TextPrefetchTest : public testing::Test {
protected:
    void SetUp() override { worker.Start(); }

    k4m::HttpSettings settings(const std::string& caFile) const {
        k4m::HttpSettings s;
        s.caFile = caFile;
        s.connectTimeoutSeconds = 5;
        s.stallTimeoutSeconds = 30; // a stalled request ends by a cancel, never by the stall rule
        return s;
    }
    k4m::HttpSettings trusting() const { return settings(server.caFile()); }

    std::string url(const std::string& path) const { return server.base() + path; }

    k4m::sim::HttpsServer server;
    k4m::WorkerShared shared;
    k4m::TcvDLThread worker{shared, nullptr, trusting()};
};

struct AnswerCase {
    const char* name;
    std::string path;
    std::string expected;
    bool whole = true; // false: the answer starts with `expected`
};

// Every kind of answer in one list; the slow one comes first, so later answers arrive before it.
TEST_F(TextPrefetchTest, AnswersComeInListOrderExactlyAsTheWorkerGivesThem) {
    server.on("/slow", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(400ms);
        response.set_content("first\r\n", "text/plain");
    });
    server.on("/lines", answer::body(" \r\n OK[N=Name]\nsecond line \r\n\r\n"));
    server.on("/cp1252", answer::body("caf\xE9"));
    server.on("/utf16", answer::body(std::string("\xFF\xFEo\0k\0", 6)));
    server.on("/empty", answer::body(""));
    server.on("/busy", answer::body("down for maintenance", 503));
    server.on("/moved", answer::redirect("/hop"));
    server.on("/hop", answer::redirect(url("/target"), 301));
    server.on("/target", answer::body("arrived"));
    server.on("/loop", answer::redirect("/loop"));
    server.on("/huge", answer::generated(16 * 1024 * 1024 + 1));
    const std::string plain = "http://127.0.0.1:" + std::to_string(server.port()) + "/lines";
    const std::vector<AnswerCase> cases = {
        {"SlowFirst", url("/slow"), "first"},
        {"TrimmedCrLfLines", url("/lines"), "OK[N=Name]\r\nsecond line"},
        {"Windows1252", url("/cp1252"), "caf\xC3\xA9"},
        {"Utf16ByteOrderMark", url("/utf16"), "ok"},
        {"EmptyBody", url("/empty"), ""},
        {"NotFound", url("/missing"), "ERROR: HTTP/1.1 404 Not Found"},
        {"ServiceUnavailable", url("/busy"), "ERROR: HTTP/1.1 503 Service Unavailable"},
        {"RedirectChain", url("/moved"), "arrived"},
        {"RedirectLoop", url("/loop"), "ERROR: Maximum (25) redirects followed", false},
        {"PlainHttpAsked", plain, "OK[N=Name]\r\nsecond line"},
        {"OverTheSizeBound", url("/huge"), "ERROR: The received data could not be stored"},
        {"NotFoundAgain", url("/missing"), "ERROR: HTTP/1.1 404 Not Found"},
    };
    std::vector<std::string> urls;
    for (const auto& c : cases)
        urls.push_back(c.path);

    TextPrefetch prefetch(trusting(), urls);
    ASSERT_EQ(prefetch.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(prefetch.url(i), cases[i].path); // as given, before the https rewrite
        const std::string prefetched = prefetch.take(i);
        if (cases[i].whole)
            EXPECT_EQ(prefetched, cases[i].expected);
        else
            EXPECT_EQ(prefetched.rfind(cases[i].expected, 0), 0u) << prefetched;
        EXPECT_EQ(prefetched, k4m::fetchText(worker, cases[i].path));
        EXPECT_EQ(prefetch.take(i), prefetched); // an answer can be taken again
    }
    EXPECT_THROW(prefetch.take(cases.size()), std::out_of_range);
    // Nothing was asked in the clear.
    for (const auto& request : server.requests())
        EXPECT_EQ(request.find("http:"), std::string::npos) << request;
}

struct ConcurrencyCase {
    const char* name;
    int connections;
    int expectedAtOnce;
};

class Concurrency : public TextPrefetchTest, public testing::WithParamInterface<ConcurrencyCase> {};

// Eight requests that take 300 ms each: as many run at once as there are connections, never more, and each
// connection carries its share of them.
TEST_P(Concurrency, RequestsOverlapUpToTheConnectionCount) {
    constexpr int kUrls = 8;
    constexpr auto kWork = 300ms;
    BusyHandler busy(kWork);
    server.on("/work", busy.handler());
    std::vector<std::string> urls;
    for (int i = 0; i < kUrls; ++i)
        urls.push_back(url("/work?n=" + std::to_string(i)));

    const auto start = Clock::now();
    TextPrefetch prefetch(trusting(), urls, GetParam().connections);
    for (int i = 0; i < kUrls; ++i)
        EXPECT_EQ(prefetch.take(static_cast<size_t>(i)), "done " + std::to_string(i));
    const double seconds = secondsSince(start);

    const int rounds = (kUrls + GetParam().expectedAtOnce - 1) / GetParam().expectedAtOnce;
    const double work = std::chrono::duration<double>(kWork).count();
    EXPECT_EQ(busy.mostInFlight(), GetParam().expectedAtOnce);
    EXPECT_GE(seconds, rounds * work - 0.01);
    // Room for the handshakes on a loaded machine, and still well under the 2.4 s of one after the other.
    EXPECT_LT(seconds, rounds * work + 0.9);
    EXPECT_EQ(server.connectionCount(), static_cast<size_t>(GetParam().expectedAtOnce));
}

INSTANTIATE_TEST_SUITE_P(Connections, Concurrency,
                         testing::Values(ConcurrencyCase{"One", 1, 1}, ConcurrencyCase{"Three", 3, 3},
                                         ConcurrencyCase{"Four", 4, 4}, ConcurrencyCase{"NoneMeansOne", 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextPrefetchTest, AWaitingTakeRunsThePumpEveryFewMilliseconds) {
    server.setLatency(300ms);
    server.on("/v", answer::body("1.2.6"));
    TextPrefetch prefetch(trusting(), {url("/v")});
    int pumps = 0;
    const auto start = Clock::now();
    EXPECT_EQ(prefetch.take(0, [&pumps] { ++pumps; }), "1.2.6");
    const double waitedMs = secondsSince(start) * 1000;
    // About one every 10 ms of the wait; a take that spun would run it thousands of times.
    EXPECT_GE(waitedMs, 300);
    EXPECT_LE(pumps, waitedMs / 10 + 1);
    EXPECT_GE(pumps, waitedMs / 30);
}

struct StallCase {
    const char* name;
    // Ends the prefetch whose first `connections` requests reached the server and stall there.
    std::function<void(std::unique_ptr<TextPrefetch>&)> end;
};

void PrintTo(const StallCase& c, std::ostream* os) {
    *os << c.name;
}

class Stalled : public TextPrefetchTest, public testing::WithParamInterface<StallCase> {};

// Requests the server holds back for a minute end soon when the prefetch is cancelled or destroyed; those
// not yet sent are never sent.
TEST_P(Stalled, RequestsEndSoonAndTheRestAreNeverSent) {
    server.setLatency(60s);
    server.on("/manifest", answer::body("never seen"));
    std::vector<std::string> urls;
    for (int i = 0; i < 6; ++i)
        urls.push_back(url("/manifest?n=" + std::to_string(i)));
    auto prefetch = std::make_unique<TextPrefetch>(trusting(), urls, 4);
    ASSERT_TRUE(k4m::test::waitUntil([&] { return server.requests().size() == 4; }));
    const auto start = Clock::now();
    GetParam().end(prefetch);
    EXPECT_LT(secondsSince(start), 2.5);
    EXPECT_EQ(server.requests().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Ends, Stalled,
                         testing::Values(StallCase{"Destroyed", [](std::unique_ptr<TextPrefetch>& p) { p.reset(); }},
                                         StallCase{"CancelledFromThePump",
                                                   [](std::unique_ptr<TextPrefetch>& p) {
                                                       // The window's Cancel button, pressed while it waits for the
                                                       // first answer.
                                                       EXPECT_EQ(p->take(0, [&p] { p->cancel(); }), "ERROR: Cancelled");
                                                       for (size_t i = 0; i < p->size(); ++i)
                                                           EXPECT_EQ(p->take(i), "ERROR: Cancelled") << i;
                                                   }},
                                         StallCase{"CancelledFromAnotherThread",
                                                   [](std::unique_ptr<TextPrefetch>& p) {
                                                       std::thread canceller([&p] { p->cancel(); });
                                                       EXPECT_EQ(p->take(5), "ERROR: Cancelled");
                                                       canceller.join();
                                                   }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextPrefetchTest, WithoutTheServersCertificateAuthorityTlsIsRefused) {
    server.on("/v", answer::body("1.2.6"));
    TextPrefetch prefetch(settings(""), {url("/v"), url("/v")}, 2);
    for (size_t i = 0; i < prefetch.size(); ++i) {
        const std::string result = prefetch.take(i);
        EXPECT_EQ(result.rfind("ERROR: ", 0), 0u) << result;
        EXPECT_NE(result.find("certificate"), std::string::npos) << result;
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(TextPrefetchTest, AnEmptyListNeedsNoConnection) {
    TextPrefetch prefetch(trusting(), {});
    EXPECT_EQ(prefetch.size(), 0u);
    EXPECT_THROW(prefetch.take(0), std::out_of_range);
    EXPECT_EQ(server.connectionCount(), 0u);
}

} // namespace
