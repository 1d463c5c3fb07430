#pragma once
// The process-wide "updates are prevented" flag: false at start, set once by
// the launcher's boot check (LBoot), read by the game's check (GCheckProcess).
// It lives beside the workers of both products so that neither includes the
// other; it keeps the launcher's namespace, whose boot check owns it.
//
// Thread: any thread.
namespace hexora::Worker::Launcher {

bool skipUpdate();
void setSkipUpdate(bool value);
/// Tests: back to false.
void resetSkipUpdateForTesting();

}  // namespace hexora::Worker::Launcher
