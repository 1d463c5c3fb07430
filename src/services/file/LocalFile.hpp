#pragma once
// The file rules shared by the launcher's local JSON files (the settings file
// and the scheme files): such a file is read only when its path is a non-empty
// regular file; a folder or an empty file in its place is removed and the
// parent folder made, so the next writer finds a clean spot.
//
// Thread: any thread; each call works on the path it is given. Nothing here
// throws; failures are results (and, for discard, a warning log line).
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace hexora::LocalFile {

/// True when `path` (symbolic links followed) is a regular file of at least one byte.
bool isNonEmptyRegularFile(const std::filesystem::path& path);

/// The whole content of the regular file at `path` (links followed), or
/// nullopt with `error` set when it cannot be read. Anything but a regular
/// file is refused before it is read (a pipe or a device never blocks here).
/// A file longer than `maxBytes` gives std::errc::file_too_large after
/// reading at most one chunk past the bound.
std::optional<std::string> readAll(const std::filesystem::path& path, std::error_code& error,
                                   std::uintmax_t maxBytes = std::numeric_limits<std::uintmax_t>::max());

/// Removes whatever is at `path` (a folder with its contents) and creates the
/// parent folder with intermediate folders. On failure logs the warning
/// "Failed to delete invalid setting file or create directory: <reason>" and
/// returns false.
bool discardAndMakeParent(const std::filesystem::path& path);

}  // namespace hexora::LocalFile
