// The command line and the opened-URL hand-off read URLs by one rule: each
// form below goes through both ends, the shell's reading of the arguments and
// the hand-off worker that stores the URL for the game (a URL it does not
// store ends the launcher with "unhandled open url").
#include "app/CommandLine.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "support/EngineHarness.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/LogCapture.hpp"
#include "workers/game/GHandleOpenUrls.hpp"

#include <gtest/gtest.h>

#include <map>

namespace hexora {
namespace {

constexpr const char* Program = "/Applications/Hexora.app/Contents/MacOS/Hexora";

TEST(CommandLineTest, KeepsTheUrlsInOrderAndLeavesOutProcessIdsAndOtherText) {
    const std::vector<std::string> arguments{
        Program,
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

TEST(CommandLineTest, EachArgumentLeftOutIsLoggedWithTheReason) {
    test::LogCapture log;
    EXPECT_TRUE(app::openedUrls({Program, "4242", "join/123", ""}).empty());
    EXPECT_TRUE(log.contains("CommandLine: 4242 is the old launcher's process id, not read"));
    EXPECT_TRUE(log.contains("CommandLine: \"join/123\" is no URL (no scheme and \":\"), not opened"));
    EXPECT_TRUE(log.contains("CommandLine: \"\" is no URL (no scheme and \":\"), not opened"));
}

TEST(OpenedUrlFormsTest, WhatTheShellHandsOverTheHandOffReads) {
    enum class Road { NotOpened, Unhandled, Stored };
    struct Case {
        const char* argument;
        Road road;
        const char* storedUnder;  // the key, for Road::Stored
    };
    const Case cases[] = {
        {"hexoramac://join/123", Road::Stored, "hexoramac_uri"},
        {"hexoramac:join/123", Road::Stored, "hexoramac_uri"},
        {"hexoramac:/join/123", Road::Stored, "hexoramac_uri"},
        {"HexoraMac:join/123", Road::Stored, "hexoramac_uri"},
        {"com.tarq.hexora:invite/7", Road::Stored, "com.tarq.hexora_uri"},
        {"hexora-game.com://match/9", Road::Stored, "hexora-game.com_uri"},
        {"www.hexora-game.com:match/9", Road::Stored, "www.hexora-game.com_uri"},
        {"hexoramac.0:join/1", Road::Stored, "hexoramac.0_uri"},
        // Texts a strict URL parser refuses are still the user's URL.
        {"hexoramac://join/room name", Road::Stored, "hexoramac_uri"},
        {"hexoramac:join/{7}", Road::Stored, "hexoramac_uri"},
        {"hexoramac://join/%zz", Road::Stored, "hexoramac_uri"},
        {"hexoramac:", Road::Stored, "hexoramac_uri"},
        // URLs of other schemes reach the hand-off, which does not take them.
        {"https://www.hexora-game.com/join/123", Road::Unhandled, nullptr},
        {"mailto:someone@example.org", Road::Unhandled, nullptr},
        {"hexoramacx:join/1", Road::Unhandled, nullptr},
        {"C:\\Games\\Hexora", Road::Unhandled, nullptr},
        // No scheme and ":": no URL at all.
        {"join/123", Road::NotOpened, nullptr},
        {" hexoramac://join", Road::NotOpened, nullptr},
        {"1hexoramac:join", Road::NotOpened, nullptr},
        {"hexora mac:join", Road::NotOpened, nullptr},
        {"hexoramac_x:join", Road::NotOpened, nullptr},
        {":join", Road::NotOpened, nullptr},
        {"/home/user/Hexora.app", Road::NotOpened, nullptr},
        {"4242", Road::NotOpened, nullptr},
    };
    test::EngineHarness harness;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        test::ScopedPreferenceStore prefs;
        const auto urls = app::openedUrls({Program, c.argument});
        if (c.road == Road::NotOpened) {
            EXPECT_TRUE(urls.empty());
            continue;
        }
        ASSERT_EQ(urls, std::vector<std::string>{c.argument}) << "handed over unchanged";
        Worker::Hexora::GHandleOpenUrls worker(harness.thread, urls);
        EXPECT_EQ(worker.storeOpenUrls(), c.road == Road::Stored);
        const auto& stored = prefs->entries(PlayerPrefsHelper::GameSuiteName);
        if (c.road == Road::Stored) {
            ASSERT_EQ(stored.size(), 1u);
            EXPECT_EQ(stored.begin()->first, PlayerPrefsHelper::base64Encode(c.storedUnder));
            EXPECT_EQ(stored.begin()->second, PlayerPrefsHelper::base64Encode(c.argument));
        } else {
            EXPECT_TRUE(stored.empty());
        }
    }
}

}  // namespace
}  // namespace hexora
