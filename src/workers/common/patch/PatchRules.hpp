#pragma once
// What a patch (CPatch, CSmartPatch) is told beyond its three paths, by the
// pipeline that queues it (UpdatePipelineProfile): where it may clear the
// way, what it must leave able to start, and whether a full patch must keep
// the bundle startable where the file system cannot swap two folders.
//
// Thread: any; a plain value.
#include "workers/common/patch/StartableBundle.hpp"

#include <filesystem>
#include <optional>

namespace hexora::Worker::Common {

/// The name of the replaced bundle kept while a patch runs (in the folder each
/// product's pipeline chooses).
inline constexpr const char* BackupBundleName = "Hexora.old.app";

struct PatchRules {
    /// The folder inside which whatever stands in the way of the bundle's
    /// folders may be removed (see PatchGuard); empty: none.
    std::filesystem::path ownedPath;
    /// What the patched contents must hold to start; none: not checked.
    std::optional<StartableBundle> startable;
    /// Full patch only: without the one-step swap, put the new files in one
    /// by one over the installed ones (the partial patch's road, with its
    /// untouched copy) instead of two moves of the whole folder, between
    /// which the bundle has no Contents at all.
    bool fileByFileWithoutSwap = false;
};

}  // namespace hexora::Worker::Common
