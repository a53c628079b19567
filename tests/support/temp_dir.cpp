#include "temp_dir.h"

#include "core/file_ops.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

namespace k4m::test {

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix) {
#ifdef _WIN32
    // No mkdtemp: a random name, made only if nobody has it yet.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        if (fs::create_directory(candidate)) m_path = candidate;
    }
    if (m_path.empty()) throw std::runtime_error("cannot create a temporary folder");
#else
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = buffer.data();
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only on purpose; give the owner back the rights to clean up.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->symlink_status().type() == fs::file_type::directory)
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    try {
        removeTree(m_path);
    } catch (...) {
    }
}

void writeFile(const fs::path& path, const std::string& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

namespace {

void setVariable(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

void removeVariable(const std::string& name) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), ""); // an empty value removes it there
#else
    ::unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_had = true;
        m_old = old;
    }
    setVariable(m_name, value);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        setVariable(m_name, m_old);
    else
        removeVariable(m_name);
}

IsolatedHome::IsolatedHome()
    : m_dir("k4m-home"), m_home("HOME", m_dir.str()), m_data("XDG_DATA_HOME", m_dir.str() + "/.local/share"),
      m_config("XDG_CONFIG_HOME", m_dir.str() + "/.config"), m_cache("XDG_CACHE_HOME", m_dir.str() + "/.cache"),
      m_runtime("XDG_RUNTIME_DIR", m_dir.str() + "/run"), m_docs("XDG_DOCUMENTS_DIR", m_dir.str() + "/Documents") {
    fs::create_directories(dataHome());
    fs::create_directories(runtimeDir());
    fs::permissions(runtimeDir(), fs::perms::owner_all);
}

} // namespace k4m::test
