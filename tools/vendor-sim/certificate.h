#pragma once

#include <string>

namespace k4m::sim {

// A self-signed certificate for 127.0.0.1 and localhost made for this run, as PEM files in `folder`:
// certificate.pem (also what clients trust) and key.pem.
struct GeneratedCertificate {
    std::string certificateFile;
    std::string keyFile;
};

GeneratedCertificate generateCertificate(const std::string& folder);

} // namespace k4m::sim
