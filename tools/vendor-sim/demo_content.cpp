#include "demo_content.h"


#include "core/ini_file.h"
#include "core/server_requests.h"
#include "core/settings_keys.h"
#include "core/version.h"
#include "package_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace k4m::sim {

namespace fs = std::filesystem;

namespace {

// Location keys of the demo's locations answer: "1" the package folder, "2" the Dropbox mirror's files;
// "3" is the server script's download command.
constexpr const char* kLocations = "[Priority]\r\n"
                                   "Mode=1\r\n"
                                   "\r\n"
                                   "[Locations]\r\n"
                                   "1={{BASE}}/packages/\r\n"
                                   "2={{BASE}}/mirrors/dropbox/files/\r\n";

struct DemoPackage {
    const char* id;
    const char* name;
    const char* target = "MAIN";
    int version = 1;
    int sizeKb = 0;
    // Key "1" (package folder) or "3" (through the script, with `pid`), a separator, then the file's stem.
    const char* location = "";
    std::vector<const char*> flags = {}; // further manifest lines: "IsSoundSet=1", "VST64=1", "macOS=1", ...
    bool noSuffixing = false;
    bool convert = false; // a previous-generation package: ".cxp3"
    const char* pid = nullptr;
    const char* dropbox = nullptr; // Location1: the stem on the Dropbox mirror, reached through two redirects
    int installed = -1;            // the version in the demo profile; -1 not installed
};

struct DemoManifest {
    const char* id;
    const char* version; // General Version: the suffix of plug-in binary file names
    std::vector<DemoPackage> packages;
};

struct DemoProduct {
    const char* id;
    std::vector<const char*> catalog; // the catalog lines of the product's section
    std::vector<DemoManifest> manifests = {};
};

// Installed versions: Kandoro 4 Core and Stadium Rock Kit have an update, Brush Kit Collection and Session
// Player Pack are up to date, the rest is not installed. Kandoro 4 Core's beta (shown with betas switched on)
// replaces its manifest; the macOS package and the one for a newer manager are never offered.
std::vector<DemoProduct> demoProducts() {
    const DemoPackage kd4Sounds{.id = "KD4_SOUNDS",
                                .name = "Kandoro 4 Core Drum Sounds",
                                .version = 3,
                                .sizeKb = 1'153'434,
                                .location = "1|kd4_core_sounds",
                                .flags = {"IsSoundSet=1"},
                                .installed = 3};
    return {
        {"KD4",
         {"Name=Kandoro 4 Core", "Status=OK", "Manifest=KD4_410", "BetaManifest=KD4_420B",
          "BetaName=Kandoro 4 Core 4.2 Beta"},
         {{"KD4_410",
           "4.1.0",
           {{.id = "KD4_PLAYERS",
             .name = "Kandoro 4 Player Models",
             .version = 410,
             .sizeKb = 64'512,
             .location = "1|kd4_players",
             .installed = 400},
            kd4Sounds,
            {.id = "KD4_VST64",
             .name = "Kandoro 4 VST Plug-in (64-bit)",
             .target = "WINVST64",
             .version = 410,
             .sizeKb = 18'944,
             .location = "1|kd4_win64",
             .flags = {"VST64=1"},
             .installed = 400},
            {.id = "KD4_VST32",
             .name = "Kandoro 4 VST Plug-in (32-bit)",
             .target = "WINVST32",
             .version = 410,
             .sizeKb = 16'384,
             .location = "1|kd4_win32",
             .flags = {"VST32=1"},
             .installed = 400},
            {.id = "KD4_AAX",
             .name = "Kandoro 4 AAX Plug-in",
             .target = "AAX",
             .version = 410,
             .sizeKb = 20'480,
             .location = "1|kd4_aax"},
            {.id = "KD4_MACAPP",
             .name = "Kandoro 4 for macOS",
             .target = "MACAPP",
             .version = 410,
             .sizeKb = 45'056,
             .location = "1|kd4_mac",
             .flags = {"macOS=1"}}}},
          {"KD4_420B",
           "4.2.0b1",
           {{.id = "KD4_PLAYERS",
             .name = "Kandoro 4 Player Models (beta)",
             .version = 420,
             .sizeKb = 66'560,
             .location = "1|kd4_players_420",
             .installed = 400},
            kd4Sounds,
            {.id = "KD4_VST64",
             .name = "Kandoro 4 VST Plug-in (64-bit, beta)",
             .target = "WINVST64",
             .version = 420,
             .sizeKb = 19'456,
             .location = "1|kd4_win64",
             .flags = {"VST64=1"},
             .installed = 400},
            {.id = "KD4_VST32",
             .name = "Kandoro 4 VST Plug-in (32-bit, beta)",
             .target = "WINVST32",
             .version = 420,
             .sizeKb = 16'896,
             .location = "1|kd4_win32",
             .flags = {"VST32=1"},
             .installed = 400},
            {.id = "KD4_AAX",
             .name = "Kandoro 4 AAX Plug-in (beta)",
             .target = "AAX",
             .version = 420,
             .sizeKb = 20'992,
             .location = "1|kd4_aax_420"},
            {.id = "KD4_MACAPP",
             .name = "Kandoro 4 for macOS (beta)",
             .target = "MACAPP",
             .version = 420,
             .sizeKb = 46'080,
             .location = "1|kd4_mac",
             .flags = {"macOS=1"}}}}}},
        {"BRUSH",
         {"Name=Brush Kit Collection", "Status=OK", "Manifest=BRUSH_12"},
         {{"BRUSH_12",
           "1.2",
           {{.id = "BRUSH_SOUNDS",
             .name = "Brush Kit Sounds",
             .version = 2,
             .sizeKb = 412'672,
             .location = "1|brush_kits_sounds",
             .flags = {"IsSoundSet=1"},
             .installed = 2},
            {.id = "BRUSH_STYLES",
             .name = "Brush Kit Styles",
             .version = 5,
             .sizeKb = 3'072,
             .location = "1|brush_kits_styles",
             .installed = 5}}}}},
        {"LATIN",
         {"Name=Latin Percussion", "New=120", "Status=OK", "Manifest=LATIN_10"},
         {{"LATIN_10",
           "1.0",
           {{.id = "LATIN_SOUNDS",
             .name = "Latin Percussion Sounds",
             .sizeKb = 655'360,
             .location = "1|latin_percussion_sounds",
             .flags = {"IsSoundSet=1"}},
            {.id = "LATIN_STYLES",
             .name = "Latin Percussion Styles",
             .sizeKb = 4'096,
             .location = "1|latin_percussion_styles"},
            {.id = "LATIN_GROOVES",
             .name = "Latin Groove Player",
             .sizeKb = 9'216,
             .location = "1|latin_grooves",
             .flags = {"MinVersion=1003000"}}}}}},
        {"FUNK",
         {"Name=Vintage Funk Kit", "Status=OK", "Manifest=FUNK_11"},
         {{"FUNK_11",
           "1.1",
           {{.id = "FUNK_SOUNDS",
             .name = "Vintage Funk Sounds",
             .sizeKb = 368'640,
             .location = "1|vintage_funk_sounds",
             .flags = {"IsSoundSet=1"},
             .dropbox = "vintage_funk_sounds"},
            {.id = "FUNK_STYLES",
             .name = "Vintage Funk Styles",
             .version = 2,
             .sizeKb = 2'560,
             .location = "1|vintage_funk_styles"}}}}},
        {"KD4IPAD", {"Name=Kandoro 4 for iPad", "Environment=2", "Status=OK", "Manifest=KD4IPAD_10"}},
        {"SOUNDK7",
         {"Name=soundK7 Companion", "Status=OK", "Manifest=SK7_103"},
         {{"SK7_103",
           "1.0.3",
           {{.id = "SK7_VST64",
             .name = "soundK7 VST Plug-in (64-bit)",
             .target = "WINVST64",
             .version = 103,
             .sizeKb = 12'288,
             .location = "3|soundk7_win64",
             .flags = {"VST64=1"},
             .pid = "SOUNDK7"},
            {.id = "SK7_VST32",
             .name = "soundK7 VST Plug-in (32-bit)",
             .target = "WINVST32",
             .version = 103,
             .sizeKb = 10'752,
             .location = "3|soundk7_win32",
             .flags = {"VST32=1"},
             .noSuffixing = true,
             .pid = "SOUNDK7"},
            {.id = "SK7_LIBRARY",
             .name = "soundK7 Sample Library",
             .sizeKb = 245'760,
             .location = "3|soundk7_library",
             .flags = {"IsSoundSet=1"},
             .pid = "SOUNDK7"}}}}},
        {"KD3CLASSIC",
         {"Name=Kandoro 3 Classic Kits", "Status=OK", "Manifest=KD3C_30"},
         {{"KD3C_30",
           "3.0",
           {{.id = "KD3_CLASSIC_KITS",
             .name = "Kandoro 3 Classic Kits",
             .sizeKb = 921'600,
             .location = "1|kd3_classic_kits",
             .flags = {"IsSoundSet=1"},
             .convert = true}}}}},
        {"JAZZ",
         {"Name=Jazz Club Kit", "Status=OK", "Manifest=JAZZ_10"},
         {{"JAZZ_10",
           "1.0",
           {{.id = "JAZZ_SOUNDS",
             .name = "Jazz Club Sounds",
             .sizeKb = 296'960,
             .location = "1|jazz_club_sounds",
             .flags = {"IsSoundSet=1"}},
            {.id = "JAZZ_STYLES", .name = "Jazz Club Styles", .sizeKb = 2'048, .location = "1|jazz_club_styles"}}}}},
        {"ROCK",
         {"Name=Stadium Rock Kit", "Status=OK", "Manifest=ROCK_13"},
         {{"ROCK_13",
           "1.3",
           {{.id = "ROCK_SOUNDS",
             .name = "Stadium Rock Sounds",
             .sizeKb = 532'480,
             .location = "1|stadium_rock_sounds",
             .flags = {"IsSoundSet=1"},
             .installed = 1},
            {.id = "ROCK_STYLES",
             .name = "Stadium Rock Styles",
             .version = 3,
             .sizeKb = 3'584,
             .location = "1|stadium_rock_styles",
             .installed = 2}}}}},
        {"HIPHOP", {"Name=Hip-Hop Essentials"}},
        {"ORCH", {"Name=Orchestral Percussion", "Status=Coming this spring"}},
        {"WORLD",
         {"Name=World Percussion", "Status=OK", "Manifest=WORLD_10"},
         {{"WORLD_10",
           "1.0",
           {{.id = "WORLD_SOUNDS",
             .name = "World Percussion Sounds",
             .sizeKb = 483'328,
             .location = "1|world_percussion_sounds",
             .flags = {"IsSoundSet=1"}},
            {.id = "WORLD_STYLES",
             .name = "World Percussion Styles",
             .sizeKb = 3'072,
             .location = "1|world_percussion_styles"}}}}},
        {"ELECTRO",
         {"Name=Electronic Drums", "Status=OK", "Manifest=ELECTRO_10"},
         {{"ELECTRO_10",
           "1.0",
           {{.id = "ELECTRO_SOUNDS",
             .name = "Electronic Drum Machine Sounds",
             .sizeKb = 188'416,
             .location = "1|electronic_drum_machines",
             .flags = {"IsSoundSet=1"}}}}}},
        {"PLAYERS",
         {"Name=Session Player Pack", "Status=OK", "Manifest=PLAYERS_20"},
         {{"PLAYERS_20",
           "2.0",
           {{.id = "PLAYERS_MODELS",
             .name = "Session Player Models",
             .version = 20,
             .sizeKb = 35'840,
             .location = "1|session_players",
             .installed = 20}}}}},
    };
}

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

std::string redirectTo(const std::string& serverPath) {
    return "REDIRECT {{BASE}}" + serverPath + "\r\n";
}

std::string manifestText(const DemoManifest& manifest) {
    std::string text = std::string("[General]\r\nVersion=") + manifest.version + "\r\n";
    for (const DemoPackage& p : manifest.packages) {
        text += std::string("\r\n[") + p.id + "]\r\nName=" + p.name + "\r\nTarget=" + p.target +
                "\r\nVersion=" + std::to_string(p.version) + "\r\nSize=" + std::to_string(p.sizeKb) + "\r\n";
        for (const char* flag : p.flags)
            text += std::string(flag) + "\r\n";
        if (p.noSuffixing) text += "NoSuffixing=1\r\n";
        if (p.convert) text += "Convert=1\r\n";
        text += std::string("Location=") + p.location + "\r\n";
        if (p.dropbox != nullptr) text += std::string("Location1=2|") + p.dropbox + "\r\n";
        if (p.pid != nullptr) text += std::string("PID=") + p.pid + "\r\n";
    }
    return text;
}

// Bytes that deflate hardly at all, like recorded sound.
std::string noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 23);
    return bytes;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A real, small package of the kind the target asks for: plug-in binaries, an AAX bundle, sound samples (a
// stereo one with its mono derivative made on installation), or styles.
std::string demoPackageBytes(const DemoPackage& p) {
    const std::string id = p.id;
    const std::string name = lower(id);
    const std::string target = p.target;
    const auto seed = static_cast<uint32_t>(std::hash<std::string>{}(id));
    const std::string binary = id.rfind("SK7", 0) == 0 ? "soundK7.dll" : "kandoro4.dll";
    std::vector<pack::RawEntry> entries;
    const std::string about = std::string(p.name) + ", version " + std::to_string(p.version) + "\r\n";
    if (target == "WINVST64" || target == "WINVST32") {
        const std::string bits = target == "WINVST64" ? "64" : "32";
        entries.push_back(pack::entry("bin\\" + bits + "\\" + binary, "MZ" + noise(6000, seed)));
        entries.push_back(pack::entry("bin\\" + bits + "\\readme.txt", about));
    } else if (target == "AAX") {
        entries.push_back(pack::entry("Kandoro4.aaxplugin\\Contents\\x64\\Kandoro4.aaxplugin", noise(6000, seed)));
        entries.push_back(pack::entry("Kandoro4.aaxplugin\\Contents\\Info.plist", about));
    } else if (target == "MACAPP" || target == "MACPL") {
        entries.push_back(pack::entry("Kandoro 4.app\\Contents\\MacOS\\Kandoro 4", noise(4000, seed)));
    } else if (std::find(p.flags.begin(), p.flags.end(), std::string_view("IsSoundSet=1")) != p.flags.end()) {
        const std::string kit = "data\\sounds\\" + name + "\\";
        entries.push_back(pack::entry(kit + "Kick CS _s01.wav", noise(8000, seed)));
        entries.push_back(pack::entry(kit + "Snare.WAV", noise(4000, seed + 1)));
        if (!p.convert) entries.push_back(pack::entry("data\\kits\\" + name + ".kit", about));
    } else {
        entries.push_back(pack::entry("data\\styles\\" + name + ".sty", about + noise(2000, seed)));
        entries.push_back(pack::entry("data\\players\\" + name + ".ply", about));
    }
    return pack::rawPackage(entries);
}

// The package's file and the ways to it, named as the vendor names them: plug-in binaries carry the product
// version unless they say otherwise, previous-generation packages end in ".cxp3".
void writePackageFiles(const fs::path& folder, const DemoManifest& manifest, const DemoPackage& p) {
    const std::string target = p.target;
    const bool suffixed = (target == "WINVST64" || target == "WINVST32" || target == "MACAPP") && !p.noSuffixing;
    const std::string suffix = suffixed ? std::string("_") + manifest.version : std::string();
    const std::string location = p.location;
    const std::string stem = location.substr(2) + suffix;
    const std::string packagePath = "/packages/" + stem + (p.convert ? ".cxp3" : ".cxp4");

    write(folder / packagePath.substr(1), demoPackageBytes(p));
    if (location[0] == '3') write(folder / "kd4_main" / "COM13" / stem, redirectTo(packagePath));
    if (p.dropbox != nullptr) {
        // The mirror answers like a file-hosting service: a share link that redirects to a download page
        // that redirects to the file.
        const std::string mirrorStem = p.dropbox + suffix;
        write(folder / "mirrors" / "dropbox" / "files" / mirrorStem, redirectTo("/mirrors/dropbox/dl/" + mirrorStem));
        write(folder / "mirrors" / "dropbox" / "dl" / mirrorStem, redirectTo(packagePath));
    }
}

} // namespace

void makeDemoContent(const std::string& folder) {
    const fs::path files = fs::path(folder) / server::kManagerFilesDir;
    // The demo serves the manager's own version, so no update is offered.
    write(files / "km4.ver", std::string(kManagerVersion) + "\r\n");
    write(files / "status4.txt", "OK\r\n");
    write(files / "promotion.txt", "New: the Latin Percussion kit for Kandoro 4\r\n");
    write(files / "km4.ini", "[General]\r\nHomeScreen=0\r\n\r\n[Redistributable]\r\nActive=0\r\nKey=10\r\n"
                             "Parameters=/norestart\r\n");
    write(files / "install.txt", "Welcome to Kandoro 4!\r\n\r\nPaste the customer key from your delivery e-mail "
                                 "into the box and click Connect to see your products.\r\n");
    write(files / "messages.txt", "No new messages.\r\n");
    write(files / "daw.txt", "ableton\r\nbitwig\r\ncubase\r\nreaper\r\nardour\r\nstudio one\r\n");
    write(files / "kd4license.rtf", "{\\rtf1\\ansi Kandoro 4 demo licence agreement.\\par}\r\n");
    for (const char* mirror : {"dropbox", "googledrive", "mediafire"})
        write(fs::path(folder) / "mirrors" / mirror / "server_status.txt", "OK\r\n");

    const fs::path script = fs::path(folder) / "kd4_main";
    write(script / "COM1" / "default", "OK[N=Demo Customer][E=demo.customer@example.com]\r\n");
    write(script / "COM3" / "default", kLocations);
    std::string catalog;
    for (const DemoProduct& product : demoProducts()) {
        catalog += std::string(catalog.empty() ? "" : "\r\n") + "[" + product.id + "]\r\n";
        for (const char* line : product.catalog)
            catalog += std::string(line) + "\r\n";
        for (const DemoManifest& manifest : product.manifests) {
            write(script / "COM11" / manifest.id, manifestText(manifest));
            for (const DemoPackage& package : manifest.packages)
                writePackageFiles(folder, manifest, package);
        }
    }
    write(script / "COM10" / "default", catalog);
}

void writeDemoProfile(const std::string& profileFile) {
    fs::create_directories(fs::path(profileFile).parent_path());
    IniFile profile(profileFile, false, kPrivateFileMode);
    profile.load();
    for (const DemoProduct& product : demoProducts())
        for (const DemoManifest& manifest : product.manifests)
            for (const DemoPackage& package : manifest.packages)
                if (package.installed != -1) profile::writePackageVersion(profile, package.id, package.installed);
    profile.save();
}

} // namespace k4m::sim
