// Which command lines make a self-restarted launcher: the old launcher's id
// as the one argument.
#include "workers/launcher/SelfRestart.hpp"

#include <gtest/gtest.h>

namespace hexora {
namespace {
using Worker::Launcher::SelfRestart::previousLauncherIn;

TEST(SelfRestartTest, OnlyOneDecimalProcessIdAfterTheProgramNameCounts) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::int32_t> previous;
    };
    const Case cases[] = {
        {{"Hexora", "4242"}, 4242},
        {{"Hexora", "2147483647"}, 2147483647},
        {{"Hexora"}, std::nullopt},
        {{}, std::nullopt},
        {{"Hexora", "0"}, std::nullopt},
        {{"Hexora", "-5"}, std::nullopt},
        {{"Hexora", "+5"}, std::nullopt},
        {{"Hexora", " 5"}, std::nullopt},
        {{"Hexora", "2147483648"}, std::nullopt},
        {{"Hexora", "12ab"}, std::nullopt},
        {{"Hexora", ""}, std::nullopt},
        {{"Hexora", "hexoramac://join/123"}, std::nullopt},
        {{"Hexora", "4242", "hexoramac://join/123"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& argument : c.arguments) line += "[" + argument + "]";
        EXPECT_EQ(previousLauncherIn(c.arguments), c.previous) << line;
    }
}

}  // namespace
}  // namespace hexora
