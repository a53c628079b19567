#pragma once

#include "platform/platform.h"

#include <sys/types.h>

namespace k4m::posix {

// The Linux meaning of each service: XDG folders, posix_spawn, xdg-open, /proc, flock, pkexec.
class PosixPlatform : public Platform {
public:
    std::string commonAppDataFolder() const override;
    std::string documentsFolder() const override;
    std::string startMenuFolder() const override;
    std::string vst64DefaultFolder() const override;
    std::string vst32DefaultFolder() const override;
    std::string proToolsPluginFolder() const override;
    std::string defaultDataFolder() const override;
    std::string ownExecutablePath() const override;

    bool userAccountControlOn() const override { return false; }
    int launch(const std::string& target, const std::optional<std::string>& parameters, int flags) override;
    void shellOpen(const std::string& target) override;
    bool createFolderOpenToEveryone(const std::string& path) override;
    bool terminateProcesses(const std::string& name, bool partial) override;
    std::vector<RunningProcess> runningProcesses(const std::string& name, bool partial) const override;
    bool is64BitSystem() const override;
    std::unique_ptr<InstanceLock> acquireInstanceLock(const std::string& name,
                                                      const std::string& fallbackFolder) override;

    // Linux programs never need the Microsoft runtime, so it counts as present.
    bool vcRuntimeUninstallKeyExists(const std::string&) const override { return true; }
    bool vcRuntimeKeyExists(bool) const override { return true; }

    std::string shellLinkPath(const std::string& folder, const std::string& name) const override;
    void createShellLink(const ShellLink& link, const std::string& linkPath) override;

    // File attributes of that kind do not exist here.
    void runSystemAttributeCommand(const std::string&, const std::string&) override {}

    bool hasNetworkConnection() const override;
    bool isElevated() const override;
    bool rerunElevated(const std::vector<std::string>& arguments) override;
};

// Starts argv[0] (searched on PATH when it has no slash) with the current environment.
// Returns the child's pid, or -1 when it could not be started.
pid_t spawnProcess(const std::vector<std::string>& argv);

// Reaps a child in the background so that it never lingers as a zombie.
void reapInBackground(pid_t pid);

} // namespace k4m::posix
