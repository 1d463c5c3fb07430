#include "app/LoadReport.hpp"

#include "platform/DeviceFacts.hpp"
#include "platform/InfoPlist.hpp"
#include "services/internal/DeviceInfo.hpp"
#include "services/internal/FileURL.hpp"
#include "services/internal/Paths.hpp"

#include <limits>

namespace hexora::app {
namespace {
// The kernel's free pages alone, in bytes; 0 when unreadable.
std::int64_t freePagesBytes() {
    const auto statistics = platform::DeviceFacts::current()->memoryStatistics();
    if (!statistics) return 0;
    constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(statistics->freeBytes, most));
}
}  // namespace

LoadReport LoadReport::collect() {
    const auto& device = DeviceInfo::shared();
    LoadReport report;
    report.deviceId = device.deviceId;
    report.os = device.osVersion;
    report.model = device.deviceModel;
    report.screens = device.screens;
    report.freeSpaceMB = grouped(DeviceInfo::freeDiskSpace() >> 20);
    report.freeMemoryMB = grouped(freePagesBytes() >> 20);
    report.memoryGB = grouped(DeviceInfo::freeMemory() >> 30);
    const auto bundle = bundleRootPath();
    const auto info = platform::InfoPlist::readOfBundle(bundle);
    auto text = [&](const char* key) { return info ? info->text(key).value_or("-") : std::string("-"); };
    report.appId = text("CFBundleIdentifier");
    report.appVersion = text("CFBundleShortVersionString");
    report.appPath = fileURLText(bundle, true);
    return report;
}

Rum::LogData LoadReport::record() const {
    Rum::LogData record("ViewController", "didLoad", "Start", "INFO");
    record.addData("OS", os)
        .addData("Model", model)
        .addData("Screens", screens)
        .addData("FreeSpace", freeSpaceMB + "MB")
        .addData("Ram", freeMemoryMB + "MB/" + memoryGB + "GB")
        .addData("AppId", appId)
        .addData("AppVer", appVersion)
        .addData("AppPath", appPath);
    return record;
}

std::string LoadReport::logLine() const {
    return "[" + deviceId + "] [" + os + "] [" + model + "] " + screens + " " + freeSpaceMB + "MB " + freeMemoryMB +
           "MB " + memoryGB + "GB [" + appId + " : " + appVersion + " : " + appPath + "]";
}

std::string LoadReport::grouped(std::int64_t value) {
    const bool negative = value < 0;
    std::string digits = std::to_string(value);
    if (negative) digits.erase(0, 1);
    std::string out;
    const auto length = digits.size();
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

}  // namespace hexora::app
