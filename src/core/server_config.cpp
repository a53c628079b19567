#include "core/server_config.h"

#include "core/ini_file.h"
#include "core/text_util.h"
#include "platform/utf8_path.h"

namespace k4m {

namespace {

constexpr const char* kSection = "Server";

bool isHttpsAddress(const std::string& address) {
    const std::string scheme = "https://";
    return address.size() > scheme.size() && toLowerAscii(address.substr(0, scheme.size())) == scheme &&
           address.find_first_of(" \t\r\n", scheme.size()) == std::string::npos;
}

// A time limit of zero or below would make every request fail at once (or, for libcurl, wait for ever).
void readSeconds(const IniFile& ini, const char* key, int& field, std::vector<std::string>& problems) {
    const auto text = ini.value(kSection, key);
    if (!text) return;
    const int value = ini.readInteger(kSection, key, 0);
    if (value > 0) {
        field = value;
        return;
    }
    problems.push_back(std::string("server.ini: ") + key + "=" + *text +
                       " is not a positive number of seconds; using " + std::to_string(field));
}

} // namespace

ServerConfig loadServerConfig(const std::string& path) {
    ServerConfig config;
    IniFile ini(pathFromUtf8(path));
    try {
        ini.load();
    } catch (const std::exception& e) {
        config.problems.push_back("server.ini could not be read (" + std::string(e.what()) + "); using the defaults");
        return config;
    }
    auto text = [&](const char* key, std::string& field) { field = ini.readString(kSection, key, field); };
    if (const auto base = ini.value(kSection, "Base")) {
        std::string value = *base;
        while (!value.empty() && value.back() == '/')
            value.pop_back();
        if (isHttpsAddress(value))
            config.base = value;
        else
            config.problems.push_back("server.ini: Base=" + *base + " is not an https address; using " + config.base);
    }
    text("Website", config.website);
    text("Probe", config.probe);
    text("MirrorDropbox", config.mirrorDropbox);
    text("MirrorGoogleDrive", config.mirrorGoogleDrive);
    text("MirrorMediaFire", config.mirrorMediaFire);
    text("Support", config.support);
    text("CAFile", config.caFile);
    readSeconds(ini, "ConnectTimeout", config.connectTimeoutSeconds, config.problems);
    readSeconds(ini, "StallTimeout", config.stallTimeoutSeconds, config.problems);
    return config;
}

} // namespace k4m
