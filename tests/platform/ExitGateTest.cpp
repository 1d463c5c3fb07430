// The process's exit gate: bodies run until it shuts, and never after. Each
// case runs in a child process, since a shut gate stays shut.
#include "platform/ExitGate.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace hexora {
namespace {
using platform::ExitGate;

TEST(ExitGateDeathTest, RunsBodiesUntilItShutsAndNoneAfter) {
    EXPECT_EXIT(
        {
            int ran = 0;
            const bool before = ExitGate::runUnlessClosed([&] { ++ran; });
            const bool openBefore = !ExitGate::isClosed();
            ExitGate::close();
            ExitGate::close();  // a second close returns at once
            const bool after = ExitGate::runUnlessClosed([&] { ++ran; });
            std::_Exit(before && openBefore && !after && ran == 1 && ExitGate::isClosed() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ExitGateDeathTest, ShutsWhenTheProgramReturnsFromMain) {
    // exit() runs the handler the gate registered on first use.
    EXPECT_EXIT(
        {
            // Handlers run last-registered first: this one, registered before
            // the gate's first use, runs after the gate's own.
            std::atexit([] { std::_Exit(ExitGate::isClosed() ? 0 : 1); });
            ExitGate::runUnlessClosed({});
            std::exit(2);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hexora
