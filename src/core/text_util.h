#pragma once

#include <string>
#include <string_view>

namespace k4m {

// Replaces every occurrence of `search`, left to right, without overlaps and without rescanning inserted text.
// Case-sensitive; an empty `search` changes nothing.
std::string replaceAll(std::string_view text, std::string_view search, std::string_view replacement);

// Replaces only the first occurrence (used where the manager rewrites one part of a path).
std::string replaceFirst(std::string_view text, std::string_view search, std::string_view replacement);

// Removes leading and trailing blanks and control characters (everything up to and including the space).
std::string trim(std::string_view text);
// The same, without a copy.
std::string_view trimView(std::string_view text);

// Removes exactly one trailing path separator ("C:\Data\\" keeps one of its two).
std::string removeOneTrailingSeparator(std::string_view path);

// `base` + native separator + `name`.
std::string joinPath(std::string_view base, std::string_view name);

// The folder part of a path, without its trailing separator; empty when the path has no separator.
std::string parentFolder(std::string_view path);

// The part after the last separator.
std::string fileNamePart(std::string_view path);

bool containsText(std::string_view text, std::string_view part);

std::string toLowerAscii(std::string_view text);
char toLowerAscii(char c);
// Equal when compared without regard to the case of A to Z.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace k4m
