#pragma once

#include "download/http_client.h"
#include "download/tcv_dl_thread.h"
#include "download/text_prefetch.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace k4m {

// The requests of Connect: each through the worker's fetch-text command, except the manifests announced
// ahead, which are fetched side by side over a few connections and handed out in the order announced. Either
// way the answer is the same text, so the sequence cannot tell the two apart.
class ConnectRequests {
public:
    // Fetching ahead costs connections of their own, which pays only when a request takes a while: when the
    // quickest answer of their server so far came back within `aheadFrom`, the announced URLs go through the
    // worker as well.
    ConnectRequests(TcvDLThread& worker, HttpSettings settings,
                    std::chrono::microseconds aheadFrom = std::chrono::milliseconds(2))
        : m_worker(worker), m_settings(std::move(settings)), m_aheadFrom(aheadFrom) {}

    // The answer of `url`; `pump` runs while waiting.
    std::string fetch(const std::string& url, const std::function<void()>& pump = {});
    // These URLs come next, in this order.
    void expect(const std::vector<std::string>& urls);
    // Whether URLs of this one's server announced now would be fetched ahead.
    bool worthFetchingAhead(const std::string& url) const;
    // Ends the requests fetched ahead soon, as cancelled; a wait for one of them then ends too.
    void cancel() {
        if (m_ahead) m_ahead->cancel();
    }

private:
    TcvDLThread& m_worker;
    HttpSettings m_settings;
    std::chrono::microseconds m_aheadFrom;
    std::map<std::string, std::chrono::microseconds> m_fastest; // per server: its quickest answer so far
    std::unique_ptr<TextPrefetch> m_ahead;
    size_t m_next = 0;
};

} // namespace k4m
