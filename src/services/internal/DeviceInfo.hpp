#pragma once
// What the launcher tells about the machine it runs on: the platform UUID
// (every telemetry record's device id), the model, the OS version text and
// the screens, collected once per process; plus the free disk and memory
// figures of the window's start-up record, read on demand.
//
// Thread: shared() may be called from any thread; the first call builds the
// instance (once, also when several threads ask at the same time) from
// platform::DeviceFacts::current(). The fields never change afterwards.
// currentDeviceId() may be read from any thread. Nothing here throws.
#include <cstdint>
#include <filesystem>
#include <string>

namespace hexora {

class DeviceInfo {
public:
    /// The process-wide instance, built on first use; building it sets
    /// currentDeviceId() when the machine has a platform UUID.
    static const DeviceInfo& shared();

    /// The platform UUID captured when shared() was built; empty before, and
    /// empty on a machine without one.
    static std::string currentDeviceId();

    /// Free bytes of the volume that holds the storage folder, or that will
    /// hold it before the boot check has made it (measured at its nearest
    /// existing parent); 0 when unreadable.
    static std::int64_t freeDiskSpace();
    /// Free bytes of the volume that holds `path`; 0 when unreadable.
    static std::int64_t freeDiskSpace(const std::filesystem::path& path);
    /// Free, active, inactive, speculative and pinned memory together, in
    /// bytes (all memory that is free or in use, as the kernel counts it);
    /// 0 when the statistics cannot be read.
    static std::int64_t freeMemory();

    /// Tests: forgets the instance and currentDeviceId(), so the next shared()
    /// builds again from the facts installed then. References returned by
    /// earlier shared() calls stay valid.
    static void resetForTesting();

    /// The platform UUID, or empty.
    std::string deviceId;
    /// The model identifier (control characters trimmed from both ends), or
    /// empty when there is none or it is not UTF-8.
    std::string deviceModel;
    std::string osVersion;
    /// "[x:%.2f,y:%.2f,w:%.2f,h:%.2f,s:%.2f]" per screen, back to back; empty without screens.
    std::string screens;

private:
    DeviceInfo() = default;
    static DeviceInfo build();
};

}  // namespace hexora
