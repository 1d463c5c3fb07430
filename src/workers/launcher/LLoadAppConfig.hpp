#pragma once
// Boot step, after the settings are loaded and before the launcher's version
// is read: fetches the remote configuration table
// "/config/hexora_config.csv" from every file domain at once (the multi-URL
// text request, with the current web timeout), reads its column "Global" into
// an AppConfig and applies it, in this order: the web timeout, the download
// timeout, the URL retry count, then the API domain list's URLs (replaced
// by "url_api2"; an empty list keeps them).
//
// Every failure is one error log line and changes nothing:
//   no file domain list          "LLoadAppConfig: failed to get cdn urls"
//   no domain answered           "LLoadAppConfig: failed to get app config from cdn"
//   table or a value unreadable  "LLoadAppConfig: failed to parse app config csv: " + the error
//
// Thread: work() runs on the worker thread and blocks it for the fetch.
// Never throws, posts no state, sends no telemetry of its own (the requests
// send theirs) and does not call the completion handler.
#include "engine/Worker.hpp"

namespace hexora::Worker::Launcher {

class LLoadAppConfig : public Worker {
public:
    static constexpr const char* TablePath = "/config/hexora_config.csv";
    static constexpr const char* Column = "Global";

    using Worker::Worker;

    void work() override;
};

}  // namespace hexora::Worker::Launcher
