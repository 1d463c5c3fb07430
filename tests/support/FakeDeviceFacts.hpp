#pragma once
// Device facts for tests: whatever the test puts in the fields. Installing
// one (ScopedDeviceFacts) also forgets DeviceInfo, so the next
// DeviceInfo::shared() is built from the fake; when it goes away the facts
// before it are put back and DeviceInfo is forgotten again. Change the fake
// before the first DeviceInfo::shared() of the test.
#include "platform/DeviceFacts.hpp"
#include "services/internal/DeviceInfo.hpp"
#include "support/ScopedLayer.hpp"

#include <map>
#include <memory>
#include <mutex>

namespace hexora::test {

class FakeDeviceFacts final : public platform::DeviceFacts {
public:
    std::optional<std::string> uuid;
    std::optional<std::string> model;
    std::string os = "Test OS 1.0";
    std::vector<platform::ScreenFrame> screenList;
    /// Free bytes per path; a path not listed is unreadable.
    std::map<std::filesystem::path, std::uint64_t> freeBytes;
    std::optional<platform::MemoryStatistics> memory;

    std::optional<std::string> platformUuid() override { return uuid; }
    std::optional<std::string> modelBytes() override { return model; }
    std::string osVersion() override { return os; }
    std::vector<platform::ScreenFrame> screens() override { return screenList; }
    std::optional<std::uint64_t> freeDiskBytes(const std::filesystem::path& path) override;
    std::optional<platform::MemoryStatistics> memoryStatistics() override { return memory; }
};

struct ForgetDeviceInfo {
    void operator()() const { DeviceInfo::resetForTesting(); }
};

using ScopedDeviceFacts = ScopedLayer<platform::DeviceFacts, FakeDeviceFacts, ForgetDeviceInfo>;

}  // namespace hexora::test
