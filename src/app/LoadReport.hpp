#pragma once
// What the window reports when it loads: the device (OS, model, screens, free
// disk space of the storage folder's volume, memory) and the application
// (identifier, version and location of the running bundle), as the "didLoad"
// telemetry record and one log line.
//
// Thread: GUI thread (the device facts read the screens there). Nothing here
// throws.
#include "services/rum/LogData.hpp"

#include <cstdint>
#include <string>

namespace hexora::app {

struct LoadReport {
    std::string deviceId;
    std::string os;
    std::string model;
    std::string screens;
    std::string freeSpaceMB;  // free disk bytes >> 20, grouped
    std::string freeMemoryMB;  // the kernel's free pages in bytes >> 20, grouped
    std::string memoryGB;  // DeviceInfo::freeMemory() >> 30, grouped
    std::string appId;  // "-" when the Info.plist has no such text
    std::string appVersion;  // "-" likewise
    std::string appPath;  // the bundle's file URL

    /// The facts now, from DeviceInfo and the bundle's Info.plist.
    static LoadReport collect();

    /// "ViewController"/"didLoad"/"Start"/"INFO" with the Data entries OS,
    /// Model, Screens, FreeSpace ("…MB"), Ram ("…MB/…GB"), AppId, AppVer,
    /// AppPath, in that order.
    Rum::LogData record() const;
    /// "[id] [os] [model] screens freeMB freeMB memoryGB [appId : appVer : appPath]".
    std::string logLine() const;

    /// `value` in decimal with a "," between groups of three digits.
    static std::string grouped(std::int64_t value);
};

}  // namespace hexora::app
