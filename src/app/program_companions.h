#pragma once

#include <filesystem>

namespace k4m {

// A program built against shared libraries starts only with them beside it: the Windows build needs its DLLs
// (Qt's, the compiler's run-time) and Qt's "platforms" and "styles" plug-in folders. A copy of the program made
// elsewhere (the data folder's, which the start-menu entry starts; the update copy) takes them along. A program
// with none beside it (the Linux build) copies nothing.
// Copies every regular ".dll" file and the two plug-in folders from the folder of `program` into `folder`,
// replacing what is there; links are never followed out of the program's folder. Returns how many it copied.
// Throws std::filesystem::filesystem_error.
int copyProgramCompanions(const std::filesystem::path& program, const std::filesystem::path& folder);

} // namespace k4m
