// Any bytes as a package, installed into a folder of its own. The first byte chooses the slot and the switches
// (target, sounds only, the "AAX" file name, offline package creation); the rest is the package file.
// Whatever the package holds, nothing appears outside the destination folders (not even through the link
// planted in one of them) and no temporary file is left behind.
#include "download/package_installer.h"
#include "download/worker_shared.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class QuietHost : public k4m::InstallerHost {
public:
    void log(const std::string&) override {}
    void setLastAction(const std::string&) override {}
    void addError(const std::string&) override {}
};

const fs::path& root() {
    static const fs::path path = [] {
        const char* shm = "/dev/shm";
        const fs::path base = fs::is_directory(shm) ? fs::path(shm) : fs::temp_directory_path();
        fs::path p = base / ("k4m-fuzz-package-" + std::to_string(::getpid()));
        fs::remove_all(p);
        fs::create_directories(p / "outside");
        return p;
    }();
    return path;
}

// The names of the installer's temporary files, "<name>.<pid>.<n>.tmp". Entries may end in ".tmp" themselves, so
// the process number has to match too.
bool isTemporaryName(const std::string& name) {
    static const std::string pid = std::to_string(::getpid());
    if (!name.ends_with(".tmp")) return false;
    const std::string stem = name.substr(0, name.size() - 4);
    const size_t counter = stem.rfind('.');
    if (counter == std::string::npos || counter == stem.size() - 1) return false;
    if (stem.find_first_not_of("0123456789", counter + 1) != std::string::npos) return false;
    return stem.substr(0, counter).ends_with("." + pid);
}

// Checks that no temporary file is left, and removes what the run installed, keeping the folders and the link
// that every run starts with (rebuilding them costs more than most runs).
void checkAndClear(const fs::path& dest) {
    const fs::path data = dest / "product" / "data";
    std::error_code ec;
    std::vector<fs::path> installed;
    for (auto it = fs::recursive_directory_iterator(dest, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string name = p.filename().string();
        if (isTemporaryName(name)) std::abort();
        if (p == dest / "product" || p == data || p == data / "link") continue;
        installed.push_back(p);
        if (it->is_directory(ec)) it.disable_recursion_pending();
    }
    for (const fs::path& p : installed) fs::remove_all(p, ec);
    if (!fs::is_symlink(data / "link")) std::abort(); // the installer replaced or removed the planted link
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const targets[] = {"MAIN", "TOP", "AAX", "MACVST", "WINVST64", "WINVST32", "MACPL", "MAIN"};
    const uint8_t choice = data[0];
    const fs::path& base = root();
    const fs::path dest = base / "dest";
    static const bool prepared = [&] {
        fs::create_directories(dest / "product" / "data");
        fs::create_directory_symlink(base / "outside", dest / "product" / "data" / "link");
        return true;
    }();
    (void)prepared;

    const std::string packagePath =
        (base / ((choice & 0x40) ? "kd4_AAX.cxp4" : ((choice & 0x08) ? "pkg.cxp3" : "pkg.cxp4"))).string();
    {
        std::ofstream out(packagePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }

    k4m::WorkerShared shared;
    k4m::InstallTargets& t = shared.installTargets;
    t.productFolder = (dest / "product").string();
    t.installerFolder = t.productFolder + "/Installer";
    t.commonAppDataFolder = (dest / "common").string();
    t.soundDataFolder = (dest / "data").string();
    t.cacheFolder = (dest / "data" / "cache").string();
    t.proToolsFolder = (dest / "aax").string();
    t.vst64Folder = (dest / "vst64").string();
    t.vst32Folder = (dest / "vst32").string();
    t.installAAX = (choice & 0x80) == 0;
    t.installVST64 = t.installVST32 = true;
    shared.createOffline = (choice & 0x20) != 0;
    const k4m::PackageSlot slot{targets[choice & 0x07], "pkg", (choice & 0x08) != 0};
    QuietHost host;
    k4m::InstallerTuning tuning;
    // A second inflating thread costs a thread start per run: only a few runs take it, so the rest run fast.
    tuning.threads = (choice & 0x17) == 0x17 ? 2 : 1;
    k4m::installPackage(packagePath, slot, shared, host, tuning);

    if (!fs::is_empty(base / "outside")) std::abort();
    checkAndClear(dest);
    return 0;
}
