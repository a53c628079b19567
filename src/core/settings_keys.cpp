#include "core/settings_keys.h"

namespace k4m::profile {

int readPackageVersion(const IniFile& ini, const std::string& packageName) {
    return ini.readInteger(kPackages, packageName, -1);
}

void writePackageVersion(IniFile& ini, const std::string& packageName, int version) {
    ini.writeInteger(kPackages, packageName, version);
}

void writeEdition(IniFile& ini, const std::string& editionId, const std::string& editionName) {
    ini.writeString(kEdition, editionId, editionName);
}

} // namespace k4m::profile
