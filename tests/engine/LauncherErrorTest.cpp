// The two helpers every worker ends its road with: each sets every field of
// the error, and leaves absent only what it says.
#include "engine/LauncherError.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace hexora::Worker {
namespace {

struct Expected {
    std::optional<ErrorBase::Code> code;
    std::optional<LauncherState> state;
    std::optional<std::string> event;
    bool terminateWhenAvailable;
};

void expectError(const LauncherError& error, const Expected& expected) {
    EXPECT_EQ(error.code, expected.code);
    EXPECT_EQ(error.type, "CStep");
    EXPECT_EQ(error.message, "what happened");
    EXPECT_STREQ(error.what(), "what happened");
    EXPECT_EQ(error.state, expected.state);
    EXPECT_EQ(error.rum.has_value(), expected.event.has_value());
    if (error.rum && expected.event) {
        EXPECT_EQ(error.rum->MinorType, "CStep");
        EXPECT_EQ(error.rum->Event, *expected.event);
    }
    EXPECT_EQ(error.terminateWhenAvailable, std::optional<bool>(expected.terminateWhenAvailable));
    EXPECT_FALSE(error.error);
    EXPECT_FALSE(error.errorText);
}

TEST(LauncherErrorTest, HelpersSetEveryField) {
    using Code = ErrorBase::Code;
    const Rum::LogData record("CStep", "step", "Failed", "ERROR");
    const struct {
        const char* name;
        LauncherError error;
        Expected expected;
    } cases[] = {
        {"failure with state and record",
         LauncherError::failure("CStep", "what happened", LauncherState::Failed_Download, record),
         {Code::Failed, LauncherState::Failed_Download, "step", false}},
        {"failure without record",
         LauncherError::failure("CStep", "what happened", LauncherState::Failed_DecompressFiles),
         {Code::Failed, LauncherState::Failed_DecompressFiles, std::nullopt, false}},
        {"failure without state", LauncherError::failure("CStep", "what happened", std::nullopt, record),
         {Code::Failed, std::nullopt, "step", false}},
        {"terminating success", LauncherError::terminating(Code::Succeeded, "CStep", "what happened", record),
         {Code::Succeeded, std::nullopt, "step", true}},
        {"terminating failure", LauncherError::terminating(Code::Failed, "CStep", "what happened", record),
         {Code::Failed, std::nullopt, "step", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectError(c.error, c.expected);
    }
}

TEST(LauncherErrorTest, BuilderStepsStillFollowAHelper) {
    const auto error = LauncherError::failure("CStep", "what happened", LauncherState::Failed_ReplaceFile)
                           .withError(std::string("disk gone"));
    EXPECT_EQ(error.errorDescription(), "disk gone");
    EXPECT_EQ(error.state, LauncherState::Failed_ReplaceFile);
}

}  // namespace
}  // namespace hexora::Worker
