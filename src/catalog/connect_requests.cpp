#include "catalog/connect_requests.h"

namespace k4m {

namespace {

// Enough to take the manifests of a full catalog in a few rounds without crowding the server.
constexpr int kManifestConnections = 6;

} // namespace

std::string ConnectRequests::fetch(const std::string& url, const std::function<void()>& pump) {
    if (m_ahead && m_next < m_ahead->size() && m_ahead->url(m_next) == url) return m_ahead->take(m_next++, pump);
    return fetchText(m_worker, url, pump);
}

void ConnectRequests::expect(const std::vector<std::string>& urls) {
    m_ahead.reset();
    m_next = 0;
    if (!urls.empty()) m_ahead = std::make_unique<TextPrefetch>(m_settings, urls, kManifestConnections);
}

} // namespace k4m
