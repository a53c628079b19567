#include "catalog/connect_sequence.h"

#include "catalog/offline_package.h"
#include "catalog/slot_filling.h"
#include "core/server_requests.h"
#include "core/text_file.h"
#include "core/text_util.h"

#include <cstdio>

namespace k4m {

RedistributableSettings readRedistributable(const IniFile* globalSettings) {
    RedistributableSettings r;
    if (globalSettings == nullptr) return r;
    const char* s = "Redistributable";
    r.active = globalSettings->readBool(s, "Active", r.active);
    r.key = globalSettings->readInteger(s, "Key", r.key);
    r.guid32 = globalSettings->readString(s, "GUID32", r.guid32);
    r.guid64 = globalSettings->readString(s, "GUID64", r.guid64);
    r.source32 = globalSettings->readString(s, "Source32", r.source32);
    r.source64 = globalSettings->readString(s, "Source64", r.source64);
    r.parameters = globalSettings->readString(s, "Parameters", r.parameters);
    return r;
}

std::string connectSummary(bool anythingToDo, int64_t installSizeKb, const std::string& decimalSeparator) {
    if (!anythingToDo) return "Your installation is up-to-date.";
    char megabytes[64];
    std::snprintf(megabytes, sizeof megabytes, "%.2f", static_cast<double>(installSizeKb) / 1024.0);
    std::string figure = megabytes;
    if (const size_t point = figure.find('.'); point != std::string::npos) figure.replace(point, 1, decimalSeparator);
    return "New files available (" + figure + "MB). Click [Start Install] to proceed with download and installation.";
}

namespace {

class Sequence {
public:
    Sequence(const ConnectInput& input, std::span<TcvDownload> slots, ConnectHost& host)
        : in(input), slots(slots), host(host), eid(server::customerEid(input.key)), made(input.packageFolderToWrite),
          carried(input.packageFolderToRead) {}

    ConnectResult run();

private:
    bool login();
    bool checkMirrors();
    void readHostList();
    IniFile readLocations();
    std::string readCatalogText();
    void scan(const IniFile& catalog, const IniFile& locations);
    // The manifest of a product; none when its id cannot name a file of the offline package.
    std::optional<std::string> manifestText(const CatalogProduct& product);
    bool manifestIdUsable(const CatalogProduct& product) const;
    std::string summary();

    const ConnectInput& in;
    std::span<TcvDownload> slots;
    ConnectHost& host;
    const std::string eid;
    const OfflinePackage made;    // written when an offline package is made
    const OfflinePackage carried; // read in offline mode
    ConnectResult result;
};

ConnectResult Sequence::run() {
    if (in.options.createOffline) made.create();
    if (!login()) {
        result.end = ConnectResult::End::LoginFailed;
        return result;
    }
    result.redistributable = readRedistributable(in.offlineMode ? nullptr : in.globalSettings);
    if (!in.offlineMode && !checkMirrors()) {
        result.end = ConnectResult::End::ProgramEnds;
        return result;
    }
    host.setStatus("Phase 12A");
    if (in.options.createOffline) made.saveKey(in.key);
    host.setStatus("Phase 12B");
    readHostList();
    host.setStatus("Phase 12C");
    const IniFile locations = readLocations();
    host.setStatus("Phase 12D");
    result.allProducts = readCatalogText();
    host.setStatus("Phase 12E");
    const IniFile catalog = IniFile::fromText(result.allProducts);
    scan(catalog, locations);
    host.log("Scans completed.");
    host.scanCompleted();
    host.setStatus("Phase 14A");
    host.log("Updating package states.");
    result.summary = summary();
    host.setStatus(result.summary);
    host.log("Connection tasks completed.");
    host.log("");
    result.end = ConnectResult::End::Completed;
    return result;
}

bool Sequence::login() {
    if (in.offlineMode) {
        host.showCustomer("Offline installation mode active");
        return true;
    }
    host.setStatus("Verifying identity");
    const std::string answer = host.fetchText(server::loginUrl(in.serverBase, eid));
    const bool accepted = answer.rfind("OK", 0) == 0;
    if (accepted) {
        result.userName = TagValue("N", answer);
        result.userEmail = TagValue("E", answer);
        host.showCustomer("Logged in as " + result.userName + " (" + result.userEmail + ")");
    } else {
        host.showCustomer(answer);
    }
    host.setStatus("");
    return accepted;
}

bool Sequence::checkMirrors() {
    host.setStatus("Checking servers...");
    MirrorStatus& m = result.mirrors;
    m.dropbox = host.fetchText(in.mirrorDropbox) == "OK";
    m.googleDrive = host.fetchText(in.mirrorGoogleDrive) == "OK";
    m.mediaFire = host.fetchText(in.mirrorMediaFire) == "OK";
    const std::string map =
        std::string(m.mediaFire ? "1" : "0") + (m.dropbox ? "1" : "0") + (m.googleDrive ? "1" : "0");
    host.log("Server Map: " + map);
    if (map != "000") return true;
    host.mirrorsUnreachable();
    return false;
}

void Sequence::readHostList() {
    if (in.offlineMode) return;
    host.log("Checking host definitions");
    const std::string text = host.fetchText(server::staticUrl(in.serverBase, server::kHostListPath));
    for (const std::string& line : splitLines(text))
        if (!trim(line).empty()) result.hostList.push_back(line);
}

IniFile Sequence::readLocations() {
    IniFile locations;
    result.serverMode = in.serverMode;
    if (!in.offlineMode) {
        host.setStatus("Downloading locations");
        locations = IniFile::fromText(host.fetchText(server::locationsUrl(in.serverBase, eid)));
        result.serverMode = locations.readInteger("Priority", "Mode", 0);
    }
    host.log("Server Mode: " + std::to_string(result.serverMode));
    host.log("");
    return locations;
}

std::string Sequence::readCatalogText() {
    std::string text;
    if (!in.offlineMode) {
        host.setStatus("Downloading product catalog");
        host.log("Downloading product catalog...");
        text = host.fetchText(server::catalogUrl(in.serverBase, eid));
    }
    if (in.options.createOffline) made.saveCatalog(text);
    if (in.offlineMode) text = carried.loadCatalog();
    return text;
}

bool Sequence::manifestIdUsable(const CatalogProduct& product) const {
    return !(in.offlineMode || in.options.createOffline) || OfflinePackage::isPlainFileStem(product.manifestId);
}

std::optional<std::string> Sequence::manifestText(const CatalogProduct& product) {
    if (!manifestIdUsable(product)) return std::nullopt;
    if (in.offlineMode) return carried.loadManifest(product.manifestId);
    std::string text = host.fetchText(server::manifestUrl(in.serverBase, eid, product.manifestId));
    if (in.options.createOffline) made.saveManifest(product.manifestId, text);
    return text;
}

void Sequence::scan(const IniFile& catalog, const IniFile& locations) {
    host.setStatus("Phase 13A");
    host.log("Scanning products...");
    std::vector<CatalogProduct> products = readCatalog(catalog, in.installBetas);
    if (products.size() > static_cast<size_t>(kMaxProductRows)) {
        host.log("The catalog lists " + std::to_string(products.size()) + " products; only the first " +
                 std::to_string(kMaxProductRows) + " are shown.");
        products.resize(kMaxProductRows);
    }
    std::vector<bool> hasRow;
    for (const CatalogProduct& p : products)
        hasRow.push_back(p.hasRow());
    const auto positions = rowPositions(hasRow);

    // Every manifest the scan will ask for, in catalog order, so that they can be on their way at once.
    if (!in.offlineMode) {
        std::vector<std::string> manifests;
        for (const CatalogProduct& p : products)
            if (p.hasRow() && p.installable() && manifestIdUsable(p))
                manifests.push_back(server::manifestUrl(in.serverBase, eid, p.manifestId));
        host.expect(manifests);
    }

    SlotContext context;
    context.profile = in.profile;
    context.options = in.options;
    context.offlineMode = in.offlineMode;
    context.serverMode = result.serverMode;
    context.mirrors = result.mirrors;
    context.locations = &locations;
    context.serverBase = in.serverBase;
    context.eid = eid;
    context.status = [this](const std::string& text) { host.setStatus(text); };
    context.log = [this](const std::string& line) { host.log(line); };
    int nextSlot = 0;

    for (size_t i = 0; i < products.size(); ++i) {
        const CatalogProduct& product = products[i];
        host.setStatus("Scanning product " + product.id);
        host.log("Scanning " + product.id + "...");
        if (!product.hasRow()) continue;
        RowSpec row;
        row.index = static_cast<int>(i);
        row.product = product;
        row.position = *positions[i];
        if (product.installable()) {
            const std::optional<std::string> text = manifestText(product);
            if (!text) {
                host.log("Skipping " + product.id + ": its manifest id \"" + product.manifestId +
                         "\" cannot name a file.");
                continue;
            }
            context.rowIndex = row.index;
            const ProductFill fill = fillProductSlots(IniFile::fromText(*text), slots, nextSlot, context);
            result.installSize += fill.installSize;
            if (fill.tableFull) host.log("The download table is full: packages of " + product.id + " are left out.");
            host.setStatus("Preparing " + product.id);
            row.actions = rowActions(productState(fill), in.options.createOffline, in.offlineMode);
        }
        host.buildRow(row);
    }
}

std::string Sequence::summary() {
    bool anythingToDo = false;
    for (const TcvDownload& slot : slots)
        if (slot.InUse && !slot.Installed && (slot.iState == 0 || slot.iState == 1)) anythingToDo = true;
    return connectSummary(anythingToDo, result.installSize, in.decimalSeparator);
}

} // namespace

ConnectResult runConnect(const ConnectInput& input, std::span<TcvDownload> slots, ConnectHost& host) {
    return Sequence(input, slots, host).run();
}

} // namespace k4m
