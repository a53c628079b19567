#pragma once

#include "download/http_client.h"
#include "download/tcv_dl_thread.h"
#include "download/text_prefetch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace k4m {

// The requests of Connect: each through the worker's fetch-text command, except the manifests announced
// ahead, which are fetched side by side over a few connections and handed out in the order announced. Either
// way the answer is the same text, so the sequence cannot tell the two apart.
class ConnectRequests {
public:
    ConnectRequests(TcvDLThread& worker, HttpSettings settings) : m_worker(worker), m_settings(std::move(settings)) {}

    // The answer of `url`; `pump` runs while waiting.
    std::string fetch(const std::string& url, const std::function<void()>& pump = {});
    // These URLs come next, in this order.
    void expect(const std::vector<std::string>& urls);
    // Ends the requests fetched ahead soon, as cancelled; a wait for one of them then ends too.
    void cancel() {
        if (m_ahead) m_ahead->cancel();
    }

private:
    TcvDLThread& m_worker;
    HttpSettings m_settings;
    std::unique_ptr<TextPrefetch> m_ahead;
    size_t m_next = 0;
};

} // namespace k4m
