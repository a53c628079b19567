#include "app/ui/tformd.h"
#include "download/install_targets.h"

namespace k4m {

void TformD::prepareInstallationRun() {
    Shared.installTargets = installTargetsOf(Folders, {UseKD3, KD3DataFolder, InstallAAX, InstallVST64, InstallVST32});
    Shared.offlineMode = OfflineMode;
    Shared.createOffline = CreateOffline;
    Shared.profile = Profile.get();
}

} // namespace k4m
