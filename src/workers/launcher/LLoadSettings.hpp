#pragma once
// Boot step: loads the settings file (storagePath()/".launcher.json") into
// loadedSetting, replacing any earlier one, and starts both domain lists at
// the domain that answered last: the API list at `api_dsa_index`, the file
// list at `cdn_dsa_index`. An index outside a list starts it at 0; a list
// that does not exist is left alone. A missing or invalid file gives index 0
// for both (see Setting).
//
// Thread: work() runs on the worker thread. Never throws, posts no display
// state, sends no telemetry, and does not call the completion handler.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LLoadSettings : public Worker {
public:
    using Worker::Worker;
    void work() override;

    /// The settings file's name in the storage folder.
    static constexpr const char* FileName = ".launcher.json";
};

}  // namespace hexora::Worker::Launcher
