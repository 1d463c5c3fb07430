#include "platform/SystemDeviceFacts.hpp"

#include <sys/statvfs.h>
#include <sys/utsname.h>

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

std::optional<std::string> kernelRelease() {
    utsname names{};
    if (uname(&names) != 0) return std::nullopt;
    return std::string(names.release);
}
}  // namespace

std::optional<std::string> uuidFromMachineId(std::string_view machineId) {
    machineId = trimmed(machineId);
    if (machineId.size() != 32) return std::nullopt;
    std::string uuid;
    for (std::size_t i = 0; i < machineId.size(); ++i) {
        const auto digit = static_cast<unsigned char>(machineId[i]);
        if (!std::isxdigit(digit)) return std::nullopt;
        if (i == 8 || i == 12 || i == 16 || i == 20) uuid += '-';
        uuid += static_cast<char>(std::toupper(digit));
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
    return uuidFromMachineId(*machineId);
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
