#pragma once

#include "core/ini_file.h"
#include "core/plugin_options.h"
#include "platform/platform.h"

#include <string>
#include <vector>

namespace k4m {

// A name the process terminator is called with before an installation.
struct ProcessToEnd {
    std::string name;
    bool partial = false;
    bool operator==(const ProcessToEnd&) const = default;
};

// The plug-in's stand-alone program, the host that last ran the plug-in ("xxx": none known) and every
// host-list entry that is not blank, in the order they are ended.
std::vector<ProcessToEnd> processesToEnd(const std::string& lastHost, const std::vector<std::string>& hostList);

// The running processes those names match.
std::vector<RunningProcess> matchingProcesses(const Platform& platform, const std::vector<ProcessToEnd>& names);

// Whether the user is asked to close the hosts before they are ended. Asked once per run of the program on an
// existing installation; and whenever a process about to be ended started after the last answer (or no
// question was ever answered), so that no program is ended without a warning.
class HostsWarning {
public:
    bool mustAsk(bool newInstallation, bool hostsClosed, const std::vector<RunningProcess>& running) const;
    // The question was answered while these processes were running: they count as warned about.
    void answered(std::vector<RunningProcess> runningThen) { m_warned = std::move(runningThen); }

private:
    std::vector<RunningProcess> m_warned;
};

// The write test of the data folder: "TEST" saved as "test.txt" in the cache folder, present afterwards, and
// removed again. False when the folder cannot be written.
bool dataFolderWritable(const std::string& cacheFolder);

// The licence text fetched from the server replaces the built-in one only when it is long enough to be a
// licence rather than an error answer.
bool licenceReplacesBuiltIn(const std::string& answer);

} // namespace k4m
