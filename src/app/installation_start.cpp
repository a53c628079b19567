#include "app/installation_start.h"

#include "core/settings_keys.h"
#include "core/text_file.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <filesystem>

namespace k4m {

namespace fs = std::filesystem;

std::vector<ProcessToEnd> processesToEnd(const std::string& lastHost, const std::vector<std::string>& hostList) {
    std::vector<ProcessToEnd> names = {{"kandoro4.exe", false}};
    if (lastHost != "xxx") names.push_back({toLowerAscii(lastHost), false});
    for (const std::string& entry : hostList) {
        const std::string host = trim(entry);
        if (!host.empty()) names.push_back({host, true});
    }
    return names;
}

std::vector<RunningProcess> matchingProcesses(const Platform& platform, const std::vector<ProcessToEnd>& names) {
    std::vector<RunningProcess> running;
    for (const ProcessToEnd& n : names) {
        for (const RunningProcess& p : platform.runningProcesses(n.name, n.partial))
            if (std::find(running.begin(), running.end(), p) == running.end()) running.push_back(p);
    }
    return running;
}

bool HostsWarning::mustAsk(bool newInstallation, bool hostsClosed, const std::vector<RunningProcess>& running) const {
    if (!newInstallation && !hostsClosed) return true;
    return std::any_of(running.begin(), running.end(), [&](const RunningProcess& p) {
        return std::find(m_warned.begin(), m_warned.end(), p) == m_warned.end();
    });
}

bool dataFolderWritable(const std::string& cacheFolder) {
    const fs::path test = pathFromUtf8(cacheFolder) / "test.txt";
    try {
        SaveString("TEST", test);
    } catch (const std::exception&) {
        return false;
    }
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(test, ec))) return false;
    fs::remove(test, ec);
    return true;
}

bool licenceReplacesBuiltIn(const std::string& answer) {
    // Characters, not bytes: a licence in another script is no shorter for its multi-byte letters.
    size_t characters = 0;
    for (const unsigned char c : answer)
        if ((c & 0xC0) != 0x80) ++characters;
    return characters > 4000;
}

} // namespace k4m
