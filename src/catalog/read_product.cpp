#include "catalog/read_product.h"

#include "core/version.h"

namespace k4m {

namespace {

bool hasBetas(const std::string& section) {
    return section == "KD4" || section == "KD4F";
}

} // namespace

std::string ReadProduct(const IniFile& catalog, const std::string& section, const std::string& key,
                        const std::string& fallback, bool installBetas) {
    std::string value = catalog.readString(section, key, fallback);
    if (!installBetas || !hasBetas(section)) return value;
    if (catalog.valueExists(section, "BetaManifest")) value = catalog.readString(section, "Beta" + key, fallback);
    const std::string versioned = "Beta" + std::to_string(kManagerVersionNumber);
    if (catalog.valueExists(section, versioned + "Manifest"))
        value = catalog.readString(section, versioned + key, fallback);
    return value;
}

std::vector<CatalogProduct> readCatalog(const IniFile& catalog, bool installBetas) {
    std::vector<CatalogProduct> products;
    for (const std::string& id : catalog.sectionNames()) {
        CatalogProduct p;
        p.id = id;
        p.environment = catalog.readInteger(id, "Environment", 0);
        p.name = ReadProduct(catalog, id, "Name", "N/A", installBetas);
        p.newBadge = catalog.readInteger(id, "New", 0);
        p.status = catalog.readString(id, "Status", "Not available yet");
        p.manifestId = ReadProduct(catalog, id, "Manifest", "", installBetas);
        products.push_back(std::move(p));
    }
    return products;
}

} // namespace k4m
