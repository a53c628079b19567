#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace k4m {

// Option flags of Platform::launch.
enum LaunchFlag : int {
    LaunchHidden = 1,           // start without showing a window
    LaunchReturnExitStatus = 2, // return the exit status if the child has already ended
    LaunchRunAs = 4,            // ask for elevation where the system has a prompt for it
};

// Held for the life of the windowed run; the system releases it when the process ends.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
};

// A running process, told apart from any other process of the system's uptime (a process number can be used
// again once its process ended; with the start time it is unique).
struct RunningProcess {
    long long pid = 0;
    unsigned long long started = 0; // in the system's own unit
    bool operator==(const RunningProcess&) const = default;
};

struct ShellLink {
    std::string description;
    std::string target;
    std::string workingFolder;
};

// Every operating-system service the manager needs. One instance is created by main and passed to whoever
// needs it; tests may pass a subclass that answers questions this machine cannot (a registry key, a
// 32-bit system). All paths are UTF-8 with native separators; an unknown folder is an empty text.
class Platform {
public:
    virtual ~Platform() = default;

    // Special folders, answered whole (the manager appends only its own sub-folders).
    virtual std::string commonAppDataFolder() const = 0;
    virtual std::string documentsFolder() const = 0;
    virtual std::string startMenuFolder() const = 0;
    virtual std::string vst64DefaultFolder() const = 0;
    virtual std::string vst32DefaultFolder() const = 0;
    virtual std::string proToolsPluginFolder() const = 0;
    virtual std::string defaultDataFolder() const = 0;

    // Full path of the running program file.
    virtual std::string ownExecutablePath() const = 0;

    virtual bool userAccountControlOn() const = 0;

    // Starts a program or document and does not wait for it. -1 when the start failed, otherwise 0, or with
    // LaunchReturnExitStatus the exit status if the program has already ended.
    virtual int launch(const std::string& target, const std::optional<std::string>& parameters, int flags) = 0;

    // Opens a web address, document or folder with the desktop's default handler.
    virtual void shellOpen(const std::string& target) = 0;

    // Creates this one folder (not its parents) for the plug-in's files, writable by every account that runs a
    // host on this computer (on POSIX that is the user alone: the folder gets the user's normal rights, never
    // world-writable). True only when this call created it.
    virtual bool createFolderOpenToEveryone(const std::string& path) = 0;

    // Ends every process whose image name matches; the success of the last attempt, false when none matched.
    virtual bool terminateProcesses(const std::string& name, bool partial) = 0;
    // The processes the terminator would end for the same name and flag.
    virtual std::vector<RunningProcess> runningProcesses(const std::string& name, bool partial) const = 0;

    virtual bool is64BitSystem() const = 0;

    // nullptr when another process of this user holds the lock of that name. Systems whose locks need a file
    // keep it in a folder only this user may write: the system's private runtime folder, else
    // `fallbackFolder` (created when missing). Another user can never keep the program from starting.
    virtual std::unique_ptr<InstanceLock> acquireInstanceLock(const std::string& name,
                                                              const std::string& fallbackFolder) = 0;

    // The two questions the runtime check of the post-install tasks asks the system.
    virtual bool vcRuntimeUninstallKeyExists(const std::string& productCode) const = 0;
    virtual bool vcRuntimeKeyExists(bool x64) const = 0;

    // The file name a shortcut called `name` gets in `folder` ("Kandoro 4 Manager.lnk" on Windows).
    virtual std::string shellLinkPath(const std::string& folder, const std::string& name) const = 0;
    // Writes the shortcut; throws std::runtime_error with a readable message on failure.
    virtual void createShellLink(const ShellLink& link, const std::string& linkPath) = 0;

    // Runs the system-attribute command ("+S name" / "-S \"path\"") without waiting for it.
    virtual void runSystemAttributeCommand(const std::string& parameters, const std::string& workingFolder) = 0;

    // Whether the computer has a network connection at all (not whether the server answers).
    virtual bool hasNetworkConnection() const = 0;

    // Whether this process already has administrator rights.
    virtual bool isElevated() const = 0;
    // Runs this program once more with administrator rights and the same arguments, waits for it and returns
    // true when that run was started; false when elevation is not possible or was already tried.
    virtual bool rerunElevated(const std::vector<std::string>& arguments) = 0;
};

// The implementation for the system this program was built for.
std::unique_ptr<Platform> createPlatform();

} // namespace k4m
