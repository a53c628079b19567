#include "download/zip_extract.h"

#include "core/archive_paths.h"
#include "core/file_ops.h"
#include "platform/atomic_file.h"
#include "platform/native_file.h"
#include "platform/utf8_path.h"

#include <memory>
#include <vector>
#include <zip.h>

namespace k4m {

namespace fs = std::filesystem;

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct EntryCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

ZipHandle openArchive(const fs::path& archive) {
    int error = 0;
    zip_t* z = zip_open(utf8Of(archive).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (z == nullptr) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        std::string message = std::string("cannot open the archive: ") + zip_error_strerror(&e);
        zip_error_fini(&e);
        throw ZipError(message);
    }
    return ZipHandle(z);
}

// Programs stay programs: an entry stored with execute rights, or a Windows program, is written executable.
fs::perms modeOf(zip_t* z, zip_uint64_t index, const std::string& name) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    const bool executableByAttributes = zip_file_get_external_attributes(z, index, 0, &system, &attributes) == 0 &&
                                        system == ZIP_OPSYS_UNIX && ((attributes >> 16) & 0111) != 0;
    const bool windowsProgram = name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0;
    return (executableByAttributes || windowsProgram) ? kProgramFileMode : fs::perms(0644);
}

// Streams one entry into `target` by way of a temporary file beside it; the target appears only when the
// entry was read whole and its checksum matched.
void writeEntry(zip_t* z, zip_uint64_t index, const fs::path& target, fs::perms mode) {
    EntryHandle entry(zip_fopen_index(z, index, 0));
    if (!entry) throw ZipError(std::string("cannot read ") + zip_get_name(z, index, 0) + ": " + zip_strerror(z));
    const fs::path temporary = temporarySibling(target);
    NativeFile out = NativeFile::createNew(temporary, mode);
    if (!out.isOpen()) throw ZipError("cannot create " + utf8Of(temporary));
    std::vector<char> buffer(256 * 1024);
    bool ok = true;
    std::string problem;
    for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (n < 0) {
            ok = false;
            problem = zip_file_strerror(entry.get());
            break;
        }
        if (n == 0) break;
        if (!out.writeAll({buffer.data(), static_cast<size_t>(n)})) {
            ok = false;
            problem = "cannot write " + utf8Of(temporary);
            break;
        }
    }
    // The exact mode, whatever the umask took away.
    ok = ok && out.setMode(mode);
    ok = out.close() && ok;
    std::error_code ec;
    if (ok) fs::rename(temporary, target, ec);
    if (!ok || ec) {
        fs::remove(temporary, ec);
        throw ZipError(problem.empty() ? "cannot store " + utf8Of(target) : problem);
    }
}

bool isFolderEntry(const std::string& name) {
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// The file types of a Unix mode, as an archive made on Unix stores them, whatever system reads it.
constexpr zip_uint32_t kTypeMask = 0170000;
constexpr zip_uint32_t kRegular = 0100000;
constexpr zip_uint32_t kFolder = 0040000;

const char* kindOf(zip_uint32_t type) {
    switch (type) {
    case 0120000:
        return "a symbolic link";
    case 0020000:
    case 0060000:
        return "a device";
    case 0010000:
        return "a pipe";
    case 0140000:
        return "a socket";
    default:
        return "an entry of unknown type";
    }
}

// Only files and folders are ever written: a link entry would otherwise become a file holding the link's
// target, and an update could be swapped for a text file. The whole archive is refused, before anything is
// written, when an entry made on Unix says it is anything else. Entries that carry no type (0) are files or
// folders by their names.
void refuseSpecialEntries(zip_t* z) {
    const zip_int64_t count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(z, index, 0, &system, &attributes) != 0)
            throw ZipError(std::string("cannot read the attributes of an entry: ") + zip_strerror(z));
        if (system != ZIP_OPSYS_UNIX) continue;
        const zip_uint32_t type = (attributes >> 16) & kTypeMask;
        if (type == 0 || type == kRegular || type == kFolder) continue;
        const char* name = zip_get_name(z, index, 0);
        throw ZipError(std::string("the archive holds ") + kindOf(type) + " (" + (name != nullptr ? name : "?") +
                       "); only files and folders are extracted");
    }
}

} // namespace

void extractZipEntry(const fs::path& archive, const std::string& entryName, const fs::path& folder) {
    ZipHandle z = openArchive(archive);
    refuseSpecialEntries(z.get());
    zip_int64_t index = zip_name_locate(z.get(), entryName.c_str(), 0);
    if (index < 0) index = zip_name_locate(z.get(), entryName.c_str(), ZIP_FL_NODIR);
    if (index < 0) throw ZipError("the archive has no entry " + entryName);
    const std::string name = zip_get_name(z.get(), static_cast<zip_uint64_t>(index), 0);
    try {
        const std::string fileName = archiveEntryComponents(name).back();
        const fs::path target = prepareInside(folder, {fileName}, false);
        writeEntry(z.get(), static_cast<zip_uint64_t>(index), target,
                   modeOf(z.get(), static_cast<zip_uint64_t>(index), name));
    } catch (const UnsafeEntryName& e) {
        throw ZipError(e.what());
    } catch (const fs::filesystem_error& e) {
        throw ZipError(e.what());
    }
}

void extractZipAll(const fs::path& archive, const fs::path& folder) {
    ZipHandle z = openArchive(archive);
    refuseSpecialEntries(z.get());
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    struct Entry {
        zip_uint64_t index;
        std::string name;
        std::vector<std::string> components;
    };
    std::vector<Entry> entries;
    try {
        for (zip_int64_t i = 0; i < count; ++i) {
            const char* name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), 0);
            if (name == nullptr) throw ZipError("unreadable entry name");
            entries.push_back({static_cast<zip_uint64_t>(i), name, archiveEntryComponents(name)});
        }
        for (const Entry& e : entries) {
            const fs::path place = prepareInside(folder, e.components, isFolderEntry(e.name));
            if (!isFolderEntry(e.name)) writeEntry(z.get(), e.index, place, modeOf(z.get(), e.index, e.name));
        }
    } catch (const UnsafeEntryName& e) {
        throw ZipError(e.what());
    } catch (const fs::filesystem_error& e) {
        throw ZipError(e.what());
    }
}

} // namespace k4m
