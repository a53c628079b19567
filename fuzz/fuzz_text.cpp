// Any bytes as server answers, file texts and archive entry names.
#include "core/archive_paths.h"
#include "core/server_requests.h"
#include "core/text_decoding.h"
#include "core/text_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Whatever arrives, the manager works with valid UTF-8.
    if (!k4m::isValidUtf8(k4m::decodeText(bytes))) std::abort();
    // A tag value never spans a closing bracket.
    for (const char* tag : {"N", "E"}) {
        if (k4m::TagValue(tag, bytes).find(']') != std::string::npos) std::abort();
    }
    for (const auto& line : k4m::splitLines(bytes)) {
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    }
    // An entry name is either refused or stays inside its folder.
    try {
        for (const auto& part : k4m::archiveEntryComponents(bytes)) {
            if (part == ".." || part.empty() || part.find_first_of("/\\") != std::string::npos) std::abort();
        }
        if (bytes.size() >= 2 && bytes[1] == ':') std::abort();
    } catch (const k4m::UnsafeEntryName&) {
    }
    return 0;
}
