#pragma once

#include "core/ini_file.h"

#include <string>
#include <vector>

namespace k4m {

// A product key of the catalog. For the main products ("KD4", "KD4F") with betas wanted, a published beta
// takes over: "Beta" + key when the section has a BetaManifest, then "Beta1002006" + key when it has a beta
// for this manager version; each with the same default.
std::string ReadProduct(const IniFile& catalog, const std::string& section, const std::string& key,
                        const std::string& fallback, bool installBetas);

// One section of the catalog, as the product list uses it.
struct CatalogProduct {
    std::string id;           // the section name
    int environment = 0;      // 2: not offered by this manager, no row
    std::string name = "N/A"; // beta rule applies
    int newBadge = 0;         // > 0: "NEW!" that many pixels from the row's left edge
    std::string status = "Not available yet";
    std::string manifestId; // beta rule applies

    bool hasRow() const { return environment != 2; }
    bool installable() const { return status == "OK"; }
};

// The catalog's products in file order: product i is row i of the product list.
std::vector<CatalogProduct> readCatalog(const IniFile& catalog, bool installBetas);

} // namespace k4m
