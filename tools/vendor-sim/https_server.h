#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
struct Request;
struct Response;
class SSLServer;
} // namespace httplib

namespace k4m::sim {

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// An HTTPS server on 127.0.0.1 with a port of the system's choice and a certificate made for this run, for
// tests, the demo and the benchmarks. Handlers are looked up by the request's path (without the query) and
// may be added or replaced at any time; a path without a handler answers 404.
class HttpsServer {
public:
    // The certificate and key go to `certificateFolder` (a fresh temporary folder when empty). Port 0 lets
    // the system choose a free one.
    explicit HttpsServer(const std::string& certificateFolder = {}, int port = 0);
    ~HttpsServer();
    HttpsServer(const HttpsServer&) = delete;
    HttpsServer& operator=(const HttpsServer&) = delete;

    int port() const { return m_port; }
    std::string base() const; // "https://127.0.0.1:<port>", or the name given below
    // The name the server's addresses use instead of 127.0.0.1 ("localhost", which the certificate also
    // names): some TLS clients match a server only by its DNS names.
    void setHostName(std::string name) { m_hostName = std::move(name); }
    // The PEM file a client trusts to talk to this server.
    const std::string& caFile() const { return m_certificateFile; }

    void on(const std::string& path, Handler handler);
    // Answers every path no handler claims.
    void fallback(Handler handler);

    // Requests served so far, in order: the path with its query ("/kd4_main.php?COM=1&EID=...").
    std::vector<std::string> requests() const;
    // The User-Agent header of the last request.
    std::string lastUserAgent() const;
    // How many client connections requests came in on (a client that reuses its connection shows 1).
    size_t connectionCount() const;
    // Every answer waits this long before it is sent (a distant server); each request waits on its own
    // connection, so requests that arrive together are answered together.
    void setLatency(std::chrono::milliseconds latency) { m_latency = latency; }
    std::chrono::milliseconds latency() const { return m_latency; }
    // Set while the server shuts down; long-running handlers end when they see it.
    const std::atomic<bool>& stopping() const { return m_stopping; }

private:
    void dispatch(const httplib::Request& request, httplib::Response& response);

    std::string m_ownFolder;
    std::string m_certificateFile;
    std::string m_keyFile;
    std::unique_ptr<httplib::SSLServer> m_server;
    int m_port = 0;
    std::string m_hostName = "127.0.0.1";
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_listenEnded{false};
    std::atomic<std::chrono::milliseconds> m_latency{std::chrono::milliseconds::zero()};
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_handlers;
    Handler m_fallback;
    std::vector<std::string> m_requests;
    std::string m_lastUserAgent;
    std::set<std::string> m_connections;
};

// Ready-made answers, including the faults a client must survive.
namespace answer {
// The status and body given, with a Content-Length.
Handler body(std::string text, int status = 200, std::string contentType = "text/plain");
// The body without a Content-Length (chunked transfer).
Handler bodyWithoutLength(std::string text);
// `size` bytes of a repeating pattern, streamed, with or without a Content-Length.
Handler generated(uint64_t size, bool announceLength = true);
// A redirect to `location`.
Handler redirect(std::string location, int status = 302);
// Announces `announced` bytes, sends `sent` of them, then drops the connection.
Handler cutAfter(uint64_t sent, uint64_t announced);
// Sends `sent` bytes of `announced`, then sends nothing more until the server stops.
Handler stallAfter(const HttpsServer& server, uint64_t sent, uint64_t announced);
// `body` with its Content-Length: the first `atOnce` bytes (or the first byte) at once, then one byte every
// `every`. Lets go of the connection when the client hangs up or the server stops.
Handler drip(const HttpsServer& server, std::string body, std::chrono::milliseconds every, size_t atOnce = 0);
// A file from disk, streamed; 404 when it does not exist.
Handler file(std::string path);
} // namespace answer

// Byte `i` of what answer::generated, cutAfter and stallAfter send.
char generatedByte(uint64_t i);

} // namespace k4m::sim
