#pragma once
// What the update service's collector received: the telemetry records of
// every batch, in arrival order, and ways to look for one.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace hexora::e2e {

using Record = nlohmann::json;

/// Every record of the batch files in `folder` (batch-000001.json, ...), in
/// order, leaving out the first `skipBatches` batches.
std::vector<Record> collectedRecords(const std::filesystem::path& folder, std::size_t skipBatches = 0);
/// The number of batches received.
std::size_t collectedBatches(const std::filesystem::path& folder);

/// Whether a record has this MinorType and Event (and EventState, when given).
bool matches(const Record& record, const std::string& minorType, const std::string& event,
             const std::string& eventState = "");
bool hasRecord(const std::vector<Record>& records, const std::string& minorType, const std::string& event,
               const std::string& eventState = "");
/// Whether any record has this MinorType.
bool hasMinorType(const std::vector<Record>& records, const std::string& minorType);

/// Every "Uri" of the records' Data that does not lead to 127.0.0.1.
std::vector<std::string> foreignUris(const std::vector<Record>& records);

/// One line per record: time, MinorType, Event, EventState (for messages and the demo).
std::string describeRoad(const std::vector<Record>& records);

}  // namespace hexora::e2e
