#pragma once
// The facts the launcher reports about the machine it runs on: the platform
// UUID, the machine model, the operating system's version text, the screens,
// and the disk and memory figures.
//
// Thread: current() and install() may be called from any thread; the
// installed object is used from any thread (the real one reads files on each
// call, except screens(), see SystemDeviceFacts). install() is meant for
// process start and for tests.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora::platform {

/// One attached screen: its frame's minimum x and y, width and height (in the
/// shell's points) and its backing scale factor.
struct ScreenFrame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double scale = 1;
};

/// The kernel's memory pages by kind, in bytes.
struct MemoryStatistics {
    std::uint64_t freeBytes = 0;
    std::uint64_t activeBytes = 0;
    std::uint64_t inactiveBytes = 0;
    std::uint64_t speculativeBytes = 0;
    std::uint64_t wiredBytes = 0;
};

class DeviceFacts {
public:
    virtual ~DeviceFacts() = default;
    /// The machine's platform UUID as text, or nullopt when there is none.
    virtual std::optional<std::string> platformUuid() = 0;
    /// The raw bytes of the machine model identifier, or nullopt.
    virtual std::optional<std::string> modelBytes() = 0;
    /// The operating system's human-readable version text.
    virtual std::string osVersion() = 0;
    /// The attached screens in the shell's order; empty without a shell.
    virtual std::vector<ScreenFrame> screens() = 0;
    /// Free bytes of the volume that holds `path`, or nullopt when unreadable.
    virtual std::optional<std::uint64_t> freeDiskBytes(const std::filesystem::path& path) = 0;
    /// The kernel's memory statistics, or nullopt when unreadable.
    virtual std::optional<MemoryStatistics> memoryStatistics() = 0;

    /// The installed facts; the system's own unless install() replaced them.
    static std::shared_ptr<DeviceFacts> current();
    /// Replaces the process facts; nullptr restores the system's own.
    static void install(std::shared_ptr<DeviceFacts> facts);
};

}  // namespace hexora::platform
