#pragma once
// Reading the telemetry a test caused from the process-wide pending batch.
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "support/Eventually.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hexora::test {

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
