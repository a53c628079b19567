#pragma once

#include <filesystem>
#include <string>

namespace k4m {

// The offline installation package's folder: the customer key ("key.dat"), the catalog answer ("catalog.dat")
// and one manifest answer per installable product ("<manifest id>.dat"). Written by the computer that makes the
// package, read by the offline one; all plain text with CR LF line ends. A missing file reads as empty.
class OfflinePackage {
public:
    explicit OfflinePackage(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    const std::filesystem::path& folder() const { return m_folder; }

    // Creates the folder and any missing parents. The saves below refuse to write when a symbolic link stands
    // in the folder's place (std::system_error): the package's files would land wherever it points.
    void create() const;

    // The key file holds the customer key: written readable by the user alone. Throws std::system_error.
    void saveKey(const std::string& key) const;
    std::string loadKey() const; // trimmed

    void saveCatalog(const std::string& text) const;
    std::string loadCatalog() const;

    // A manifest id is the server's: one that is no plain file name (a path, "..", a drive, control
    // characters) is refused when saving (std::invalid_argument) and reads as missing, so the package never
    // writes or reads outside its folder.
    void saveManifest(const std::string& manifestId, const std::string& text) const;
    std::string loadManifest(const std::string& manifestId) const;

    static bool isPlainFileStem(const std::string& name);

private:
    void refuseLinkedFolder() const;
    // The path of one of the package's files, once the folder is known to be no link.
    std::filesystem::path fileToWrite(const std::string& name) const;

    std::filesystem::path m_folder;
};

} // namespace k4m
