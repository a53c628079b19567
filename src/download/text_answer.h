#pragma once

#include "download/http_client.h"

#include <string>
#include <string_view>

namespace k4m {

// What a text request gives the window.
struct TextAnswer {
    // The body decoded to UTF-8, its lines joined with CR LF, trimmed at both ends; or "ERROR: " and the
    // failure's message.
    std::string text;
    std::string error; // the failure's message; empty when the request succeeded
};

// GETs `url`, with every "http://" made "https://", as a text answer over `http`. The body is collected here
// (the transfer's own onData is replaced) and a body over 16 MiB fails the request. Failures become the
// answer; nothing is thrown.
TextAnswer fetchTextAnswer(HttpClient& http, std::string_view url, HttpTransfer transfer);

// The answer of a text request that failed with `message` before it was sent.
TextAnswer failedTextAnswer(std::string message);

} // namespace k4m
