#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace k4m {

// An INI file as the manager and the plug-in share them: "[Section]" headers and "key=value" lines; section
// and key names match without regard to case; names and values are trimmed; a repeated section continues the
// first; ";" starts a comment line; the first of two equal keys wins. Lines the manager does not understand,
// comments and unknown keys survive a rewrite unchanged. Files are written as UTF-8 with CRLF line ends and
// always replaced atomically.
class IniFile {
public:
    IniFile() = default;
    // With `writeThrough`, every change is saved to `path` at once.
    explicit IniFile(std::filesystem::path path, bool writeThrough = false);

    static IniFile fromText(std::string_view text);

    // Reads the file; a missing file gives an empty document and false. Throws std::system_error when the file
    // exists but cannot be read.
    bool load();
    // Writes the whole document to its path atomically. Throws std::system_error.
    void save() const;
    std::string toText() const;

    const std::filesystem::path& path() const { return m_path; }

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
    bool valueExists(std::string_view section, std::string_view key) const { return value(section, key).has_value(); }
    // Key names of a section in file order, each once.
    std::vector<std::string> sectionKeys(std::string_view section) const;

private:
    enum class Kind { Text, Section, Entry };
    struct Line {
        Kind kind = Kind::Text;
        int section = -1; // index into m_sections of the section this line belongs to; -1 before any header
        std::string raw;  // the line as read; empty once an entry was rewritten
        std::string key;
        std::string value;
    };

    void parse(std::string_view text);
    int findSection(std::string_view section) const;
    int findEntry(int section, std::string_view key) const;
    void changed();

    std::filesystem::path m_path;
    bool m_writeThrough = false;
    std::vector<std::string> m_sections; // lower-case names, in order of first appearance
    std::vector<Line> m_lines;
};

} // namespace k4m
