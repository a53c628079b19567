#pragma once

#include <string>
#include <vector>

namespace k4m {

// Where the manager finds its vendor: read once at start from server.ini beside the program, section
// "Server"; every absent key keeps its built-in default.
struct ServerConfig {
    std::string base = "https://www.corvane.com"; // scheme, host, optional port; no trailing "/"
    std::string website = "https://www.corvane.com";
    std::string probe = "https://www.wikipedia.org/";
    std::string mirrorDropbox = "https://www.dropbox.com/s/k4mstatus/server_status.txt?dl=1";
    std::string mirrorGoogleDrive = "https://drive.google.com/uc?export=download&id=k4mstatus";
    std::string mirrorMediaFire = "https://download.mediafire.com/k4mstatus/server_status.txt";
    std::string support = "support@corvane.com";
    std::string caFile;             // extra certificate authorities (PEM) trusted beside the system's
    int connectTimeoutSeconds = 30; // connecting gives up after this
    int stallTimeoutSeconds = 60;   // a transfer slower than 100 bytes/s for this long fails
    // Values of the file that made no sense and were replaced by the default, one readable line each, for
    // the log.
    std::vector<std::string> problems;
};

// Reads `path`; a missing file gives the defaults. A base that is no https address and a time limit of zero
// or below keep their defaults and are named in `problems`.
ServerConfig loadServerConfig(const std::string& path);

} // namespace k4m
