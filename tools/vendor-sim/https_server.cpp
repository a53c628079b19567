#include "https_server.h"

#include "certificate.h"
#include "core/file_ops.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <memory>
#include <stdexcept>
#include <sys/socket.h>
#include <vector>

namespace k4m::sim {

namespace {

constexpr size_t kPatternPeriod = 65521; // prime, so the pattern never lines up with buffer sizes

// How many connections are served at the same time.
constexpr size_t kConnectionThreads = 32;

const std::vector<char>& patternTable() {
    static const std::vector<char> table = [] {
        std::vector<char> t(2 * kPatternPeriod);
        uint64_t state = 0x9E3779B97F4A7C15ULL;
        for (size_t i = 0; i < kPatternPeriod; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            t[i] = t[i + kPatternPeriod] = static_cast<char>(state & 0xFF);
        }
        return t;
    }();
    return table;
}

// Writes bytes [offset, offset + length) of the generated pattern.
bool writePattern(httplib::DataSink& sink, uint64_t offset, uint64_t length) {
    const auto& table = patternTable();
    while (length > 0) {
        const size_t start = static_cast<size_t>(offset % kPatternPeriod);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, kPatternPeriod));
        if (!sink.write(table.data() + start, n)) return false;
        offset += n;
        length -= n;
    }
    return true;
}

// Waits for `delay`, in short naps so that a stopping server is not kept waiting; false when it stopped.
bool sleepUnlessStopping(const std::atomic<bool>& stopping, std::chrono::milliseconds delay) {
    const auto due = std::chrono::steady_clock::now() + delay;
    for (auto now = std::chrono::steady_clock::now(); now < due; now = std::chrono::steady_clock::now()) {
        if (stopping) return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(due - now, std::chrono::milliseconds(20)));
    }
    return !stopping;
}

std::string makeTemporaryFolder() {
    std::string pattern = "/tmp/k4m-sim-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

} // namespace

char generatedByte(uint64_t i) {
    return patternTable()[i % kPatternPeriod];
}

HttpsServer::HttpsServer(const std::string& certificateFolder, int port) {
    std::string folder = certificateFolder;
    if (folder.empty()) folder = m_ownFolder = makeTemporaryFolder();
    const GeneratedCertificate certificate = generateCertificate(folder);
    m_certificateFile = certificate.certificateFile;
    m_keyFile = certificate.keyFile;
    m_server = std::make_unique<httplib::SSLServer>(m_certificateFile.c_str(), m_keyFile.c_str());
    if (!m_server->is_valid()) throw std::runtime_error("the HTTPS server could not load its certificate");
    m_server->set_keep_alive_max_count(100000);
    m_server->set_keep_alive_timeout(30);
    m_server->set_tcp_nodelay(true);
    // A pool thread serves one connection for as long as the client keeps it open, idle or not: with the
    // library's default of 8 threads, a few clients that keep their connections (the worker, the parallel
    // text fetches, a benchmark's clients) would leave a new connection queued until one of them times out.
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
    auto route = [this](const httplib::Request& request, httplib::Response& response) { dispatch(request, response); };
    m_server->Get(".*", route);
    m_server->Post(".*", route);
    // The library listens with a backlog of 5: beyond that, connections opened together lose their first
    // SYN and wait a second for its retry. Listening once more on the bound socket raises the backlog.
    socket_t listening = INVALID_SOCKET;
    m_server->set_socket_options([&listening](socket_t sock) {
        httplib::default_socket_options(sock);
        listening = sock;
    });
    if (port == 0)
        m_port = m_server->bind_to_any_port("127.0.0.1");
    else
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    m_server->set_socket_options(httplib::default_socket_options);
    if (m_port <= 0) throw std::runtime_error("the HTTPS server could not bind to 127.0.0.1");
    if (::listen(listening, SOMAXCONN) != 0) throw std::runtime_error("the HTTPS server could not listen");
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
    // stop() does nothing until the accept loop runs, and a loop that starts after it never ends: a server
    // destroyed right after it was made would hang. So the loop runs before anyone can stop it.
    while (!m_server->is_running() && !m_listenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpsServer::~HttpsServer() {
    m_stopping = true;
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
    if (!m_ownFolder.empty()) {
        try {
            removeTree(m_ownFolder);
        } catch (...) {
        }
    }
}

std::string HttpsServer::base() const {
    return "https://" + m_hostName + ":" + std::to_string(m_port);
}

void HttpsServer::on(const std::string& path, Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handlers[path] = std::move(handler);
}

void HttpsServer::fallback(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_fallback = std::move(handler);
}

std::vector<std::string> HttpsServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string HttpsServer::lastUserAgent() const {
    std::lock_guard lock(m_mutex);
    return m_lastUserAgent;
}

size_t HttpsServer::connectionCount() const {
    std::lock_guard lock(m_mutex);
    return m_connections.size();
}

void HttpsServer::dispatch(const httplib::Request& request, httplib::Response& response) {
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request.target);
        m_lastUserAgent = request.get_header_value("User-Agent");
        m_connections.insert(request.remote_addr + ":" + std::to_string(request.remote_port));
        const auto found = m_handlers.find(request.path);
        if (found != m_handlers.end())
            handler = found->second;
        else
            handler = m_fallback;
    }
    // Before the handler: a handler that takes its time (a drip, a stall) adds its own pace to the latency.
    if (const auto latency = m_latency.load(); latency > std::chrono::milliseconds::zero())
        sleepUnlessStopping(m_stopping, latency);
    if (handler) {
        handler(request, response);
    } else {
        response.status = 404;
        response.set_content("Not Found", "text/plain");
    }
}

namespace answer {

Handler body(std::string text, int status, std::string contentType) {
    return [text, status, contentType](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(text, contentType.c_str());
    };
}

Handler bodyWithoutLength(std::string text) {
    return [text](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream", [text](size_t, httplib::DataSink& sink) {
            if (!text.empty()) sink.write(text.data(), text.size());
            sink.done();
            return true;
        });
    };
}

Handler generated(uint64_t size, bool announceLength) {
    return [size, announceLength](const httplib::Request&, httplib::Response& response) {
        if (announceLength) {
            response.set_content_provider(static_cast<size_t>(size), "application/octet-stream",
                                          [](size_t offset, size_t length, httplib::DataSink& sink) {
                                              return writePattern(sink, offset, std::min<size_t>(length, 1 << 20));
                                          });
        } else {
            response.set_chunked_content_provider(
                "application/octet-stream", [size](size_t offset, httplib::DataSink& sink) {
                    if (offset >= size) {
                        sink.done();
                        return true;
                    }
                    return writePattern(sink, offset, std::min<uint64_t>(size - offset, 1 << 20));
                });
        }
    };
}

Handler redirect(std::string location, int status) {
    return [location, status](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_header("Location", location);
        response.set_content("moved", "text/plain");
    };
}

Handler cutAfter(uint64_t sent, uint64_t announced) {
    return [sent, announced](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(static_cast<size_t>(announced), "application/octet-stream",
                                      [sent](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset >= sent) return false; // drops the connection
                                          return writePattern(sink, offset, sent - offset);
                                      });
    };
}

Handler stallAfter(const HttpsServer& server, uint64_t sent, uint64_t announced) {
    const std::atomic<bool>* stopping = &server.stopping();
    return [sent, announced, stopping](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(static_cast<size_t>(announced), "application/octet-stream",
                                      [sent, stopping](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset < sent) return writePattern(sink, offset, sent - offset);
                                          while (!*stopping && sink.is_writable())
                                              std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                          return false;
                                      });
    };
}

Handler drip(const HttpsServer& server, std::string body, std::chrono::milliseconds every, size_t atOnce) {
    const std::atomic<bool>* stopping = &server.stopping();
    auto shared = std::make_shared<const std::string>(std::move(body));
    atOnce = std::min(atOnce, shared->size());
    return [shared, every, atOnce, stopping](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(
            shared->size(), "application/octet-stream",
            [shared, every, atOnce, stopping](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset < atOnce) return sink.write(shared->data() + offset, atOnce - offset);
                if (offset > 0 && !sleepUnlessStopping(*stopping, every)) return false;
                // A client that hung up makes the write fail, at the latest on the byte after the next.
                return !*stopping && sink.write(shared->data() + offset, 1);
            });
    };
}

Handler file(std::string path) {
    return [path](const httplib::Request&, httplib::Response& response) {
        std::shared_ptr<FILE> in(std::fopen(path.c_str(), "rb"), [](FILE* f) {
            if (f != nullptr) std::fclose(f);
        });
        if (!in) {
            response.status = 404;
            response.set_content("Not Found", "text/plain");
            return;
        }
        std::fseek(in.get(), 0, SEEK_END);
        const long size = std::ftell(in.get());
        response.set_content_provider(static_cast<size_t>(size), "application/octet-stream",
                                      [in](size_t offset, size_t length, httplib::DataSink& sink) {
                                          std::array<char, 256 * 1024> buffer;
                                          std::fseek(in.get(), static_cast<long>(offset), SEEK_SET);
                                          const size_t n =
                                              std::fread(buffer.data(), 1, std::min(length, buffer.size()), in.get());
                                          if (n == 0) return false;
                                          return sink.write(buffer.data(), n);
                                      });
    };
}

} // namespace answer

} // namespace k4m::sim
