#include "support/FakeDeviceFacts.hpp"


namespace hexora::test {

std::optional<std::uint64_t> FakeDeviceFacts::freeDiskBytes(const std::filesystem::path& path) {
    const auto found = freeBytes.find(path);
    if (found == freeBytes.end()) return std::nullopt;
    return found->second;
}

}  // namespace hexora::test
