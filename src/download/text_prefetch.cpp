#include "download/text_prefetch.h"

#include "download/text_answer.h"

#include <algorithm>
#include <chrono>

namespace k4m {

namespace {

// How often a waiting take lets the window paint.
constexpr std::chrono::milliseconds kPumpEvery{10};

} // namespace

TextPrefetch::TextPrefetch(HttpSettings settings, std::vector<std::string> urls, int connections)
    : m_settings(std::move(settings)), m_urls(std::move(urls)), m_answers(m_urls.size()) {
    const size_t count = std::min(static_cast<size_t>(std::max(connections, 1)), m_urls.size());
    // The clients are made here, so a failure to make one reaches the caller rather than a connection thread.
    for (size_t i = 0; i < count; ++i) {
        m_clients.push_back(std::make_unique<HttpClient>(m_settings));
        m_clients.back()->setFollowRedirects(true);
    }
    try {
        for (const auto& client : m_clients)
            m_connections.emplace_back([this, http = client.get()] { serve(*http); });
    } catch (...) {
        // A thread that could not be started: the ones running must not outlive the object that never was.
        cancel();
        for (auto& connection : m_connections)
            connection.join();
        throw;
    }
}

TextPrefetch::~TextPrefetch() {
    cancel();
    for (auto& connection : m_connections)
        connection.join();
}

void TextPrefetch::serve(HttpClient& http) {
    HttpTransfer transfer;
    transfer.cancelled = [this] { return m_cancelled.load(); };
    transfer.timeLimitSeconds = m_settings.textTimeoutSeconds;
    for (;;) {
        size_t index = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_next == m_urls.size()) return;
            index = m_next++;
        }
        TextAnswer answer =
            m_cancelled ? failedTextAnswer("Cancelled") : fetchTextAnswer(http, m_urls[index], transfer);
        {
            std::lock_guard lock(m_mutex);
            m_answers[index] = std::move(answer.text);
        }
        m_arrived.notify_all();
    }
}

std::string TextPrefetch::take(size_t index, const std::function<void()>& pump) {
    std::unique_lock lock(m_mutex);
    const std::optional<std::string>& answer = m_answers.at(index);
    const auto arrived = [&answer] { return answer.has_value(); };
    if (!pump) {
        m_arrived.wait(lock, arrived);
        return *answer;
    }
    while (!m_arrived.wait_for(lock, kPumpEvery, arrived)) {
        // The pump may paint for a while and may even call back into this object: it runs without the lock.
        lock.unlock();
        pump();
        lock.lock();
    }
    return *answer;
}

} // namespace k4m
