#pragma once

#include <string>
#include <string_view>

namespace k4m {

// The vendor server's request scheme. Values go into the URLs exactly as they are, without URL encoding:
// the server expects them so.
namespace server {

inline constexpr const char* kScriptName = "kd4_main";
inline constexpr const char* kEidPrefix = "Qm8W";
inline constexpr const char* kManagerFilesDir = "mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE";
inline constexpr const char* kInstallersDir = "Hq7Wn2Zk5Vb9Xc3M";

// Static files, each appended to the server base.
inline constexpr const char* kVersionPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.ver";
inline constexpr const char* kStatusPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/status4.txt";
inline constexpr const char* kPromotionPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/promotion.txt";
inline constexpr const char* kGlobalSettingsPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.ini";
inline constexpr const char* kHomeScreenPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/km4.jpg";
inline constexpr const char* kInstallInfoPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/install.txt";
inline constexpr const char* kMessagesPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/messages.txt";
inline constexpr const char* kHostListPath = "/mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/daw.txt";
// The server has always been asked with two slashes after the host for this one.
inline constexpr const char* kLicensePath = "//mB4xQ7rT2wZ9kN5pV8cL3hY6dS1gF0jE/kd4license.rtf";
inline constexpr const char* kManagerArchivePath = "/Hq7Wn2Zk5Vb9Xc3M/Kandoro4Manager.zip";
inline constexpr const char* kVc32SourceDefault = "/Hq7Wn2Zk5Vb9Xc3M/vcredist_x86.exe";
inline constexpr const char* kVc64SourceDefault = "/Hq7Wn2Zk5Vb9Xc3M/vcredist_x64.exe";

// "Qm8W" followed by the customer key without leading and trailing blanks.
std::string customerEid(std::string_view customerKey);

// base + "/kd4_main.php?COM=" + command + "&EID=" + eid + extra (extra already in "&KEY=value" form).
std::string scriptUrl(std::string_view base, int command, std::string_view eid, std::string_view extra = {});

std::string loginUrl(std::string_view base, std::string_view eid);                          // COM 1
std::string locationsUrl(std::string_view base, std::string_view eid);                      // COM 3
std::string catalogUrl(std::string_view base, std::string_view eid);                        // COM 10
std::string manifestUrl(std::string_view base, std::string_view eid, std::string_view mid); // COM 11
// COM 13; `did` already carries the version suffix ("_" + version) where a package has one.
std::string packageUrl(std::string_view base, std::string_view eid, std::string_view pid, std::string_view did);

// base + path, for the static files.
std::string staticUrl(std::string_view base, std::string_view path);

} // namespace server

// The value of the first "[tag=value]" field in a server answer; empty when the field is missing or has no
// closing "]".
std::string TagValue(std::string_view tag, std::string_view answer);

// Every "http://" becomes "https://": the manager never sends a request in the clear.
std::string httpsOnly(std::string_view url);

} // namespace k4m
