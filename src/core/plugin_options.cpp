#include "core/plugin_options.h"

#include "core/settings_keys.h"
#include "platform/utf8_path.h"

#include <filesystem>

namespace k4m {

namespace {

// Writes a switch as 1, or removes its key when it is off (the plug-in's default).
void writeOrDelete(IniFile& ini, const BoolKey& key, bool on) {
    if (on)
        write(ini, key, true);
    else
        ini.deleteKey(key.section, key.name);
}

// Direct2D is the plug-in's default: only turning it off is written.
void writeD2D(IniFile& ini, bool on) {
    if (on)
        ini.deleteKey(plugin::kGeneral, plugin::GFX_D2D.name);
    else
        write(ini, plugin::GFX_D2D, false);
}

// The graphics switches and the priority, written alike before an installation and by the troubleshooting
// dialog.
void writeGraphicsAndPriority(IniFile& ini, const PluginOptions& o) {
    writeOrDelete(ini, plugin::GFX_DXS, o.gfxDXS);
    write(ini, plugin::APSMode, o.apsMode);
    writeOrDelete(ini, plugin::GFX_DX9, o.gfxDX9);
    writeD2D(ini, o.gfxD2D);
    write(ini, plugin::PriorityMode, o.priorityMode == 1 ? 1 : 0);
}

} // namespace

void writePluginSettings(IniFile& ini, const std::string& soundFolder, const PluginOptions& o) {
    write(ini, plugin::SoundFolder, soundFolder);
    if (o.useDPIX)
        write(ini, plugin::DPIXOverride, o.dpixOverride);
    else
        ini.deleteKey(plugin::kGeneral, plugin::DPIXOverride.name);
    writeGraphicsAndPriority(ini, o);
    writeOrDelete(ini, plugin::ForceMenuSOT, o.sot);
}

void writeTroubleshootingOptions(IniFile& ini, const PluginOptions& o) {
    if (o.useDPIX) {
        write(ini, plugin::DPIXOverride, o.dpixOverride);
        write(ini, plugin::UseDPIX, true);
    } else {
        ini.deleteKey(plugin::kGeneral, plugin::DPIXOverride.name);
        ini.deleteKey(plugin::kGeneral, plugin::UseDPIX.name);
    }
    writeGraphicsAndPriority(ini, o);
    write(ini, plugin::ForceMenuMode, o.menuMode);
    writeOrDelete(ini, plugin::ForceMenuSOT, o.sot);
}

void saveTroubleshootingOptions(const std::string& path, const PluginOptions& options) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(std::filesystem::symlink_status(pathFromUtf8(path), ec))) return;
    IniFile settings(pathFromUtf8(path));
    try {
        settings.load();
    } catch (const std::exception&) {
        return; // unreadable: it refuses every write and stays as it is
    }
    writeTroubleshootingOptions(settings, options);
    settings.save();
}

} // namespace k4m
