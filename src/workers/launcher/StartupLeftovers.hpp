#pragma once
// What earlier runs of the launcher left behind when they were killed, for
// the clean-up LCheckProcess queues once it knows no other launcher runs (so
// no other run is still at work on any of it), before anything on this road
// writes these places:
// - the temporary files of the launcher's own files in the storage folder
//   (the settings file, both products' schemes, gzip-compressed and not,
//   and their broken-file lists), ".<name>.tmp-" and six letters or digits;
// - the temporary copies a patch makes beside a bundle's Contents and beside
//   the launcher's backup "Hexora.old.app" (a move across file systems);
// - the launcher's backup "Hexora.old.app" in the application-support
//   folder itself, when the launcher's bundle has its Contents (the running
//   launcher's own): no patch runs yet, and the backup is needed only while
//   a patch runs.
// The game's backup lies in the storage folder's temp folder, which the same
// clean-up empties.
//
// Thread: the worker thread. Nothing here throws or touches the disk; the
// result lists only items that exist now.
#include <filesystem>
#include <vector>

namespace hexora::Worker::Launcher::StartupLeftovers {

/// The leftovers that exist now, in a stable order.
std::vector<std::filesystem::path> find();

}  // namespace hexora::Worker::Launcher::StartupLeftovers
