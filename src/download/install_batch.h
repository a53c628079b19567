#pragma once

#include <cstdint>
#include <string>

namespace k4m {

class TcvDLThread;

// Command 3 of the worker, the installation batch: walks the slot table from slot 0 until the first slot not in
// use, takes each selected package from the cache folder or downloads it there, and hands it to the package
// installer. Errors never stop it: each marks its slot failed and adds a line to the worker's Errors. Ends with
// dldCommand -1 (written by the worker's command loop). The folders come from the shared installTargets.
//
// A download reaches the cache folder only whole: it streams into "<package>.part", and only an answer that
// completed, was not cancelled and is long enough to be a package is renamed into place.
void runInstallBatch(TcvDLThread& worker);

// Answers shorter than this are the server's error pages, never packages.
inline constexpr int64_t kSmallestPackageBytes = 800;

// Milliseconds as minutes with two decimals, written with `decimalSeparator` ("1.50", "1,50").
std::string minutesText(int64_t milliseconds, const std::string& decimalSeparator);

} // namespace k4m
