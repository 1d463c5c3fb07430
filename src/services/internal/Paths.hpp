#pragma once
// The fixed folders of the installation. Each cached path is computed on first
// use and kept for the life of the process, even if the bundle moves.
//
//   bundleRootPath()     the launcher's own ".app" bundle (platform/MainBundle.hpp)
//   storagePath()        bundleRootPath()/"storage": settings file, scheme files,
//                        broken-file lists, the temp folder and the game bundle
//   bundleParentPath()   the folder that holds the launcher bundle
//   applicationSupport() the user's application-support folder joined with
//                        the launcher bundle identifier (LauncherProduct.hpp),
//                        created on first use
//   tempPath()           storagePath()/"temp" (formed on each call, not cached)
//   executablePath()     the launcher's running executable (empty when the
//                        platform cannot tell); with a test bundle, the
//                        executable "Hexora" inside that bundle
//
// Thread: any thread; the cache is guarded. None of these fails.
#include <filesystem>
#include <optional>

namespace hexora {

std::filesystem::path bundleRootPath();
std::filesystem::path storagePath();
std::filesystem::path bundleParentPath();
/// Never fails: a folder that cannot be created is logged as an error
/// ("applicationSupportPath.mkpath() failed: ...") and returned all the same.
std::filesystem::path applicationSupport();
std::filesystem::path tempPath();
std::filesystem::path executablePath();

namespace Paths {

/// The platform's per-user application-support folder: $XDG_DATA_HOME when it
/// is an absolute path, else ~/.local/share.
std::filesystem::path userApplicationSupportFolder();

/// Tests: forget the cached paths and compute them from `bundleRoot` (and from
/// `applicationSupportFolder` in place of userApplicationSupportFolder(), when given).
void useBundleForTesting(std::filesystem::path bundleRoot,
                         std::optional<std::filesystem::path> applicationSupportFolder = std::nullopt);
/// Tests: forget the cached paths and any test bundle; the next use asks the platform again.
void resetForTesting();

}  // namespace Paths
}  // namespace hexora
