#pragma once
// The rules that keep a patch inside the installation, whatever a package or
// an earlier one put there:
// - a package's links stay inside its own bundle: every symbolic link below
//   the unpacked Contents (and Contents itself) resolves, with every link on
//   the way followed, inside the package's Hexora.app; a package that fails
//   this is refused before anything is installed;
// - a patch never deletes, moves or writes through a link in the
//   installation: the folder that receives a target, links resolved, lies
//   inside the installed folder, and the installed folder is itself a folder
//   (no link);
// - inside the folder the launcher owns (the storage folder for the game),
//   whatever is not a folder where the bundle's folders belong (a file, a
//   link) is the launcher's own to replace; it is removed, never followed.
//
// Thread: the worker thread, inside a patch's work(). Failures throw
// std::runtime_error (a refusal, naming the item) or
// std::filesystem::filesystem_error.
#include <filesystem>

namespace hexora::Worker::Common::PatchGuard {

/// Throws unless `contents` is a folder and every link below it resolves
/// inside `contents`'s parent folder (the bundle).
void requireLinksInsideBundle(const std::filesystem::path& contents);

/// Throws unless the link at `contents`/`relative` resolves inside the bundle
/// that holds `contents`.
void requireLinkInsideBundle(const std::filesystem::path& contents, const std::filesystem::path& relative);

/// Throws unless `folder` is a folder itself (not a link to one).
void requireFolder(const std::filesystem::path& folder);

/// Throws unless the folder that will hold `target` (its nearest existing
/// ancestor, links resolved) lies inside `root` or is `root`. A missing or
/// dangling link on the way counts as outside.
void requireParentInside(const std::filesystem::path& root, const std::filesystem::path& target);

/// Removes whatever is not a folder at `path`'s ancestors below `ownedRoot`
/// (from the top down), so that `path`'s parent can be created as folders.
/// Nothing happens when `ownedRoot` is empty or does not hold `path`.
void clearWayBelow(const std::filesystem::path& ownedRoot, const std::filesystem::path& path);

/// Throws unless each of `path`'s ancestors below `ownedRoot` is a folder
/// (not a link). Nothing is checked when `ownedRoot` is empty or does not
/// hold `path`.
void requireFoldersBelow(const std::filesystem::path& ownedRoot, const std::filesystem::path& path);

}  // namespace hexora::Worker::Common::PatchGuard
