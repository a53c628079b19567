#pragma once

#include "core/version.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace k4m {

struct HttpSettings {
    std::string userAgent = kUserAgent;
    std::string caFile; // extra certificate authorities (PEM) beside the system's
    long maxRedirects = 25;
    long connectTimeoutSeconds = 30;
    // A transfer that receives under 100 bytes/s (headers count) over this many seconds fails; one that
    // receives nothing at all for this long fails the same way.
    long stallTimeoutSeconds = 60;
    // The whole of a short request (a text answer, a HEAD), redirects included, ends after this many seconds.
    long textTimeoutSeconds = 120;
};

// A failed request: a transport error, TLS refused, a redirect off https, or a final status outside 2xx
// (then the message is the status line, for example "HTTP/1.1 404 Not Found").
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What one GET does with what arrives.
struct HttpTransfer {
    // Receives the body piece by piece; false aborts the transfer (the target could not be written).
    std::function<bool(std::string_view)> onData;
    // After every piece: the length the server announced (-1 when it announced none) and the bytes so far.
    std::function<void(int64_t announced, int64_t received)> onProgress;
    // Asked while the transfer runs, also while nothing arrives; true aborts it.
    std::function<bool()> cancelled;
    // The whole request, redirects included, fails after this many seconds; 0 lets it run as long as data
    // keeps arriving.
    long timeLimitSeconds = 0;
};

// One HTTPS client over libcurl, used for every request of the worker, so connections are reused. Only
// https is spoken, on every redirect hop too; certificates are always verified. Not thread-safe: one thread
// uses it.
class HttpClient {
public:
    explicit HttpClient(HttpSettings settings = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setFollowRedirects(bool follow) { m_followRedirects = follow; }
    bool followRedirects() const { return m_followRedirects; }

    // GET; throws HttpError. A cancelled transfer throws HttpError too (the caller knows it cancelled).
    void get(const std::string& url, const HttpTransfer& transfer);
    // HEAD; the final status, whatever it is. Throws HttpError on a transport failure. Of `transfer` only
    // `cancelled` and the time limit matter: a HEAD has no body.
    int head(const std::string& url, const HttpTransfer& transfer = {});
    // The status line of the last final response ("HTTP/1.1 200 OK"), empty before any.
    const std::string& lastStatusLine() const { return m_statusLine; }

private:
    void prepare(const std::string& url, const HttpTransfer* transfer = nullptr);
    void perform();
    // Whether the last stall period brought in too little; records what arrived so far.
    bool tooSlow(int64_t now);

    HttpSettings m_settings;
    bool m_followRedirects = true;
    void* m_curl = nullptr;
    std::string m_statusLine;
    const HttpTransfer* m_transfer = nullptr;
    bool m_dataRefused = false;
    bool m_stalled = false;
    bool m_tooSlow = false;
    int64_t m_received = 0;
    int64_t m_arrived = 0;      // every byte of the request's answers, headers and error pages included
    int m_bodyStatus = 0;       // 1 the answer's body is the resource, -1 it is an error page, 0 not known yet
    int64_t m_announced = -1;   // Content-Length of the final answer, -1 when none
    int64_t m_lastDataTick = 0; // milliseconds of a steady clock
    int64_t m_startTick = 0;
    int64_t m_timeLimitMs = 0;
    // (tick, m_arrived) a few times a second, reaching back just past one stall period.
    std::deque<std::pair<int64_t, int64_t>> m_arrivals;
    char m_errorBuffer[256] = {};

    friend struct HttpCallbacks;
};

} // namespace k4m
