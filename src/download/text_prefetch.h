#pragma once

#include "download/http_client.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace k4m {

// Fetches a list of text addresses at once over a few connections of its own, so that a caller who needs
// the answers one by one in list order (the manifests of a catalog) waits about as long as for the slowest
// few rather than for all of them in a row. Each answer is the one the worker's fetch-text command gives for
// the same address. The addresses are requested in list order; answers may arrive in any order.
class TextPrefetch {
public:
    // Starts fetching every address at once over at most `connections` parallel HTTPS clients (each its own
    // HttpClient with `settings`, following redirects, with the worker's time limit for a text answer).
    TextPrefetch(HttpSettings settings, std::vector<std::string> urls, int connections = 4);
    // Cancels what is still running and waits for the connections to end, which takes a second at most.
    ~TextPrefetch();
    TextPrefetch(const TextPrefetch&) = delete;
    TextPrefetch& operator=(const TextPrefetch&) = delete;

    size_t size() const { return m_urls.size(); }
    // The address as it was given.
    const std::string& url(size_t index) const { return m_urls.at(index); }

    // The answer for urls[index]: the decoded text, lines joined with CR LF, trimmed; or "ERROR: " and the
    // failure's message. Waits until it has arrived; `pump` runs about every 10 ms meanwhile (the window keeps
    // painting). An index may be taken any number of times. Throws std::out_of_range for an index past the end.
    std::string take(size_t index, const std::function<void()>& pump = {});

    // Running requests end soon and answer "ERROR: Cancelled", as do those not started yet. Any thread may
    // call it.
    void cancel() { m_cancelled = true; }

private:
    // One connection's loop: takes the next address not yet taken until none is left.
    void serve(HttpClient& http);

    HttpSettings m_settings;
    const std::vector<std::string> m_urls;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    size_t m_next = 0;                                 // guarded by m_mutex
    std::vector<std::optional<std::string>> m_answers; // guarded by m_mutex
    std::vector<std::unique_ptr<HttpClient>> m_clients;
    std::vector<std::thread> m_connections;
};

} // namespace k4m
