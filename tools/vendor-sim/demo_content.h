#pragma once

#include <string>

namespace k4m::sim {

// Writes the demo vendor into `folder`: start-up files, global settings, host list, licence, a login that
// accepts every key, the download locations, a catalog with every kind of product row, one manifest per
// product, the package files (small placeholders) and the redirects that lead to them. Addresses of this
// server are written as the placeholder "{{BASE}}" (see contentFolder).
void makeDemoContent(const std::string& folder);

// Writes the installed versions of the demo's packages into the manager profile `profileFile` (section
// Packages; other keys the file holds are kept), so that Connect shows a product with an update and an
// up-to-date one. Creates the missing folders.
void writeDemoProfile(const std::string& profileFile);

} // namespace k4m::sim
