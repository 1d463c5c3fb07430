#include "engine/DisplayStates.hpp"
#include "engine/LauncherState.hpp"
#include "engine/LoopLoadingMessage.hpp"
#include "engine/SimpleMessage.hpp"
#include "engine/StateMessages.hpp"
#include "support/RunState.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace hexora {
namespace {

using S = LauncherState;

TEST(LauncherState, ConstructsOnlyFromKnownRawValues) {
    const std::vector<std::pair<int, S>> known = {
        {0, S::Initializing},        {1, S::CheckApp},
        {2, S::ApiRequest},          {3, S::Downloading},
        {4, S::DecompressFiles},     {5, S::ValidateFiles},
        {6, S::PatchCompleted},      {7, S::LaunchApp},
        {8, S::MinimizeApp},         {100, S::Failed},
        {101, S::Failed_Api_Unavailable_Version}, {102, S::Failed_Api},
        {103, S::Failed_Download},   {104, S::Failed_DecompressFiles},
        {105, S::Failed_LoadScheme}, {106, S::Failed_ReplaceFile},
        {107, S::Failed_Validation}, {108, S::Failed_Launching_Game},
        {200, S::ProcessFound},      {201, S::Found_Launcher},
        {202, S::Found_App},         {300, S::UnderMaintenance},
        {1000, S::CaughException},   {9000, S::ReservedAppTerminating},
        {9001, S::AppTerminating},   {9999, S::ProcessCompleted},
    };
    for (const auto& [raw, state] : known) {
        EXPECT_EQ(launcherStateFromRawValue(raw), state) << raw;
        EXPECT_EQ(rawValue(state), raw);
        EXPECT_EQ(displayStateOf(state).state, state) << raw;  // every state has its row
    }
    EXPECT_EQ(displayStates().size(), known.size());
    for (int raw : {-1, 9, 99, 109, 203, 301, 999, 8999, 9002, 10000})
        EXPECT_FALSE(launcherStateFromRawValue(raw)) << raw;
}

TEST(LoopLoadingMessage, CyclesThroughFourVariantsOfEqualLength) {
    LoopLoadingMessage message("Initializing");
    const std::vector<std::string> expected = {"Initializing   ", "Initializing.  ", "Initializing.. ",
                                               "Initializing...", "Initializing   ", "Initializing.  "};
    for (const auto& text : expected) {
        const auto got = message.getMessage();
        EXPECT_EQ(got, text);
        EXPECT_EQ(got.size(), std::string("Initializing...").size());
    }
    message.restart();
    EXPECT_EQ(message.getMessage(), "Initializing   ");
}

TEST(SimpleMessage, AppendsOnlyANonEmptyAdditionalMessage) {
    SimpleMessage message("base");
    EXPECT_EQ(message.getMessage(), "base");
    message.setAdditionalMessage("");
    EXPECT_EQ(message.getMessage(), "base");
    message.setAdditionalMessage("x");
    EXPECT_EQ(message.getMessage(), "basex");
    message.setAdditionalMessage(std::nullopt);
    EXPECT_EQ(message.getMessage(), "base");
}

class StateMessagesTest : public test::RunStateFixture {};

TEST_F(StateMessagesTest, TableHoldsTheTwentyOneTextsExactly) {
    const std::vector<std::pair<S, std::string>> simple = {
        {S::PatchCompleted, "Update completed.\n\nThe app will run automatically."},
        {S::Found_Launcher, "Hexora Launcher is already running.\nPlease exit all programs and run this again."},
        {S::Found_App, "Hexora is already running.\nPlease exit all programs and run this again"},
        {S::Failed_Api, "Connection failed.\r\nPlease try again later."},
        {S::Failed_Api_Unavailable_Version,
         "Something went wrong.\r\nPlease remove Hexora, download and install Hexora\r\nto the latest version from "
         "Offcial Website."},
        {S::Failed_Download, "Failed to download.\r\nPlease try again later."},
        {S::Failed_DecompressFiles, "The process has failed.\r\nPlease try again later."},
        {S::Failed_LoadScheme, "Failed to load scheme.\r\nPlase try again later."},
        {S::Failed_ReplaceFile, "Failed to patch.\r\nPlease try again later."},
        {S::Failed_Validation, "Failed to validation.\r\nPlease try again later."},
        {S::Failed_Launching_Game, "Failed to launch game.\r\nPlease try again later."},
        {S::UnderMaintenance, "Now in maintenance, Please try again later.\r\n"},
        {S::CaughException, "Failed to update.\r\nPlease try again later."},
        {S::AppTerminating, "Hexora Launcher is terminating.\r\nPlease wait."},
        {S::ReservedAppTerminating, "Hexora Launcher will be terminated.\r\nPlease wait."},
    };
    const std::vector<std::pair<S, std::string>> looping = {
        {S::Initializing, "Initializing"},           {S::CheckApp, "Check Status"},
        {S::ApiRequest, "Check for updates"},        {S::Downloading, "Downloading update file"},
        {S::DecompressFiles, "Decompressing files"}, {S::ValidateFiles, "Validating files"},
    };
    const auto& table = StateMessages::messages();
    EXPECT_EQ(table.size(), 21u);
    for (const auto& [state, text] : simple) {
        ASSERT_TRUE(table.count(state)) << rawValue(state);
        auto* entry = dynamic_cast<SimpleMessage*>(table.at(state).get());
        ASSERT_NE(entry, nullptr) << rawValue(state);
        EXPECT_EQ(entry->getMessage(), text);
        EXPECT_FALSE(entry->additionalMessage());
    }
    for (const auto& [state, text] : looping) {
        ASSERT_TRUE(table.count(state)) << rawValue(state);
        auto* entry = dynamic_cast<LoopLoadingMessage*>(table.at(state).get());
        ASSERT_NE(entry, nullptr) << rawValue(state);
        EXPECT_EQ(entry->getMessage(), text + "   ");
    }
    for (S absent : {S::LaunchApp, S::MinimizeApp, S::Failed, S::ProcessFound, S::ProcessCompleted})
        EXPECT_FALSE(table.count(absent)) << rawValue(absent);
}

TEST_F(StateMessagesTest, MaintenanceWindowSetOnWorkerThreadShowsOnSecondLine) {
    std::thread worker([] { StateMessages::underMaintenance()->setAdditionalMessage("10:00 ~ 12:00"); });
    // The display may read while the worker writes.
    for (int i = 0; i < 100; ++i) StateMessages::messages().at(S::UnderMaintenance)->getMessage();
    worker.join();
    EXPECT_EQ(StateMessages::messages().at(S::UnderMaintenance)->getMessage(),
              "Now in maintenance, Please try again later.\r\n10:00 ~ 12:00");
    StateMessages::reset();
    EXPECT_EQ(StateMessages::messages().at(S::UnderMaintenance)->getMessage(),
              "Now in maintenance, Please try again later.\r\n");
}

}  // namespace
}  // namespace hexora
