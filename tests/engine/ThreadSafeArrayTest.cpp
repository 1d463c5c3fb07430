#include "engine/ThreadSafeArray.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace hexora {
namespace {

TEST(ThreadSafeArray, TakeFirstOnEmptyGivesNothingAndStaysEmpty) {
    ThreadSafeArray<int> array;
    EXPECT_FALSE(array.takeFirst());
    EXPECT_FALSE(array.takeFirst());
    array.append(7);
    EXPECT_EQ(array.takeFirst(), 7);
    EXPECT_FALSE(array.takeFirst());
}

TEST(ThreadSafeArray, TakesInAppendOrderAcrossThreads) {
    ThreadSafeArray<std::string> array;
    std::thread producer([&] {
        array.append("a");
        array.append("b");
        array.append("c");
    });
    producer.join();
    std::vector<std::string> taken;
    std::thread consumer([&] {
        while (auto element = array.takeFirst()) taken.push_back(*element);
    });
    consumer.join();
    EXPECT_EQ(taken, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ThreadSafeArray, ConcurrentProducersKeepEachOwnOrderAndLoseNothing) {
    constexpr int producers = 4;
    constexpr int perProducer = 5000;
    ThreadSafeArray<std::pair<int, int>> array;
    std::vector<std::pair<int, int>> taken;
    std::atomic<int> finished{0};
    std::thread consumer([&] {
        for (;;) {
            const bool done = finished.load() == producers;  // read before the take
            if (auto element = array.takeFirst())
                taken.push_back(*element);
            else if (done)
                return;
        }
    });
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < perProducer; ++i) array.append({p, i});
            ++finished;
        });
    for (auto& thread : threads) thread.join();
    consumer.join();

    ASSERT_EQ(taken.size(), static_cast<size_t>(producers * perProducer));
    std::vector<int> next(producers, 0);
    for (const auto& [producer, index] : taken) {
        ASSERT_EQ(index, next[producer]) << "producer " << producer << " out of order";
        ++next[producer];
    }
}

TEST(ThreadSafeArray, RemoveAllDropsEverythingAppendedBefore) {
    ThreadSafeArray<int> array;
    for (int i = 0; i < 3; ++i) array.append(i);
    array.removeAll();
    EXPECT_FALSE(array.takeFirst());
    array.append(9);
    EXPECT_EQ(array.takeFirst(), 9);
}

// An element whose destructor appends to the array it was removed from (a
// worker that holds its thread, whose queue is being cleared) must not
// deadlock removeAll.
TEST(ThreadSafeArray, RemoveAllToleratesElementsThatAppendWhenDestroyed) {
    struct Reappender {
        Reappender(ThreadSafeArray<std::shared_ptr<Reappender>>* owner, bool again) : array(owner), appendOnDestroy(again) {}
        ~Reappender() {
            if (appendOnDestroy) array->append(std::make_shared<Reappender>(array, false));
        }
        ThreadSafeArray<std::shared_ptr<Reappender>>* array;
        bool appendOnDestroy;
    };
    ThreadSafeArray<std::shared_ptr<Reappender>> array;
    array.append(std::make_shared<Reappender>(&array, true));
    array.removeAll();
    auto survivor = array.takeFirst();
    ASSERT_TRUE(survivor);
    EXPECT_FALSE(array.takeFirst());
}

}  // namespace
}  // namespace hexora
