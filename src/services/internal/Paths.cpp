#include "services/internal/Paths.hpp"

#include "platform/MainBundle.hpp"
#include "services/internal/LauncherProduct.hpp"
#include "services/internal/Log.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace hexora {
namespace fs = std::filesystem;
namespace {

struct Cache {
    std::optional<fs::path> bundleRootOverride;
    std::optional<fs::path> applicationSupportFolderOverride;
    std::optional<fs::path> bundleRoot;
    std::optional<fs::path> applicationSupportPath;  // applicationSupport()'s cached value
    std::optional<fs::path> executable;
};

std::mutex& cacheMutex() {
    static std::mutex mutex;
    return mutex;
}

Cache& cache() {
    static Cache value;
    return value;
}

/// A path without trailing separators, so that its last component is the bundle itself.
fs::path withoutTrailingSeparator(fs::path path) {
    while (path.has_relative_path() && path.filename().empty()) path = path.parent_path();
    return path;
}

fs::path bundleRootLocked(Cache& values) {
    if (!values.bundleRoot) {
        values.bundleRoot = withoutTrailingSeparator(
            values.bundleRootOverride ? *values.bundleRootOverride : platform::mainBundlePath());
    }
    return *values.bundleRoot;
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

}  // namespace

fs::path bundleRootPath() {
    std::lock_guard lock(cacheMutex());
    return bundleRootLocked(cache());
}

fs::path storagePath() { return bundleRootPath() / "storage"; }

fs::path bundleParentPath() { return bundleRootPath().parent_path(); }

fs::path tempPath() { return storagePath() / "temp"; }

fs::path executablePath() {
    std::lock_guard lock(cacheMutex());
    Cache& values = cache();
    if (!values.executable) {
        values.executable = values.bundleRootOverride
                                ? bundleRootLocked(values) / "Contents" / "MacOS" / "Hexora"
                                : platform::executablePath();
    }
    return *values.executable;
}

fs::path applicationSupport() {
    std::lock_guard lock(cacheMutex());
    Cache& values = cache();
    if (values.applicationSupportPath) return *values.applicationSupportPath;

    const fs::path folder = values.applicationSupportFolderOverride ? *values.applicationSupportFolderOverride
                                                                    : Paths::userApplicationSupportFolder();
    if (folder.string().find(LauncherProduct::BundleIdentifier) != std::string::npos) {
        values.applicationSupportPath = folder;
        return folder;
    }
    const fs::path path = folder / LauncherProduct::BundleIdentifier;
    values.applicationSupportPath = path;
    std::error_code error;
    if (!fs::exists(path, error)) {
        fs::create_directories(path, error);
        if (error) Log::error("applicationSupportPath.mkpath() failed: " + error.message());
    }
    return path;
}

namespace Paths {

fs::path userApplicationSupportFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        fs::path path(data);
        if (path.is_absolute()) return path;
    }
    return homeFolder() / ".local" / "share";
}

void useBundleForTesting(fs::path bundleRoot, std::optional<fs::path> applicationSupportFolder) {
    std::lock_guard lock(cacheMutex());
    cache() = Cache{std::move(bundleRoot), std::move(applicationSupportFolder), std::nullopt, std::nullopt, std::nullopt};
}

void resetForTesting() {
    std::lock_guard lock(cacheMutex());
    cache() = Cache{};
}

}  // namespace Paths
}  // namespace hexora
