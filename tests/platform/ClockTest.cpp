#include "platform/Clock.hpp"
#include "support/TestClock.hpp"

#include <gtest/gtest.h>

namespace hexora {

TEST(Clock, TestClockShortensAndCountsSleeps) {
    test::ScopedTestClock scoped(0.0);
    const auto before = std::chrono::steady_clock::now();
    platform::sleepSeconds(5.0);
    platform::sleepSeconds(0.25);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_DOUBLE_EQ(scoped->sleptSeconds(), 5.25);
}

TEST(Clock, RestoresSystemClockAfterScope) {
    { test::ScopedTestClock scoped; }
    EXPECT_NE(dynamic_cast<platform::SystemClock*>(platform::Clock::current().get()), nullptr);
}

}  // namespace hexora
