#pragma once
// Boot step on the normal road, right after LBoot: waits briefly for an
// earlier launcher to end (usually the one that has just relaunched this one
// after a self-update) and refuses to go on while another launcher keeps
// running. Posts CheckApp, then runs the single-instance check
// (Common::InstanceCheck) with:
//   recorded id       "LAUNCHER_PROC_ID"
//   bundle identifier "com.tarq.hexora.mac.launcher"
//   executable        this launcher's own executable (skipped when unknown)
//   events            "already running by procId" / "by bundle id" / "by bundle exe"
//   messages          "Launcher is already running by " + the same endings
//   state             Found_Launcher
//   handed over from  SelfRestart::previousLauncher(): the old launcher that
//                     started this one is given until it has ended its run
//   instance lock     applicationSupport()/"instance.lock": of launchers
//                     started together (a double click) the one that takes
//                     it goes on; the others wait for it like for a found
//                     launcher and end with Found_Launcher
// When none runs, queues the boot chain in this order: LLoadSettings,
// LUpdatePlayerPrefs, LLoadAppConfig, LLoadVersion, Common::CCleanUp of
// [storage/"temp"] and the leftovers of killed runs found now
// (StartupLeftovers), LP22. Otherwise throws the check's LauncherError (type
// "LCheckProcess", not terminating) and queues nothing.
//
// Thread: work() runs on the worker thread; it may wait up to 9 s (clock
// seam), or 40 s for the old launcher after a self-restart.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LCheckProcess : public Worker {
public:
    using Worker::Worker;

    void work() override;
};

}  // namespace hexora::Worker::Launcher
