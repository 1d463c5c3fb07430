#pragma once
// Reading the telemetry a test caused from the process-wide pending batch.
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"

#include <gtest/gtest.h>

namespace hexora::test {

/// Takes the pending batch and expects it to hold exactly one record, which
/// it returns (an empty record when the expectation failed).
inline Rum::LogData takeOnlyRecord() {
    auto records = Rum::Api::takePendingRecords();
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? Rum::LogData() : records.front();
}

}  // namespace hexora::test
