#pragma once
// The game's facts, each written here once: its bundle identifier (also the
// name of its preference suite), its platform number at the update API (from
// the build's product facts), where its bundle and executable lie (built
// from the storage folder), the entry where the game records its process id,
// and the names of the files its validations use in the storage folder (or,
// for an update, in temp).
//
// Thread: any (storagePath() is). None of these fails.
#include "product/ProductFacts.hpp"
#include "services/internal/Paths.hpp"

#include <filesystem>

namespace hexora::GameProduct {

inline constexpr const char* BundleIdentifier = "com.tarq.hexora.mac.game";
/// The "platform" of the game's update-info requests, and of an ApiRequest by default.
inline constexpr int UpdatePlatform = ProductFacts::GameUpdatePlatform;
/// The game-suite entry where the running game records its process id.
inline constexpr const char* ProcessIdKey = "CLIENT_PROC_ID";
/// The broken-file list a validation of the game leaves.
inline constexpr const char* BrokenListName = "gameRetry.json";
/// The game's scheme as downloaded (gzip) and as unpacked, in the storage folder.
inline constexpr const char* SchemeArchiveName = "gameScheme.json.gz";
inline constexpr const char* SchemeName = "gameScheme.json";

/// The installed game bundle: storagePath()/"Hexora.app".
inline std::filesystem::path bundlePath() { return storagePath() / "Hexora.app"; }
/// Its executable: bundlePath()/"Contents/MacOS/Hexora".
inline std::filesystem::path executablePath() { return bundlePath() / "Contents" / "MacOS" / "Hexora"; }

}  // namespace hexora::GameProduct
