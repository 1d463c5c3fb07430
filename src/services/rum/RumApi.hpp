#pragma once
// The process-wide pending telemetry batch and its upload to the collector.
//
// Thread: every operation may be called from any thread; enqueue and the take
// of a flush are serialised, so each thread's records keep their order.
// Nothing here throws or reports an outcome: a batch that fails to upload is
// dropped after an error log line.
#include "services/rum/LogData.hpp"

#include <nlohmann/json.hpp>

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
    virtual nlohmann::ordered_json toJson() const;
    /// toJson() as compact text (bytes that are not UTF-8 written as U+FFFD);
    /// nullopt when the batch cannot be encoded.
    std::optional<std::string> encodedText() const;
};

/// The collector stream the batches are put to ("hexora-rum-kinesis-prod" once set up).
std::string streamName();
void setStreamName(std::string name);

/// Adds one record to the pending batch; returns at once.
void enqueue(LogData record);

/// Takes the pending batch and starts its upload without waiting.
void flushAsync();

/// Takes the pending batch and uploads it, returning when the upload is done
/// or its bounded waits ran out.
void flushSync();

/// Test access: the records pending now, in order (the batch stays pending).
std::vector<LogData> pendingRecords();
/// Test access: takes the pending batch without uploading it.
std::vector<LogData> takePendingRecords();

}  // namespace hexora::Rum::Api
