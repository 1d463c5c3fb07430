#include "services/internal/DeviceInfo.hpp"

#include "platform/DeviceFacts.hpp"
#include "services/internal/Paths.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <charconv>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace hexora {
namespace {
struct Shared {
    std::mutex mutex;
    std::unique_ptr<DeviceInfo> instance;
    // Instances forgotten by resetForTesting stay alive for earlier readers.
    std::vector<std::unique_ptr<DeviceInfo>> retired;
    std::string currentDeviceId;
};
Shared& state() {
    static Shared shared;
    return shared;
}

bool isControl(UChar32 c) {
    const auto type = u_charType(c);
    return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

// The model bytes as text with control characters trimmed from both ends
// (the firmware's NUL and line feed); empty unless the bytes are UTF-8.
std::string modelText(const std::string& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    int32_t begin = 0;
    int32_t end = 0;
    bool started = false;
    for (int32_t i = 0; i < length;) {
        const int32_t at = i;
        UChar32 c = 0;
        U8_NEXT(data, i, length, c);
        if (c < 0) return "";
        if (isControl(c)) continue;
        if (!started) begin = at;
        started = true;
        end = i;
    }
    if (!started) return "";
    return bytes.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::string twoDecimals(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc()) return "0.00";
    return std::string(text, result.ptr);
}

std::string screensText(const std::vector<platform::ScreenFrame>& screens) {
    std::string text;
    for (const auto& screen : screens) {
        text += "[x:" + twoDecimals(screen.x) + ",y:" + twoDecimals(screen.y) + ",w:" + twoDecimals(screen.width) +
                ",h:" + twoDecimals(screen.height) + ",s:" + twoDecimals(screen.scale) + "]";
    }
    return text;
}

std::int64_t clampedBytes(std::uint64_t bytes) {
    constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(bytes > most ? most : bytes);
}
}  // namespace

DeviceInfo DeviceInfo::build() {
    const auto facts = platform::DeviceFacts::current();
    DeviceInfo info;
    if (const auto model = facts->modelBytes()) info.deviceModel = modelText(*model);
    if (const auto uuid = facts->platformUuid()) info.deviceId = *uuid;
    info.osVersion = facts->osVersion();
    info.screens = screensText(facts->screens());
    return info;
}

const DeviceInfo& DeviceInfo::shared() {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    if (!shared.instance) {
        shared.instance.reset(new DeviceInfo(build()));
        if (!shared.instance->deviceId.empty()) shared.currentDeviceId = shared.instance->deviceId;
    }
    return *shared.instance;
}

std::string DeviceInfo::currentDeviceId() {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    return shared.currentDeviceId;
}

std::int64_t DeviceInfo::freeDiskSpace() {
    // On a first start the storage folder does not exist yet; its volume is
    // the one of the nearest folder above it that does.
    std::filesystem::path measured = storagePath();
    std::error_code error;
    while (!std::filesystem::exists(measured, error) && measured.has_relative_path()) measured = measured.parent_path();
    return freeDiskSpace(measured);
}

std::int64_t DeviceInfo::freeDiskSpace(const std::filesystem::path& path) {
    const auto bytes = platform::DeviceFacts::current()->freeDiskBytes(path);
    return bytes ? clampedBytes(*bytes) : 0;
}

std::int64_t DeviceInfo::freeMemory() {
    const auto statistics = platform::DeviceFacts::current()->memoryStatistics();
    if (!statistics) return 0;
    return clampedBytes(statistics->freeBytes + statistics->activeBytes + statistics->inactiveBytes +
                        statistics->speculativeBytes + statistics->wiredBytes);
}

void DeviceInfo::resetForTesting() {
    auto& shared = state();
    std::lock_guard lock(shared.mutex);
    if (shared.instance) shared.retired.push_back(std::move(shared.instance));
    shared.currentDeviceId.clear();
}

}  // namespace hexora
