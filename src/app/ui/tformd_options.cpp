// The main window's options handler: the installation options dialog, opened by its button or by Connect.
#include "app/ui/tformd.h"
#include "core/settings_keys.h"
#include "app/support_package.h"
#include "dialogs/tkdoptions.h"
#include "dialogs/ttechsupport.h"
#include "dialogs/tlocations.h"

#include <QPushButton>

namespace k4m {

void TformD::bOptionsClick(bool fromButton) {
    if (!Profile) return;
    // Until options were saved once, the button only points to Connect, which opens them first.
    const std::string dataFolder = Profile->readString(profile::kGeneral, profile::DataFolder, kMissing);
    if (dataFolder == kMissing && fromButton) {
        ModalPrompt(0, QStringLiteral("SPECIFY OPTIONS"),
                    QStringLiteral("Please click [Connect] to select the installation options"), QStringLiteral("OK"),
                    QString());
        return;
    }

    TLocations dialog(
        TLocationsContext{
            .platform = m_platform,
            .profile = *Profile,
            .folders = Folders,
            .current = {Folders.dataFolder, Folders.vst64Folder, Folders.vst32Folder, InstallVST64, InstallVST32,
                        InstallAAX, InstallAIOnly, UseKD3, InstallBetas, CreateOffline, GUIScale},
            .kd3DataFolder = KD3DataFolder,
            .offlineMode = OfflineMode,
            .reinstallNeeded = ReinstallNeeded,
            .hideBulkButtons =
                [this] {
                    for (QPushButton* b : {bSkipAll, bReinstallAll, bRepairAll})
                        b->hide();
                },
            .changeModeActions = [this](const OptionsChange& change,
                                        TLocations& d) { changeModeActions(change, d); },
        },
        this);
    dialog.ChangeMode = fromButton;
    const int result = dialog.exec();
    // OK records the offline choice before its checks, so it may have changed even when the dialog was cancelled.
    Shared.createOffline = CreateOffline;
    OptionsAccepted = result == QDialog::Accepted;
    // A close asked for while the data folder was copied is carried out now that the copy is over.
    if (m_closePending) {
        closeAfterCancelledWait();
        return;
    }
    if (fromButton && OptionsAccepted) applyChangedOptions();
}

PluginOptions TformD::pluginOptions() const {
    return {UseDPIX, DPIXOverride, GFX_DXS, APSMode, GFX_DX9, GFX_D2D, PriorityMode, SOT, ForceMenuMode};
}

void TformD::setPluginOptions(const PluginOptions& o) {
    UseDPIX = o.useDPIX;
    DPIXOverride = o.dpixOverride;
    GFX_DXS = o.gfxDXS;
    APSMode = o.apsMode;
    GFX_DX9 = o.gfxDX9;
    GFX_D2D = o.gfxD2D;
    PriorityMode = o.priorityMode;
    SOT = o.sot;
    ForceMenuMode = o.menuMode;
}

void TformD::bKDOptionsClick() {
    PluginOptions values = pluginOptions();
    TKDOptions dialog(values, Folders.pluginSettingsPath(), this);
    // OK keeps the values in memory even when no settings file exists yet; Cancel changes nothing.
    if (dialog.exec() == QDialog::Accepted) setPluginOptions(values);
}

void TformD::btechSupportClick() {
    TTechSupport dialog(
        m_platform, [this] { return buildSupportZip(Folders.profilePath(), log.lines(), Folders.productFolder); },
        supportZipPath(Folders.profilePath()), supportMailLink(Server.support), this);
    dialog.exec();
}

} // namespace k4m
