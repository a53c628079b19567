#include "app/update_swap.h"

#include "core/file_ops.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

std::string updateSwapTarget(const std::string& ownExecutablePath) {
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    const std::string swapped = replaceFirst(ownExecutablePath, sep + "Update" + sep + "km4u_", sep);
    return joinPath(parentFolder(swapped), "Kandoro4Manager.exe");
}

std::string installUpdateCopy(const std::string& ownExecutablePath) {
    const std::string target = updateSwapTarget(ownExecutablePath);
    // Started again under the same name, the program would take itself for an update copy once more.
    if (target == ownExecutablePath)
        throw fs::filesystem_error("the update copy is the program itself", pathFromUtf8(target),
                                   std::make_error_code(std::errc::invalid_argument));
    copyFileReplacing(pathFromUtf8(ownExecutablePath), pathFromUtf8(target), kProgramFileMode);
    return target;
}

} // namespace k4m
