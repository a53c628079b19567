#include "app/program_companions.h"

#include "core/file_ops.h"
#include "core/text_util.h"

namespace k4m {

namespace fs = std::filesystem;

namespace {

bool isLibraryName(const fs::path& name) {
    return toLowerAscii(name.extension().string()) == ".dll";
}

} // namespace

int copyProgramCompanions(const fs::path& program, const fs::path& folder) {
    const fs::path home = program.parent_path();
    std::error_code ec;
    if (home.empty() || fs::equivalent(home, folder, ec)) return 0; // already beside it
    int copied = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(home)) {
        const fs::file_status status = entry.symlink_status();
        const fs::path name = entry.path().filename();
        if (fs::is_regular_file(status) && isLibraryName(name)) {
            copyFileReplacing(entry.path(), folder / name);
            ++copied;
        } else if (fs::is_directory(status) && (name == "platforms" || name == "styles")) {
            copyTree(entry.path(), folder / name);
            ++copied;
        }
    }
    return copied;
}

} // namespace k4m
