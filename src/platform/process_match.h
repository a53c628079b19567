#pragma once

#include <string>

namespace k4m {

// Whether a running process whose image is `imagePath` matches the terminator's name text. It matches when
// the image's file name equals `name` ignoring case, when the whole image path equals `name` ignoring case,
// or, with `partial`, when the lower-cased file name contains `name` as given (so only a lower-case name text
// can match that way).
bool processImageMatches(const std::string& imagePath, const std::string& name, bool partial);

} // namespace k4m
