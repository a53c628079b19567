#include "zip_builder.h"

#include "platform/utf8_path.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <zip.h>

namespace k4m::test {

namespace {

[[noreturn]] void fail(zip_t* z, const std::string& what) {
    const std::string message = what + ": " + zip_strerror(z);
    zip_discard(z);
    throw std::runtime_error(message);
}

} // namespace

void makeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* z = zip_open(k4m::utf8Of(path).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (z == nullptr) throw std::runtime_error("cannot create " + k4m::utf8Of(path));
    for (const ZipEntry& e : entries) {
        zip_int64_t index;
        if (!e.name.empty() && e.name.back() == '/') {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip takes the buffer over only when told to free it, and an empty one not at all; give it a copy
            // it may free.
            void* copy = nullptr;
            if (!e.content.empty()) {
                copy = std::malloc(e.content.size());
                std::memcpy(copy, e.content.data(), e.content.size());
            }
            zip_source_t* source = zip_source_buffer(z, copy, e.content.size(), copy != nullptr ? 1 : 0);
            index = zip_file_add(z, e.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) fail(z, "cannot add " + e.name);
        if (e.unixMode != 0 || e.unixType != 0) {
            const unsigned type = e.unixType != 0 ? e.unixType : S_IFREG;
            const unsigned mode = e.unixMode != 0 ? e.unixMode : 0777;
            if (zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                                 (type | mode) << 16) != 0)
                fail(z, "cannot set the attributes of " + e.name);
        }
    }
    if (zip_close(z) != 0) fail(z, "cannot write " + k4m::utf8Of(path));
}

} // namespace k4m::test
