#pragma once
// Per-transfer settings of the request layer.
#include "services/http/HttpHeaders.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace hexora::Http {

/// The timeout a request gets when its caller gives none (or a non-positive one).
inline constexpr double DefaultTimeoutSec = 60.0;
/// The largest reply body kept in memory unless a caller chooses otherwise:
/// enough for every API and text reply, small enough never to exhaust memory.
inline constexpr std::size_t DefaultMaxBodyBytes = 16 * 1024 * 1024;

struct Options {
    /// Idle timeout in seconds: the connection must be up within it, and the
    /// transfer is aborted once no byte moved for that long. A transfer that
    /// keeps moving is never cut, however long it takes.
    double timeoutSec = DefaultTimeoutSec;
    /// Request headers, sent in this order after the ones the layer adds.
    Headers headers;
    /// Cap on the reply body held in memory (Result::body); a longer body
    /// fails the transfer (Failure::BodyTooLarge). A download's file is not capped.
    std::size_t maxBodyBytes = DefaultMaxBodyBytes;
    /// Polled on the calling thread while the transfer runs (several times a
    /// second); returning true aborts it (Failure::Aborted). May be empty.
    std::function<bool()> shouldAbort;
};

/// Called on the calling thread after each chunk of a download was written
/// to its file: bytes written so far and the expected total (0 when the
/// server did not say). Returning false aborts the transfer (Failure::Aborted).
using DownloadProgress = std::function<bool(std::uint64_t written, std::uint64_t expected)>;

}  // namespace hexora::Http
