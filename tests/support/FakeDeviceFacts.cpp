#include "support/FakeDeviceFacts.hpp"

#include "services/internal/DeviceInfo.hpp"

namespace hexora::test {

std::optional<std::uint64_t> FakeDeviceFacts::freeDiskBytes(const std::filesystem::path& path) {
    const auto found = freeBytes.find(path);
    if (found == freeBytes.end()) return std::nullopt;
    return found->second;
}

ScopedDeviceFacts::ScopedDeviceFacts() : facts_(std::make_shared<FakeDeviceFacts>()) {
    platform::DeviceFacts::install(facts_);
    DeviceInfo::resetForTesting();
}

ScopedDeviceFacts::~ScopedDeviceFacts() {
    platform::DeviceFacts::install(nullptr);
    DeviceInfo::resetForTesting();
}

}  // namespace hexora::test
