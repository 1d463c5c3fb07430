#pragma once
// The small file operations every area uses, written once: existence and
// type tests that never follow a symbolic link, writing a whole buffer,
// replacing a file atomically through a temporary sibling, deleting a tree
// (these from platform/FilePrimitives), opening a file for reading only when
// it is a regular file (an open that cannot block on a pipe or a device), and
// the containment tests that keep work inside a folder.
//
// Thread: any thread; each call works on the paths it is given. Nothing here
// throws (but the one removeAll that says so): failures are results, with the
// system's reason where one is asked.
#include "platform/FileDescriptor.hpp"
#include "platform/FilePrimitives.hpp"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace hexora::FileOps {

/// True when `path` itself is a regular file; a link (to anything) is not.
bool isRegularFile(const std::filesystem::path& path) noexcept;

/// True when `path` itself is a folder; a link (to anything) is not.
bool isFolder(const std::filesystem::path& path) noexcept;

// The primitives shared with the platform layers (see platform/FilePrimitives.hpp).
using platform::FilePrimitives::createTemporarySibling;
using platform::FilePrimitives::freeSiblingName;
using platform::FilePrimitives::itemExists;
using platform::FilePrimitives::readToEnd;
using platform::FilePrimitives::removeAll;
using platform::FilePrimitives::renameItem;
using platform::FilePrimitives::replaceAtomically;
using platform::FilePrimitives::syncFolder;
using platform::FilePrimitives::temporarySiblingsOf;
using platform::FilePrimitives::TemporaryFile;
using platform::FilePrimitives::writeAll;

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
