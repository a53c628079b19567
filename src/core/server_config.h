#pragma once

#include <string>

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
    int stallTimeoutSeconds = 60;   // a transfer that receives nothing for this long fails
};

// Reads `path`; a missing file gives the defaults.
ServerConfig loadServerConfig(const std::string& path);

} // namespace k4m
