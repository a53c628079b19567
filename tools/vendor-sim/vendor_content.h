#pragma once

#include "https_server.h"

#include <string>

namespace k4m::sim {

// Answers every request from a content folder: a static file under its server path, and the vendor script's
// commands from files under "kd4_main/COM<n>/" named after the most specific value of the request (MID for
// command 11, DID for 13, EID otherwise) or "default". Any file whose text starts with "REDIRECT " answers 302
// to the address that follows. The content holds no address of its own: "{{BASE}}" in a script answer (up to
// 1 MB; larger ones are streamed unchanged) and in a redirect address is replaced by `base`, the server's
// "https://host:port". "/" answers 200 (the connectivity probe). Paths that would leave the folder answer 404.
Handler contentFolder(const std::string& folder, const std::string& base);

// A fault knob given as "KIND" or "KIND:ARGUMENT": status:CODE, cut:BYTES, stall:BYTES, drip:MS (one byte every
// MS milliseconds), nolength, redirect:LOCATION. Throws std::invalid_argument for anything else.
Handler faultHandler(const HttpsServer& server, const std::string& knob, const std::string& contentFile);

} // namespace k4m::sim
