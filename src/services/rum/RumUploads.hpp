#pragma once
// The telemetry uploads in flight, each on its own thread, so that a flush
// never holds up its caller longer than it chooses to wait.
//
// The upload threads are held by RequestThreads: at process exit every upload
// still running is aborted and waited for (within the request layer's abort
// poll, a fraction of a second) before the HTTP and TLS libraries are torn
// down, so an upload in flight never touches freed state. Uploads asked for
// once the process has begun to end (platform::ExitGate) are refused, not
// started; the list of uploads in flight is never destroyed, so a flush may
// look at it until the very end.
//
// Thread: start() from any thread; the body runs on a new thread.
#include "services/http/HttpHeaders.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexora::Rum {

/// What a running upload and its waiter share.
struct Upload {
    /// The request reported that it has finished (or was cancelled).
    std::atomic<bool> finished{false};
    /// The outcome has been judged and logged.
    std::atomic<bool> done{false};
    /// Set to abort the transfer (the waits ran out, or the process exits).
    std::atomic<bool> abort{false};
    /// The process was ending: the upload was never started (set before
    /// start() returns, together with finished and done).
    std::atomic<bool> refused{false};
};

namespace RumUploads {

/// Runs `body` on a new thread and returns at once; the returned state is
/// also the one handed to `body`. When the process is ending, `body` is not
/// run and the state reads refused, finished and done.
std::shared_ptr<Upload> start(std::function<void(Upload&)> body);

/// The uploads started and not yet judged, oldest first.
std::vector<std::shared_ptr<Upload>> inFlight();

/// The headers of an upload, in the order they are sent: "x-api-key" with
/// `apiKey`, then "Content-Type" "application/json".
Http::Headers collectorHeaders(const std::string& apiKey);

}  // namespace RumUploads
}  // namespace hexora::Rum
