// The shared multi-file shape, driven with units whose behaviour each test scripts.
#include "workers/common/MultiFileWorker.hpp"

#include "engine/Worker.hpp"
#include "platform/Clock.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/TestClock.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace hexora::Worker::Common {
namespace {

struct ScriptedUnit {
    double progress() const { return progressValue.load(); }
    bool isFinal() const { return finalFlag.load(); }
    void cancel() {
        cancels.fetch_add(1);
        cancelled.store(true);
    }

    std::atomic<double> progressValue{0.0};
    std::atomic<bool> finalFlag{false};
    std::atomic<bool> cancelled{false};
    std::atomic<int> cancels{0};
    std::atomic<int> runs{0};
    std::atomic<bool> afterStepDone{false};
};

using UnitPtr = std::shared_ptr<ScriptedUnit>;

// A worker whose units run `body` on the unit threads.
class ScriptedWorker : public Worker {
public:
    ScriptedWorker(std::shared_ptr<WorkerThread> thread, std::size_t unitCount) : Worker(std::move(thread)) {
        for (std::size_t i = 0; i < unitCount; ++i) units.push_back(std::make_shared<ScriptedUnit>());
    }

    void work() override {
        for (const auto& unit : units) {
            if (unit) jobs.append(unit);
        }
        outcome = MultiFile::runUnits<ScriptedUnit>(
            *this, units, [this] { MultiFile::drainJobs<ScriptedUnit>(jobs, [this](const UnitPtr& unit) { runUnit(unit); }); });
        returned.store(true);
    }

    /// Puts the unit back at the end of the jobs, as a retry does.
    void requeue(const UnitPtr& unit) { jobs.append(unit); }

    void runUnit(const UnitPtr& unit) {
        {
            std::lock_guard lock(idsMutex);
            threadIds.insert(std::this_thread::get_id());
        }
        unit->runs.fetch_add(1);
        body(*this, unit);
    }

    std::vector<UnitPtr> units;
    ThreadSafeArray<UnitPtr> jobs;
    std::function<void(ScriptedWorker&, const UnitPtr&)> body = [](ScriptedWorker&, const UnitPtr& unit) {
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
    };
    MultiFileOutcome outcome;
    std::atomic<bool> returned{false};
    std::mutex idsMutex;
    std::set<std::thread::id> threadIds;
};

void sleepReal(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

class MultiFileWorkerTest : public ::testing::Test {
protected:
    test::ScopedTestClock clock;
    test::EngineHarness harness;
};

TEST_F(MultiFileWorkerTest, RunsEveryUnitOnceOnAtMostCoreCountThreadsAndPasses) {
    for (std::size_t count : {1u, 3u, 40u}) {
        ScriptedWorker worker(harness.thread, count);
        worker.work();
        for (const auto& unit : worker.units) EXPECT_EQ(unit->runs.load(), 1);
        EXPECT_LE(static_cast<std::int64_t>(worker.threadIds.size()), std::min<std::int64_t>(count, worker.coreCount()));
        EXPECT_TRUE(worker.outcome.passed()) << count;
        EXPECT_EQ(worker.outcome.count, static_cast<double>(count));
        const auto values = test::progressValues(harness.takeEvents());
        ASSERT_FALSE(values.empty());
        EXPECT_DOUBLE_EQ(values.back(), 100.0);
        for (double value : values) {
            EXPECT_GE(value, 0.0);
            EXPECT_LE(value, 100.0);
        }
    }
}

TEST_F(MultiFileWorkerTest, SplitsWorkAcrossThreadsWhenUnitsWait) {
    // Each unit waits (up to 5 s) until as many units run at once as there
    // may be threads: only distinct threads can get there.
    ScriptedWorker worker(harness.thread, 6);
    const int expected = static_cast<int>(std::min<std::int64_t>(6, worker.coreCount()));
    std::atomic<int> running{0};
    worker.body = [&](ScriptedWorker&, const UnitPtr& unit) {
        running.fetch_add(1);
        test::eventually([&] { return running.load() >= expected; }, 5.0);
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
    };
    worker.work();
    EXPECT_EQ(static_cast<int>(worker.threadIds.size()), expected);
}

TEST_F(MultiFileWorkerTest, ProgressIsTheSumOverTheCountAndAFailedUnitFailsTheRun) {
    ScriptedWorker worker(harness.thread, 4);
    worker.body = [&](ScriptedWorker&, const UnitPtr& unit) {
        unit->progressValue.store(unit == worker.units[2] ? 0.5 : 1.0);
        unit->finalFlag.store(true);
    };
    worker.work();
    EXPECT_FALSE(worker.outcome.passed());
    EXPECT_FALSE(worker.outcome.cancelled);
    EXPECT_DOUBLE_EQ(worker.outcome.sum, 3.5);
    const auto values = test::progressValues(harness.takeEvents());
    ASSERT_FALSE(values.empty());
    EXPECT_DOUBLE_EQ(values.back(), 3.5 / 4 * 100);
}

TEST_F(MultiFileWorkerTest, AbsentUnitsCountButAddNothing) {
    ScriptedWorker worker(harness.thread, 2);
    worker.units.push_back(nullptr);
    worker.work();
    EXPECT_EQ(worker.outcome.count, 3.0);
    EXPECT_DOUBLE_EQ(worker.outcome.sum, 2.0);
    EXPECT_FALSE(worker.outcome.passed());
}

TEST_F(MultiFileWorkerTest, NoUnitsPassesWithoutThreadsAndPostsOneHundred) {
    ScriptedWorker worker(harness.thread, 0);
    worker.work();
    EXPECT_TRUE(worker.outcome.passed());
    EXPECT_TRUE(worker.threadIds.empty());
    const auto values = test::progressValues(harness.takeEvents());
    ASSERT_EQ(values.size(), 1u);
    EXPECT_DOUBLE_EQ(values.front(), 100.0);
}

TEST_F(MultiFileWorkerTest, AUnitThatWillBeTriedAgainKeepsTheRunGoing) {
    // The first run of each unit fails and stays not final until the run has
    // polled it again before the unit is queued again; the run must wait for
    // the second run.
    ScriptedWorker worker(harness.thread, 3);
    worker.body = [&](ScriptedWorker& owner, const UnitPtr& unit) {
        if (unit->runs.load() == 1) {
            // Two more 0.01 s pauses begun: at least one whole poll in between.
            const double from = clock->sleptSeconds();
            test::eventually([&] { return clock->sleptSeconds() >= from + 0.0199; });
            owner.requeue(unit);
            return;
        }
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
    };
    worker.work();
    for (const auto& unit : worker.units) EXPECT_EQ(unit->runs.load(), 2);
    EXPECT_TRUE(worker.outcome.passed());
}

TEST_F(MultiFileWorkerTest, TheAfterUnitStepIsDoneBeforeTheRunReturns) {
    ScriptedWorker worker(harness.thread, 3);
    worker.body = [](ScriptedWorker&, const UnitPtr& unit) {
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
        sleepReal(0.05);
        unit->afterStepDone.store(true);
    };
    worker.work();
    for (const auto& unit : worker.units) EXPECT_TRUE(unit->afterStepDone.load());
}

TEST_F(MultiFileWorkerTest, TheOutcomeCountsTheProgressUnitsEndWith) {
    // A unit that is final and then takes its progress back before its
    // thread is done must not let the run pass.
    ScriptedWorker worker(harness.thread, 2);
    worker.body = [&](ScriptedWorker&, const UnitPtr& unit) {
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
        if (unit != worker.units[1]) return;
        sleepReal(0.05);
        unit->progressValue.store(0.0);
    };
    worker.work();
    EXPECT_DOUBLE_EQ(worker.outcome.sum, 1.0);
    EXPECT_FALSE(worker.outcome.passed());
}

// Each look at the units would come 20 s after the one before (the clock
// stretches the 0.01 s waits): the run still returns at once, because the
// end of its last unit thread ends the wait, also when the threads end one
// after another; its outcome and last progress are those of the whole run.
TEST_F(MultiFileWorkerTest, TheWaitForTheNextLookEndsWithTheLastUnitThread) {
    test::ScopedTestClock clock(2000.0);
    ScriptedWorker worker(harness.thread, 6);
    std::atomic<int> order{0};
    worker.body = [&](ScriptedWorker&, const UnitPtr& unit) {
        sleepReal(0.005 * order.fetch_add(1));
        unit->progressValue.store(1.0);
        unit->finalFlag.store(true);
    };
    std::thread run([&] { worker.work(); });
    EXPECT_TRUE(test::eventually([&] { return worker.returned.load(); }, 10.0));
    run.join();
    EXPECT_TRUE(worker.outcome.passed());
    const auto values = test::progressValues(harness.takeEvents());
    ASSERT_FALSE(values.empty());
    EXPECT_DOUBLE_EQ(values.back(), 100.0);
}

TEST_F(MultiFileWorkerTest, CancellationCancelsEveryUnitOnceAndReturnsCancelled) {
    // One unit thread per core blocks on its unit until cancelled; the units
    // still queued are cancelled too and end when a thread takes them.
    auto worker = std::make_shared<ScriptedWorker>(harness.thread, 12);
    std::atomic<int> started{0};
    worker->body = [&](ScriptedWorker&, const UnitPtr& unit) {
        started.fetch_add(1);
        while (!unit->cancelled.load()) sleepReal(0.001);
        unit->finalFlag.store(true);
    };
    harness.thread->workers().append(worker);
    harness.thread->start();
    while (started.load() == 0) sleepReal(0.001);
    harness.thread->cancel();
    harness.thread->join();
    ASSERT_TRUE(worker->returned.load());
    EXPECT_TRUE(worker->outcome.cancelled);
    EXPECT_FALSE(worker->outcome.passed());
    for (const auto& unit : worker->units) EXPECT_EQ(unit->cancels.load(), 1);
}

}  // namespace
}  // namespace hexora::Worker::Common
