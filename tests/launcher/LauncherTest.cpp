#include "engine/Launcher.hpp"
#include "engine/OpenedUrlFlag.hpp"
#include "engine/Worker.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/rum/RumApi.hpp"
#include "support/FakeApplication.hpp"
#include "support/FakeLauncherView.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TestClock.hpp"
#include "workers/FirstWorkers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace hexora {
namespace {

using S = LauncherState;

// A first worker that notes that it ran and, when asked to, holds the run
// until the test lets it go.
class NotingWorker : public Worker::Worker {
public:
    NotingWorker(std::shared_ptr<WorkerThread> thread, std::string name, std::vector<std::string>* ran,
                 std::mutex* mutex)
        : Worker(std::move(thread)), name_(std::move(name)), ran_(ran), mutex_(mutex) {}

    void work() override {
        std::unique_lock lock(*mutex_);
        ran_->push_back(name_);
        started = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !hold; });
    }

    bool hold = false;
    bool started = false;
    std::condition_variable changed;

private:
    std::string name_;
    std::vector<std::string>* ran_;
    std::mutex* mutex_;
};

std::vector<std::string> eventsOf(const std::vector<Rum::LogData>& records) {
    std::vector<std::string> out;
    for (const auto& record : records) out.push_back(record.MinorType + "/" + record.Event + "/" + record.EventState);
    return out;
}

class LauncherTest : public test::RunStateFixture {
protected:
    LauncherTest() {
        // The program's product set-up, with first workers that only note their run.
        LauncherFirstWorkers factories = firstWorkers();
        factories.boot = [this](std::shared_ptr<Worker::WorkerThread> thread) {
            return make(std::move(thread), "LBoot");
        };
        factories.openUrls = [this](std::shared_ptr<Worker::WorkerThread> thread, std::vector<std::string> urls) {
            handedUrls = urls;
            return make(std::move(thread), "GHandleOpenUrls");
        };
        launcher().setFirstWorkers(factories);
    }
    ~LauncherTest() override {
        release();
        if (auto thread = launcher().workerThread()) {
            thread->join();
            thread->workers().removeAll();
        }
    }

    static Launcher& launcher() { return Launcher::shared(); }

    std::shared_ptr<NotingWorker> make(std::shared_ptr<Worker::WorkerThread> thread, std::string name) {
        auto worker = std::make_shared<NotingWorker>(std::move(thread), std::move(name), &ran, &mutex);
        worker->hold = holdWorkers;
        made.push_back(worker);
        return worker;
    }

    void waitUntilStarted(NotingWorker& worker) {
        std::unique_lock lock(mutex);
        worker.changed.wait(lock, [&] { return worker.started; });
    }
    void release() {
        std::lock_guard lock(mutex);
        for (auto& worker : made) {
            worker->hold = false;
            worker->changed.notify_all();
        }
    }
    std::vector<std::string> ranWorkers() {
        std::lock_guard lock(mutex);
        return ran;
    }
    // Starts and waits for the run to end (the workers do not hold).
    void startAndFinish() {
        launcher().start();
        launcher().workerThread()->join();
    }

    test::ScopedTestClock clock;
    test::ScopedFakeApplication application;
    test::LogCapture log;
    std::shared_ptr<test::FakeLauncherView> view = std::make_shared<test::FakeLauncherView>();
    std::shared_ptr<UIUpdateManager> manager =
        std::make_shared<UIUpdateManager>(view, std::make_shared<test::FakeDisplayTimer>());

    std::mutex mutex;
    std::vector<std::string> ran;
    bool holdWorkers = false;
    std::vector<std::shared_ptr<NotingWorker>> made;
    std::vector<std::string> handedUrls;
};

TEST_F(LauncherTest, SetupBuildsTheListsTheStreamAndAThreadNotStarted) {
    test::ScopedEnv api("HEXORA_API_URLS", "https://127.0.0.1:1,https://127.0.0.1:2");
    test::ScopedEnv files("HEXORA_FILE_URLS", "https://127.0.0.1:3,https://127.0.0.1:4");
    Rum::Api::setStreamName("");

    launcher().setup(manager);

    ASSERT_TRUE(ApiDomains::apiList());
    EXPECT_EQ(ApiDomains::apiList()->urlAt(1), "https://127.0.0.1:2");
    EXPECT_EQ(ApiDomains::fileList()->urlAt(0), "https://127.0.0.1:3");
    EXPECT_EQ(Rum::Api::streamName(), "hexora-rum-kinesis-prod");
    auto thread = launcher().workerThread();
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->uiUpdateManager(), manager);
    EXPECT_FALSE(thread->isRun());
    EXPECT_TRUE(ranWorkers().empty());
    auto records = Rum::Api::takePendingRecords();
    EXPECT_EQ(eventsOf(records), std::vector<std::string>{"WorkerThread/setup/Start"});
    EXPECT_FALSE(records[0].Data) << "the start record carries no Data";
}

TEST_F(LauncherTest, SecondSetupRebuildsListsAndStreamButKeepsTheFirstThread) {
    launcher().setup(manager);
    auto first = launcher().workerThread();
    Rum::Api::takePendingRecords();

    // A rotated list and a changed stream are both made afresh.
    ApiDomains::apiList()->setCurrentIndex(1);
    Rum::Api::setStreamName("elsewhere");
    test::ScopedEnv api("HEXORA_API_URLS", "https://127.0.0.1:5,https://127.0.0.1:6");
    auto otherManager = std::make_shared<UIUpdateManager>(view, std::make_shared<test::FakeDisplayTimer>());
    launcher().setup(otherManager);

    EXPECT_EQ(ApiDomains::apiList()->urlAt(0), "https://127.0.0.1:5");
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 0);
    EXPECT_EQ(Rum::Api::streamName(), "hexora-rum-kinesis-prod");
    EXPECT_EQ(launcher().workerThread(), first);
    EXPECT_EQ(first->uiUpdateManager(), manager);
    auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(eventsOf(records), std::vector<std::string>{"WorkerThread/setup/Failed"});
    EXPECT_EQ(records[0].dataValue("Message"), "workerThread is already initialized");
    EXPECT_EQ(records[0].LogLevel, "INFO");
}

TEST_F(LauncherTest, CompiledInListsHoldTwoHttpsHostsOnTwoDomains) {
    test::ScopedEnv api("HEXORA_API_URLS", std::nullopt);
    test::ScopedEnv files("HEXORA_FILE_URLS", std::nullopt);
    launcher().setup(manager);
    for (const auto& list : {ApiDomains::apiList(), ApiDomains::fileList()}) {
        ASSERT_EQ(list->urls().size(), 2u);
        auto host = [](const std::string& url) { return url.substr(std::string("https://").size()); };
        auto domain = [&](const std::string& url) {
            auto name = host(url);
            auto lastDot = name.rfind('.');
            return name.substr(name.rfind('.', lastDot - 1) + 1);
        };
        for (const auto& url : list->urls()) {
            EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
            EXPECT_EQ(host(url).find('/'), std::string::npos) << url;
        }
        EXPECT_NE(domain(list->urls()[0]), domain(list->urls()[1]))
            << "one domain's outage must leave the fallback working";
    }
}

TEST_F(LauncherTest, StartBeforeSetupOnlyLogs) {
    launcher().start();
    EXPECT_TRUE(log.contains("start: starting updater thread without UIUpdateManager is not allowed"));
    EXPECT_FALSE(launcher().workerThread());
    EXPECT_TRUE(made.empty());
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(LauncherTest, StartQueuesTheBootWorkerAndRunsIt) {
    launcher().setup(manager);
    startAndFinish();
    EXPECT_EQ(ranWorkers(), std::vector<std::string>{"LBoot"});
    EXPECT_TRUE(launcher().workerThread()->isFinished());
}

TEST_F(LauncherTest, SecondStartWhileRunningIsIgnored) {
    holdWorkers = true;
    launcher().setup(manager);
    launcher().start();
    waitUntilStarted(*made.at(0));
    launcher().start();
    EXPECT_TRUE(log.contains("start: updater is already running, ignore"));
    EXPECT_EQ(made.size(), 1u) << "no second boot worker";
}

TEST_F(LauncherTest, LaunchByUrlRunsOnlyTheHandOff) {
    launcher().setup(manager);
    launcher().handleOpenUrls({"hexoramac://open?x=1"});
    EXPECT_TRUE(OpenedUrlFlag::isSet());
    EXPECT_TRUE(log.contains("handleOpenUrls: hexoramac://open?x=1"));
    EXPECT_TRUE(log.contains("handleOpenUrls: enqueue to worker"));
    EXPECT_TRUE(ranWorkers().empty()) << "the thread is not started by the hand-off";
    EXPECT_FALSE(launcher().workerThread()->isRun());

    startAndFinish();
    EXPECT_EQ(ranWorkers(), std::vector<std::string>{"GHandleOpenUrls"});
    EXPECT_EQ(handedUrls, std::vector<std::string>{"hexoramac://open?x=1"});
}

TEST_F(LauncherTest, OpenUrlsRecordListsEachUrlOnItsOwnLine) {
    const std::vector<std::string> urls{"hexoramac://a", "com.tarq.hexora://b/c"};
    EXPECT_EQ(Launcher::openUrlsMessage(urls), "hexoramac://a\ncom.tarq.hexora://b/c\n");

    launcher().handleOpenUrls(urls);
    auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(eventsOf(records), std::vector<std::string>{"WorkerThread/openUrls/Info"});
    EXPECT_EQ(records[0].LogLevel, "INFO");
    // Telemetry values are kept on one line: the record's rule takes the line
    // feeds out of the text above.
    EXPECT_EQ(records[0].dataValue("Message"), "hexoramac://acom.tarq.hexora://b/c");
}

TEST_F(LauncherTest, UrlsWithoutAThreadAreDropped) {
    launcher().handleOpenUrls({"hexoramac://a"});
    EXPECT_TRUE(log.contains("handleOpenUrls: workerThread is nil, ignore"));
    EXPECT_EQ(Rum::Api::takePendingRecords().size(), 1u) << "the record is queued all the same";
    EXPECT_TRUE(made.empty());
    EXPECT_FALSE(OpenedUrlFlag::isSet());
}

TEST_F(LauncherTest, UrlsWhileRunningAreDropped) {
    holdWorkers = true;
    launcher().setup(manager);
    launcher().start();
    waitUntilStarted(*made.at(0));
    launcher().handleOpenUrls({"hexoramac://late"});
    EXPECT_TRUE(log.contains("handleOpenUrls: updater is running, ignore"));
    EXPECT_EQ(made.size(), 1u);
    EXPECT_FALSE(OpenedUrlFlag::isSet());
}

TEST_F(LauncherTest, RequestTerminatePostsTheNoticeOnce) {
    launcher().requestTerminate();  // no thread: nothing
    launcher().setup(manager);
    launcher().requestTerminate();
    launcher().requestTerminate();
    EXPECT_TRUE(launcher().workerThread()->isTerminateRequested());
    std::vector<S> states;
    while (auto event = manager->queue().takeFirst())
        if (event->state) states.push_back(*event->state);
    EXPECT_EQ(states, std::vector<S>{S::ReservedAppTerminating});
}

TEST_F(LauncherTest, QuitDuringARunEndsItAndTerminatesFromTheMainQueue) {
    holdWorkers = true;
    launcher().setup(manager);
    launcher().start();
    waitUntilStarted(*made.at(0));
    // What the shell does when asked to quit while the thread runs.
    auto thread = launcher().workerThread();
    ASSERT_TRUE(thread->isRun());
    launcher().requestTerminate();
    thread->cancel();
    release();
    thread->join();

    EXPECT_FALSE(thread->isRun());
    ASSERT_TRUE(application->waitForBlock());
    application->runMainQueue();
    EXPECT_EQ(application->terminateCount(), 1);
}

}  // namespace
}  // namespace hexora
