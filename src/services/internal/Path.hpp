#pragma once
// Operations on single paths of the file system.
//
// Thread: any thread; they touch only the given path.
#include <cstdint>
#include <filesystem>

namespace hexora {

namespace Path {

inline constexpr const char* ClearErrorDomain = "Path.clear";

/// Leaves an empty folder at `path`: a folder there is deleted with all its
/// contents, then the folder is created with any missing parents.
/// Throws ServiceError (domain "Path.clear", code 0, reason "path is not a
/// Directory : " + path) when something other than a folder is at the path,
/// which is then left alone; throws std::filesystem::filesystem_error when
/// deleting or creating fails.
void clear(const std::filesystem::path& path);

}  // namespace Path

/// The size in bytes of the regular file at `path` (symbolic links followed);
/// 0 for a missing path, a folder or anything unreadable.
std::int64_t fileSize(const std::filesystem::path& path) noexcept;

}  // namespace hexora
