#include "core/archive_paths.h"

#include "platform/utf8_path.h"

namespace k4m {

namespace fs = std::filesystem;

std::vector<std::string> archiveEntryComponents(std::string_view entryName) {
    const std::string name(entryName);
    if (name.empty()) throw UnsafeEntryName("empty entry name");
    if (name.front() == '/' || name.front() == '\\') throw UnsafeEntryName("absolute entry name: " + name);
    if (name.size() >= 2 && name[1] == ':') throw UnsafeEntryName("entry name with a drive: " + name);
    std::vector<std::string> components;
    std::string current;
    auto finish = [&] {
        if (current == "..") throw UnsafeEntryName("entry name leaves its folder: " + name);
        if (!current.empty() && current != ".") components.push_back(current);
        current.clear();
    };
    for (const char c : name) {
        if (c == '/' || c == '\\')
            finish();
        else
            current += c;
    }
    finish();
    if (components.empty()) throw UnsafeEntryName("entry name without a file: " + name);
    return components;
}

fs::path prepareInside(const fs::path& root, const std::vector<std::string>& components, bool isFolder) {
    fs::path place = root;
    const size_t folders = isFolder ? components.size() : components.size() - 1;
    for (size_t i = 0; i < components.size(); ++i) {
        place /= pathFromUtf8(components[i]);
        if (i >= folders) break;
        const fs::file_status status = fs::symlink_status(place);
        if (status.type() == fs::file_type::symlink)
            throw UnsafeEntryName("a link on the way out of the folder: " + utf8Of(place));
        if (status.type() == fs::file_type::not_found)
            fs::create_directory(place);
        else if (status.type() != fs::file_type::directory)
            throw fs::filesystem_error("not a folder", place, std::make_error_code(std::errc::not_a_directory));
    }
    return place;
}

} // namespace k4m
