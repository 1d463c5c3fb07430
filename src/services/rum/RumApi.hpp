#pragma once
// The process-wide pending telemetry batch and its upload to the collector.
//
// An upload is one HTTPS PUT of {"Data": [records]} to the collector root
// (platform::Endpoints::rumUrl()) followed by streamName(), with the headers
// "x-api-key" and "Content-Type: application/json" in that order and a 30 s
// idle timeout. It succeeded when the whole reply came with a 2xx status and
// a non-empty body that is JSON; otherwise the error line
// "Rum.Api.Request.putRum: ..." ("...putRumSync: ..." for the waiting kind)
// is logged. Either way the batch is finished with: never retried or kept.
// Once the process has begun to end (platform::ExitGate) a batch is not sent
// and its error line says "the process is ending".
//
// Thread: every operation may be called from any thread; enqueue and the take
// of a flush are serialised, so each thread's records keep their order.
// Uploads run on threads of their own and judge their outcome there.
// Nothing here throws or reports an outcome.
#include "services/rum/LogData.hpp"

#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hexora::Rum::Api {

/// One batch of records, in the order they were appended. Its JSON form is
/// {"Data": [record, ...]}.
class Request {
public:
    virtual ~Request() = default;

    std::vector<LogData> Data;

    /// The batch's JSON form. Throws JSON::EncodingError when a record cannot
    /// be encoded.
    virtual nlohmann::ordered_json encode() const;
    /// encode() as compact text (bytes that are not UTF-8 written as U+FFFD);
    /// nullopt when the batch cannot be encoded.
    std::optional<std::string> encodedText() const;

    /// Starts the upload of this batch with `apiKey` and returns at once.
    void putRum(const std::string& apiKey) const;
    /// Uploads this batch with `apiKey` and returns when the outcome has been
    /// judged, or after at most SyncRequestPolls polls of SyncPollSec for the
    /// request and SyncOutcomePolls more for its outcome (the clock seam's
    /// sleeps); a request still running then is aborted.
    void putRumSync(const std::string& apiKey) const;
};

/// The bounded waits of putRumSync and flushSync: polls of SyncPollSec (the
/// clock seam's sleeps) for the request, then for its outcome; together at
/// most SyncFlushBoundSec.
inline constexpr double SyncPollSec = 0.01;
inline constexpr int SyncRequestPolls = 3000;
inline constexpr int SyncOutcomePolls = 100;
inline constexpr double SyncFlushBoundSec = (SyncRequestPolls + SyncOutcomePolls) * SyncPollSec;

/// The idle timeout of each upload; tests shorten it and put the default back.
inline constexpr double DefaultUploadTimeoutSec = 30.0;
inline std::atomic<double> uploadTimeoutSec{DefaultUploadTimeoutSec};

/// The telemetry API key sent as "x-api-key".
inline constexpr const char* TelemetryApiKey = "Q7mVt2LpX9cRw4KzN8bHy3FsJ6dGe1UaZ5oTi0Pn";
/// The stream the launcher's batches go to.
inline constexpr const char* ProductionStreamName = "hexora-rum-kinesis-prod";

/// The collector stream the batches are put to (empty at start; the launcher
/// sets ProductionStreamName before its worker thread starts).
std::string streamName();
void setStreamName(std::string name);

/// Adds one record to the pending batch; returns at once.
void enqueue(LogData record);

/// Takes the pending batch and starts its upload without waiting; nothing
/// is sent when no record is pending.
void flushAsync();

/// Takes the pending batch and uploads it (as putRumSync), returning when
/// that upload and every upload still in flight from an earlier flushAsync
/// are done or the one set of bounded waits ran out; nothing is sent when no
/// record is pending. `giveUp` (may be empty) is looked at with each poll:
/// once it returns true the uploads waited for are aborted and the flush
/// returns (the process is about to end).
void flushSync(const std::function<bool()>& giveUp = {});

/// Test access: the records pending now, in order (the batch stays pending).
std::vector<LogData> pendingRecords();
/// Test access: takes the pending batch without uploading it.
std::vector<LogData> takePendingRecords();

}  // namespace hexora::Rum::Api
