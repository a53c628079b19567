#pragma once

#include <string>
#include <string_view>

namespace k4m {

// Turns bytes from a file or the server into UTF-8: a byte-order mark selects UTF-8 or UTF-16 (LE/BE);
// otherwise valid UTF-8 stays as it is; otherwise the bytes are read as Windows-1252.
std::string decodeText(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

} // namespace k4m
