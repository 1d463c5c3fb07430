#pragma once
// Runs before anything touches the game (after the launcher was found
// current, or right after LBoot when updates are prevented) and refuses to go
// on while the game runs. Posts CheckApp, then runs the single-instance check
// (Common::InstanceCheck) with:
//   recorded id       "CLIENT_PROC_ID" (written by the game)
//   bundle identifier "com.tarq.hexora.mac.game"
//   executable        storage/"Hexora.app/Contents/MacOS/Hexora"
//   events/messages   "already running by pid" / "by bundle id" / "by bundle exe"
//   state             Found_App
// When the game does not run, queues GLoadVersion and then, when updates are
// prevented (Launcher::skipUpdate()), GStart alone; otherwise
// Common::CCleanUp of [storage/"temp"] and GP22. Otherwise throws the
// check's LauncherError (type "GCheckProcess", not terminating) and queues
// nothing.
//
// Thread: work() runs on the worker thread; it may wait up to 9 s (clock seam).
#include "engine/Worker.hpp"

namespace hexora::Worker::Hexora {

class GCheckProcess : public Worker {
public:
    using Worker::Worker;

    void work() override;
};

}  // namespace hexora::Worker::Hexora
