#pragma once
// Records who this launcher is in the game's preference suite before the
// update checks: "LAUNCHER_PROC_ID" (this process's id), "DATE" (the time of
// that write, "MM/dd/yyyy HH:mm:ss" in UTC), "GUID" (a new random UUID for
// this run, upper-case 8-4-4-4-12) and "PROD_DIR" (the launcher's bundle
// path), in that order, each written through and computed just before its
// write. The game reads them; a later launcher reads "LAUNCHER_PROC_ID" and
// telemetry falls back to "GUID".
//
// An entry that cannot be written is silently missing (the previous run's
// value stays). work() posts no state, sends no telemetry, never throws and
// does not call its completion handler: the thread goes on with the next
// queued worker.
//
// Thread: work() runs on the worker thread.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LUpdatePlayerPrefs : public Worker::Worker {
public:
    using Worker::Worker;
    void work() override;
};

/// A new random (version 4) UUID as upper-case 8-4-4-4-12 hexadecimal text.
std::string newUuidString();

}  // namespace hexora::Worker::Launcher
