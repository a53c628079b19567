#pragma once

#include <mutex>
#include <string>

namespace k4m {

// A text that one thread rewrites while another reads it: readers always get a whole copy.
class LockedText {
public:
    explicit LockedText(size_t maxLength = std::string::npos) : m_maxLength(maxLength) {}

    std::string get() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    // Texts past the maximum length are cut.
    void set(std::string text) {
        if (text.size() > m_maxLength) text.resize(m_maxLength);
        std::lock_guard lock(m_mutex);
        m_text = std::move(text);
    }
    void append(const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_text += text;
        if (m_text.size() > m_maxLength) m_text.resize(m_maxLength);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
    size_t m_maxLength;
};

} // namespace k4m
