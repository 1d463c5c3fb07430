#pragma once
// Moving files and folders, also between file systems.
//
// A move within one file system is a rename. When the two paths lie on
// different file systems (the launcher's backup in the user's data folder,
// the bundle on another mount), the item is copied with everything in it
// (symbolic links kept as links, permissions and modification times kept)
// and the source is deleted afterwards.
//
// Thread: any thread; nothing is shared. The caller makes sure no one else
// touches either path while the move runs.
#include <filesystem>

namespace hexora::FileMove {

/// Moves the file, symbolic link or folder at `from` to `to`.
/// `to` must not exist (a move never replaces an item) and its parent folder
/// must exist. Throws std::filesystem::filesystem_error on failure; then the
/// source is intact and nothing is left at `to`:
/// - a copy that fails part way is removed again;
/// - a source that cannot be deleted completely after the copy is filled in
///   again from the copy, and the copy is removed.
void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);

/// The cross-file-system path of moveItem (copy, then delete), exposed so that
/// it can be exercised on one file system. Same contract as moveItem.
void copyThenDelete(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace hexora::FileMove
