#pragma once
// Reads text entries of a bundle's Info.plist (XML or binary property list).
// Thread: any; each call reads the file afresh. Nothing here throws.
#include <filesystem>
#include <optional>
#include <string>

namespace hexora::platform::InfoPlist {

/// The text value of the top-level `key` of the property list at `path`;
/// nullopt when the file is missing or unreadable, is no dictionary, lacks the
/// key, or the value is not text.
std::optional<std::string> readString(const std::filesystem::path& path, const std::string& key);

}  // namespace hexora::platform::InfoPlist
