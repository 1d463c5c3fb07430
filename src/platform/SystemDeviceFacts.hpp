#pragma once
// The machine's facts as this system keeps them:
// - platform UUID: /etc/machine-id (32 hexadecimal digits) written as an
//   upper-case 8-4-4-4-12 UUID;
// - model: the bytes of /sys/class/dmi/id/product_name;
// - OS version: PRETTY_NAME of /etc/os-release (else /usr/lib/os-release)
//   followed by the kernel release, "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0-18-amd64)";
// - memory: /proc/meminfo, MemFree, Active, Inactive and Unevictable (the
//   pinned pages) in bytes; there are no speculative pages;
// - free disk: statvfs, the blocks available to the user;
// - screens: whatever the shell supplies (the supplier is called on the
//   thread that asks, the shell asks on its GUI thread); none without one.
//
// The file locations can be replaced, so the readers can be tested on
// fixture files.
#include "platform/DeviceFacts.hpp"

#include <functional>
#include <string_view>

namespace hexora::platform {

class SystemDeviceFacts final : public DeviceFacts {
public:
    struct Files {
        std::filesystem::path machineId = "/etc/machine-id";
        std::filesystem::path productName = "/sys/class/dmi/id/product_name";
        std::vector<std::filesystem::path> osRelease = {"/etc/os-release", "/usr/lib/os-release"};
        std::filesystem::path meminfo = "/proc/meminfo";
    };
    using ScreenSupplier = std::function<std::vector<ScreenFrame>()>;

    SystemDeviceFacts();
    explicit SystemDeviceFacts(ScreenSupplier screens);
    SystemDeviceFacts(ScreenSupplier screens, Files files);

    std::optional<std::string> platformUuid() override;
    std::optional<std::string> modelBytes() override;
    std::string osVersion() override;
    std::vector<ScreenFrame> screens() override;
    std::optional<std::uint64_t> freeDiskBytes(const std::filesystem::path& path) override;
    std::optional<MemoryStatistics> memoryStatistics() override;

private:
    ScreenSupplier screens_;
    Files files_;
};

/// A machine id (32 hexadecimal digits, surrounding white space ignored) as an
/// upper-case 8-4-4-4-12 UUID; nullopt for anything else.
std::optional<std::string> uuidFromMachineId(std::string_view machineId);

/// The PRETTY_NAME value of os-release text (quotes and backslash escapes
/// removed), or nullopt when there is none.
std::optional<std::string> prettyNameFromOsRelease(std::string_view osRelease);

/// The memory statistics of /proc/meminfo text; nullopt when MemFree, Active
/// or Inactive is missing.
std::optional<MemoryStatistics> memoryFromMeminfo(std::string_view meminfo);

}  // namespace hexora::platform
