#pragma once
// One item of a bundle folder as a package records it: a folder, a regular
// file or a symbolic link, at a path relative to the bundle, with its mode.
//
// Thread: any thread; plain values and functions of the file system.
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hexora::tools {

struct BundleEntry {
    enum class Kind { Folder, File, Link };

    Kind kind = Kind::File;
    /// Relative to the bundle, "/"-separated ("Contents/MacOS/Hexora").
    std::filesystem::path relative;
    std::filesystem::path absolute;
    /// Permission bits (the type bits are not included).
    mode_t permissions = 0;
    /// The target text of a link.
    std::string linkTarget;
    /// The SHA-1 text of what a file (or a link to a file) holds; nullopt for
    /// folders and links that do not end at a regular file.
    std::optional<std::string> hash;
};

/// Every item below `bundle`, in path order, links not followed. Throws
/// std::runtime_error when `bundle` is no folder, an item cannot be read, or
/// an item is neither folder, file nor link.
std::vector<BundleEntry> listBundle(const std::filesystem::path& bundle);

/// True when `entry` stands unchanged in `base` (the entries of an older
/// bundle): same kind, same permissions, same content or link target.
bool isUnchanged(const BundleEntry& entry, const std::vector<BundleEntry>& base);

}  // namespace hexora::tools
