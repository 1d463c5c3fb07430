#pragma once
// Reading the telemetry a test caused from the process-wide pending batch.
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "support/Eventually.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hexora::test {

/// Whether `record` is the one named by its four heading fields; a mismatch
/// names what the record has and what was expected.
inline ::testing::AssertionResult recordIs(const Rum::LogData& record, const std::string& minorType,
                                           const std::string& event, const std::string& eventState,
                                           const std::string& logLevel) {
    if (record.MinorType == minorType && record.Event == event && record.EventState == eventState &&
        record.LogLevel == logLevel)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the record is (" << record.MinorType << ", " << record.Event << ", "
                                         << record.EventState << ", " << record.LogLevel << "), expected ("
                                         << minorType << ", " << event << ", " << eventState << ", " << logLevel
                                         << ")";
}

/// Takes the pending batch and expects it to hold exactly one record, which
/// it returns (an empty record when the expectation failed).
inline Rum::LogData takeOnlyRecord() {
    auto records = Rum::Api::takePendingRecords();
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? Rum::LogData() : records.front();
}

/// The records of `records` whose Event is `event`, in order.
inline std::vector<Rum::LogData> withEvent(const std::vector<Rum::LogData>& records, const std::string& event) {
    std::vector<Rum::LogData> found;
    for (const auto& record : records)
        if (record.Event == event) found.push_back(record);
    return found;
}

/// Waits until the pending batch holds at least `count` records (queued by
/// another thread); false when that did not happen within 10 s.
inline bool waitForPendingRecords(std::size_t count) {
    return eventually([count] { return Rum::Api::pendingRecords().size() >= count; });
}

}  // namespace hexora::test
