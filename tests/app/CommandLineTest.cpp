#include "app/CommandLine.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {

TEST(CommandLineTest, KeepsTheUrlsInOrderAndLeavesOutProcessIdsAndOtherText) {
    const std::vector<std::string> arguments{
        "/Applications/Hexora.app/Contents/MacOS/Hexora",
        "hexoramac://join?room=7",
        "4242",
        "com.tarq.hexora:/open",
        "not a url",
        "relative/path",
        "https://www.hexora-game.com/event",
    };
    EXPECT_EQ(app::openedUrls(arguments), (std::vector<std::string>{"hexoramac://join?room=7", "com.tarq.hexora:/open",
                                                                    "https://www.hexora-game.com/event"}));
}

TEST(CommandLineTest, ProgramNameAloneOrAProcessIdGivesNoUrl) {
    EXPECT_TRUE(app::openedUrls({"Hexora"}).empty());
    EXPECT_TRUE(app::openedUrls({"Hexora", "12345"}).empty());
    EXPECT_TRUE(app::openedUrls({}).empty());
}

}  // namespace
}  // namespace hexora
