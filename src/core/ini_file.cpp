#include "core/ini_file.h"

#include "core/text_file.h"
#include "core/text_util.h"
#include "platform/atomic_file.h"

#include <charconv>
#include <system_error>

namespace k4m {

namespace {

// A value must stay on its line: a line break inside it would smuggle a new key or section into the file.
std::string oneLine(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return trim(result);
}

} // namespace

IniFile::IniFile(std::filesystem::path path, bool writeThrough)
    : m_path(std::move(path)), m_writeThrough(writeThrough) {}

IniFile IniFile::fromText(std::string_view text) {
    IniFile ini;
    ini.parse(text);
    return ini;
}

bool IniFile::load() {
    m_sections.clear();
    m_lines.clear();
    bool exists = false;
    parse(readTextFile(m_path, &exists));
    return exists;
}

void IniFile::parse(std::string_view text) {
    int current = -1;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(from, end - from);
        from = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        Line line;
        line.raw = std::string(raw);
        const std::string trimmed = trim(raw);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            const std::string name =
                toLowerAscii(trim(trimmed.substr(1, close == std::string::npos ? close : close - 1)));
            current = findSection(name);
            if (current < 0) {
                m_sections.push_back(name);
                current = static_cast<int>(m_sections.size()) - 1;
            }
            line.kind = Kind::Section;
        } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed.find('=') != std::string::npos) {
            const size_t eq = trimmed.find('=');
            line.kind = Kind::Entry;
            line.key = trim(std::string_view(trimmed).substr(0, eq));
            line.value = trim(std::string_view(trimmed).substr(eq + 1));
        }
        line.section = current;
        m_lines.push_back(std::move(line));
    }
}

std::string IniFile::toText() const {
    std::string text;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Entry && line.raw.empty())
            text += line.key + "=" + line.value;
        else
            text += line.raw;
        text += "\r\n";
    }
    return text;
}

void IniFile::save() const {
    writeFileAtomically(m_path, toText());
}

void IniFile::changed() {
    if (m_writeThrough) save();
}

int IniFile::findSection(std::string_view section) const {
    const std::string wanted = toLowerAscii(trim(section));
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (m_sections[i] == wanted) return static_cast<int>(i);
    }
    return -1;
}

int IniFile::findEntry(int section, std::string_view key) const {
    if (section < 0) return -1;
    const std::string wanted = toLowerAscii(trim(key));
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Entry && line.section == section && toLowerAscii(line.key) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const int index = findEntry(findSection(section), key);
    if (index < 0) return std::nullopt;
    return m_lines[static_cast<size_t>(index)].value;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto found = value(section, key);
    return found ? *found : std::string(fallback);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int fallback) const {
    const auto found = value(section, key);
    if (!found || found->empty()) return fallback;
    std::string_view digits = *found;
    if (digits.front() == '+') digits.remove_prefix(1);
    int result = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result, 10);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return fallback;
    return result;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cleanKey = oneLine(key);
    const std::string cleanValue = oneLine(value);
    int sectionIndex = findSection(section);
    if (const int index = findEntry(sectionIndex, cleanKey); index >= 0) {
        Line& line = m_lines[static_cast<size_t>(index)];
        if (line.value == cleanValue) return;
        line.value = cleanValue;
        line.raw.clear();
        changed();
        return;
    }
    if (sectionIndex < 0) {
        if (!m_lines.empty() && !trim(m_lines.back().raw).empty())
            m_lines.push_back(Line{Kind::Text, m_lines.back().section, "", "", ""});
        m_sections.push_back(toLowerAscii(trim(section)));
        sectionIndex = static_cast<int>(m_sections.size()) - 1;
        m_lines.push_back(Line{Kind::Section, sectionIndex, "[" + oneLine(section) + "]", "", ""});
    }
    // A new key goes after the last entry (or header) of its section, before any blank lines that follow it.
    size_t insertAt = 0;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.section == sectionIndex && (line.kind == Kind::Entry || line.kind == Kind::Section)) insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   Line{Kind::Entry, sectionIndex, "", cleanKey, cleanValue});
    changed();
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    const int sectionIndex = findSection(section);
    bool removed = false;
    for (int index = findEntry(sectionIndex, key); index >= 0; index = findEntry(sectionIndex, key)) {
        m_lines.erase(m_lines.begin() + index);
        removed = true;
    }
    if (removed) changed();
}

void IniFile::eraseSection(std::string_view section) {
    const int sectionIndex = findSection(section);
    if (sectionIndex < 0) return;
    std::erase_if(m_lines, [&](const Line& line) { return line.section == sectionIndex; });
    // The name stays registered (with no lines) so indices of later sections remain valid.
    m_sections[static_cast<size_t>(sectionIndex)] = std::string("\n") + m_sections[static_cast<size_t>(sectionIndex)];
    changed();
}

bool IniFile::sectionExists(std::string_view section) const {
    return findSection(section) >= 0;
}

std::vector<std::string> IniFile::sectionKeys(std::string_view section) const {
    const int sectionIndex = findSection(section);
    std::vector<std::string> keys;
    if (sectionIndex < 0) return keys;
    for (const Line& line : m_lines) {
        if (line.kind != Kind::Entry || line.section != sectionIndex) continue;
        const std::string lower = toLowerAscii(line.key);
        bool seen = false;
        for (const auto& k : keys)
            seen = seen || toLowerAscii(k) == lower;
        if (!seen) keys.push_back(line.key);
    }
    return keys;
}

} // namespace k4m
