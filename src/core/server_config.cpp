#include "core/server_config.h"

#include "core/ini_file.h"
#include "core/text_util.h"

namespace k4m {

ServerConfig loadServerConfig(const std::string& path) {
    ServerConfig config;
    IniFile ini(path);
    try {
        ini.load();
    } catch (const std::exception&) {
        return config; // an unreadable file counts as absent
    }
    const char* section = "Server";
    auto text = [&](const char* key, std::string& field) { field = ini.readString(section, key, field); };
    text("Base", config.base);
    while (!config.base.empty() && config.base.back() == '/')
        config.base.pop_back();
    text("Website", config.website);
    text("Probe", config.probe);
    text("MirrorDropbox", config.mirrorDropbox);
    text("MirrorGoogleDrive", config.mirrorGoogleDrive);
    text("MirrorMediaFire", config.mirrorMediaFire);
    text("Support", config.support);
    text("CAFile", config.caFile);
    config.connectTimeoutSeconds = ini.readInteger(section, "ConnectTimeout", config.connectTimeoutSeconds);
    config.stallTimeoutSeconds = ini.readInteger(section, "StallTimeout", config.stallTimeoutSeconds);
    return config;
}

} // namespace k4m
