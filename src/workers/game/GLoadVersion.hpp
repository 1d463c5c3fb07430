#pragma once
// Reads the installed game's version from the game bundle in the storage
// folder (storagePath()/"Hexora.app/Contents/Info.plist") into gameVersion.
//
//   no readable dictionary, or no "CFBundleShortVersionString":
//       telemetry "GLoadVersion"/"not found"/"Failed", gameVersion "1.0.0"
//   otherwise: gameVersion = that value (the empty text when it is not a
//       text), telemetry "GLoadVersion"/"found"/"Succeeded" with
//       "InstalledGame"
// Before that, a "CFBundleIdentifier" text other than the game's identifier
// is reported ("invalid bundle id" with "InstalledBundleId") and ignored.
// Every record is appended to the pending batch, none is sent at once.
//
// Thread: work() runs on the worker thread. Never throws, posts no display
// state, and does not call the completion handler.
#include "engine/Worker.hpp"

namespace hexora::Worker::Hexora {

class GLoadVersion : public Worker {
public:
    using Worker::Worker;
    void work() override;

    /// The version a game that is not installed reaches the update decision with.
    static constexpr const char* DefaultVersion = "1.0.0";
};

}  // namespace hexora::Worker::Hexora
