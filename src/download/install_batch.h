#pragma once

namespace k4m {

class TcvDLThread;

// Command 3 of the worker, the installation batch: walks the slot table from slot 0 until the first slot not in
// use, takes each selected package from the cache folder or downloads it there, and hands it to the package
// installer. Errors never stop it: each marks its slot failed and adds a line to the worker's Errors. Ends with
// dldCommand -1 (written by the worker's command loop). The folders come from the shared installTargets.
void runInstallBatch(TcvDLThread& worker);

} // namespace k4m
