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

// The two bounds that keep a hostile or broken server from holding a client
// forever or filling its disk. A body longer than the length its reply
// announces always fails the transfer.
//
/// The slowest rate a file download may keep, in bytes per second, measured
/// over a stretch as long as its timeout: a transfer that moves fewer than
/// timeoutSec x this many bytes in such a stretch fails like an idle one
/// (Failure::Timeout). 1 KiB/s lies far below any line the launcher is used
/// on (an old dial-up line moves several times as much), so only a server
/// that drips bytes to keep the idle timeout from firing meets it. Only file
/// downloads set it (workers/common/download/FileFetch): an API, text or telemetry
/// exchange is small, and a server that thinks before it answers would meet
/// the rate long before the idle timeout.
inline constexpr double DefaultMinBytesPerSec = 1024.0;
/// The largest download body taken from a reply that announces no length:
/// 16 GiB. The file server announces the length of every file it holds, and
/// no package of the launcher or the game comes near this size, so only an
/// endless body reaches it, and it stops before it fills the disk.
inline constexpr std::uint64_t DefaultMaxUnannouncedDownloadBytes = std::uint64_t{16} << 30;
/// The free space a download always leaves on its file's file system:
/// 512 MiB. A full disk breaks the other programs on it (the game's own
/// saves among them), and a body can be endless or longer than the disk
/// while within its other bounds; this much keeps the user's programs
/// working and their next saves room, while no package of the launcher or
/// the game needs to come this close to a full disk.
inline constexpr std::uint64_t DefaultKeepFreeBytes = std::uint64_t{512} << 20;

/// How long an update-info post, a text request or the maintenance notice
/// may take as a whole, in multiples of its timeout (60 s with the 15 s web
/// timeout). Their replies are small: an honest server sends one well within
/// that, also in pieces a few seconds apart, while one that drips a byte now
/// and then to keep the idle timeout from firing reaches it.
inline constexpr double WholeReplyTimeouts = 4.0;

struct Options {
    /// Idle timeout in seconds: the connection must be up within it, and once
    /// it is up the transfer is aborted when no byte moved for that long. A
    /// transfer that keeps moving (at minBytesPerSec or faster, when that is
    /// set) is never cut, however long it takes.
    double timeoutSec = DefaultTimeoutSec;
    /// The time the connection (TLS included) may take; 0 or less: timeoutSec.
    /// Tests give short idle timeouts a longer connect time with it.
    double connectTimeoutSec = 0;
    /// See DefaultMinBytesPerSec; 0 (the default) leaves only the idle rule.
    double minBytesPerSec = 0;
    /// The longest the whole transfer may take, connect included, in
    /// multiples of timeoutSec (see WholeReplyTimeouts); longer fails it
    /// (Failure::Timeout). 0 or less (the default): no such bound.
    double maxDurationTimeouts = 0;
    /// Request headers, sent in this order after the ones the layer adds.
    Headers headers;
    /// Cap on the reply body held in memory (Result::body); a longer body
    /// fails the transfer (Failure::BodyTooLarge). A download's file is
    /// capped by maxUnannouncedDownloadBytes instead.
    std::size_t maxBodyBytes = DefaultMaxBodyBytes;
    /// Cap on a download body whose reply announces no length (a body with an
    /// announced length may not exceed that length); beyond it the transfer
    /// fails (Failure::BodyTooLarge). See DefaultMaxUnannouncedDownloadBytes.
    std::uint64_t maxUnannouncedDownloadBytes = DefaultMaxUnannouncedDownloadBytes;
    /// Cap on any download body, announced or not, for a file whose largest
    /// sound size the caller knows (a scheme): a reply that announces more
    /// fails before its first byte is written, one that sends more fails at
    /// the cap (Failure::BodyTooLarge). The default leaves only the caps above.
    std::uint64_t maxDownloadBytes = UINT64_MAX;
    /// The free space a download leaves on its file's file system: a chunk
    /// that would leave less fails the transfer (Failure::Transport, the text
    /// names the file and the reserve). See DefaultKeepFreeBytes; 0 keeps none.
    std::uint64_t keepFreeBytes = DefaultKeepFreeBytes;
    /// Polled on the calling thread while the transfer runs (several times a
    /// second); returning true aborts it (Failure::Aborted). May be empty.
    std::function<bool()> shouldAbort;
};

/// Called on the calling thread after each chunk of a download was written
/// to its file: bytes written so far and the expected total (0 when the
/// server did not say). Returning false aborts the transfer (Failure::Aborted).
using DownloadProgress = std::function<bool(std::uint64_t written, std::uint64_t expected)>;

}  // namespace hexora::Http
