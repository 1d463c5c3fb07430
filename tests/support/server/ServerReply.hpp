#pragma once
// What a local test server sends back for one request, including the
// misbehaviours the launcher must survive.
#include "services/http/HttpHeaders.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace hexora::test {

struct ServerReply {
    int status = 200;
    /// Extra reply headers; a "Content-Type" here replaces contentType.
    Http::Headers headers;
    std::string contentType = "text/plain";
    std::string body;

    /// Wait before sending anything (status line included).
    double delayBeforeHeadersSec = 0;
    /// Send the body in pieces of this many bytes (0: all at once) ...
    std::size_t trickleBytes = 0;
    /// ... with this pause before each further piece.
    double trickleIntervalSec = 0;
    /// Announce the whole body's length but close the connection after this many bytes.
    std::optional<std::size_t> dropAfterBytes;
    /// Announce the whole body's length, send this many bytes, then go silent
    /// (the connection stays open until the server stops).
    std::optional<std::size_t> stallAfterBytes;
    /// Send the body over and over without announcing a length, until the
    /// client stops reading or the server stops.
    bool endless = false;
    /// Announce this length (Content-Length) but send the whole body, chunked.
    std::optional<std::size_t> announcedLength;

    static ServerReply text(int status, std::string body);
    static ServerReply json(int status, const nlohmann::ordered_json& body);
    /// `reply` as a slow server sends a small answer (a body of 16 bytes or
    /// more): it thinks for a quarter of `idleTimeoutSec`, then sends the
    /// body in 16 pieces a twelfth of it apart. The exchange lasts one and a
    /// half times the timeout, yet no gap between bytes comes near it.
    static ServerReply inPieces(ServerReply reply, double idleTimeoutSec);
};

}  // namespace hexora::test
