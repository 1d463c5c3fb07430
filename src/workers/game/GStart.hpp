#pragma once
// The last step of every road that ends with the game running: starts the
// installed game (storage folder + "Hexora.app/Contents/MacOS/Hexora") with
// the launcher's process id as its one argument and the storage folder as
// its working folder, hides the window, waits up to 500 polls of 0.01 s for
// the game's process to appear and up to 1500 more for the game to record
// the same id under "CLIENT_PROC_ID" in its preference suite (or to quit).
// Both waits end at their next poll once the run is cancelled (a quit), and
// the road ends as after a started game.
//
// work() never returns: it always throws Worker::LauncherError, type "GStart".
// - started: code Succeeded, message "succeeded", terminateWhenAvailable true,
//   so the worker thread ends the launcher;
// - not started: the state Failed_Launching_Game is shown, code Failed,
//   message "failed with code: <pid>", terminateWhenAvailable false, and the
//   launcher stays open.
// The error carries the telemetry record and no state. The game's bundle,
// identifier and id entry are GameProduct's (services/internal/GameProduct.hpp).
//
// Thread: the worker thread; blocks it for up to about 20 s (a cancel: 0.01 s). The game's exit
// is logged from the child's waiter thread.
#include "engine/Worker.hpp"

namespace hexora::Worker::Hexora {

class GStart : public Worker::Worker {
public:
    static constexpr int AppearPolls = 500;
    static constexpr int ConfirmPolls = 1500;
    static constexpr double PollSeconds = 0.01;

    using Worker::Worker;

    void work() override;

private:
    void waitForProcess(std::int32_t pid) const;
    void waitForConfirmation(std::int32_t pid) const;
};

}  // namespace hexora::Worker::Hexora
