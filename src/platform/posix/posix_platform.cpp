#include "platform/posix/posix_platform.h"

#include "platform/atomic_file.h"
#include "platform/posix/xdg_folders.h"
#include "platform/user_folders.h"

#include <cerrno>
#include <climits>
#include <ifaddrs.h>
#include <net/if.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace k4m {

std::unique_ptr<Platform> createPlatform() {
    return std::make_unique<posix::PosixPlatform>();
}

namespace posix {

namespace {

std::string underHomeFolder(const char* relative) {
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/" + relative;
}

std::string underDataHome(const char* relative) {
    const std::string data = xdgDataHome();
    return data.empty() ? std::string() : data + "/" + relative;
}

// Desktop entry Exec values quote arguments and escape these characters inside the quotes.
std::string desktopExecQuote(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Desktop entry string values may not contain line breaks.
std::string desktopValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (c == '\n')
            value += "\\n";
        else if (c == '\r')
            value += "\\r";
        else if (c == '\\')
            value += "\\\\";
        else
            value += c;
    }
    return value;
}

} // namespace

std::string PosixPlatform::commonAppDataFolder() const {
    return xdgDataHome();
}
std::string PosixPlatform::documentsFolder() const {
    return xdgDocumentsFolder();
}
std::string PosixPlatform::startMenuFolder() const {
    return underDataHome("applications");
}
std::string PosixPlatform::vst64DefaultFolder() const {
    return underHomeFolder(".vst");
}
std::string PosixPlatform::vst32DefaultFolder() const {
    return underHomeFolder(".vst32");
}
std::string PosixPlatform::proToolsPluginFolder() const {
    return underDataHome("Avid/Audio/Plug-Ins");
}
std::string PosixPlatform::defaultDataFolder() const {
    return underHomeFolder("Kandoro 4 Data");
}

std::string PosixPlatform::ownExecutablePath() const {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

bool PosixPlatform::createFolderOpenToEveryone(const std::string& path) {
    // The folder lies in the user's own data folder: the user's normal rights and never writable by others, so
    // no other local account can plant files in it or replace the log and the profile.
    return createUserFolder(path);
}

bool PosixPlatform::is64BitSystem() const {
    if (sizeof(void*) == 8) return true;
    utsname info{};
    if (::uname(&info) != 0) return false;
    const std::string machine = info.machine;
    return machine.find("64") != std::string::npos;
}

std::string PosixPlatform::shellLinkPath(const std::string& folder, const std::string& name) const {
    std::string file = name;
    const std::string lnk = ".lnk";
    if (file.size() >= lnk.size() && file.compare(file.size() - lnk.size(), lnk.size(), lnk) == 0)
        file.resize(file.size() - lnk.size());
    return folder + "/" + file + ".desktop";
}

void PosixPlatform::createShellLink(const ShellLink& link, const std::string& linkPath) {
    std::string name = std::filesystem::path(linkPath).stem().string();
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Version=1.0\n"
                        "Name=" +
                        desktopValue(name) +
                        "\n"
                        "Comment=" +
                        desktopValue(link.description) +
                        "\n"
                        "Exec=" +
                        desktopExecQuote(link.target) +
                        "\n"
                        "Path=" +
                        desktopValue(link.workingFolder) +
                        "\n"
                        "Terminal=false\n"
                        "Categories=Audio;AudioVideo;\n";
    try {
        writeFileAtomically(linkPath, entry,
                            std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                std::filesystem::perms::others_exec);
    } catch (const std::system_error& e) {
        throw std::runtime_error("Cannot create the shortcut " + linkPath + ": " + e.code().message());
    }
}

bool PosixPlatform::hasNetworkConnection() const {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool connected = false;
    for (const ifaddrs* a = list; a != nullptr && !connected; a = a->ifa_next) {
        const unsigned flags = a->ifa_flags;
        connected = (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    ::freeifaddrs(list);
    return connected;
}

bool PosixPlatform::isElevated() const {
    return ::geteuid() == 0;
}

} // namespace posix
} // namespace k4m
