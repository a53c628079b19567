#include "download/text_answer.h"

#include "core/server_requests.h"
#include "core/text_decoding.h"
#include "core/text_file.h"
#include "core/text_util.h"

#include <exception>

namespace k4m {

namespace {

// A text answer larger than this is no answer of the vendor's; refusing it keeps memory bounded.
constexpr size_t kMaxTextAnswer = 16 * 1024 * 1024;

} // namespace

TextAnswer fetchTextAnswer(HttpClient& http, std::string_view url, HttpTransfer transfer) {
    try {
        std::string body;
        transfer.onData = [&body](std::string_view data) {
            if (body.size() + data.size() > kMaxTextAnswer) return false;
            body.append(data);
            return true;
        };
        http.get(httpsOnly(url), transfer);
        // Lines as the text loader reads them, joined with CR LF, trimmed at both ends.
        std::string text;
        for (const auto& line : splitLines(decodeText(body)))
            text += line + "\r\n";
        return {trim(text), {}};
    } catch (const std::exception& e) {
        return failedTextAnswer(e.what());
    }
}

TextAnswer failedTextAnswer(std::string message) {
    return {"ERROR: " + message, std::move(message)};
}

} // namespace k4m
