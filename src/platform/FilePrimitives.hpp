#pragma once
// The file primitives the platform layers and the services share, written
// once, on the FileSystem layer: writing a whole buffer, a temporary sibling,
// replacing a file atomically (the file and its folder flushed to disk), and
// deleting a tree item by item. services/internal/FileOps offers them under
// its own name beside the operations only the services need.
//
// Thread: any thread; each call works on the paths it is given. Nothing here
// throws unless it says so: failures are results, with the system's reason
// where one is asked.
#include "platform/FileDescriptor.hpp"

#include <filesystem>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>
#include <vector>

namespace hexora::platform::FilePrimitives {

/// True when anything is at `path`: a file, a folder, a link (also one whose
/// target is missing). A link is not followed.
bool itemExists(const std::filesystem::path& path) noexcept;

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

/// Reads `fd` to its end, resuming after interruptions. nullopt with `error`
/// set when a read fails, or with file_too_large once more than `maxBytes`
/// came (a file that grows while it is read is refused as a large one is).
std::optional<std::string> readToEnd(int fd, std::uintmax_t maxBytes, std::error_code& error);

/// Renames `from` to `to` through the FileSystem layer (rename(2): an item at
/// `to` is replaced). False with `error` set on failure, nothing changed.
bool renameItem(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) noexcept;
/// renameItem() that throws std::filesystem::filesystem_error on failure.
void renameItem(const std::filesystem::path& from, const std::filesystem::path& to);

/// Flushes the folder's entries (a rename in it) to disk; failures are ignored.
void syncFolder(const std::filesystem::path& folder) noexcept;

/// Deletes the item at `path` and, for a folder, everything in it, links
/// removed and never followed; nothing at `path` is no error. Stops at the
/// first item that cannot be deleted (`error` set, false), leaving the rest.
bool removeAll(const std::filesystem::path& path, std::error_code& error) noexcept;
/// removeAll() that throws std::filesystem::filesystem_error on failure.
void removeAll(const std::filesystem::path& path);

}  // namespace hexora::platform::FilePrimitives
