#include "platform/SystemDeviceFacts.hpp"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>

namespace hexora::platform {
namespace {
std::optional<std::string> readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return content.str();
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// An os-release value: double or single quotes removed, backslash escapes
// resolved inside double quotes (as the shell does).
std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        return std::string(value.substr(1, value.size() - 2));
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            out += value[i];
        }
        return out;
    }
    return std::string(value);
}

// The 16 bytes of a machine id's 32 hexadecimal digits.
std::optional<std::array<unsigned char, 16>> machineIdBytes(std::string_view machineId) {
    std::array<unsigned char, 16> bytes{};
    if (machineId.size() != 2 * bytes.size()) return std::nullopt;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto pair = machineId.substr(2 * i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1])))
            return std::nullopt;
        std::from_chars(pair.data(), pair.data() + 2, bytes[i], 16);
    }
    return bytes;
}

std::optional<std::string> kernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return std::nullopt;
    return std::string(names.release);
}
}  // namespace

std::optional<std::string> applicationDeviceId(std::string_view machineId, std::string_view applicationId) {
    const auto key = machineIdBytes(trimmed(machineId));
    if (!key) return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), key->data(), static_cast<int>(key->size()),
             reinterpret_cast<const unsigned char*>(applicationId.data()), applicationId.size(), digest,
             &length) == nullptr ||
        length < 16) {
        return std::nullopt;
    }
    digest[6] = static_cast<unsigned char>((digest[6] & 0x0F) | 0x40);  // version 4
    digest[8] = static_cast<unsigned char>((digest[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static const char* const hex = "0123456789ABCDEF";
    std::string uuid;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) uuid += '-';
        uuid += hex[digest[i] >> 4];
        uuid += hex[digest[i] & 0x0F];
    }
    return uuid;
}

std::optional<std::string> prettyNameFromOsRelease(std::string_view osRelease) {
    std::istringstream lines{std::string(osRelease)};
    std::string line;
    while (std::getline(lines, line)) {
        const std::string_view entry = trimmed(line);
        constexpr std::string_view key = "PRETTY_NAME=";
        if (entry.substr(0, key.size()) != key) continue;
        std::string value = unquoted(trimmed(entry.substr(key.size())));
        if (value.empty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::optional<MemoryStatistics> memoryFromMeminfo(std::string_view meminfo) {
    std::map<std::string, std::uint64_t, std::less<>> bytes;
    std::istringstream lines{std::string(meminfo)};
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string_view rest = trimmed(std::string_view(line).substr(colon + 1));
        std::uint64_t amount = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), amount);
        if (error != std::errc()) continue;
        const std::string_view unit = trimmed(std::string_view(end, rest.data() + rest.size() - end));
        if (unit == "kB") amount *= 1024;
        else if (!unit.empty()) continue;
        bytes.emplace(line.substr(0, colon), amount);
    }
    const auto value = [&](std::string_view name) -> std::optional<std::uint64_t> {
        const auto found = bytes.find(name);
        if (found == bytes.end()) return std::nullopt;
        return found->second;
    };
    const auto free = value("MemFree");
    const auto active = value("Active");
    const auto inactive = value("Inactive");
    if (!free || !active || !inactive) return std::nullopt;
    MemoryStatistics statistics;
    statistics.freeBytes = *free;
    statistics.activeBytes = *active;
    statistics.inactiveBytes = *inactive;
    statistics.wiredBytes = value("Unevictable").value_or(0);
    return statistics;
}

SystemDeviceFacts::SystemDeviceFacts() : SystemDeviceFacts(ScreenSupplier{}, Files{}) {}

SystemDeviceFacts::SystemDeviceFacts(ScreenSupplier screens) : SystemDeviceFacts(std::move(screens), Files{}) {}

SystemDeviceFacts::SystemDeviceFacts(ScreenSupplier screens, Files files)
    : screens_(std::move(screens)), files_(std::move(files)) {}

std::optional<std::string> SystemDeviceFacts::platformUuid() {
    const auto machineId = readWhole(files_.machineId);
    if (!machineId) return std::nullopt;
    return applicationDeviceId(*machineId, ProductFacts::LauncherBundleIdentifier);
}

std::optional<std::string> SystemDeviceFacts::modelBytes() { return readWhole(files_.productName); }

std::string SystemDeviceFacts::osVersion() {
    std::optional<std::string> pretty;
    for (const auto& path : files_.osRelease) {
        if (const auto content = readWhole(path)) {
            pretty = prettyNameFromOsRelease(*content);
            break;
        }
    }
    std::string version = pretty.value_or("Linux");
    if (const auto release = kernelRelease()) version += " (kernel " + *release + ")";
    return version;
}

std::vector<ScreenFrame> SystemDeviceFacts::screens() {
    if (!screens_) return {};
    return screens_();
}

std::optional<std::uint64_t> SystemDeviceFacts::freeDiskBytes(const std::filesystem::path& path) {
    struct statvfs volume {};
    if (path.empty() || statvfs(path.c_str(), &volume) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
}

std::optional<MemoryStatistics> SystemDeviceFacts::memoryStatistics() {
    const auto content = readWhole(files_.meminfo);
    if (!content) return std::nullopt;
    return memoryFromMeminfo(*content);
}

}  // namespace hexora::platform
