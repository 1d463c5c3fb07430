#pragma once
// The file operations every area uses, written once, on the FileSystem layer.
//
// File work has two levels. platform/FileSystem is the lower one: the system
// calls whose failures the update steps must survive, each one call, behind a
// layer that a test can make fail. This is the upper one: whole operations
// made of those calls (write a buffer, replace a file atomically, swap two
// folders, delete, copy or move a tree, also between file systems), and the
// tests and checks that make them safe (item types that never follow a link,
// opening only regular files, containment in a folder). Code outside the
// platform layer calls these or FileSystem; a test that fails a FileSystem
// call fails every operation here that makes it.
//
// Thread: any thread; each call works on the paths it is given, nothing is
// shared. The caller makes sure no one else touches the paths while an
// operation runs. Failures are results (with the system's reason where one
// is asked) unless a function says it throws std::filesystem::filesystem_error.
#include "platform/FileDescriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>
#include <vector>

namespace hexora::FileOps {

// ---- What stands at a path (a link is never followed) -------------------

/// True when anything is at `path`: a file, a folder, a link (also one whose
/// target is missing).
bool itemExists(const std::filesystem::path& path) noexcept;

/// True when `path` itself is a regular file; a link (to anything) is not.
bool isRegularFile(const std::filesystem::path& path) noexcept;

/// True when `path` itself is a folder; a link (to anything) is not.
bool isFolder(const std::filesystem::path& path) noexcept;

// ---- Containment ---------------------------------------------------------

/// True when `relative` names a place below the folder it is joined to: not
/// empty, not absolute, and without any ".." component.
bool staysInside(const std::filesystem::path& relative) noexcept;

/// `path` with every link resolved, when that lies inside `root` (itself
/// resolved) or is `root`; nullopt when it lies outside, or when `path` or
/// `root` does not exist. Used before opening or deleting something that
/// must not be reached through a link pointing out of the folder.
std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& root,
                                                   const std::filesystem::path& path) noexcept;

// ---- Descriptors ---------------------------------------------------------

/// Opens `path` for reading when it is a regular file (links followed). Any
/// other kind of item is refused before it is opened (EISDIR for a folder,
/// EINVAL for a pipe, socket or device); the open itself never blocks, and
/// the type is checked again on the open descriptor. An invalid descriptor
/// with `error` set on failure.
FileDescriptor openRegularFile(const std::filesystem::path& path, std::error_code& error) noexcept;

/// Writes every byte of `bytes` to `fd`, resuming after short writes and
/// interruptions. False on the first error (errno tells which).
bool writeAll(int fd, std::string_view bytes) noexcept;

/// Reads `fd` to its end, resuming after interruptions. nullopt with `error`
/// set when a read fails, or with file_too_large once more than `maxBytes`
/// came (a file that grows while it is read is refused as a large one is).
std::optional<std::string> readToEnd(int fd, std::uintmax_t maxBytes, std::error_code& error);

// ---- Temporary siblings and atomic replacement ---------------------------

/// A new, empty file next to `target`, created under a unique name that no
/// other caller gets (O_EXCL), permissions 0644.
struct TemporaryFile {
    FileDescriptor descriptor;
    std::filesystem::path path;
};
/// nullopt with `error` set when the file cannot be created (e.g. the folder is missing).
std::optional<TemporaryFile> createTemporarySibling(const std::filesystem::path& target, std::error_code& error) noexcept;

/// A name next to `target`, in the same scheme as createTemporarySibling
/// (hidden, ".<name>.tmp-" and six random letters or digits), at which
/// nothing stands now: for a temporary folder or link. The caller creates
/// the item exclusively and picks another name when one appeared meanwhile.
std::filesystem::path freeSiblingName(const std::filesystem::path& target);

/// The items next to `target` named in that scheme (".<name>.tmp-" and six
/// letters or digits): what a temporary-item call made for `target` and did
/// not take away, because the process was killed or is still at work. The
/// caller knows which; only it may remove them. Empty when the folder cannot
/// be listed.
std::vector<std::filesystem::path> temporarySiblingsOf(const std::filesystem::path& target) noexcept;

/// Replaces the file at `path` with `bytes` so that the path always holds
/// either the old or the complete new content: the bytes go to a temporary
/// sibling, are flushed to disk, the sibling is renamed over `path` and the
/// folder is synced so the rename lasts. The new file gets `mode` when given;
/// else an existing file's permission bits are kept (0644 for a new one). A
/// link at `path` is replaced, not written through. False, leaving `path`
/// untouched and no temporary file behind, when any step fails.
bool replaceAtomically(const std::filesystem::path& path, std::string_view bytes,
                       std::optional<mode_t> mode = std::nullopt) noexcept;

/// Flushes the folder's entries (a rename in it) to disk; failures are ignored.
void syncFolder(const std::filesystem::path& folder) noexcept;

// ---- Renaming and swapping -----------------------------------------------

/// Renames `from` to `to` (rename(2): an item at `to` is replaced). False
/// with `error` set on failure, nothing changed.
bool renameItem(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) noexcept;
/// renameItem() that throws on failure.
void renameItem(const std::filesystem::path& from, const std::filesystem::path& to);

enum class ExchangeResult {
    Exchanged,     ///< the two items have traded places
    NotSupported,  ///< this system or file system cannot swap them (or they lie on two file systems); nothing changed
};
/// Swaps the items (files, links or folders) at `first` and `second` in one
/// step: afterwards each path names what the other named before, and no
/// observer, not even one that outlives a killed process, ever sees either
/// path empty. Both must exist. A kernel or file system without the swap
/// (ENOSYS, EINVAL, EOPNOTSUPP) and two file systems (EXDEV) give
/// NotSupported; any other failure throws. Nothing has changed unless
/// Exchanged.
ExchangeResult exchange(const std::filesystem::path& first, const std::filesystem::path& second);

// ---- Trees: deleting, copying, moving ------------------------------------

/// Deletes the item at `path` and, for a folder, everything in it, links
/// removed and never followed; nothing at `path` is no error. Stops at the
/// first item that cannot be deleted (`error` set, false), leaving the rest.
bool removeAll(const std::filesystem::path& path, std::error_code& error) noexcept;
/// removeAll() that throws on failure.
void removeAll(const std::filesystem::path& path);

/// Copies the file, symbolic link or folder at `from` to `to` with everything
/// in it: links stay links, permissions and modification times are kept.
/// `to` must not exist and its parent folder must exist. Throws on failure;
/// a partial copy is removed.
void copyItem(const std::filesystem::path& from, const std::filesystem::path& to);

/// Moves the file, symbolic link or folder at `from` to `to`: a rename within
/// one file system; between two (the launcher's backup in the user's data
/// folder, the bundle on another mount) a copy as copyItem makes, then the
/// source deleted. `to` must not exist (a move never replaces an item) and
/// its parent folder must exist. Throws on failure; then the source is
/// intact and nothing is left at `to`:
/// - a copy that fails part way is removed again;
/// - a source that cannot be deleted completely after the copy is filled in
///   again from the copy, and the copy is removed.
void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);

/// The cross-file-system path of moveItem (copy, then delete), exposed so that
/// it can be exercised on one file system. Same contract as moveItem.
void copyThenDelete(const std::filesystem::path& from, const std::filesystem::path& to);

/// Puts the file or symbolic link at `from` in the place of whatever file or
/// link stands at `to` (or at the free name `to`) in one rename, so `to` is
/// at every moment either the old item or the whole new one. Between file
/// systems the item is first copied to a temporary sibling of `to` (time and
/// permissions kept), that is renamed over `to`, and `from` is deleted. `to`
/// must not be a folder and its parent folder must exist.
/// Throws on failure; `to` is then the old item, `from` is intact, and no
/// temporary sibling is left, except when `from` cannot be deleted after `to`
/// was replaced.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

/// The cross-file-system path of replaceFile (copy to a sibling, rename over,
/// delete), exposed so that it can be exercised on one file system. Same
/// contract as replaceFile.
void replaceFileByCopy(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace hexora::FileOps
