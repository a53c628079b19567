#include "zip_builder.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <zip.h>

namespace k4m::test {

void makeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (z == nullptr) throw std::runtime_error("cannot create " + path.string());
    for (const ZipEntry& e : entries) {
        zip_int64_t index;
        if (!e.name.empty() && e.name.back() == '/') {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip takes the buffer over only when told to free it; give it a copy it may free.
            void* copy = std::malloc(e.content.size() + 1);
            std::memcpy(copy, e.content.data(), e.content.size());
            zip_source_t* source = zip_source_buffer(z, copy, e.content.size(), 1);
            index = zip_file_add(z, e.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) throw std::runtime_error("cannot add " + e.name + ": " + zip_strerror(z));
        if (e.unixMode != 0)
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             (0100000u | e.unixMode) << 16);
    }
    if (zip_close(z) != 0) {
        const std::string message = zip_strerror(z);
        zip_discard(z);
        throw std::runtime_error("cannot write " + path.string() + ": " + message);
    }
}

} // namespace k4m::test
