#pragma once
// The machine's facts as this system keeps them:
// - platform UUID: an id of the launcher derived from /etc/machine-id (32
//   hexadecimal digits), which itself never leaves the machine
//   (machine-id(5)); see applicationDeviceId();
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
#include "product/ProductFacts.hpp"

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

    /// applicationDeviceId() of the machine id for the launcher's bundle identifier.
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

/// The id of the application `applicationId` on the machine whose machine id
/// (32 hexadecimal digits, surrounding white space ignored) is `machineId`,
/// made as systemd makes application-specific ids: HMAC-SHA256 keyed by the
/// machine id's 16 bytes over `applicationId`, its first 16 bytes marked as a
/// version 4 UUID, written as an upper-case 8-4-4-4-12 UUID. The same for
/// every run on one machine; the machine id cannot be read back from it.
/// nullopt when `machineId` is no machine id.
std::optional<std::string> applicationDeviceId(std::string_view machineId, std::string_view applicationId);

/// The PRETTY_NAME value of os-release text (quotes and backslash escapes
/// removed), or nullopt when there is none.
std::optional<std::string> prettyNameFromOsRelease(std::string_view osRelease);

/// The memory statistics of /proc/meminfo text; nullopt when MemFree, Active
/// or Inactive is missing.
std::optional<MemoryStatistics> memoryFromMeminfo(std::string_view meminfo);

}  // namespace hexora::platform
