#include "catalog/offline_package.h"

#include "core/text_file.h"
#include "core/text_util.h"
#include "platform/atomic_file.h"

#include <stdexcept>

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

void OfflinePackage::saveKey(const std::string& key) const {
    SaveString(key, m_folder / "key.dat", kPrivateFileMode);
}

std::string OfflinePackage::loadKey() const {
    return trim(LoadString(m_folder / "key.dat"));
}

void OfflinePackage::saveCatalog(const std::string& text) const {
    SaveString(text, m_folder / "catalog.dat");
}

std::string OfflinePackage::loadCatalog() const {
    return LoadString(m_folder / "catalog.dat");
}

void OfflinePackage::saveManifest(const std::string& manifestId, const std::string& text) const {
    if (!isPlainFileStem(manifestId)) throw std::invalid_argument("not a manifest id: " + manifestId);
    SaveString(text, m_folder / (manifestId + ".dat"));
}

std::string OfflinePackage::loadManifest(const std::string& manifestId) const {
    if (!isPlainFileStem(manifestId)) return {};
    return LoadString(m_folder / (manifestId + ".dat"));
}

} // namespace k4m
