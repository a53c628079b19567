#include "download/http_client.h"

#include <chrono>
#include <curl/curl.h>
#include <mutex>
#ifndef _WIN32
#include <openssl/ssl.h>
#include <openssl/x509.h>
#endif

namespace k4m {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

#ifndef _WIN32
// The folder of the system's certificate authorities that libcurl uses by default (looked up per certificate,
// so nothing is parsed up front); empty when libcurl has none.
const std::string& systemAuthorityFolder() {
    static const std::string folder = [] {
        CURL* probe = curl_easy_init();
        char* path = nullptr;
        curl_easy_getinfo(probe, CURLINFO_CAPATH, &path);
        std::string result = path != nullptr ? path : "";
        curl_easy_cleanup(probe);
        return result;
    }();
    return folder;
}
#endif

// Below this rate over a whole stall period a transfer is as good as stalled: a server that sends a byte now
// and then would otherwise keep a request, and the window waiting for it, alive for ever.
constexpr int64_t kMinimumBytesPerSecond = 100;

// How often the arrival record takes a sample; the rate rule may fire this much later than exact.
constexpr int64_t kSampleEveryMs = 100;

bool isSuccess(long status) {
    return status >= 200 && status < 300;
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

struct HttpCallbacks {
    static size_t header(char* data, size_t size, size_t count, void* user) {
        auto* client = static_cast<HttpClient*>(user);
        client->m_lastDataTick = nowMs(); // headers are data too: a long redirect chain is no stall
        client->m_arrived += static_cast<int64_t>(size * count);
        std::string_view line(data, size * count);
        // Every response of a redirect chain starts with its status line; the last one is the final answer.
        if (line.substr(0, 5) == "HTTP/") {
            client->m_bodyStatus = 0; // a new answer of a redirect chain
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.remove_suffix(1);
            client->m_statusLine = std::string(line);
        }
        return size * count;
    }

    static size_t write(char* data, size_t size, size_t count, void* user) {
        auto* client = static_cast<HttpClient*>(user);
        const size_t bytes = size * count;
        client->m_lastDataTick = nowMs();
        client->m_arrived += static_cast<int64_t>(bytes);
        CURL* curl = static_cast<CURL*>(client->m_curl);
        if (client->m_bodyStatus == 0) {
            // The first piece of the final answer: what it is does not change until the next request.
            long status = 0;
            curl_off_t announced = -1;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            client->m_bodyStatus = isSuccess(status) ? 1 : -1;
            client->m_announced = announced;
        }
        // The body of an error answer is not the resource: it is read and dropped.
        if (client->m_bodyStatus < 0 || client->m_transfer == nullptr) return bytes;
        const HttpTransfer& t = *client->m_transfer;
        if (t.cancelled && t.cancelled()) return 0;
        if (t.onData && !t.onData(std::string_view(data, bytes))) {
            client->m_dataRefused = true;
            return 0;
        }
        client->m_received += static_cast<int64_t>(bytes);
        if (t.onProgress) t.onProgress(client->m_announced, client->m_received);
        return bytes;
    }

    // Called about once a second even while nothing arrives: the place to notice a cancel, a stall or
    // a trickle.
    static int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* client = static_cast<HttpClient*>(user);
        const HttpTransfer* t = client->m_transfer;
        if (t != nullptr && t->cancelled && t->cancelled()) return 1;
        const int64_t now = nowMs();
        if (now - client->m_lastDataTick > client->m_settings.stallTimeoutSeconds * 1000) {
            client->m_stalled = true;
            return 1;
        }
        if (client->tooSlow(now)) {
            client->m_tooSlow = true;
            return 1;
        }
        return 0;
    }

#ifndef _WIN32
    // Where libcurl has no folder of system authorities to point at: add the system's defaults by hand.
    static CURLcode systemAuthorities(CURL*, void* sslContext, void*) {
        X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
        return X509_STORE_set_default_paths(store) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
    }
#endif
};

HttpClient::HttpClient(HttpSettings settings) : m_settings(std::move(settings)) {
    initialiseCurlOnce();
    m_curl = curl_easy_init();
    if (m_curl == nullptr) throw HttpError("cannot create the HTTP client");
}

HttpClient::~HttpClient() {
    curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

bool HttpClient::tooSlow(int64_t now) {
    if (m_arrivals.empty() || now - m_arrivals.back().first >= kSampleEveryMs) m_arrivals.emplace_back(now, m_arrived);
    // The newest sample from before the period is the baseline; older ones are of no more use. Strictly
    // before: a transfer that went silent is caught by the gap rule first, with its own message.
    const int64_t periodMs = m_settings.stallTimeoutSeconds * 1000;
    while (m_arrivals.size() >= 2 && m_arrivals[1].first < now - periodMs)
        m_arrivals.pop_front();
    const auto& [tick, arrived] = m_arrivals.front();
    return tick < now - periodMs && m_arrived - arrived < kMinimumBytesPerSecond * m_settings.stallTimeoutSeconds;
}

void HttpClient::prepare(const std::string& url, const HttpTransfer* transfer) {
    CURL* curl = static_cast<CURL*>(m_curl);
    curl_easy_reset(curl);
    // The callbacks of the coming request see this transfer.
    m_transfer = transfer;
    m_statusLine.clear();
    m_dataRefused = false;
    m_stalled = false;
    m_tooSlow = false;
    m_received = 0;
    m_arrived = 0;
    m_bodyStatus = 0;
    m_announced = -1;
    m_startTick = m_lastDataTick = nowMs();
    m_arrivals.assign(1, {m_startTick, 0});
    m_timeLimitMs = transfer != nullptr ? transfer->timeLimitSeconds * 1000 : 0;
    m_errorBuffer[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, m_settings.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, m_followRedirects ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, m_settings.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_settings.caFile.empty()) {
#ifdef _WIN32
        // Schannel checks the server against the file's authorities alone once a file is given; without one it
        // uses the system's store.
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_settings.caFile.c_str());
#else
        // Trust the configured authorities and the system's: the file as the bundle, the system's folder beside.
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_settings.caFile.c_str());
        if (!systemAuthorityFolder().empty())
            curl_easy_setopt(curl, CURLOPT_CAPATH, systemAuthorityFolder().c_str());
        else
            curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &HttpCallbacks::systemAuthorities);
#endif
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_settings.connectTimeoutSeconds);
    if (m_timeLimitMs > 0) curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_timeLimitMs));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpCallbacks::header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpCallbacks::write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &HttpCallbacks::progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024L);
}

void HttpClient::perform() {
    const CURLcode rc = curl_easy_perform(static_cast<CURL*>(m_curl));
    if (rc == CURLE_OK) return;
    if (m_transfer != nullptr && m_transfer->cancelled && m_transfer->cancelled()) throw HttpError("Cancelled");
    if (m_dataRefused) throw HttpError("The received data could not be stored");
    const std::string period = std::to_string(m_settings.stallTimeoutSeconds) + " seconds";
    if (m_stalled) throw HttpError("No data received for " + period);
    if (m_tooSlow)
        throw HttpError("Transfer too slow: under " + std::to_string(kMinimumBytesPerSecond) + " bytes/s for " +
                        period);
    // libcurl says "timed out" for the connection timeout too; only a request that used up its limit gets
    // the limit's message (allowing for libcurl's clock running a few milliseconds ahead of ours).
    if (rc == CURLE_OPERATION_TIMEDOUT && m_timeLimitMs > 0 && nowMs() - m_startTick + 200 >= m_timeLimitMs)
        throw HttpError("Request not completed within " + std::to_string(m_timeLimitMs / 1000) + " seconds");
    std::string message = m_errorBuffer[0] != '\0' ? m_errorBuffer : curl_easy_strerror(rc);
    if (rc == CURLE_UNSUPPORTED_PROTOCOL) message = "Refused to leave https: " + message;
    throw HttpError(message);
}

void HttpClient::get(const std::string& url, const HttpTransfer& transfer) {
    prepare(url, &transfer);
    perform();
    long status = 0;
    curl_easy_getinfo(static_cast<CURL*>(m_curl), CURLINFO_RESPONSE_CODE, &status);
    if (!isSuccess(status))
        throw HttpError(m_statusLine.empty() ? "HTTP status " + std::to_string(status) : m_statusLine);
}

int HttpClient::head(const std::string& url, const HttpTransfer& transfer) {
    prepare(url, &transfer);
    curl_easy_setopt(static_cast<CURL*>(m_curl), CURLOPT_NOBODY, 1L);
    perform();
    long status = 0;
    curl_easy_getinfo(static_cast<CURL*>(m_curl), CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
}

} // namespace k4m
