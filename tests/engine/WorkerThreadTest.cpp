#include "engine/LauncherError.hpp"
#include "engine/Worker.hpp"
#include "engine/WorkerError.hpp"
#include "engine/WorkerThread.hpp"
#include "platform/Clock.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/FakeApplication.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"
#include "support/TestClock.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace hexora {
namespace {

using S = LauncherState;
using Worker::LauncherError;
using Worker::WorkerError;

// A worker whose step is a lambda.
class LambdaWorker : public Worker::Worker {
public:
    using Body = std::function<void(LambdaWorker&)>;
    LambdaWorker(std::shared_ptr<Worker::WorkerThread> thread, Body body, CompletionHandler done = nullptr)
        : Worker(std::move(thread), std::move(done)), body_(std::move(body)) {}
    void work() override { body_(*this); }

private:
    Body body_;
};

// A worker thread that keeps each flushed batch instead of uploading it and
// notes on which thread the flush ran.
class RecordingWorkerThread : public Worker::WorkerThread {
public:
    using WorkerThread::WorkerThread;

    struct Flush {
        std::vector<Rum::LogData> records;
        std::thread::id thread;
    };
    std::vector<Flush> flushes() const {
        std::lock_guard lock(mutex_);
        return flushes_;
    }

    /// Holds main() back until openGate(), as a thread slow to get going.
    void closeGate() { gateOpen_ = false; }
    void openGate() { gateOpen_ = true; }
    /// Holds the flush (after it took the batch) until releaseFlush(), as a
    /// collector that is slow to answer.
    void holdFlush() { flushHeld_ = true; }
    void releaseFlush() { flushHeld_ = false; }
    bool isFlushing() const { return flushing_; }

protected:
    void main() override {
        while (!gateOpen_) std::this_thread::yield();
        WorkerThread::main();
    }
    void flushTelemetry() override {
        {
            std::lock_guard lock(mutex_);
            flushes_.push_back({Rum::Api::takePendingRecords(), std::this_thread::get_id()});
        }
        flushing_ = true;
        while (flushHeld_) std::this_thread::yield();
        flushing_ = false;
    }

private:
    std::atomic<bool> flushHeld_{false};
    std::atomic<bool> flushing_{false};
    mutable std::mutex mutex_;
    std::vector<Flush> flushes_;
    std::atomic<bool> gateOpen_{true};
};

std::vector<std::string> events(const std::vector<Rum::LogData>& records) {
    std::vector<std::string> out;
    for (const auto& record : records) out.push_back(record.MinorType + "/" + record.Event + "/" + record.EventState);
    return out;
}

class WorkerThreadTest : public test::RunStateFixture {
protected:
    WorkerThreadTest() { engine.thread = thread; }

    std::shared_ptr<LambdaWorker> worker(LambdaWorker::Body body, Worker::WorkerBase::CompletionHandler done = nullptr) {
        return std::make_shared<LambdaWorker>(engine.thread, std::move(body), std::move(done));
    }
    void enqueue(std::shared_ptr<Worker::WorkerBase> w) { engine.thread->workers().append(std::move(w)); }
    std::vector<std::string> flushedEvents() {
        std::vector<std::string> all;
        for (const auto& flush : thread->flushes())
            for (auto& e : events(flush.records)) all.push_back(e);
        return all;
    }

    test::ScopedTestClock clock;
    test::ScopedFakeApplication application;
    test::LogCapture log;
    test::EngineHarness engine;
    std::shared_ptr<RecordingWorkerThread> thread = std::make_shared<RecordingWorkerThread>(engine.manager);
};

TEST_F(WorkerThreadTest, RunsWorkersFirstInFirstOutWhoeverAppends) {
    std::mutex mutex;
    std::vector<std::string> ran;
    auto note = [&](const std::string& name) {
        std::lock_guard lock(mutex);
        ran.push_back(name);
    };
    // A and B are appended from two other threads, one after the other; A
    // appends C while it runs, so C runs after B.
    std::thread([&] {
        enqueue(worker([&](LambdaWorker& self) {
            note("A");
            self.enqueue(worker([&](LambdaWorker&) { note("C"); }));
        }));
    }).join();
    std::thread([&] { enqueue(worker([&](LambdaWorker&) { note("B"); })); }).join();
    engine.run();
    EXPECT_EQ(ran, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_FALSE(engine.thread->isRun());
    EXPECT_TRUE(engine.thread->isFinished());
}

TEST_F(WorkerThreadTest, EmptiedQueueEndsWithTerminatedRecordFlushedOnTheWorkerThread) {
    std::thread::id workerThreadId;
    enqueue(worker([&](LambdaWorker& self) {
        workerThreadId = std::this_thread::get_id();
        EXPECT_TRUE(self.workerThread()->isRun());
    }));
    engine.run();
    ASSERT_EQ(thread->flushes().size(), 1u);
    EXPECT_EQ(thread->flushes()[0].thread, workerThreadId);
    EXPECT_EQ(flushedEvents(), (std::vector<std::string>{"WorkerThread/terminated/Succeeded"}));
    EXPECT_TRUE(log.contains("WorkerThread: terminated"));
    EXPECT_EQ(application->pendingBlocks(), 0);
    EXPECT_EQ(application->terminateCount(), 0);
}

TEST_F(WorkerThreadTest, FailingWorkerDropsTheRestAndShowsItsState) {
    bool laterRan = false;
    enqueue(worker([](LambdaWorker&) {
        throw LauncherError(LauncherError::Code::Failed, "CTestStep", "api failed")
            .withState(S::Failed_Api)
            .withRum(Rum::LogData("CTestStep", "request", "Failed", "ERROR"));
    }));
    enqueue(worker([&](LambdaWorker&) { laterRan = true; }));
    engine.run();

    EXPECT_FALSE(laterRan);
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::Failed_Api});
    EXPECT_EQ(flushedEvents(),
              (std::vector<std::string>{"CTestStep/request/Failed", "WorkerThread/terminated/Succeeded"}));
    EXPECT_TRUE(engine.thread->workers().takeFirst()) << "the dropped worker stays queued, unrun";
    EXPECT_FALSE(engine.thread->isTerminateRequested());
    EXPECT_EQ(application->pendingBlocks(), 0);

    // The state reaches the window through the display manager.
    engine.manager->start();
    engine.manager->queue().append(UIUpdateEvent::stateChange(S::Failed_Api));
    engine.timer->fire();
    EXPECT_EQ(engine.view->message, "Connection failed.\r\nPlease try again later.");
}

TEST_F(WorkerThreadTest, SucceededErrorWithTerminateFlushesOnTheWorkerThreadThenTerminatesOnTheMainQueue) {
    std::thread::id workerThreadId;
    enqueue(worker([&](LambdaWorker&) {
        workerThreadId = std::this_thread::get_id();
        throw LauncherError(LauncherError::Code::Succeeded, "GStart", "game started")
            .withState(S::LaunchApp)
            .withRum(Rum::LogData("GStart", "start", "Succeeded", "INFO"))
            .withTerminateWhenAvailable(true);
    }));
    bool laterRan = false;
    enqueue(worker([&](LambdaWorker&) { laterRan = true; }));
    engine.run();

    EXPECT_FALSE(laterRan);
    EXPECT_TRUE(engine.thread->isTerminateRequested());
    // No ReservedAppTerminating on this path: only the error's state.
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::LaunchApp});
    EXPECT_TRUE(log.contains("[GStart] game started"));
    EXPECT_TRUE(log.contains("WorkerThread: terminated with terminating app"));
    // The flush ran on the worker thread (the main thread goes on painting),
    // before the termination was submitted.
    ASSERT_EQ(thread->flushes().size(), 1u);
    EXPECT_EQ(thread->flushes()[0].thread, workerThreadId);
    EXPECT_EQ(flushedEvents(), (std::vector<std::string>{"GStart/start/Succeeded",
                                                         "WorkerThread/terminated with terminating app/Succeeded"}));
    EXPECT_EQ(application->terminateCount(), 0);
    EXPECT_EQ(application->runMainQueue(), 1);
    EXPECT_EQ(application->terminateCount(), 1);
}

TEST_F(WorkerThreadTest, ErrorsWithoutTheTerminateFlagLeaveTheApplicationUp) {
    for (auto code : {std::optional(LauncherError::Code::Succeeded), std::optional(LauncherError::Code::Failed),
                      std::optional<LauncherError::Code>()}) {
        for (auto flag : {std::optional(false), std::optional<bool>()}) {
            test::EngineHarness run;
            run.thread->workers().append(std::make_shared<LambdaWorker>(run.thread, [&](LambdaWorker&) {
                LauncherError error(code, "LTest", "done");
                if (flag) error.withTerminateWhenAvailable(*flag);
                throw error;
            }));
            run.run();
            EXPECT_FALSE(run.thread->isTerminateRequested());
            EXPECT_EQ(application->pendingBlocks(), 0);
        }
    }
    EXPECT_EQ(application->terminateCount(), 0);
}

// The log line an error that ends the run leaves, by kind of error.
TEST_F(WorkerThreadTest, EndingErrorsAreLoggedByKind) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        std::string level;
        std::string text;
    };
    const auto inner = std::make_exception_ptr(std::runtime_error("disk full"));
    const std::vector<Case> cases = {
        {"launcher error with inner error",
         [&] { throw LauncherError(LauncherError::Code::Failed, "CReplace", "replace failed").withError(inner); },
         "error", "[CReplace] replace failed\n-> disk full"},
        {"succeeded launcher error with inner description",
         [&] { throw LauncherError(LauncherError::Code::Succeeded, "GStart", "ok").withError(std::string("why")); },
         "error", "[GStart] ok\n-> why"},
        {"succeeded launcher error", [] { throw LauncherError(LauncherError::Code::Succeeded, "GStart", "ok"); },
         "info", "[GStart] ok"},
        {"failed launcher error", [] { throw LauncherError(LauncherError::Code::Failed, "LBoot", "no"); }, "error",
         "[LBoot] no"},
        {"launcher error without code", [] { throw LauncherError(std::nullopt, "LBoot", "no"); }, "error",
         "[LBoot] no"},
        {"worker error with inner error",
         [&] { throw WorkerError(WorkerError::Code::Failed, "CUnzip", "bad zip").withError(inner); }, "error",
         "[CUnzip] bad zip\n-> disk full"},
        {"succeeded worker error", [] { throw WorkerError(WorkerError::Code::Succeeded, "CUnzip", "fine"); }, "info",
         "[CUnzip] fine"},
        {"worker error without code", [] { throw WorkerError(std::nullopt, "CUnzip", "bad"); }, "error",
         "[CUnzip] bad"},
        {"other exception", [] { throw std::logic_error("broken"); }, "error",
         "WorkerThread main unexpected error: broken"},
        {"non-standard exception", [] { throw 42; }, "error", "WorkerThread main unexpected error: unknown error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LogCapture capture;
        test::EngineHarness run;
        run.thread->workers().append(
            std::make_shared<LambdaWorker>(run.thread, [&](LambdaWorker&) { c.thrower(); }));
        run.run();
        bool found = false;
        for (const auto& line : capture.lines())
            if (line.text == c.text) {
                found = true;
                EXPECT_EQ(line.level, c.level);
            }
        EXPECT_TRUE(found) << c.text;
        EXPECT_TRUE(run.takeStates().empty());
        EXPECT_FALSE(run.thread->isTerminateRequested());
    }
}

TEST_F(WorkerThreadTest, WorkerErrorQueuesNoRecordOfItsOwn) {
    enqueue(worker([](LambdaWorker&) { throw WorkerError(WorkerError::Code::Failed, "CTest", "bad"); }));
    engine.run();
    EXPECT_EQ(flushedEvents(), (std::vector<std::string>{"WorkerThread/terminated/Succeeded"}));
}

TEST_F(WorkerThreadTest, CancellationIsSeenBeforeTheNextWorker) {
    std::atomic<bool> started{false};
    bool sawCancel = false;
    bool laterRan = false;
    enqueue(worker([&](LambdaWorker& self) {
        started = true;
        while (!self.isCancelled()) platform::sleepSeconds(0.01);
        sawCancel = true;
    }));
    enqueue(worker([&](LambdaWorker&) { laterRan = true; }));
    engine.thread->start();
    while (!started) std::this_thread::yield();
    engine.thread->cancel();
    engine.thread->cancel();  // already cancelled: no second record
    engine.thread->join();

    EXPECT_TRUE(sawCancel);
    EXPECT_FALSE(laterRan);
    EXPECT_TRUE(log.contains("WorkerThread: cancelled"));
    EXPECT_EQ(flushedEvents(), (std::vector<std::string>{"WorkerThread/cancel/Start", "WorkerThread/cancel/Succeeded",
                                                         "WorkerThread/terminated/Succeeded"}));
}

TEST_F(WorkerThreadTest, QuittingWhileRunningPostsReservedTerminatingOnceAndTerminatesAfterTheRun) {
    std::atomic<bool> started{false};
    enqueue(worker([&](LambdaWorker& self) {
        started = true;
        while (!self.isCancelled()) platform::sleepSeconds(0.01);
    }));
    engine.thread->start();
    while (!started) std::this_thread::yield();
    // What the shell does when the user quits: request, cancel, refuse for now.
    engine.thread->requestTerminate();
    engine.thread->requestTerminate();
    engine.thread->cancel();
    engine.thread->join();

    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::ReservedAppTerminating});
    ASSERT_TRUE(application->waitForBlock());
    application->runMainQueue();
    EXPECT_EQ(application->terminateCount(), 1);
    EXPECT_EQ(flushedEvents(),
              (std::vector<std::string>{"WorkerThread/cancel/Start", "WorkerThread/cancel/Succeeded",
                                        "WorkerThread/terminated with terminating app/Succeeded"}));
}

// The shell asks for termination only while isRun is true, but the run may end
// between that look and the request: the request must not be lost.
TEST_F(WorkerThreadTest, RequestTerminateAfterTheRunEndedStillTerminates) {
    enqueue(worker([](LambdaWorker&) {}));
    engine.run();
    EXPECT_EQ(application->pendingBlocks(), 0);
    engine.thread->requestTerminate();
    engine.thread->requestTerminate();
    EXPECT_EQ(application->runMainQueue(), 1);
    EXPECT_EQ(application->terminateCount(), 1);
    EXPECT_EQ(thread->flushes().size(), 1u) << "the run's own flush sent everything";
    EXPECT_TRUE(engine.takeStates().empty()) << "the window keeps what the run left";
}

// A quit while the ended run's last flush waits (the window shows the failure
// the run left): deferred until the flush has ended, then the application
// terminates, without the terminating notice over the failure.
TEST_F(WorkerThreadTest, RequestTerminateDuringTheLastFlushTerminatesOnceItHasEnded) {
    enqueue(worker([](LambdaWorker&) {
        throw LauncherError(LauncherError::Code::Failed, "CTestStep", "api failed").withState(S::Failed_Api);
    }));
    thread->holdFlush();
    engine.thread->start();
    ASSERT_TRUE(test::eventually([&] { return thread->isFlushing(); }));
    EXPECT_FALSE(engine.thread->isRun());
    EXPECT_TRUE(engine.thread->isActive());

    engine.thread->requestTerminate();
    EXPECT_EQ(application->pendingBlocks(), 0) << "nothing terminates while the flush runs";
    thread->releaseFlush();
    engine.thread->join();

    EXPECT_FALSE(engine.thread->isActive());
    EXPECT_EQ(application->runMainQueue(), 1);
    EXPECT_EQ(application->terminateCount(), 1);
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::Failed_Api});
}

TEST_F(WorkerThreadTest, RequestTerminateBeforeStartWaitsForTheRun) {
    std::atomic<bool> release{false};
    engine.thread->requestTerminate();
    enqueue(worker([&](LambdaWorker&) {
        while (!release) platform::sleepSeconds(0.01);
    }));
    EXPECT_EQ(application->pendingBlocks(), 0);
    engine.thread->start();
    EXPECT_TRUE(engine.thread->isRun()) << "running as soon as started";
    EXPECT_EQ(application->pendingBlocks(), 0);
    release = true;
    engine.thread->join();
    EXPECT_FALSE(engine.thread->isRun());
    EXPECT_EQ(application->runMainQueue(), 1);
    EXPECT_EQ(application->terminateCount(), 1);
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::ReservedAppTerminating});
}

// Between start() and the first worker the thread already counts as running,
// so the shell defers a quit and cancels: that cancel must reach the run.
// A worker's pause keeps its length while nobody quits, ends at the cancel
// (the scaled pause would last a minute of real time) and is skipped once the
// run is cancelled.
TEST_F(WorkerThreadTest, APauseKeepsItsLengthEndsAtTheCancelAndIsSkippedAfterIt) {
    std::atomic<bool> pausing{false};
    std::atomic<double> uncancelled{0}, afterCancel{-1};
    std::atomic<std::chrono::steady_clock::rep> endedAt{0};
    enqueue(worker([&](LambdaWorker& self) {
        self.sleepUnlessCancelled(2.5);
        uncancelled = clock->sleptSeconds();
        pausing = true;
        self.sleepUnlessCancelled(6000);
        endedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        const double before = clock->sleptSeconds();
        self.sleepUnlessCancelled(100);
        afterCancel = clock->sleptSeconds() - before;
    }));
    engine.thread->start();
    ASSERT_TRUE(test::eventually([&] { return pausing.load(); }));
    const auto cancelledAt = std::chrono::steady_clock::now();
    engine.thread->cancel();
    engine.thread->join();

    EXPECT_DOUBLE_EQ(uncancelled, 2.5);
    const auto ended = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(endedAt.load()));
    EXPECT_LT(ended - cancelledAt, std::chrono::seconds(5)) << "the pause slept through the cancel";
    EXPECT_EQ(afterCancel, 0.0) << "a pause after the cancel slept";
}

TEST_F(WorkerThreadTest, CancelRightAfterStartStopsBeforeTheFirstWorker) {
    bool ran = false;
    enqueue(worker([&](LambdaWorker&) { ran = true; }));
    thread->closeGate();
    engine.thread->start();
    EXPECT_TRUE(engine.thread->isRun());
    engine.thread->cancel();
    thread->openGate();
    engine.thread->join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(flushedEvents(), (std::vector<std::string>{"WorkerThread/cancel/Start", "WorkerThread/cancel/Succeeded",
                                                         "WorkerThread/terminated/Succeeded"}));
}

TEST_F(WorkerThreadTest, CancelBeforeStartDoesNothing) {
    engine.thread->cancel();
    EXPECT_EQ(engine.thread->cancellationTokenSource(), nullptr);
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
    bool ran = false;
    enqueue(worker([&](LambdaWorker&) { ran = true; }));
    engine.run();
    EXPECT_TRUE(ran);
}

TEST_F(WorkerThreadTest, RequestTerminateFromManyThreadsPostsOnce) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { engine.thread->requestTerminate(); });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(engine.thread->isTerminateRequested());
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::ReservedAppTerminating});
}

TEST_F(WorkerThreadTest, StartsOnlyOnce) {
    int runs = 0;
    enqueue(worker([&](LambdaWorker&) { ++runs; }));
    EXPECT_TRUE(engine.thread->start());
    EXPECT_FALSE(engine.thread->start());
    engine.thread->join();
    enqueue(worker([&](LambdaWorker&) { ++runs; }));
    EXPECT_FALSE(engine.thread->start());
    engine.thread->join();
    EXPECT_EQ(runs, 1);
}

TEST_F(WorkerThreadTest, BaseWorkCallsTheCompletionHandlerAndItsFailureEndsTheRun) {
    std::vector<bool> told;
    auto plain = std::make_shared<Worker::Worker>(engine.thread, [&](bool ok) { told.push_back(ok); });
    auto failing = std::make_shared<Worker::Worker>(engine.thread, [](bool) {
        throw LauncherError(LauncherError::Code::Failed, "Handler", "refused")
            .withState(S::Failed_Validation);
    });
    bool laterRan = false;
    enqueue(plain);
    enqueue(std::make_shared<Worker::Worker>(engine.thread));  // no handler: nothing happens
    enqueue(failing);
    enqueue(worker([&](LambdaWorker&) { laterRan = true; }));
    engine.run();
    EXPECT_EQ(told, std::vector<bool>{true});
    EXPECT_FALSE(laterRan);
    EXPECT_EQ(engine.takeStates(), std::vector<S>{S::Failed_Validation});
}

TEST_F(WorkerThreadTest, WorkerTakesTheThreadsDisplayAndTheProcessorCount) {
    auto w = worker([](LambdaWorker&) {});
    EXPECT_EQ(w->workerThread(), engine.thread);
    EXPECT_EQ(w->uiUpdateManager(), engine.manager);
    EXPECT_EQ(w->coreCount(), std::max<std::int64_t>(1, std::thread::hardware_concurrency()));
    w->post(UIUpdateEvent::progressValue(12.5));
    auto events = engine.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].progress, 12.5);
    EXPECT_THROW(LambdaWorker(nullptr, [](LambdaWorker&) {}), std::invalid_argument);
}

// The running thread holds itself; when every other owner is gone by then,
// the thread object dies on its own thread, which must not try to join itself.
TEST(WorkerThreadLifetime, LastOwnerMayBeTheWorkerThreadItself) {
    test::ScopedFakeApplication application;
    auto manager = std::make_shared<UIUpdateManager>(nullptr, nullptr);
    auto thread = std::make_shared<Worker::WorkerThread>(manager);
    std::weak_ptr<Worker::WorkerThread> watched = thread;
    thread->start();
    thread.reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!watched.expired() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_TRUE(watched.expired());
    Rum::Api::takePendingRecords();
}

TEST(WorkerThreadBase, RunsTheQueueQuietlyAndTerminatesWithoutFlush) {
    test::ScopedFakeApplication application;
    Rum::Api::takePendingRecords();
    test::LogCapture log;
    auto base = std::make_shared<Worker::WorkerThreadBase>();
    std::vector<int> ran;
    struct Step : Worker::WorkerBase {
        Step(std::shared_ptr<Worker::WorkerThreadBase> t, std::vector<int>& ran, int id)
            : WorkerBase(std::move(t)), ran(ran), id(id) {}
        void work() override {
            ran.push_back(id);
            if (id == 2) throw std::runtime_error("stop here");
        }
        std::vector<int>& ran;
        int id;
    };
    for (int id = 1; id <= 3; ++id) base->workers().append(std::make_shared<Step>(base, ran, id));
    base->requestTerminate();
    base->start();
    base->join();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
    ASSERT_EQ(application->runMainQueue(), 1);
    EXPECT_EQ(application->terminateCount(), 1);
    base->workers().removeAll();
}

}  // namespace
}  // namespace hexora
