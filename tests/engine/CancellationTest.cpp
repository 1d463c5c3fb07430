#include "engine/CancellationToken.hpp"
#include "engine/CancellationTokenSource.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace hexora {
namespace {

TEST(Cancellation, SourceStaysCancelledForEver) {
    auto source = std::make_shared<CancellationTokenSource>();
    CancellationToken token(source);
    EXPECT_FALSE(source->isCancelled());
    EXPECT_FALSE(token.isCancelled());
    source->cancel();
    source->cancel();
    EXPECT_TRUE(source->isCancelled());
    EXPECT_TRUE(token.isCancelled());
}

TEST(Cancellation, CallbacksRunLastRegisteredFirstAndOnlyOnce) {
    auto source = std::make_shared<CancellationTokenSource>();
    std::string order;
    EXPECT_TRUE(source->registerCallback([&] { order += "A"; }));
    EXPECT_TRUE(source->registerCallback([&] { order += "B"; }));
    CancellationToken(source).registerCallback([&] { order += "C"; });
    EXPECT_EQ(order, "");  // nothing runs before the cancel
    source->cancel();
    source->cancel();
    EXPECT_EQ(order, "CBA");
}

TEST(Cancellation, RegisteringAfterCancelStoresNothingButTokenCallsAtOnce) {
    auto source = std::make_shared<CancellationTokenSource>();
    source->cancel();
    int sourceCalls = 0;
    EXPECT_FALSE(source->registerCallback([&] { ++sourceCalls; }));
    int tokenCalls = 0;
    CancellationToken(source).registerCallback([&] { ++tokenCalls; });
    EXPECT_EQ(tokenCalls, 1);
    source->cancel();
    EXPECT_EQ(sourceCalls, 0);
    EXPECT_EQ(tokenCalls, 1);
}

// A callback that registers on its own source runs after the bag was taken:
// it must neither deadlock on the lock nor be stored.
TEST(Cancellation, CallbacksRunOutsideTheLock) {
    auto source = std::make_shared<CancellationTokenSource>();
    bool reRegistered = true;
    bool sawCancelled = false;
    source->registerCallback([&] {
        sawCancelled = source->isCancelled();
        reRegistered = source->registerCallback([] {});
    });
    source->cancel();
    EXPECT_TRUE(sawCancelled);
    EXPECT_FALSE(reRegistered);
}

TEST(Cancellation, ConcurrentCancelsRunEachCallbackOnce) {
    auto source = std::make_shared<CancellationTokenSource>();
    std::atomic<int> calls{0};
    for (int i = 0; i < 100; ++i) source->registerCallback([&] { ++calls; });
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { source->cancel(); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(calls.load(), 100);
}

// Freeing a long list must not recurse once per node (that overflows the stack).
TEST(Cancellation, LongCallbackListsAreFreedWithoutRecursion) {
    constexpr int count = 300'000;
    {
        CancellationTokenSource neverCancelled;
        for (int i = 0; i < count; ++i) neverCancelled.registerCallback([] {});
    }
    CancellationTokenSource cancelled;
    int calls = 0;
    for (int i = 0; i < count; ++i) cancelled.registerCallback([&] { ++calls; });
    cancelled.cancel();
    EXPECT_EQ(calls, count);
}

}  // namespace
}  // namespace hexora
