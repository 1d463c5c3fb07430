#pragma once
// The sample game (tools/sample-game) for tests: where the built bundle is,
// and copies of it laid out in a storage folder as "<storage>/Hexora.app".
// The game's settings are environment variables (see tools/sample-game), so
// tests that start it set them in their own environment (ScopedEnv) first.
#include <filesystem>
#include <optional>
#include <string>

namespace hexora::test {

/// The bundle built into the build tree (…/tools/sample-game/Hexora.app).
std::filesystem::path sampleGameBundle();

/// Copies the built bundle to `storage`/Hexora.app (replacing one there) and,
/// when given, writes `version` into the copy's Info.plist. Returns the copy's
/// executable, `storage`/Hexora.app/Contents/MacOS/Hexora.
std::filesystem::path layOutSampleGame(const std::filesystem::path& storage,
                                       const std::optional<std::string>& version = std::nullopt);

}  // namespace hexora::test
