#include "catalog/package_acceptance.h"

#include "core/version.h"

namespace k4m {

bool acceptsPackage(const IniFile& manifest, const std::string& p, const PackageOptions& o) {
    if (manifest.readBool(p, "macOS", false)) return false;
    const int minVersion = manifest.readInteger(p, "MinVersion", 0);
    if (minVersion > 0 && minVersion > kManagerVersionNumber) return false;
    const bool soundSet = manifest.readBool(p, "IsSoundSet", false);
    if (soundSet && o.installAIOnly) return false;
    if (soundSet && o.useKD3 && !o.createOffline) return false;
    if (manifest.readBool(p, "VST32", false) && !o.installVST32 && !o.createOffline) return false;
    if (manifest.readBool(p, "VST64", false) && !o.installVST64 && !o.createOffline) return false;
    if (manifest.readString(p, "Target", "XXX") == "AAX" && !o.installAAX && !o.createOffline) return false;
    return true;
}

} // namespace k4m
