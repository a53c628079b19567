#pragma once

#include "platform/atomic_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace k4m {

// An INI file as the manager and the plug-in share them: "[Section]" headers and "key=value" lines; section
// and key names match without regard to case; names and values are trimmed; a repeated section continues the
// first; ";" starts a comment line; the first of two equal keys wins. Lines the manager does not understand,
// comments and unknown keys survive a rewrite unchanged. Files are written as UTF-8 with CRLF line ends and
// always replaced atomically.
//
// A file that exists but cannot be read is never written: once load() failed on it, the object keeps every
// change in memory only, so a profile the manager could not read (permissions, a folder, a symbolic link, a file
// too large or with too many lines to hold) is never replaced by one that has lost what it held.
//
// Every member function may be called from several threads at once.
class IniFile {
public:
    // The largest file load() reads; a larger one counts as unreadable.
    static constexpr std::uintmax_t kMaxFileSize = 16 * 1024 * 1024;
    // The most entries and section headers a document may hold; a file with more counts as unreadable.
    static constexpr std::size_t kMaxEntries = 1'000'000;

    IniFile() = default;
    // With `writeThrough`, every change is saved to `path` at once. Saved files get `mode` (kPrivateFileMode for
    // a file holding the customer's key).
    explicit IniFile(std::filesystem::path path, bool writeThrough = false,
                     std::filesystem::perms mode = kDefaultFileMode);

    IniFile(const IniFile& other);
    IniFile(IniFile&& other) noexcept;
    IniFile& operator=(const IniFile& other);
    IniFile& operator=(IniFile&& other) noexcept;
    ~IniFile() = default;

    // A document with more than kMaxEntries entries and headers is left empty, with writeRefused() set.
    static IniFile fromText(std::string_view text);

    // Reads the file; a missing file gives an empty document and false. When the file exists but cannot be read,
    // the document is left empty, writes to the file are refused from then on, and std::system_error is thrown.
    bool load();
    // Writes the whole document to its path atomically; does nothing once writes are refused. Throws
    // std::system_error.
    void save() const;
    std::string toText() const;

    // Whether the file could not be read, so that save() and write-through leave it alone.
    bool writeRefused() const;
    // Why the file could not be read; empty while writes are allowed.
    std::string unreadableReason() const;

    // The path is set at construction and changes only by assignment.
    const std::filesystem::path& path() const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // A value that is not a decimal integer in the 32-bit range reads as absent.
    int readInteger(std::string_view section, std::string_view key, int fallback) const;
    // Read as an integer; any integer other than 0 is true.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);
    void eraseSection(std::string_view section);

    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    // Key names of a section in file order, each once.
    std::vector<std::string> sectionKeys(std::string_view section) const;
    // Section names in the order of their first appearance, each once, as first written.
    std::vector<std::string> sectionNames() const;

private:
    enum class Kind : std::uint8_t { Text, Section, Entry };
    // One item per entry and per section header; every run of other lines (blank lines, comments, lines the
    // manager does not understand) is one Text item, so a file of millions of blank lines stays one string.
    struct Item {
        std::string text; // Text: its lines, each followed by CR LF, written back as they are. Section and Entry:
                          // the line as read, or as last written.
        std::uint32_t section = kNoSection; // the section the item belongs to
        std::uint32_t equals = 0;           // Entry: where the "=" is in `text`
        Kind kind = Kind::Text;
    };
    static constexpr std::uint32_t kNoSection = UINT32_MAX;

    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    // Everything but the lock, so that copies and moves take it whole.
    struct Document {
        std::filesystem::path path;
        bool writeThrough = false;
        std::filesystem::perms mode = kDefaultFileMode;
        std::string unreadable; // why the file could not be read; non-empty: writes are refused

        std::vector<Item> items;
        // Section names as first written, trimmed; matched without regard to case.
        std::unordered_map<std::string, std::uint32_t, NameHash, NameEqual> sections;
        std::uint32_t nextSection = 0;

        // Per section, the positions of its header(s) and entries in `items`, in file order: the positions of
        // section s are byPosition[firstOf[s]] .. byPosition[firstOf[s + 1] - 1]. Rebuilt after items move.
        mutable std::vector<std::uint32_t> firstOf;
        mutable std::vector<std::uint32_t> byPosition;
        mutable bool indexValid = false;
    };

    static std::string_view keyOf(const Item& entry);
    static std::string_view valueOf(const Item& entry);

    bool parse(std::string_view text);
    std::string textLocked() const;
    void refuse(std::string reason);
    void saveLocked() const;
    void changed();
    std::uint32_t findSection(std::string_view section) const;
    const std::uint32_t* sectionBegin(std::uint32_t section) const;
    const std::uint32_t* sectionEnd(std::uint32_t section) const;
    void buildIndex() const;
    const Item* findEntry(std::uint32_t section, std::string_view key) const;
    std::optional<std::string> valueLocked(std::string_view section, std::string_view key) const;
    int readIntegerLocked(std::string_view section, std::string_view key, int fallback) const;
    void writeStringLocked(std::string_view section, std::string_view key, std::string_view value);
    Document lockedCopy() const;
    Document take();

    mutable std::mutex m_mutex;
    Document m_doc;
};

} // namespace k4m
