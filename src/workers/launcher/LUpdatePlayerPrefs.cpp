#include "workers/launcher/LUpdatePlayerPrefs.hpp"

#include "platform/Clock.hpp"
#include "platform/ProcessTable.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Dates.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"

#include <openssl/rand.h>

#include <array>
#include <cstdio>
#include <functional>
#include <random>
#include <utility>

namespace hexora::Worker::Launcher {
namespace {
std::array<unsigned char, 16> randomBytes() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        // The system's entropy source as a fallback; an identifier, not a secret.
        std::random_device device;
        for (auto& byte : bytes) byte = static_cast<unsigned char>(device());
    }
    return bytes;
}
}  // namespace

std::string newUuidString() {
    auto bytes = randomBytes();
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
    return text;
}

void LUpdatePlayerPrefs::work() {
    Log::info("Updating player prefs...");
    const std::pair<const char*, std::function<std::string()>> entries[] = {
        {LauncherProduct::ProcessIdKey, [] { return std::to_string(platform::ProcessTable::current()->ownProcessIdentifier()); }},
        {"DATE", [] { return formatDate(platform::Clock::current()->now(), "UTC", "MM/dd/yyyy HH:mm:ss"); }},
        {"GUID", [] { return newUuidString(); }},
        {"PROD_DIR", [] { return bundleRootPath().string(); }},
    };
    for (const auto& [key, value] : entries) PlayerPrefsHelper::agent().setString(key, value());
}

}  // namespace hexora::Worker::Launcher
