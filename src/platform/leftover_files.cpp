#include "platform/leftover_files.h"

#include "platform/native_file.h" // processGone
#include "platform/utf8_path.h"

#include <limits>
#include <string>
#include <string_view>

namespace k4m {

namespace fs = std::filesystem;

namespace {

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 10) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// `name` ends with `suffix` and has something before it.
bool endsWith(const std::string& name, std::string_view suffix) {
    return name.size() > suffix.size() && name.ends_with(suffix);
}

// The process id in a name of the form "<name>.<pid>.<n>.tmp" (optionally + ".part"); 0 when it has no such form.
long writerOf(std::string name) {
    for (const std::string_view suffix : {".tmp.part", ".tmp"}) {
        if (endsWith(name, suffix)) {
            name.resize(name.size() - suffix.size());
            const size_t counterDot = name.rfind('.');
            if (counterDot == std::string::npos || !allDigits(std::string_view(name).substr(counterDot + 1))) return 0;
            const size_t pidDot = name.rfind('.', counterDot - 1);
            if (pidDot == std::string::npos || pidDot == 0) return 0;
            const std::string pid = name.substr(pidDot + 1, counterDot - pidDot - 1);
            if (!allDigits(pid)) return 0;
            // Ten digits may exceed a long (32 bits on Windows): such a number is no process of this system.
            const unsigned long long number = std::stoull(pid);
            if (number > static_cast<unsigned long long>(std::numeric_limits<long>::max())) return 0;
            return static_cast<long>(number);
        }
    }
    return 0;
}

} // namespace

int removeLeftoverTemporaries(const fs::path& folder, bool partialDownloads) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec || status.type() != fs::file_type::regular) continue;
        const std::string name = utf8Of(it->path().filename());
        const long pid = writerOf(name);
        const bool leftover = pid > 0 ? processGone(pid) : partialDownloads && endsWith(name, ".part");
        if (leftover && fs::remove(it->path(), ec)) ++removed;
        ec.clear();
    }
    return removed;
}

} // namespace k4m
