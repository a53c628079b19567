#include "core/ini_file.h"

#include "core/text_decoding.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <system_error>
#include <unordered_set>

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

constexpr size_t kNotFound = static_cast<size_t>(-1);

} // namespace

std::size_t IniFile::NameHash::operator()(std::string_view name) const {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a over the lower-case bytes
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(toLowerAscii(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool IniFile::NameEqual::operator()(std::string_view a, std::string_view b) const {
    return equalsIgnoringCase(a, b);
}

std::string_view IniFile::keyOf(const Item& entry) {
    return trimView(std::string_view(entry.text).substr(0, entry.equals));
}

std::string_view IniFile::valueOf(const Item& entry) {
    return trimView(std::string_view(entry.text).substr(entry.equals + 1));
}

IniFile::IniFile(std::filesystem::path path, bool writeThrough, std::filesystem::perms mode) {
    m_doc.path = std::move(path);
    m_doc.writeThrough = writeThrough;
    m_doc.mode = mode;
}

IniFile::IniFile(const IniFile& other) : m_doc(other.lockedCopy()) {}

IniFile::IniFile(IniFile&& other) noexcept : m_doc(other.take()) {}

IniFile& IniFile::operator=(const IniFile& other) {
    if (this != &other) {
        // Never both locks at once: two objects assigned to each other from two threads cannot deadlock.
        Document copy = other.lockedCopy();
        const std::lock_guard lock(m_mutex);
        m_doc = std::move(copy);
    }
    return *this;
}

IniFile& IniFile::operator=(IniFile&& other) noexcept {
    if (this != &other) {
        Document taken = other.take();
        const std::lock_guard lock(m_mutex);
        m_doc = std::move(taken);
    }
    return *this;
}

IniFile::Document IniFile::lockedCopy() const {
    const std::lock_guard lock(m_mutex);
    return m_doc;
}

IniFile::Document IniFile::take() {
    const std::lock_guard lock(m_mutex);
    Document taken = std::move(m_doc);
    m_doc = Document{};
    return taken;
}

IniFile IniFile::fromText(std::string_view text) {
    IniFile ini;
    if (!ini.parse(text))
        ini.refuse("the text has more than " + std::to_string(kMaxEntries) + " entries and section headers");
    return ini;
}

bool IniFile::load() {
    const std::lock_guard lock(m_mutex);
    Document& d = m_doc;
    d.items.clear();
    d.sections.clear();
    d.indexValid = false;
    std::optional<std::string> bytes;
    try {
        bytes = readRegularFile(d.path, kMaxFileSize);
    } catch (const std::system_error& e) {
        refuse(e.what());
        throw;
    }
    if (!bytes) return false;
    const std::string text = decodeText(*bytes);
    bytes.reset();
    if (!parse(text)) {
        const std::system_error error(EFBIG, std::generic_category(),
                                      utf8Of(d.path) + " has more than " + std::to_string(kMaxEntries) +
                                          " entries and section headers");
        refuse(error.what());
        throw error;
    }
    return true;
}

void IniFile::refuse(std::string reason) {
    // The first reason stays: it names what was wrong with the file when it was read.
    if (m_doc.unreadable.empty()) m_doc.unreadable = std::move(reason);
}

bool IniFile::parse(std::string_view text) {
    Document& d = m_doc;
    std::uint32_t current = kNoSection;
    size_t counted = 0;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(from, end - from);
        from = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        const std::string_view trimmed = trimView(raw);
        const bool header = !trimmed.empty() && trimmed[0] == '[';
        const size_t equals = header || trimmed.empty() || trimmed[0] == ';' ? kNotFound : raw.find('=');
        if (!header && equals == kNotFound) {
            if (d.items.empty() || d.items.back().kind != Kind::Text)
                d.items.push_back(Item{{}, current, 0, Kind::Text});
            std::string& chunk = d.items.back().text;
            chunk += raw;
            chunk += "\r\n";
            continue;
        }
        if (++counted > kMaxEntries) {
            d.items.clear();
            d.items.shrink_to_fit();
            d.sections.clear();
            d.indexValid = false;
            return false;
        }
        if (header) {
            const size_t close = trimmed.find(']');
            const std::string_view name =
                trimView(trimmed.substr(1, close == std::string_view::npos ? close : close - 1));
            if (const auto found = d.sections.find(name); found != d.sections.end()) {
                current = found->second;
            } else {
                current = d.nextSection++;
                d.sections.emplace(std::string(name), current);
            }
            d.items.push_back(Item{std::string(raw), current, 0, Kind::Section});
        } else {
            d.items.push_back(Item{std::string(raw), current, static_cast<std::uint32_t>(equals), Kind::Entry});
        }
    }
    d.indexValid = false;
    return true;
}

std::string IniFile::toText() const {
    const std::lock_guard lock(m_mutex);
    return textLocked();
}

std::string IniFile::textLocked() const {
    size_t size = 0;
    for (const Item& item : m_doc.items)
        size += item.text.size() + 2;
    std::string text;
    text.reserve(size);
    for (const Item& item : m_doc.items) {
        text += item.text;
        if (item.kind != Kind::Text) text += "\r\n";
    }
    return text;
}

void IniFile::save() const {
    const std::lock_guard lock(m_mutex);
    saveLocked();
}

void IniFile::saveLocked() const {
    if (!m_doc.unreadable.empty()) return;
    writeFileAtomically(m_doc.path, textLocked(), m_doc.mode);
}

void IniFile::changed() {
    if (m_doc.writeThrough) saveLocked();
}

bool IniFile::writeRefused() const {
    const std::lock_guard lock(m_mutex);
    return !m_doc.unreadable.empty();
}

std::string IniFile::unreadableReason() const {
    const std::lock_guard lock(m_mutex);
    return m_doc.unreadable;
}

const std::filesystem::path& IniFile::path() const {
    const std::lock_guard lock(m_mutex);
    return m_doc.path;
}

std::uint32_t IniFile::findSection(std::string_view section) const {
    const auto found = m_doc.sections.find(trimView(section));
    return found == m_doc.sections.end() ? kNoSection : found->second;
}

void IniFile::buildIndex() const {
    const Document& d = m_doc;
    if (d.indexValid) return;
    d.firstOf.assign(size_t{d.nextSection} + 1, 0);
    for (const Item& item : d.items) {
        if (item.kind != Kind::Text && item.section != kNoSection) ++d.firstOf[item.section + 1];
    }
    for (size_t s = 1; s < d.firstOf.size(); ++s)
        d.firstOf[s] += d.firstOf[s - 1];
    d.byPosition.assign(d.firstOf.back(), 0);
    std::vector<std::uint32_t> next(d.firstOf.begin(), d.firstOf.end() - 1);
    for (size_t i = 0; i < d.items.size(); ++i) {
        const Item& item = d.items[i];
        if (item.kind != Kind::Text && item.section != kNoSection)
            d.byPosition[next[item.section]++] = static_cast<std::uint32_t>(i);
    }
    d.indexValid = true;
}

const std::uint32_t* IniFile::sectionBegin(std::uint32_t section) const {
    buildIndex();
    return m_doc.byPosition.data() + m_doc.firstOf[section];
}

const std::uint32_t* IniFile::sectionEnd(std::uint32_t section) const {
    buildIndex();
    return m_doc.byPosition.data() + m_doc.firstOf[size_t{section} + 1];
}

const IniFile::Item* IniFile::findEntry(std::uint32_t section, std::string_view key) const {
    if (section == kNoSection) return nullptr;
    const std::string_view wanted = trimView(key);
    for (const std::uint32_t *at = sectionBegin(section), *end = sectionEnd(section); at != end; ++at) {
        const Item& item = m_doc.items[*at];
        if (item.kind == Kind::Entry && equalsIgnoringCase(keyOf(item), wanted)) return &item;
    }
    return nullptr;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::lock_guard lock(m_mutex);
    return valueLocked(section, key);
}

std::optional<std::string> IniFile::valueLocked(std::string_view section, std::string_view key) const {
    const Item* item = findEntry(findSection(section), key);
    if (item == nullptr) return std::nullopt;
    return std::string(valueOf(*item));
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    const std::lock_guard lock(m_mutex);
    return findEntry(findSection(section), key) != nullptr;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
    const std::lock_guard lock(m_mutex);
    auto found = valueLocked(section, key);
    return found ? *found : std::string(fallback);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int fallback) const {
    const std::lock_guard lock(m_mutex);
    return readIntegerLocked(section, key, fallback);
}

int IniFile::readIntegerLocked(std::string_view section, std::string_view key, int fallback) const {
    const auto found = valueLocked(section, key);
    if (!found || found->empty()) return fallback;
    std::string_view digits = *found;
    if (digits.front() == '+') digits.remove_prefix(1);
    int result = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result, 10);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return fallback;
    return result;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    const std::lock_guard lock(m_mutex);
    return readIntegerLocked(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    const std::lock_guard lock(m_mutex);
    writeStringLocked(section, key, value);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    const std::lock_guard lock(m_mutex);
    writeStringLocked(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    const std::lock_guard lock(m_mutex);
    writeStringLocked(section, key, value ? "1" : "0");
}

void IniFile::writeStringLocked(std::string_view section, std::string_view key, std::string_view value) {
    Document& d = m_doc;
    const std::string cleanKey = oneLine(key);
    const std::string cleanValue = oneLine(value);
    std::uint32_t sectionId = findSection(section);
    if (const Item* found = findEntry(sectionId, cleanKey); found != nullptr) {
        if (valueOf(*found) == cleanValue) return;
        Item& item = d.items[static_cast<size_t>(found - d.items.data())];
        // The key keeps its spelling in the file.
        std::string line = std::string(keyOf(item)) + "=" + cleanValue;
        item.equals = static_cast<std::uint32_t>(line.size() - cleanValue.size() - 1);
        item.text = std::move(line);
        changed();
        return;
    }
    if (sectionId == kNoSection) {
        // A new section is set off from what comes before it by a blank line.
        if (!d.items.empty()) {
            Item& last = d.items.back();
            if (last.kind != Kind::Text) {
                d.items.push_back(Item{"\r\n", last.section, 0, Kind::Text});
            } else {
                const std::string_view chunk = std::string_view(last.text).substr(0, last.text.size() - 2);
                const size_t lineStart = chunk.rfind('\n');
                if (!trimView(chunk.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1)).empty())
                    last.text += "\r\n";
            }
        }
        sectionId = d.nextSection++;
        d.sections.emplace(std::string(trimView(section)), sectionId);
        d.items.push_back(Item{"[" + oneLine(section) + "]", sectionId, 0, Kind::Section});
        d.indexValid = false;
    }
    // A new key goes after the last entry (or header) of its section, before any other lines that follow it.
    const size_t insertAt = size_t{*(sectionEnd(sectionId) - 1)} + 1;
    d.items.insert(
        d.items.begin() + static_cast<std::ptrdiff_t>(insertAt),
        Item{cleanKey + "=" + cleanValue, sectionId, static_cast<std::uint32_t>(cleanKey.size()), Kind::Entry});
    d.indexValid = false;
    changed();
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    const std::lock_guard lock(m_mutex);
    Document& d = m_doc;
    const std::uint32_t sectionId = findSection(section);
    if (sectionId == kNoSection) return;
    const std::string_view wanted = trimView(key);
    std::vector<std::uint32_t> doomed;
    for (const std::uint32_t *at = sectionBegin(sectionId), *end = sectionEnd(sectionId); at != end; ++at) {
        const Item& item = d.items[*at];
        if (item.kind == Kind::Entry && equalsIgnoringCase(keyOf(item), wanted)) doomed.push_back(*at);
    }
    if (doomed.empty()) return;
    size_t kept = 0;
    size_t next = 0;
    for (size_t i = 0; i < d.items.size(); ++i) {
        if (next < doomed.size() && doomed[next] == i) {
            ++next;
            continue;
        }
        if (kept != i) d.items[kept] = std::move(d.items[i]);
        ++kept;
    }
    d.items.resize(kept);
    d.indexValid = false;
    changed();
}

void IniFile::eraseSection(std::string_view section) {
    const std::lock_guard lock(m_mutex);
    Document& d = m_doc;
    const auto found = d.sections.find(trimView(section));
    if (found == d.sections.end()) return;
    const std::uint32_t sectionId = found->second;
    d.sections.erase(found);
    std::erase_if(d.items, [&](const Item& item) { return item.section == sectionId; });
    d.indexValid = false;
    changed();
}

bool IniFile::sectionExists(std::string_view section) const {
    const std::lock_guard lock(m_mutex);
    return findSection(section) != kNoSection;
}

std::vector<std::string> IniFile::sectionNames() const {
    const std::lock_guard lock(m_mutex);
    std::vector<std::pair<std::uint32_t, std::string>> numbered;
    numbered.reserve(m_doc.sections.size());
    for (const auto& [name, id] : m_doc.sections)
        numbered.emplace_back(id, name);
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> names;
    names.reserve(numbered.size());
    for (auto& entry : numbered)
        names.push_back(std::move(entry.second));
    return names;
}

std::vector<std::string> IniFile::sectionKeys(std::string_view section) const {
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> keys;
    const std::uint32_t sectionId = findSection(section);
    if (sectionId == kNoSection) return keys;
    const std::uint32_t* const begin = sectionBegin(sectionId);
    const std::uint32_t* const end = sectionEnd(sectionId);
    std::unordered_set<std::string_view, NameHash, NameEqual> seen;
    seen.reserve(static_cast<size_t>(end - begin));
    for (const std::uint32_t* at = begin; at != end; ++at) {
        const Item& item = m_doc.items[*at];
        if (item.kind != Kind::Entry) continue;
        const std::string_view key = keyOf(item);
        if (seen.insert(key).second) keys.emplace_back(key);
    }
    return keys;
}

} // namespace k4m
