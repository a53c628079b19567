#pragma once

#include "platform/platform.h"

namespace k4m::win {

// The Windows meaning of each service: the shell's special folders and launcher, the Toolhelp process walk,
// a named mutex, the registry, shell links and access lists.
class WinPlatform : public Platform {
public:
    std::string commonAppDataFolder() const override;
    std::string documentsFolder() const override;
    std::string startMenuFolder() const override;
    std::string vst64DefaultFolder() const override;
    std::string vst32DefaultFolder() const override;
    std::string proToolsPluginFolder() const override;
    std::string defaultDataFolder() const override;
    std::string ownExecutablePath() const override;

    bool userAccountControlOn() const override;
    int launch(const std::string& target, const std::optional<std::string>& parameters, int flags) override;
    void shellOpen(const std::string& target) override;
    bool createFolderOpenToEveryone(const std::string& path) override;
    bool terminateProcesses(const std::string& name, bool partial) override;
    std::vector<RunningProcess> runningProcesses(const std::string& name, bool partial) const override;
    bool is64BitSystem() const override;
    std::unique_ptr<InstanceLock> acquireInstanceLock(const std::string& name,
                                                      const std::string& fallbackFolder) override;

    bool vcRuntimeUninstallKeyExists(const std::string& productCode) const override;
    bool vcRuntimeKeyExists(bool x64) const override;

    std::string shellLinkPath(const std::string& folder, const std::string& name) const override;
    void createShellLink(const ShellLink& link, const std::string& linkPath) override;

    void runSystemAttributeCommand(const std::string& parameters, const std::string& workingFolder) override;

    bool hasNetworkConnection() const override;
    bool isElevated() const override;
    bool rerunElevated(const std::vector<std::string>& arguments) override;
};

// Quotes one argument for a Windows command line so that the started program's parser gives it back as it is.
std::wstring quotedArgument(const std::wstring& argument);

} // namespace k4m::win
