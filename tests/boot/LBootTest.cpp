// The boot checks: the storage write test, the install alert on a read-only
// volume, and update prevention by the developer-hub application.
#include "engine/LauncherError.hpp"
#include "platform/PreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/ChildProcess.hpp"
#include "support/EngineHarness.hpp"
#include "support/Eventually.hpp"
#include "support/FakeApplication.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/FakeProcessTable.hpp"
#include "support/LogCapture.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "support/SmallFileSystem.hpp"
#include "support/TestBundle.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "workers/game/GCheckProcess.hpp"
#include "workers/launcher/LBoot.hpp"
#include "workers/launcher/LCheckProcess.hpp"

#include <gtest/gtest.h>

#include <atomic>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

namespace hexora {
namespace {
namespace fs = std::filesystem;
using Worker::LauncherError;
using Worker::Launcher::LBoot;
using PlayerPrefsHelper::base64Encode;

constexpr const char* HubSuite = PlayerPrefsHelper::DeveloperHubSuiteName;

// A boot check whose storage lies on a read-only volume, as the system reports it.
class ReadOnlyVolumeBoot : public LBoot {
public:
    using LBoot::LBoot;

protected:
    void writeAndDeleteTestFile(const fs::path& file) override {
        throw fs::filesystem_error("open", file, std::error_code(EROFS, std::generic_category()));
    }
};

class LBootTest : public test::RunStateFixture {
protected:
    /// Runs `worker`'s work() on a thread of its own; the future holds what it threw.
    static std::future<std::optional<LauncherError>> runAside(LBoot& worker) {
        return std::async(std::launch::async, [&worker] { return test::failureOf([&] { worker.work(); }); });
    }

    void putPrevention(const std::string& storedValue) {
        prefs_->put(HubSuite, base64Encode(".pu"), storedValue);
    }

    static void expectTerminatingError(const LauncherError& error) {
        EXPECT_EQ(error.code, LauncherError::Code::Failed);
        EXPECT_EQ(error.type, "LBoot");
        EXPECT_EQ(error.message, "permission denied, Quit Launcher");
        EXPECT_EQ(error.terminateWhenAvailable, true);
        EXPECT_FALSE(error.state.has_value());
        EXPECT_FALSE(error.errorDescription().has_value());
        ASSERT_TRUE(error.rum.has_value());
        EXPECT_TRUE(test::recordIs(*error.rum, "LBoot", "start", "Failed", "ERROR"));
        EXPECT_EQ(error.rum->dataValue("Message"), "permission denied, Quit Launcher");
    }

    /// The one record queued before the error: the failure with its prefix.
    static void expectFailureRecord(const std::string& message) {
        const auto records = Rum::Api::takePendingRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(test::recordIs(records[0], "LBoot", "start", "Failed", "ERROR"));
        EXPECT_EQ(records[0].dataValue("Message"), message);
    }

    /// Boots on read-only storage without a strings file: the alert shows its
    /// key, and once it is dismissed the launcher quits.
    void expectKeyAlertThenQuit() {
        LBoot worker(harness_.thread);
        auto outcome = runAside(worker);
        ASSERT_TRUE(app_->waitForBlock());
        app_->runMainQueue();
        EXPECT_EQ(app_->alerts(), std::vector<std::string>{"msg_mac_install"});
        ASSERT_TRUE(app_->dismissAlert());
        const auto thrown = outcome.get();
        ASSERT_TRUE(thrown);
        expectTerminatingError(*thrown);
        expectFailureRecord("failed to test file write: Read-only file system");
    }

    /// The boot went on: the launcher check is queued and no test file stays.
    void expectRoadGoesOn() {
        const auto queued = harness_.takeQueued();
        ASSERT_EQ(queued.size(), 1u);
        EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Launcher::LCheckProcess>(queued[0]));
        EXPECT_FALSE(fs::exists(Worker::Launcher::LBoot::testFilePath()));
    }

    test::TestBundle bundle_;
    test::ScopedPreferenceStore prefs_;
    test::ScopedFakeApplication app_;
    test::ScopedTestClock clock_;
    test::EngineHarness harness_;
};

TEST_F(LBootTest, WritableStorageGoesOnToTheLauncherCheckQuietly) {
    fs::create_directories(storagePath());
    LBoot worker(harness_.thread);
    worker.work();

    const auto queued = harness_.takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Launcher::LCheckProcess>(queued[0]));
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
    EXPECT_FALSE(Worker::Launcher::skipUpdate());
    EXPECT_FALSE(fs::exists(Worker::Launcher::LBoot::testFilePath()));
    EXPECT_TRUE(app_->alerts().empty());
}

TEST_F(LBootTest, MissingStorageIsCreatedWithItsParents) {
    Paths::useBundleForTesting(bundle_.root() / "Deep" / "Er" / "Launcher.app", bundle_.dataFolder());
    ASSERT_FALSE(fs::exists(bundle_.root() / "Deep"));
    LBoot worker(harness_.thread);
    worker.work();

    EXPECT_TRUE(fs::is_directory(storagePath()));
    EXPECT_TRUE(fs::is_empty(storagePath()));
    ASSERT_EQ(harness_.takeQueued().size(), 1u);
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
}

TEST_F(LBootTest, EarlierTestFileOrLinkIsReplacedWithoutWritingThroughIt) {
    fs::create_directories(storagePath());
    const auto outside = bundle_.root() / "precious.txt";
    std::ofstream(outside) << "keep me";
    fs::create_symlink(outside, Worker::Launcher::LBoot::testFilePath());

    LBoot worker(harness_.thread);
    worker.work();

    EXPECT_FALSE(fs::exists(fs::symlink_status(Worker::Launcher::LBoot::testFilePath())));
    std::ifstream in(outside);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep me");
    EXPECT_EQ(harness_.takeQueued().size(), 1u);
}

TEST_F(LBootTest, RegularFileInPlaceOfStorageQuitsWithoutAlert) {
    std::ofstream(storagePath()) << "not a folder";
    test::LogCapture log;
    LBoot worker(harness_.thread);
    const auto thrown = test::failureOf([&] { worker.work(); });
    ASSERT_TRUE(thrown);
    expectTerminatingError(*thrown);
    expectFailureRecord("failed to test file write: Not a directory");
    EXPECT_TRUE(log.contains("failed to test file write: Not a directory"));
    EXPECT_TRUE(fs::is_regular_file(storagePath())) << "no creation is tried over the file";
    EXPECT_TRUE(harness_.takeQueued().empty());
    EXPECT_EQ(app_->pendingBlocks(), 0);
    EXPECT_TRUE(app_->alerts().empty());
    EXPECT_FALSE(worker.waitForResponse);
    EXPECT_EQ(clock_->sleptSeconds(), 0.0);
}

TEST_F(LBootTest, StorageThatCannotBeCreatedQuits) {
    std::ofstream(bundle_.bundle() / "Contents" / "blocker") << "a file";
    Paths::useBundleForTesting(bundle_.bundle() / "Contents" / "blocker" / "Inner.app", bundle_.dataFolder());
    LBoot worker(harness_.thread);
    EXPECT_THROW(worker.work(), LauncherError);
    expectFailureRecord("failed to create storage directory: Not a directory");
    EXPECT_TRUE(harness_.takeQueued().empty());
}

// The alert's text comes from the bundle's strings file; the worker waits in
// 0.1 s polls until the alert is dismissed, then quits.
TEST_F(LBootTest, ReadOnlyVolumeShowsTheInstallAlertAndQuitsAfterDismissal) {
    const auto strings = bundle_.bundle() / "Contents" / "Resources" / "Localizable.strings";
    fs::create_directories(strings.parent_path());
    std::ofstream(strings) << "/* install */\n\"msg_mac_install\" = \"Move me to Applications.\";\n";
    fs::create_directories(storagePath());

    ReadOnlyVolumeBoot worker(harness_.thread);
    auto outcome = runAside(worker);
    ASSERT_TRUE(app_->waitForBlock());
    EXPECT_TRUE(app_->alerts().empty()) << "the alert is shown from the main queue only";
    app_->runMainQueue();
    ASSERT_EQ(app_->alerts(), std::vector<std::string>{"Move me to Applications."});

    // Still waiting: the polls go on while the alert is up.
    const double sleptBefore = clock_->sleptSeconds();
    EXPECT_TRUE(test::eventually([&] { return clock_->sleptSeconds() >= sleptBefore + 0.3; }));
    EXPECT_EQ(outcome.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_TRUE(worker.waitForResponse);

    ASSERT_TRUE(app_->dismissAlert());
    const auto thrown = outcome.get();
    ASSERT_TRUE(thrown);
    expectTerminatingError(*thrown);
    expectFailureRecord("failed to test file write: Read-only file system");
    EXPECT_FALSE(worker.waitForResponse);
    const double slept = clock_->sleptSeconds();
    EXPECT_NEAR(slept / 0.1, std::round(slept / 0.1), 1e-6) << "every wait is one 0.1 s poll";
    EXPECT_TRUE(harness_.takeQueued().empty());
}

// A quit while the install alert is up: the wait ends at the cancel, the
// launcher quits (terminating error), and the alert, closed only later when
// the worker is gone, touches nothing of it.
TEST_F(LBootTest, AQuitUnderTheInstallAlertEndsTheWait) {
    class TimedBoot : public ReadOnlyVolumeBoot {
    public:
        using ReadOnlyVolumeBoot::ReadOnlyVolumeBoot;
        void work() override {
            try {
                ReadOnlyVolumeBoot::work();
            } catch (...) {
                endedAt = std::chrono::steady_clock::now().time_since_epoch().count();
                throw;
            }
        }
        std::atomic<std::chrono::steady_clock::rep> endedAt{0};
    };
    fs::create_directories(storagePath());
    auto worker = std::make_shared<TimedBoot>(harness_.thread);
    harness_.thread->workers().append(worker);
    harness_.thread->start();
    ASSERT_TRUE(app_->waitForBlock());
    app_->runMainQueue();
    ASSERT_EQ(app_->alerts().size(), 1u);
    ASSERT_TRUE(worker->waitForResponse);

    const auto cancelledAt = std::chrono::steady_clock::now();
    harness_.thread->cancel();
    ASSERT_TRUE(test::eventually([&] { return worker->endedAt.load() != 0; }));
    const auto ended = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(worker->endedAt.load()));
    EXPECT_LT(ended - cancelledAt, std::chrono::seconds(2));
    harness_.thread->join();
    EXPECT_TRUE(harness_.thread->isTerminateRequested()) << "the boot's terminating error ended the run";

    worker.reset();
    EXPECT_TRUE(app_->dismissAlert());
}

TEST_F(LBootTest, ReadOnlyMountShowsTheAlertWithTheKeyWhenNoStringsFile) {
    const test::SmallFileSystem mount(storagePath(), 64 * 1024, /*readOnly=*/true);
    if (!mount.available()) GTEST_SKIP() << mount.reason();

    expectKeyAlertThenQuit();
}

// The same on any machine: the system refuses the test file as on a
// read-only volume; the alert shows its key, as no strings file is there.
TEST_F(LBootTest, ReadOnlyStorageShowsTheAlertWithTheKeyWhenNoStringsFile) {
    fs::create_directories(storagePath());
    test::ScopedFileSystem disk;
    disk->fail(test::FakeFileSystem::Call::Open, (Worker::Launcher::LBoot::testFilePath()).string(), EROFS);

    expectKeyAlertThenQuit();
}

// Storage the launcher may not write to, or whose disk fails: the launcher
// quits at once with the system's reason and shows no alert.
TEST_F(LBootTest, StorageThatRefusesTheTestFileQuitsWithTheSystemsReason) {
    using Call = test::FakeFileSystem::Call;
    const struct {
        Call call;
        int error;
    } cases[] = {{Call::Open, EACCES}, {Call::Open, EPERM}, {Call::Write, EIO}, {Call::Write, EACCES}, {Call::Close, EIO}};
    fs::create_directories(storagePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        test::ScopedFileSystem disk;
        disk->fail(c.call, (Worker::Launcher::LBoot::testFilePath()).string(), c.error);
        LBoot worker(harness_.thread);

        const auto thrown = test::failureOf([&] { worker.work(); });

        ASSERT_TRUE(thrown);
        expectTerminatingError(*thrown);
        expectFailureRecord(std::string("failed to test file write: ") + std::strerror(c.error));
        EXPECT_FALSE(fs::exists(Worker::Launcher::LBoot::testFilePath()));
        EXPECT_TRUE(harness_.takeQueued().empty());
        EXPECT_TRUE(app_->alerts().empty());
    }
}

// Update prevention against the real developer-hub stand-in and the real
// process list: what the entry holds decides.
// The disk of the storage folder is full. Filled by the launcher's own
// leftovers in temp, it is emptied and the road goes on quietly; filled by
// something else, the failure is recorded and the road still goes on, so
// the step that needs the space shows its failure: no silent quit.
TEST_F(LBootTest, FullDiskNeverQuitsAndLeftoversInTempAreCleared) {
    struct Case {
        const char* label;
        const char* filler;
        bool recovers;
    };
    for (const Case c : {Case{"leftovers in temp", "temp/1.0.2.zip", true},
                         Case{"someone else's file", "other.bin", false}}) {
        SCOPED_TRACE(c.label);
        fs::remove_all(storagePath());
        test::SmallFileSystem disk(storagePath(), 256 * 1024);
        if (!disk.available()) GTEST_SKIP() << disk.reason();
        fs::create_directories(storagePath() / "temp");
        test::fillLeaving(storagePath(), c.filler, 0);
        ASSERT_EQ(disk.freeBytes(), 0u);
        LBoot worker(harness_.thread);

        EXPECT_FALSE(test::failureOf([&] { worker.work(); }).has_value());

        expectRoadGoesOn();
        if (c.recovers) {
            EXPECT_FALSE(fs::exists(storagePath() / "temp"));
            EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
        } else {
            EXPECT_TRUE(fs::exists(storagePath() / c.filler));
            expectFailureRecord("failed to test file write: No space left on device");
        }
    }
}

// The same on any machine: the test file's write finds the disk full (or
// the quota used up). Once the leftovers in temp are gone it fits, and the
// road goes on quietly; when it still does not fit, the failure is recorded
// and the road goes on all the same.
TEST_F(LBootTest, FullDiskOfAnyKindNeverQuits) {
    for (const int error : {ENOSPC, EDQUOT}) {
        for (const bool recovers : {true, false}) {
            SCOPED_TRACE(std::string(std::strerror(error)) + (recovers ? ", fits after temp" : ", never fits"));
            fs::remove_all(storagePath());
            fs::create_directories(tempPath());
            std::ofstream(tempPath() / "1.0.2.zip") << "leftover";
            test::ScopedFileSystem disk;
            disk->fail(test::FakeFileSystem::Call::Write, (Worker::Launcher::LBoot::testFilePath()).string(), error, 0,
                                   recovers ? 1 : test::FakeFileSystem::Always);
            LBoot worker(harness_.thread);

            EXPECT_FALSE(test::failureOf([&] { worker.work(); }).has_value());

            expectRoadGoesOn();
            EXPECT_FALSE(fs::exists(tempPath()));
            if (recovers) EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
            else expectFailureRecord(std::string("failed to test file write: ") + std::strerror(error));
        }
    }
}

TEST_F(LBootTest, UpdatePreventionFollowsTheRunningDeveloperHub) {
    test::ChildProcess hub(test::developerHubExecutable());
    test::ChildProcess otherLauncher(test::launcherStandInExecutable());
    std::int32_t endedPid = 0;
    {
        test::ChildProcess ended(test::developerHubExecutable());
        endedPid = ended.pid();
        ended.terminate();
        ASSERT_TRUE(ended.waitForExit());
    }
    const auto pid = std::to_string(hub.pid());

    struct Case {
        std::string name;
        std::string stored;
        bool prevented;
    };
    const std::vector<Case> cases = {
        {"Base64 with a blank before and a line end after", base64Encode(" " + pid + "\n"), true},
        {"plain text", pid, true},
        {"plain text with a sign and blanks", " +" + pid + "\t", true},
        {"Base64 of a signed id", base64Encode("+" + pid), true},
        {"another application's id", base64Encode(std::to_string(otherLauncher.pid())), false},
        {"an ended process's id", base64Encode(std::to_string(endedPid)), false},
        {"the launcher's own id", base64Encode(std::to_string(::getpid())), false},
        {"a lone sign", base64Encode("-"), false},
        {"a lone plain sign", "+", false},
        {"digits with a letter", base64Encode(pid + "a"), false},
        {"beyond 32 bits", base64Encode(std::to_string(4294967296LL + hub.pid())), false},
        {"blank", base64Encode(" \n"), false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        putPrevention(c.stored);
        EXPECT_EQ(Worker::Launcher::isUpdatePrevented(), c.prevented) << c.name;
    }
}

TEST_F(LBootTest, NoEntryOrUnopenableSuiteDoesNotPrevent) {
    test::ChildProcess hub(test::developerHubExecutable());
    EXPECT_FALSE(Worker::Launcher::isUpdatePrevented());
    putPrevention(base64Encode(std::to_string(hub.pid())));
    ASSERT_TRUE(Worker::Launcher::isUpdatePrevented());
    prefs_->setUnopenable(HubSuite);
    EXPECT_FALSE(Worker::Launcher::isUpdatePrevented());
}

// Ids whose plain digits are valid Base64 as well (4 or 8 digits) are still
// read as plain ids; the launcher's own process never counts.
TEST_F(LBootTest, PlainIdsThatLookLikeBase64AndTheOwnIdOnTheProcessList) {
    test::ScopedProcessTable table(5678);
    table->add(1234, HubSuite, "/Apps/DeveloperHub.app/Contents/MacOS/DeveloperHub");
    table->add(5678, HubSuite, "/Apps/DeveloperHub.app/Contents/MacOS/DeveloperHub");
    table->add(12345678, HubSuite, "/Apps/DeveloperHub.app/Contents/MacOS/DeveloperHub");
    for (const char* plain : {"1234", "12345678"}) {
        putPrevention(plain);
        EXPECT_TRUE(Worker::Launcher::isUpdatePrevented()) << plain;
    }
    putPrevention("5678");
    EXPECT_FALSE(Worker::Launcher::isUpdatePrevented());
}

TEST_F(LBootTest, PreventedUpdateGoesStraightToTheGameCheck) {
    test::ChildProcess hub(test::developerHubExecutable());
    putPrevention(base64Encode(" " + std::to_string(hub.pid()) + "\n"));
    fs::create_directories(storagePath());
    test::LogCapture log;

    LBoot worker(harness_.thread);
    worker.work();

    EXPECT_TRUE(Worker::Launcher::skipUpdate());
    const auto queued = harness_.takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<Worker::Hexora::GCheckProcess>(queued[0]));
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 2u);
    const char* messages[] = {"update is prevented by user setting",
                              "update is prevented by user setting, Keep go on (without update)"};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(test::recordIs(records[i], "LBoot", "start", "Exception", "WARNING"));
        EXPECT_EQ(records[i].dataValue("Message"), messages[i]);
    }
    EXPECT_TRUE(log.contains("LBoot: update is prevented by user setting, ignore"));
}

// The stand-in records its own id the way the developer-hub application does,
// in the real preference files, from its own process.
TEST(DeveloperHubStandIn, RecordsItsIdThatPreventsUpdates) {
    test::TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    test::ScopedEnv report("HEXORA_STANDIN_REPORT", (dir / "report.txt").string());
    platform::PreferenceStore::install(nullptr);

    test::ChildProcess hub(test::developerHubExecutable(), {"--record-pid"});
    ASSERT_TRUE(test::eventually([&] { return test::readFile(dir / "report.txt").find("ready") != std::string::npos; }));
    EXPECT_NE(test::readFile(dir / "report.txt").find("recorded .pu=" + std::to_string(hub.pid())), std::string::npos);
    EXPECT_TRUE(Worker::Launcher::isUpdatePrevented());

    hub.terminate();
    ASSERT_TRUE(hub.waitForExit());
    EXPECT_FALSE(Worker::Launcher::isUpdatePrevented());
    EXPECT_NE(test::readFile(dir / "report.txt").find("quit=signal 15"), std::string::npos);
}

}  // namespace
}  // namespace hexora
