#include "catalog/connect_requests.h"

#include <chrono>

namespace k4m {

namespace {

// Enough to take the manifests of a full catalog in a few rounds without crowding the server.
constexpr int kManifestConnections = 6;

// "https://host:port" of a URL: the server its requests go to.
std::string originOf(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return url.substr(0, path);
}

} // namespace

std::string ConnectRequests::fetch(const std::string& url, const std::function<void()>& pump) {
    if (m_ahead && m_next < m_ahead->size() && m_ahead->url(m_next) == url) return m_ahead->take(m_next++, pump);
    const auto start = std::chrono::steady_clock::now();
    std::string answer = fetchText(m_worker, url, pump);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const auto [fastest, first] = m_fastest.try_emplace(originOf(url), took);
    if (!first && took < fastest->second) fastest->second = took;
    return answer;
}

bool ConnectRequests::worthFetchingAhead(const std::string& url) const {
    const auto fastest = m_fastest.find(originOf(url));
    return fastest == m_fastest.end() || fastest->second >= m_aheadFrom;
}

void ConnectRequests::expect(const std::vector<std::string>& urls) {
    m_ahead.reset();
    m_next = 0;
    if (!urls.empty() && worthFetchingAhead(urls.front()))
        m_ahead = std::make_unique<TextPrefetch>(m_settings, urls, kManifestConnections);
}

} // namespace k4m
