// CDownload against two local HTTPS file servers.
#include "workers/common/download/CDownload.hpp"

#include "DownloadFixture.hpp"
#include "support/Eventually.hpp"
#include "support/FakeFileSystem.hpp"
#include "support/SmallFileSystem.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <thread>

namespace hexora::Worker::Common {
namespace {
namespace fs = std::filesystem;
using test::ServerReply;

std::string body(std::size_t size, char fill) { return std::string(size, fill); }

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs a download on the worker thread and keeps the telemetry queued by the
// time it returned (the thread flushes the batch when the run ends).
class RecordingWorker : public Worker {
public:
    RecordingWorker(std::shared_ptr<WorkerThread> thread, std::shared_ptr<CDownload> inner)
        : Worker(std::move(thread)), inner_(std::move(inner)) {}
    void work() override {
        try {
            inner_->work();
        } catch (...) {
            threw = true;
        }
        records = Rum::Api::pendingRecords();
    }
    std::vector<Rum::LogData> records;
    bool threw = false;

private:
    std::shared_ptr<CDownload> inner_;
};

class CDownloadTest : public test::DownloadFixture {
protected:
    std::shared_ptr<CDownload> makeDownload(std::vector<std::string> hashes, std::vector<std::string> files) {
        return std::make_shared<CDownload>(harness.thread, std::move(hashes), std::move(files), target.string());
    }

    std::vector<double> progressValues() {
        std::vector<double> values;
        for (const auto& event : harness.takeEvents()) {
            if (event.eventType == UIUpdateEvent::StateChange) states.push_back(*event.state);
            if (event.eventType == UIUpdateEvent::ProgressValue) values.push_back(*event.progress);
        }
        return values;
    }

    /// A 512 KiB file served on both domains fails on a disk that has no
    /// room for it: each attempt fails with `reason` (the system's words),
    /// and the target folder keeps only the "keep.txt" the caller put there.
    void expectNoRoomFailsEachAttempt(const std::string& reason) {
        setFileFetchBounds({.keepFreeBytes = 0});
        primary.on("GET", "/update/h/big.zip", ServerReply::text(200, body(512 * 1024, 'x')));
        fallback.on("GET", "/update/h/big.zip", ServerReply::text(200, body(512 * 1024, 'x')));

        const auto error = test::expectLauncherError([&] { makeDownload({"h"}, {"big.zip"})->work(); });
        EXPECT_EQ(error.message.rfind("some downloads failed (", 0), 0u);
        expectEachAttemptFailedWith(reason);
        EXPECT_EQ(test::readFile(target / "keep.txt"), "kept");
    }

    /// An endless body on both domains stops at a reserve of 1 MiB; each
    /// attempt fails with the reserve's text and leaves no part behind, only
    /// the "keep.txt" the caller put there.
    void expectEndlessBodyStopsAtTheReserve() {
        setFileFetchBounds({.keepFreeBytes = 1 << 20});
        ServerReply endless;
        endless.endless = true;
        primary.on("GET", "/update/h/endless.zip", endless);
        fallback.on("GET", "/update/h/endless.zip", endless);

        const auto error = test::expectLauncherError([&] { makeDownload({"h"}, {"endless.zip"})->work(); });
        EXPECT_EQ(error.message, "some downloads failed (0.0/1.0)");
        expectEachAttemptFailedWith("would leave less than 1048576 bytes free on its disk");
    }

    /// One failure record per domain, each describing `reason`; the target
    /// folder holds "keep.txt" alone.
    void expectEachAttemptFailedWith(const std::string& reason) {
        const auto failures = records("CDownload", "download", "Failed");
        ASSERT_EQ(failures.size(), 2u);
        for (const auto& record : failures) {
            const std::string description = record.dataValue("ErrorDescription").value_or("");
            EXPECT_NE(description.find(reason), std::string::npos) << description;
        }
        EXPECT_EQ(folderEntries(target), std::vector<std::string>{"keep.txt"});
    }

    fs::path target = temp / "downloads";
    std::vector<LauncherState> states;
};

TEST_F(CDownloadTest, AFileMissingOnTheFirstDomainComesFromTheSecondWhichBecomesCurrent) {
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(3000, 'a')));
    primary.on("GET", "/update/h2/b.zip", ServerReply::text(200, body(2000, 'b')));
    primary.on("GET", "/update/h3/c.zip", ServerReply::text(404, "not here"));
    // The last success decides the current domain: answer from the second
    // domain only once the answers for the other two files are recorded.
    std::atomic<int> answers{0};
    fallback.on("GET", "/update/h3/c.zip", [&answers](const test::RecordedRequest&) {
        EXPECT_TRUE(test::eventually([&] { return answers.load() == 2; }, 60));
        return ServerReply::text(200, body(1000, 'c'));
    });

    auto download = makeDownload({"h1", "h2", "h3"}, {"a.zip", "b.zip", "c.zip"});
    download->onDomainAnswered = [&answers](std::int64_t) { ++answers; };
    download->work();

    EXPECT_EQ(test::readFile(target / "a.zip"), body(3000, 'a'));
    EXPECT_EQ(test::readFile(target / "b.zip"), body(2000, 'b'));
    EXPECT_EQ(test::readFile(target / "c.zip"), body(1000, 'c'));
    EXPECT_EQ(folderEntries(target), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(fileDomainIndex(), 1);
    EXPECT_EQ(cdnDsaIndex(), 1);
    EXPECT_EQ(fallback.requestCount(), 1u);

    const auto failures = records("CDownload", "download", "Failed");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].LogLevel, "ERROR");
    EXPECT_EQ(failures[0].dataValue("Uri"), primary.url("/update/h3/c.zip"));
    EXPECT_EQ(failures[0].dataValue("ErrorCode"), "404");
    EXPECT_EQ(failures[0].dataValue("ErrorDescription").value_or(""), "");
    const auto done = records("CDownload", "download", "Succeeded");
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].LogLevel, "INFO");
    EXPECT_FALSE(done[0].Data.has_value());

    const auto values = progressValues();
    EXPECT_EQ(states, std::vector<LauncherState>{LauncherState::Downloading});
    ASSERT_FALSE(values.empty());
    EXPECT_DOUBLE_EQ(values.back(), 100.0);
    for (double value : values) EXPECT_LE(value, 100.0);
}

// A slow drip and an endless body each fail their transfer on their own,
// within the (shortened) bounds, and the file then comes from the next
// domain; no part of the failed body is left in the folder. The connect has
// a bound of its own, long enough for a TLS handshake on a busy machine.
TEST_F(CDownloadTest, ADrippingOrEndlessBodyFailsWithinItsBoundsAndTheNextDomainServes) {
    setFileFetchBounds({.idleTimeoutSec = 2,
                        .connectTimeoutSec = 60,
                        .minBytesPerSec = 1024,
                        .maxUnannouncedBytes = 256 * 1024});
    ServerReply drip = ServerReply::text(200, body(100000, 'd'));
    drip.trickleBytes = 1;
    drip.trickleIntervalSec = 0.05;
    primary.on("GET", "/update/h1/drip.zip", drip);
    ServerReply endless;
    endless.endless = true;
    primary.on("GET", "/update/h2/endless.zip", endless);
    fallback.on("GET", "/update/h1/drip.zip", ServerReply::text(200, body(1000, 'a')));
    fallback.on("GET", "/update/h2/endless.zip", ServerReply::text(200, body(2000, 'b')));

    auto download = makeDownload({"h1", "h2"}, {"drip.zip", "endless.zip"});
    download->work();

    EXPECT_EQ(test::readFile(target / "drip.zip"), body(1000, 'a'));
    EXPECT_EQ(test::readFile(target / "endless.zip"), body(2000, 'b'));
    EXPECT_EQ(folderEntries(target), (std::vector<std::string>{"drip.zip", "endless.zip"}));
    EXPECT_EQ(fileDomainIndex(), 1);
    const auto failures = records("CDownload", "download", "Failed");
    ASSERT_EQ(failures.size(), 2u);
    for (const auto& failure : failures) {
        const std::string description = failure.dataValue("ErrorDescription").value_or("");
        if (failure.dataValue("Uri") == primary.url("/update/h1/drip.zip")) {
            EXPECT_NE(description.find("fewer than 2048 bytes moved in 2 s"), std::string::npos) << description;
        } else {
            EXPECT_NE(description.find("262144 bytes without an announced length"), std::string::npos) << description;
        }
    }
}

TEST_F(CDownloadTest, AFileCutShortOnBothDomainsFailsTheRunWithTheRealSums) {
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(1000, 'a')));
    primary.on("GET", "/update/h2/b.zip", ServerReply::text(200, body(1000, 'b')));
    ServerReply cut = ServerReply::text(200, body(4000, 'n'));
    cut.trickleBytes = 1000;
    cut.dropAfterBytes = 2000;
    primary.on("GET", "/update/h3/c.zip", cut);
    fallback.on("GET", "/update/h3/c.zip", cut);
    fs::create_directories(target);
    std::ofstream(target / "c.zip") << "previous";

    auto download = makeDownload({"h1", "h2", "h3"}, {"a.zip", "b.zip", "c.zip"});
    const auto error = test::expectLauncherError([&] { download->work(); });

    EXPECT_EQ(error.message, "some downloads failed (2.5/3.0)");
    EXPECT_EQ(error.code, LauncherError::Code::Failed);
    EXPECT_EQ(error.type, "CDownload");
    EXPECT_EQ(error.state, LauncherState::Failed_Download);
    EXPECT_EQ(error.terminateWhenAvailable, false);
    ASSERT_TRUE(error.rum.has_value());
    EXPECT_EQ(error.rum->Event, "some downloads failed");
    EXPECT_EQ(error.rum->EventState, "Failed");
    EXPECT_EQ(error.rum->LogLevel, "ERROR");

    // The previous file is kept and no partial file is left behind.
    EXPECT_EQ(test::readFile(target / "c.zip"), "previous");
    EXPECT_EQ(folderEntries(target), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(primary.requestsTo("/update/h3/c.zip").size(), 1u);
    EXPECT_EQ(fallback.requestsTo("/update/h3/c.zip").size(), 1u);
    EXPECT_EQ(records("CDownload", "download", "Failed").size(), 2u);
    EXPECT_TRUE(records("CDownload", "download", "Succeeded").empty());
    const auto values = progressValues();
    for (double value : values) EXPECT_LT(value, 100.0);
}

TEST_F(CDownloadTest, BadListsFailBeforeTheTargetIsTouched) {
    struct Case {
        std::vector<std::string> hashes, files;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, {}, "hashes and files count mismatches 0 vs 0"},
        {{"h1", "h2"}, {"a.zip"}, "hashes and files count mismatches 2 vs 1"},
        {{"h1"}, {"a.zip", "b.zip"}, "hashes and files count mismatches 1 vs 2"},
    };
    for (const auto& c : cases) {
        auto download = makeDownload(c.hashes, c.files);
        const auto error = test::expectLauncherError([&] { download->work(); });
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.state, LauncherState::Failed_Download);
        ASSERT_TRUE(error.rum.has_value());
        EXPECT_EQ(error.rum->Event, "count mismatches");
        EXPECT_FALSE(error.rum->Data.has_value());
        EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_TRUE(harness.takeEvents().empty());
}

TEST_F(CDownloadTest, AFileStandingAtTheTargetIsReplacedByTheFolder) {
    std::ofstream(target) << "in the way";
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, "payload"));
    makeDownload({"h1"}, {"a.zip"})->work();
    ASSERT_TRUE(fs::is_directory(target));
    EXPECT_EQ(test::readFile(target / "a.zip"), "payload");
}

TEST_F(CDownloadTest, AMissingTargetFolderIsCreatedWithItsParents) {
    target = temp / "deep" / "er" / "downloads";
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, "payload"));
    makeDownload({"h1"}, {"a.zip"})->work();
    EXPECT_EQ(test::readFile(target / "a.zip"), "payload");
}

TEST_F(CDownloadTest, AFolderThatCannotBeCreatedFailsTheRun) {
    std::ofstream(temp / "file") << "x";
    target = temp / "file" / "downloads";
    const auto error = test::expectLauncherError([&] { makeDownload({"h1"}, {"a.zip"})->work(); });
    EXPECT_EQ(error.message, "cannot create targetPath");
    ASSERT_TRUE(error.rum.has_value());
    EXPECT_EQ(error.rum->Event, "cannot create targetPath");
    EXPECT_EQ(error.rum->dataValue("path"), target.string());
    EXPECT_TRUE(error.errorDescription().has_value());
}

TEST_F(CDownloadTest, EachFailedAttemptReportsItsStatusOrZeroWithoutAReply) {
    // One domain, so each file gets exactly one attempt.
    struct Case {
        std::string base;
        std::string code;
        bool describes;
    };
    test::HttpsServer closed;
    const std::string closedUrl = closed.url();
    closed.stop();
    primary.on("GET", "/update/h/a.zip", ServerReply::text(404, "no"));
    const std::vector<Case> cases = {
        {primary.url(), "404", false},
        {closedUrl, "0", true},
    };
    for (const auto& c : cases) {
        Rum::Api::takePendingRecords();
        ApiDomains::createLists({"https://api.invalid"}, {c.base});
        auto download = makeDownload({"h"}, {"a.zip"});
        const auto error = test::expectLauncherError([&] { download->work(); });
        EXPECT_EQ(error.message, "some downloads failed (0.0/1.0)");
        const auto failures = records("CDownload", "download", "Failed");
        ASSERT_EQ(failures.size(), 1u) << c.base;
        EXPECT_EQ(failures[0].dataValue("Uri"), c.base + "/update/h/a.zip");
        EXPECT_EQ(failures[0].dataValue("ErrorCode"), c.code);
        EXPECT_EQ(!failures[0].dataValue("ErrorDescription").value_or("").empty(), c.describes);
        EXPECT_EQ(download->downloadRequests[0]->state(), DownloadUnit::DownloadState::Failed);
    }
}

TEST_F(CDownloadTest, CancellationAbortsRunningTransfersAndReturnsQuietly) {
    // Bodies that would take many seconds; the run must end well before.
    ServerReply slow = ServerReply::text(200, body(200000, 's'));
    slow.trickleBytes = 1000;
    slow.trickleIntervalSec = 0.05;
    primary.on("GET", "/update/h1/a.zip", slow);
    primary.on("GET", "/update/h2/b.zip", slow);
    auto download = makeDownload({"h1", "h2"}, {"a.zip", "b.zip"});
    auto recorder = std::make_shared<RecordingWorker>(harness.thread, download);
    harness.thread->workers().append(recorder);

    harness.thread->start();
    ASSERT_TRUE(primary.waitForRequests(2, std::chrono::seconds(60)));
    // Cancel once body bytes are arriving; only the time from the cancel to
    // the end of the run is bounded (the connects are not what is tested).
    bool flowing = false;
    ASSERT_TRUE(test::eventually(
        [&] {
            for (double value : progressValues()) flowing = flowing || value > 0.0;
            return flowing;
        },
        60));
    const auto cancelled = std::chrono::steady_clock::now();
    harness.thread->cancel();
    harness.thread->join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(5));

    double sum = 0.0;
    for (const auto& unit : download->downloadRequests) {
        EXPECT_EQ(unit->state(), DownloadUnit::DownloadState::Failed);
        EXPECT_LT(unit->progress(), 1.0);
        sum += unit->progress();
    }
    EXPECT_GT(sum, 0.0);
    EXPECT_FALSE(recorder->threw);
    std::vector<Rum::LogData> failures;
    for (const auto& record : recorder->records) {
        EXPECT_FALSE(record.MinorType == "CDownload" && record.EventState == "Succeeded");
        if (record.MinorType == "CDownload" && record.Event == "download" && record.EventState == "Failed")
            failures.push_back(record);
    }
    ASSERT_EQ(failures.size(), 2u);
    std::vector<std::string> uris;
    for (const auto& record : failures) uris.push_back(record.dataValue("Uri").value_or(""));
    std::sort(uris.begin(), uris.end());
    EXPECT_EQ(uris, (std::vector<std::string>{primary.url("/update/h1/a.zip"), primary.url("/update/h2/b.zip")}));
    EXPECT_EQ(fallback.requestCount(), 0u);  // a cancelled file is not tried again
    EXPECT_EQ(folderEntries(target), std::vector<std::string>{});
    progressValues();
    EXPECT_EQ(states, std::vector<LauncherState>{LauncherState::Downloading});  // no failure state
}

// A disk that another program filled: the write's own failure is reported.
TEST_F(CDownloadTest, AFullDiskFailsTheFileWithTheSystemsDescription) {
    const test::SmallFileSystem disk(target, 64 * 1024);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    std::ofstream(target / "keep.txt") << "kept";
    expectNoRoomFailsEachAttempt("No space left on device");
}

// An endless body stops on its own before its disk falls below the reserve:
// the attempt on each domain fails with the reserve's text and leaves no
// part of the body behind.
TEST_F(CDownloadTest, AnEndlessBodyStopsAtTheDisksReserveAndLeavesNoPartialFile) {
    const test::SmallFileSystem disk(target, 2 << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    std::ofstream(target / "keep.txt") << "kept";
    const std::uint64_t freeBefore = disk.freeBytes();
    expectEndlessBodyStopsAtTheReserve();
    EXPECT_EQ(disk.freeBytes(), freeBefore);
}

// The same on any machine: the writes into the target folder find the disk
// full or the quota used up.
TEST_F(CDownloadTest, AFullDiskOfAnyKindFailsTheFileWithTheSystemsDescription) {
    for (const int error : {ENOSPC, EDQUOT}) {
        SCOPED_TRACE(std::strerror(error));
        fs::remove_all(target);
        fs::create_directories(target);
        Rum::Api::takePendingRecords();
        std::ofstream(target / "keep.txt") << "kept";
        test::ScopedFileSystem disk;
        disk->fail(test::FakeFileSystem::Call::Write, (target / "*").string(), error, 2);
        expectNoRoomFailsEachAttempt(std::strerror(error));
    }
}

// The same on any machine: the target folder's disk has 2 MiB free.
TEST_F(CDownloadTest, AnEndlessBodyStopsAtTheDisksReserveOnAnyMachine) {
    fs::create_directories(target);
    std::ofstream(target / "keep.txt") << "kept";
    test::ScopedFileSystem disk;
    disk->limitSpace((target / "*").string(), 2 << 20);
    expectEndlessBodyStopsAtTheReserve();
}

TEST_F(CDownloadTest, AWholeBodyThatCannotBePutInPlaceDoesNotCountAsDownloaded) {
    // A folder with content stands where the file should go.
    fs::create_directories(target / "a.zip");
    std::ofstream(target / "a.zip" / "inside") << "x";
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(5000, 'a')));
    fallback.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(5000, 'a')));
    auto download = makeDownload({"h1"}, {"a.zip"});
    const auto error = test::expectLauncherError([&] { download->work(); });
    EXPECT_EQ(error.message, "some downloads failed (0.0/1.0)");
    EXPECT_EQ(test::readFile(target / "a.zip" / "inside"), "x");
    EXPECT_EQ(folderEntries(target), std::vector<std::string>{"a.zip"});
}

// The last step of a download, the rename of the whole body into place, goes
// through the file-system layer: when it is refused the file does not count,
// nothing stands at its name and no part is left behind.
TEST_F(CDownloadTest, ARefusedRenameIntoPlaceFailsTheFileAndLeavesNothing) {
    fs::create_directories(target);
    std::ofstream(target / "keep.txt") << "kept";
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(5000, 'a')));
    fallback.on("GET", "/update/h1/a.zip", ServerReply::text(200, body(5000, 'a')));
    test::ScopedFileSystem disk;
    disk->fail(test::FakeFileSystem::Call::Rename, (target / "a.zip").string(), EACCES);

    const auto error = test::expectLauncherError([&] { makeDownload({"h1"}, {"a.zip"})->work(); });

    EXPECT_EQ(error.message, "some downloads failed (0.0/1.0)");
    EXPECT_GE(disk->calls(test::FakeFileSystem::Call::Rename, (target / "a.zip").string()), 1);
    EXPECT_EQ(folderEntries(target), std::vector<std::string>{"keep.txt"});
}

TEST_F(CDownloadTest, AFileNameLeavingTheTargetFolderIsRefused) {
    primary.on("GET", "/update/h1/a.zip", ServerReply::text(200, "fine"));
    auto download = makeDownload({"h1", "h2"}, {"a.zip", "../escaped.zip"});
    const auto error = test::expectLauncherError([&] { download->work(); });
    EXPECT_EQ(error.message, "some downloads failed (1.0/2.0)");
    EXPECT_FALSE(fs::exists(temp / "escaped.zip"));
    EXPECT_EQ(test::readFile(target / "a.zip"), "fine");
    EXPECT_EQ(primary.requestsTo("/update/h2/escaped.zip").size(), 0u);
}

}  // namespace
}  // namespace hexora::Worker::Common
