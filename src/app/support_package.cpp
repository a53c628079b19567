#include "app/support_package.h"

#include "core/text_file.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <filesystem>
#include <list>
#include <stdexcept>
#include <zip.h>

namespace k4m {

namespace fs = std::filesystem;

namespace {

// Adds one regular file (never through a link) under `name`; false when it is not there or not readable. The
// bytes are read now and kept in `kept` until the archive is closed (libzip reads its sources only then): a file
// that went away meanwhile would otherwise fail the whole archive.
bool addFile(zip_t* archive, const fs::path& file, const std::string& name, std::list<std::string>& kept) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec))) return false;
    try {
        const auto content = readRegularFile(file, kMaxLoadedText);
        if (!content) return false;
        kept.push_back(std::move(*content));
    } catch (const std::exception&) {
        return false;
    }
    zip_source_t* source = zip_source_buffer(archive, kept.back().data(), kept.back().size(), 0);
    if (source == nullptr) return false;
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
    return true;
}

} // namespace

std::string buildSupportZip(const std::string& profilePath, const std::vector<std::string>& logLines,
                            const std::string& productFolder) {
    if (profilePath.empty()) throw std::runtime_error("The manager's folder is unknown.");
    const fs::path profile = pathFromUtf8(profilePath);
    const fs::path folder = profile.parent_path();
    const fs::path zipPath = pathFromUtf8(supportZipPath(profilePath));
    // Made anew: an older archive (or a link planted in its place) goes first.
    std::error_code ec;
    fs::remove(zipPath, ec);
    int error = 0;
    zip_t* archive = zip_open(utf8Of(zipPath).c_str(), ZIP_CREATE | ZIP_TRUNCATE | ZIP_EXCL, &error);
    if (archive == nullptr) throw std::runtime_error("cannot create " + utf8Of(zipPath));
    std::list<std::string> kept; // the entries' bytes, alive until the archive is closed

    addFile(archive, profile, "installer.ini", kept);
    try {
        std::string text;
        for (const std::string& line : logLines)
            text += line + "\n";
        SaveString(text, folder / "log.bak");
        addFile(archive, folder / "log.bak", "log.txt", kept);
    } catch (const std::exception&) {
        // No log in the archive; the rest goes in.
    }
    if (!productFolder.empty()) {
        std::vector<fs::path> logs;
        const fs::path product = pathFromUtf8(productFolder);
        for (const auto& entry : fs::directory_iterator(product / "logs", ec)) {
            const std::string name = utf8Of(entry.path().filename());
            if (name.size() > 4 && toLowerAscii(name.substr(name.size() - 4)) == ".txt") logs.push_back(entry.path());
        }
        for (const fs::path& log : logs)
            addFile(archive, log, utf8Of(log.filename()), kept);
        addFile(archive, product / "kandoro4.ini", "kandoro4.ini", kept);
    }
    if (zip_close(archive) != 0) {
        const std::string message = zip_strerror(archive);
        zip_discard(archive);
        throw std::runtime_error("cannot write " + utf8Of(zipPath) + ": " + message);
    }
    return utf8Of(zipPath);
}

std::string supportZipPath(const std::string& profilePath) {
    return utf8Of(pathFromUtf8(profilePath).parent_path() / "support.zip");
}

std::string supportMailLink(const std::string& supportAddress) {
    if (supportAddress.empty()) return {};
    return "mailto:" + supportAddress +
           "?Subject=[TECH SUPPORT NEEDED]%20Corvane%20Kandoro%204&Body=<Give%20a%20brief%20description%20of%20the%"
           "20problem%20and%20make%20sure%20to%20drop%20the%20log%20files%20onto%20the%20email%20from%20the%20manager%"
           "20tool>";
}

} // namespace k4m
