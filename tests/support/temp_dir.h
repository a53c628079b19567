#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace k4m::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "k4m-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Writes `bytes` to `path`, creating the parent folders.
void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// Sets an environment variable for the scope and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

// A home of its own for one test: HOME, the XDG data, config, cache and runtime folders all point into a
// temporary folder (the runtime folder with mode 0700, as the desktop makes it).
class IsolatedHome {
public:
    IsolatedHome();
    const std::filesystem::path& home() const { return m_dir.path(); }
    std::filesystem::path dataHome() const { return m_dir.path() / ".local/share"; }
    std::filesystem::path runtimeDir() const { return m_dir.path() / "run"; }

private:
    TempDir m_dir;
    ScopedEnv m_home, m_data, m_config, m_cache, m_runtime, m_docs;
};

} // namespace k4m::test
