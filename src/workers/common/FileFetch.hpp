#pragma once
// One GET of a file from the file server into a place on disk, as the
// download workers need it: the body goes to a temporary file next to the
// target and is renamed onto the target only when a 2xx reply arrived whole,
// so the target holds either its previous content or the complete new file,
// never a part. Missing parent folders of the target are created.
//
// Thread: blocks the calling thread for the whole transfer. `shouldAbort`
// and `onProgress` are called on that thread. Nothing here throws.
#include <cstdint>
#include <functional>
#include <string>

namespace hexora::Worker::Common {

/// Idle timeout of a file transfer: it must connect within it and is
/// aborted once no byte moved for that long; a transfer that keeps moving is
/// never cut off.
inline constexpr double FileFetchIdleTimeoutSec = 60.0;

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

FileFetchResult fetchFile(const std::string& url, const std::string& targetPath,
                          const FileFetchCallbacks& callbacks = {});

/// `base` followed by "/" and each component, one slash between parts
/// (no separator doubled or dropped), the base's scheme and host untouched.
std::string joinUrl(const std::string& base, const std::string& path);

}  // namespace hexora::Worker::Common
