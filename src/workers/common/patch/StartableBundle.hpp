#pragma once
// What a bundle needs to start: an executable regular file at
// Contents/<executable> and its own bundle identifier in Contents/Info.plist.
// A patch that replaces a bundle's Contents checks, before it touches
// anything, that what it will install has both (see CPatch, CSmartPatch): a
// package without the executable, or one whose Info.plist is another
// bundle's, would otherwise leave an installation that never starts again.
//
// Thread: any; a plain value, and require() only reads the disk.
#include <filesystem>
#include <string>

namespace hexora::Worker::Common {

struct StartableBundle {
    /// The executable, relative to Contents ("MacOS/Hexora").
    std::filesystem::path executable;
    /// The CFBundleIdentifier the Info.plist must carry.
    std::string bundleIdentifier;

    /// Throws std::runtime_error, naming what is missing, unless the bundle
    /// contents made of `newContents` laid over `installedContents` have both
    /// items: each is taken from `newContents` when it has it, else from
    /// `installedContents` (empty: a full patch, nothing is kept). Neither
    /// item may be a symbolic link.
    void require(const std::filesystem::path& newContents, const std::filesystem::path& installedContents = {}) const;
};

}  // namespace hexora::Worker::Common
