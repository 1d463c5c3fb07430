#pragma once
// The outcome of one transfer of the request layer.
#include "services/http/HttpHeaders.hpp"

#include <string>

namespace hexora::Http {

/// Why a transfer did not complete; None when a whole reply came in
/// (whatever its status).
enum class Failure {
    None,
    Transport,     // connection, TLS, protocol or local file error
    Timeout,       // not connected in time, no byte moved for the timeout once
                   // connected, slower than Options::minBytesPerSec over the timeout,
                   // or longer in all than Options::maxDurationTimeouts allows
    Aborted,       // the caller's shouldAbort or progress callback stopped it
    BodyTooLarge,  // the reply body exceeded its announced length, Options::maxBodyBytes
                   // or, for a download without a length, Options::maxUnannouncedDownloadBytes,
                   // or Options::maxDownloadBytes
};

struct Result {
    /// HTTP status of the final reply; 0 when no reply status arrived.
    long status = 0;
    Failure failure = Failure::None;
    /// The library's description of the failure; empty when failure is None.
    std::string error;
    /// Headers of the final reply, in arrival order.
    Headers headers;
    /// The reply body (for a download: the body of a reply whose status is
    /// not 2xx; a 2xx body goes to the file). On failure, what arrived so far.
    std::string body;

    /// True when the whole reply arrived.
    bool completed() const { return failure == Failure::None; }
    /// True when the whole reply arrived and its status is 200 to 299.
    bool succeeded() const { return completed() && status >= 200 && status <= 299; }
    /// The value of the first reply header named `name` (case-insensitive).
    std::optional<std::string> header(std::string_view name) const { return findHeader(headers, name); }
};

}  // namespace hexora::Http
