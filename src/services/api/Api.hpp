#pragma once
// Text requests: GET a text resource for a worker that waits for it.
//
// Thread: a worker thread or a thread of its own, never the application's
// main thread. Each call blocks its caller until it has an answer; nothing
// here throws. Every outcome is reported as a telemetry record (queued, not
// uploaded) and every failure is also logged at error level.
#include "services/api/ApiResult.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hexora {

class Api {
public:
    Api() = delete;

    /// One slot of the multi-URL fetch. Its fetching thread writes `result`
    /// and then publishes `isDone` (release); the waiting thread reads
    /// `isDone` (acquire) and only then `result`.
    class GetTextResult {
    public:
        std::atomic<bool> isDone{false};
        std::optional<ApiResult<std::string>> result;

        /// Fetching thread: stores the result, then marks the slot done.
        void finish(ApiResult<std::string> value);
        /// Waiting thread: the result once the slot is done, else nullptr.
        const ApiResult<std::string>* doneResult() const;
    };

    /// GETs `uri` (used as given; it is trimmed only to test for blankness)
    /// with an idle timeout of `timeoutSec`, the whole request bounded by
    /// Http::WholeReplyTimeouts of it (a timeout failure). Succeeds with the reply text
    /// when the whole reply came in with a non-empty body that decodes as
    /// text and a status from 200 to 299. A blank URL fails without a request.
    /// `shouldAbort` (may be empty) is polled while the request runs: once
    /// it returns true the transfer is stopped at once and the request fails
    /// without a record.
    static ApiResult<std::string> getText(const std::string& uri, double timeoutSec,
                                          const std::function<bool()>& shouldAbort = {});

    /// Asks every URL at once, each on its own thread, and returns the first
    /// text in list order that succeeded and is not blank, as soon as it is
    /// in (scanning every 0.1 s). When all are done without such a text: the
    /// first URL's text (nullopt when that request failed). An empty list
    /// yields nullopt. The threads of the other URLs may still run after the
    /// return; they own their slots and still queue their records. At
    /// process exit those still running are aborted and joined
    /// (RequestThreads), so none outlives the state it uses.
    /// `shouldAbort` (may be empty) is looked at with each scan: once it
    /// returns true every request is stopped and the fetch yields nullopt.
    static std::optional<std::string> getText(const std::vector<std::string>& uris, double timeoutSec,
                                              const std::function<bool()>& shouldAbort = {});
    /// The choice of that fetch: scans the slots every 0.1 s until one holds
    /// a good text, all are done or `shouldAbort` says stop (nullopt then).
    /// Calling thread; the slots may be filled by other threads meanwhile.
    static std::optional<std::string> firstGoodText(const std::vector<std::shared_ptr<GetTextResult>>& slots,
                                                    const std::function<bool()>& shouldAbort = {});
};

}  // namespace hexora
