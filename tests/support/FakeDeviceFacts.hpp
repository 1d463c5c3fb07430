#pragma once
// Device facts for tests: whatever the test puts in the fields. Installing
// one (ScopedDeviceFacts) also forgets DeviceInfo, so the next
// DeviceInfo::shared() is built from the fake; both are restored afterwards.
#include "platform/DeviceFacts.hpp"

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

class ScopedDeviceFacts {
public:
    ScopedDeviceFacts();
    ~ScopedDeviceFacts();
    ScopedDeviceFacts(const ScopedDeviceFacts&) = delete;
    ScopedDeviceFacts& operator=(const ScopedDeviceFacts&) = delete;
    /// Change before the first DeviceInfo::shared() of the test.
    FakeDeviceFacts& facts() { return *facts_; }

private:
    std::shared_ptr<FakeDeviceFacts> facts_;
};

}  // namespace hexora::test
