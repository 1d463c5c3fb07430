#pragma once
// The launcher's own facts, each written here once: its bundle identifier
// (also the name of its application-support folder) and its platform number
// at the update API (both from the build's product facts, which the bundle's
// Info.plist shares), the entry of the game's preference suite where it
// records its process id, and the names of the files its validations use in
// the storage folder (or, for an update, in temp). Its bundle and executable
// are bundleRootPath() and executablePath() (Paths.hpp).
//
// Thread: any; constants only.
#include "product/ProductFacts.hpp"

namespace hexora::LauncherProduct {

inline constexpr const char* BundleIdentifier = ProductFacts::LauncherBundleIdentifier;
/// The "platform" of the launcher's update-info requests.
inline constexpr int UpdatePlatform = ProductFacts::LauncherUpdatePlatform;
/// The game-suite entry holding the running launcher's process id.
inline constexpr const char* ProcessIdKey = "LAUNCHER_PROC_ID";
/// The broken-file list a validation of the launcher leaves.
inline constexpr const char* BrokenListName = "launcherRetry.json";
/// The launcher's scheme as downloaded (gzip) and as unpacked, in the storage folder.
inline constexpr const char* SchemeArchiveName = "launcherScheme.json.gz";
inline constexpr const char* SchemeName = "launcherScheme.json";
/// The file of the lock that one running launcher holds, in its
/// application-support folder (see LCheckProcess).
inline constexpr const char* InstanceLockName = "instance.lock";

}  // namespace hexora::LauncherProduct
