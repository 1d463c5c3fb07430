#pragma once
// The small file operations every area uses, written once: existence and
// type tests that never follow a symbolic link, writing a whole buffer,
// replacing a file atomically through a temporary sibling, opening a file for
// reading only when it is a regular file (an open that cannot block on a pipe
// or a device), and the containment tests that keep work inside a folder.
//
// Thread: any thread; each call works on the paths it is given. Nothing here
// throws: failures are results, with the system's reason where one is asked.
#include "services/internal/FileDescriptor.hpp"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace hexora::FileOps {

/// True when anything is at `path`: a file, a folder, a link (also one whose
/// target is missing). A link is not followed.
bool itemExists(const std::filesystem::path& path) noexcept;

/// True when `path` itself is a regular file; a link (to anything) is not.
bool isRegularFile(const std::filesystem::path& path) noexcept;

/// True when `path` itself is a folder; a link (to anything) is not.
bool isFolder(const std::filesystem::path& path) noexcept;

/// Writes every byte of `bytes` to `fd`, resuming after short writes and
/// interruptions. False on the first error (errno tells which).
bool writeAll(int fd, std::string_view bytes) noexcept;

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

/// Replaces the file at `path` with `bytes` so that the path always holds
/// either the old or the complete new content: the bytes go to a temporary
/// sibling, are flushed to disk, the sibling is renamed over `path` and the
/// folder is synced so the rename lasts. An existing file's permission bits
/// are kept (0644 for a new one). A link at `path` is replaced, not written
/// through. False, leaving `path` untouched and no temporary file behind,
/// when any step fails.
bool replaceAtomically(const std::filesystem::path& path, std::string_view bytes) noexcept;

/// Flushes the folder's entries (a rename in it) to disk; failures are ignored.
void syncFolder(const std::filesystem::path& folder) noexcept;

/// Opens `path` for reading when it is a regular file (links followed). Any
/// other kind of item is refused before it is opened (EISDIR for a folder,
/// EINVAL for a pipe, socket or device); the open itself never blocks, and
/// the type is checked again on the open descriptor. An invalid descriptor
/// with `error` set on failure.
FileDescriptor openRegularFile(const std::filesystem::path& path, std::error_code& error) noexcept;

/// True when `relative` names a place below the folder it is joined to: not
/// empty, not absolute, and without any ".." component.
bool staysInside(const std::filesystem::path& relative) noexcept;

/// `path` with every link resolved, when that lies inside `root` (itself
/// resolved) or is `root`; nullopt when it lies outside, or when `path` or
/// `root` does not exist. Used before opening or deleting something that
/// must not be reached through a link pointing out of the folder.
std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& root,
                                                   const std::filesystem::path& path) noexcept;

}  // namespace hexora::FileOps
