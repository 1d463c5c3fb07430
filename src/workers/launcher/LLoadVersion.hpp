#pragma once
// Boot step: reads the launcher's own version from its bundle's
// Contents/Info.plist into launcherVersion ("CFBundleShortVersionString";
// the empty text when it is missing or not a text, or there is no readable
// Info.plist). A "CFBundleIdentifier" text other than the launcher's own
// identifier is reported (telemetry "LLoadVersion"/"invalid bundle id" with
// the identifier read as "InstalledBundleId", and an error log line) and
// otherwise ignored.
//
// Thread: work() runs on the worker thread. Never throws, posts no display
// state, and does not call the completion handler.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LLoadVersion : public Worker {
public:
    using Worker::Worker;
    void work() override;
};

}  // namespace hexora::Worker::Launcher
