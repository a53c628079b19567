#include "catalog/offline_package.h"

#include "core/text_file.h"
#include "core/text_util.h"
#include "platform/atomic_file.h"
#include "platform/utf8_path.h"

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace k4m {

bool OfflinePackage::isPlainFileStem(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 200) return false;
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            return false;
    }
    return true;
}

void OfflinePackage::refuseLinkedFolder() const {
    if (isSymlink(m_folder))
        throw std::system_error(ELOOP, std::generic_category(),
                                "refusing to write into " + utf8Of(m_folder) + ", a symbolic link");
}

void OfflinePackage::create() const {
    refuseLinkedFolder();
    std::filesystem::create_directories(m_folder);
}

std::filesystem::path OfflinePackage::fileToWrite(const std::string& name) const {
    refuseLinkedFolder();
    return m_folder / pathFromUtf8(name);
}

void OfflinePackage::saveKey(const std::string& key) const {
    SaveString(key, fileToWrite("key.dat"), kPrivateFileMode);
}

std::string OfflinePackage::loadKey() const {
    return trim(LoadString(m_folder / "key.dat"));
}

void OfflinePackage::saveCatalog(const std::string& text) const {
    SaveString(text, fileToWrite("catalog.dat"));
}

std::string OfflinePackage::loadCatalog() const {
    return LoadString(m_folder / "catalog.dat");
}

void OfflinePackage::saveManifest(const std::string& manifestId, const std::string& text) const {
    if (!isPlainFileStem(manifestId)) throw std::invalid_argument("not a manifest id: " + manifestId);
    SaveString(text, fileToWrite(manifestId + ".dat"));
}

std::string OfflinePackage::loadManifest(const std::string& manifestId) const {
    if (!isPlainFileStem(manifestId)) return {};
    return LoadString(m_folder / pathFromUtf8(manifestId + ".dat"));
}

} // namespace k4m
