#pragma once
// Moving, copying and replacing files and folders, also between file systems.
//
// A move within one file system is a rename. When the two paths lie on
// different file systems (the launcher's backup in the user's data folder,
// the bundle on another mount), the item is copied with everything in it
// (symbolic links kept as links, permissions and modification times kept)
// and the source is deleted afterwards.
//
// Thread: any thread; nothing is shared. The caller makes sure no one else
// touches the paths while an operation runs.
#include <filesystem>
#include <string>

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

/// Copies the file, symbolic link or folder at `from` to `to` with everything
/// in it: links stay links, permissions and modification times are kept.
/// `to` must not exist and its parent folder must exist. Throws
/// std::filesystem::filesystem_error on failure; a partial copy is removed.
void copyItem(const std::filesystem::path& from, const std::filesystem::path& to);

/// Puts the file or symbolic link at `from` in the place of whatever file or
/// link stands at `to` (or at the free name `to`) in one rename, so `to` is
/// at every moment either the old item or the whole new one. Between file
/// systems the item is first copied to a temporary sibling of `to` (time and
/// permissions kept), that is renamed over `to`, and `from` is deleted. `to`
/// must not be a folder and its parent folder must exist.
/// Throws std::filesystem::filesystem_error on failure; `to` is then the old
/// item, `from` is intact, and no temporary sibling is left, except when
/// `from` cannot be deleted after `to` was replaced.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

/// The cross-file-system path of replaceFile (copy to a sibling, rename over,
/// delete), exposed so that it can be exercised on one file system. Same
/// contract as replaceFile.
void replaceFileByCopy(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace hexora::FileMove
