#pragma once

#include "catalog/package_acceptance.h"
#include "catalog/package_url.h"
#include "catalog/product_actions.h"
#include "catalog/read_product.h"
#include "core/ini_file.h"
#include "download/tcv_download.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace k4m {

// The runtime redistributable that the post-install tasks look after, as the global settings describe it.
struct RedistributableSettings {
    bool active = false;
    int key = 10;
    std::string guid32 = "{A2563E55-3BEC-3828-8D67-E5E8B9E8B675}";
    std::string guid64 = "{0D3E9E15-DE7A-300B-96F1-B4AF12B96488}";
    std::string source32 = "/Hq7Wn2Zk5Vb9Xc3M/vcredist_x86.exe";
    std::string source64 = "/Hq7Wn2Zk5Vb9Xc3M/vcredist_x64.exe";
    std::string parameters = "/norestart";
};

// Section "Redistributable" of the global settings, each key with its default; the defaults alone when no
// global settings are held.
RedistributableSettings readRedistributable(const IniFile* globalSettings);

// The summary after the scan: the megabytes to download with the user's decimal separator when any package
// needs work, otherwise the up-to-date text.
std::string connectSummary(bool anythingToDo, int64_t installSizeKb, const std::string& decimalSeparator);

// Everything Connect reads besides the server's answers.
struct ConnectInput {
    std::string key; // the customer key, trimmed
    std::string serverBase;
    std::string mirrorDropbox, mirrorGoogleDrive, mirrorMediaFire;
    bool offlineMode = false; // no server: the answers come from the package folder beside the program
    // With options.createOffline an offline package is made: key, catalog and manifests are saved too.
    PackageOptions options;
    bool installBetas = false;
    const IniFile* profile = nullptr;           // installed versions (section Packages)
    const IniFile* globalSettings = nullptr;    // km4.ini, when the start-up checks fetched it
    std::filesystem::path packageFolderToWrite; // data folder + "Offline"
    std::filesystem::path packageFolderToRead;  // manager folder + "Offline"
    int serverMode = 1;                         // kept in offline mode
    std::string decimalSeparator = ".";
};

// A row of the product list, as the window builds it.
struct RowSpec {
    int index = 0;
    CatalogProduct product;
    std::pair<int, int> position;      // top-left corner of the frame
    std::optional<RowActions> actions; // none: the row shows the product's status text
};

// What Connect needs of the window and the worker. Every call happens on the calling thread, in the order the
// sequence gives; each may throw to end the sequence.
class ConnectHost {
public:
    virtual ~ConnectHost() = default;
    // The server's (or a mirror's) answer as trimmed text, or "ERROR: " and the failure.
    virtual std::string fetchText(const std::string& url) = 0;
    // These URLs will be asked for next, in this order; a host may fetch them ahead, as long as fetchText
    // then gives the same answers.
    virtual void expect(const std::vector<std::string>& urls) { (void)urls; }
    virtual void setStatus(const std::string& text) = 0;
    virtual void log(const std::string& line) = 0;
    // The customer line of the window.
    virtual void showCustomer(const std::string& text) = 0;
    // No mirror answered: the user is told, and the program ends (the sequence stops after this call).
    virtual void mirrorsUnreachable() = 0;
    // Builds the row; a row with actions starts at its first item, applied to its slots.
    virtual void buildRow(const RowSpec& row) = 0;
    // The scan is over: the buttons of the list (by offline mode and offline package creation) come out.
    virtual void scanCompleted() = 0;
};

struct ConnectResult {
    enum class End { LoginFailed, ProgramEnds, Completed };
    End end = End::Completed;
    std::string userName, userEmail;
    std::string allProducts;
    MirrorStatus mirrors;
    int serverMode = 0;
    std::vector<std::string> hostList;
    int64_t installSize = 0; // kB of the packages not at their manifest version
    RedistributableSettings redistributable;
    std::string summary; // the last status text, also the worker's last action
};

// The catalog's rows that the list has room for.
inline constexpr int kMaxProductRows = 21;

// Connect from the login to the summary: logs in, checks the mirrors, reads the host list, the locations, the
// catalog and each product's manifest, fills `slots` (all reset by the caller) and has the host build the
// rows. Errors of a step are thrown (std::exception); the caller reports them with the last status text.
ConnectResult runConnect(const ConnectInput& input, std::span<TcvDownload> slots, ConnectHost& host);

} // namespace k4m
