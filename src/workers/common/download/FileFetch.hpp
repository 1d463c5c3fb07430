#pragma once
// One GET of a file from the file server into a place on disk, as the
// download workers need it: the body goes to a temporary file next to the
// target and is renamed onto the target only when a 2xx reply arrived whole,
// so the target holds either its previous content or the complete new file,
// never a part. Missing parent folders of the target are created. A failed
// transfer (also one cut by its bounds, below) leaves no temporary file.
//
// Thread: blocks the calling thread for the whole transfer. `shouldAbort`
// and `onProgress` are called on that thread. Nothing here throws.
#include "services/http/HttpOptions.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace hexora::Worker::Common {

/// The bounds of one file transfer. A transfer must connect within the idle
/// timeout and fails once no byte moved for that long, or once it moved
/// less than the minimum rate over a stretch as long as the timeout; a body
/// longer than its announced length, or beyond the cap when no length is
/// announced, fails it too, and so does a chunk that would leave less than
/// the reserve free on the target's file system. The production values are
/// the defaults here; the request layer (HttpOptions.hpp) gives the reasons
/// for the rate, the cap and the reserve.
struct FileFetchBounds {
    double idleTimeoutSec = 60.0;
    /// The time a connection may take; 0: the idle timeout (as in production).
    double connectTimeoutSec = 0;
    double minBytesPerSec = Http::DefaultMinBytesPerSec;
    std::uint64_t maxUnannouncedBytes = Http::DefaultMaxUnannouncedDownloadBytes;
    std::uint64_t keepFreeBytes = Http::DefaultKeepFreeBytes;
};

/// The bounds every fetchFile uses (process-wide, any thread).
FileFetchBounds fileFetchBounds();
/// Tests: shortens the bounds; FileFetchBounds{} puts the production values back.
void setFileFetchBounds(const FileFetchBounds& bounds);

struct FileFetchResult {
    /// HTTP status of the reply; 0 when none arrived.
    long status = 0;
    /// The description of what went wrong (transport, TLS, a body cut short,
    /// a local file error with the system's text); empty when nothing did,
    /// also for a whole reply with a non-2xx status.
    std::string error;
    /// A whole 2xx reply is now at the target.
    bool succeeded = false;
};

struct FileFetchCallbacks {
    /// Polled during the transfer; true aborts it (then `error` is set).
    std::function<bool()> shouldAbort;
    /// The completed fraction (0..1) of a 2xx body, when its length is known.
    std::function<void(double)> onProgress;
};

/// `maxBytes` caps the body whatever the reply announces (see
/// Http::Options::maxDownloadBytes); a longer one fails the fetch.
FileFetchResult fetchFile(const std::string& url, const std::string& targetPath,
                          const FileFetchCallbacks& callbacks = {}, std::uint64_t maxBytes = UINT64_MAX);

/// `base` followed by "/" and each component, one slash between parts
/// (no separator doubled or dropped), the base's scheme and host untouched.
std::string joinUrl(const std::string& base, const std::string& path);

}  // namespace hexora::Worker::Common
