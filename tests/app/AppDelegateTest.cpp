#include "app/AppDelegate.hpp"
#include "engine/Launcher.hpp"
#include "engine/StateMessages.hpp"
#include "engine/Worker.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/rum/RumApi.hpp"
#include "services/rum/RumUploads.hpp"
#include "support/Eventually.hpp"
#include "support/FakeApplication.hpp"
#include "support/FakeLauncherView.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace hexora {
namespace {

using S = LauncherState;

// A first worker that runs until its run is cancelled (and, while `held`
// is set, until the test lets it go).
class UntilCancelled : public Worker::Worker {
public:
    using Worker::Worker;
    void work() override {
        started = true;
        while (!isCancelled() || held) std::this_thread::yield();
    }
    static inline std::atomic<bool> started{false};
    static inline std::atomic<bool> held{false};
};

class AppDelegateTest : public test::RunStateFixture {
protected:
    AppDelegateTest() {
        UntilCancelled::started = false;
        UntilCancelled::held = false;
        LauncherFirstWorkers factories;
        factories.boot = [](std::shared_ptr<Worker::WorkerThread> thread) {
            return std::make_shared<UntilCancelled>(std::move(thread));
        };
        factories.openUrls = [this](std::shared_ptr<Worker::WorkerThread> thread, std::vector<std::string> urls) {
            handedUrls = urls;
            return std::make_shared<UntilCancelled>(std::move(thread));
        };
        Launcher::shared().setFirstWorkers(factories);
    }
    ~AppDelegateTest() override {
        UntilCancelled::held = false;
        if (auto thread = Launcher::shared().workerThread()) {
            thread->cancel();
            thread->join();
            thread->workers().removeAll();  // a worker never run holds its thread
        }
    }

    std::vector<S> postedStates() {
        std::vector<S> states;
        while (auto event = manager->queue().takeFirst())
            if (event->state) states.push_back(*event->state);
        return states;
    }

    test::ScopedFakeApplication application;
    test::LogCapture log;
    std::shared_ptr<test::FakeLauncherView> view = std::make_shared<test::FakeLauncherView>();
    std::shared_ptr<UIUpdateManager> manager =
        std::make_shared<UIUpdateManager>(view, std::make_shared<test::FakeDisplayTimer>());
    int quits = 0;
    app::AppDelegate delegate{[this] { ++quits; }};
    std::vector<std::string> handedUrls;
};

TEST_F(AppDelegateTest, QuitBeforeAnyRunHappensAtOnce) {
    delegate.terminate();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(log.contains("AppDelegate.applicationShouldTerminate: terminate now"));
}

TEST_F(AppDelegateTest, QuitWhileRunningIsDeferredUntilTheRunHasEnded) {
    UntilCancelled::held = true;  // the run lasts until after the second request
    Launcher::shared().setup(manager);
    manager->start();
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(log.contains("AppDelegate.applicationDidFinishLaunching"));
    auto thread = Launcher::shared().workerThread();
    while (!UntilCancelled::started) std::this_thread::yield();

    EXPECT_FALSE(delegate.applicationShouldTerminate());
    EXPECT_TRUE(log.contains("AppDelegate.applicationShouldTerminate: updater is running"));
    EXPECT_TRUE(thread->isTerminateRequested());
    EXPECT_TRUE(thread->isCancelled());
    // The notice is on screen before the display's next tick.
    EXPECT_EQ(view->message, "Hexora Launcher will be terminated.\r\nPlease wait.");
    EXPECT_EQ(view->closeButtonEnabled, false);
    delegate.terminate();  // a second request while the run winds down
    EXPECT_EQ(quits, 0);

    UntilCancelled::held = false;
    thread->join();
    EXPECT_TRUE(postedStates().empty()) << "the notice was posted once and drawn";
    // The thread's own termination, run on the main queue, now goes through.
    ASSERT_TRUE(application->waitForBlock());
    application->setOnTerminate([this] { delegate.terminate(); });
    application->runMainQueue();
    EXPECT_EQ(quits, 1);
}

// The run has ended (the window shows what it left) and its last flush waits
// for a collector that never answers: a quit now goes through at once, and
// the end of the event loop makes the flush give up and abort its upload.
TEST_F(AppDelegateTest, QuitDuringTheLastFlushEndsAtOnceAndGivesTheFlushUp) {
    std::atomic<bool> uploadAborted{false};
    Rum::RumUploads::start([&](Rum::Upload& upload) {
        while (!upload.abort) std::this_thread::yield();
        uploadAborted = true;
        upload.finished = true;
        upload.done = true;
    });
    Launcher::shared().setup(manager);
    manager->start();
    delegate.applicationDidFinishLaunching();
    auto thread = Launcher::shared().workerThread();
    while (!UntilCancelled::started) std::this_thread::yield();
    thread->cancel();  // the run ends on its own, not by a quit
    ASSERT_TRUE(test::eventually([&] { return log.contains("WorkerThread: terminated"); }));
    ASSERT_TRUE(thread->isActive()) << "the flush waits for the upload";

    delegate.terminate();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(log.contains("AppDelegate.applicationShouldTerminate: terminate now"));
    EXPECT_FALSE(thread->isTerminateRequested());
    delegate.applicationWillTerminate();
    EXPECT_TRUE(thread->isFinished());
    EXPECT_TRUE(test::eventually([&] { return uploadAborted.load(); }));
    EXPECT_TRUE(postedStates().empty()) << "no terminating notice over what the run left";
}

// When the event loop ends, the driver's thread is cancelled and joined: it
// never outlives the program.
TEST_F(AppDelegateTest, EndOfTheEventLoopEndsTheWorkerThread) {
    Launcher::shared().setup(manager);
    delegate.applicationDidFinishLaunching();
    auto thread = Launcher::shared().workerThread();
    while (!UntilCancelled::started) std::this_thread::yield();

    delegate.applicationWillTerminate();
    EXPECT_TRUE(thread->isFinished());
    EXPECT_TRUE(thread->isCancelled());
    EXPECT_FALSE(thread->isTerminateRequested());
}

TEST_F(AppDelegateTest, OpenedUrlsGoToTheHandOff) {
    Launcher::shared().setup(manager);
    delegate.applicationOpenUrls({"hexoramac://a"});
    EXPECT_EQ(handedUrls, std::vector<std::string>{"hexoramac://a"});
    delegate.applicationWillTerminate();
    EXPECT_TRUE(log.contains("AppDelegate.applicationWillTerminate"));
}

}  // namespace
}  // namespace hexora
