#pragma once
// Whether a path below a folder stays inside that folder once every symbolic
// link on the way is followed, as the system would follow them when the path
// is opened. Used after an extraction, when all of a package's links exist:
// links that are harmless one by one can lead outside together (a link
// through another link, or a link that a later one redirects).
//
// Thread: any thread; reads the disk (lstat, readlink) and changes nothing.
#include <filesystem>

namespace hexora::Archive::TreeContainment {

/// True when `relative`, taken below `root` (a canonical folder: no links,
/// no "." or ".."), resolves inside `root` or to `root` itself. A link at
/// the end is followed too. Parts that do not exist are taken as written
/// ("missing/.." is where "missing" would be). An absolute link target counts
/// as inside only when it lies below `root`; more than 40 links on the way
/// (a loop) count as outside.
bool resolvesInside(const std::filesystem::path& root, const std::filesystem::path& relative);

}  // namespace hexora::Archive::TreeContainment
