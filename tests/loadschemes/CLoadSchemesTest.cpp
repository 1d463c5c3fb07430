// CLoadSchemes against two local HTTPS file servers.
#include "workers/common/download/CLoadSchemes.hpp"

#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "services/file/Schemes.hpp"
#include "support/SmallFileSystem.hpp"
#include "support/TempDir.hpp"
#include "support/TreeSnapshot.hpp"
#include "workers/common/download/FileFetch.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>

namespace hexora::Worker::Common {
namespace {
namespace fs = std::filesystem;
using test::ServerReply;

const std::string schemePath = "/update/abc123/scheme.json.gz";

// Runs `body` as a step of the thread's run, so that it sees the run's cancel.
class OnTheThread : public Worker {
public:
    OnTheThread(std::shared_ptr<WorkerThread> thread, std::function<void()> body)
        : Worker(std::move(thread)), body_(std::move(body)) {}
    void work() override { body_(); }

private:
    std::function<void()> body_;
};

class CLoadSchemesTest : public test::RunStateFixture {
protected:
    CLoadSchemesTest() {
        Paths::useBundleForTesting(temp / "Launcher.app");
        ApiDomains::createLists({"https://api.invalid"}, {first.url(), second.url()});
        setLoadedSetting(std::make_shared<Setting>(".launcher.json"));
    }

    void run() { CLoadSchemes(harness.thread, "abc123", "scheme.json.gz", "gameScheme.json.gz").work(); }
    fs::path destination() const { return storagePath() / "gameScheme.json.gz"; }
    void startAt(std::int64_t index) {
        ApiDomains::fileList()->setCurrentIndex(index);
        loadedSetting()->setCdnDsaIndex(index);
    }

    /// (EventState, Uri) of every CLoadSchemes record, in order.
    static std::vector<std::pair<std::string, std::string>> trail() {
        std::vector<std::pair<std::string, std::string>> found;
        for (const auto& record : Rum::Api::pendingRecords()) {
            if (record.MinorType != "CLoadSchemes") continue;
            EXPECT_EQ(record.Event, "download");
            EXPECT_EQ(record.LogLevel, "INFO");
            found.emplace_back(record.EventState, record.dataValue("Uri").value_or(""));
        }
        return found;
    }
    static std::vector<Rum::LogData> failures() {
        std::vector<Rum::LogData> found;
        for (const auto& record : Rum::Api::pendingRecords())
            if (record.MinorType == "CLoadSchemes" && record.EventState == "Failed") found.push_back(record);
        return found;
    }

    test::ScopedTestClock clock;
    test::TempDir temp;
    test::HttpsServer first;
    test::HttpsServer second;
    test::EngineHarness harness;
};

TEST_F(CLoadSchemesTest, StartsAtTheCurrentDomainAndRemembersTheOneThatAnswers) {
    startAt(1);
    second.on("GET", schemePath, ServerReply::text(503, "busy"));
    first.on("GET", schemePath, ServerReply::text(200, "gzip bytes"));
    run();
    EXPECT_EQ(trail(), (std::vector<std::pair<std::string, std::string>>{
                           {"Start", second.url(schemePath)},
                           {"Failed", second.url(schemePath)},
                           {"Start", first.url(schemePath)},
                           {"Succeeded", first.url(schemePath)},
                       }));
    EXPECT_EQ(test::readFile(destination()), "gzip bytes");
    EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 0);
    EXPECT_EQ(loadedSetting()->setting().cdn_dsa_index, 0);
    EXPECT_TRUE(harness.takeEvents().empty());
}

TEST_F(CLoadSchemesTest, TheRetryCountMultipliesTheAttempts) {
    struct Case {
        std::int64_t retryCount;
        std::size_t perDomain;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}}) {
        Rum::Api::takePendingRecords();
        ApiConfig::Common::urlRetryCount.store(c.retryCount);
        test::HttpsServer a, b;
        ApiDomains::createLists({"https://api.invalid"}, {a.url(), b.url()});
        if (c.perDomain > 0) {
            a.on("GET", schemePath, ServerReply::text(404, "no"));
            b.on("GET", schemePath, ServerReply::text(404, "no"));
        }
        run();
        EXPECT_EQ(a.requestCount(), c.perDomain);
        EXPECT_EQ(b.requestCount(), c.perDomain);
        EXPECT_EQ(trail().size(), 4 * c.perDomain);  // Start and Failed per attempt
        if (c.retryCount == 2) {
            const auto steps = trail();
            for (std::size_t i = 0; i < steps.size(); i += 2)
                EXPECT_EQ(steps[i].second, (i / 2) % 2 == 0 ? a.url(schemePath) : b.url(schemePath)) << i;
        }
    }
}

TEST_F(CLoadSchemesTest, OnlyA2xxStatusSucceeds) {
    ApiDomains::createLists({"https://api.invalid"}, {first.url()});
    const std::vector<std::pair<int, bool>> table = {{200, true}, {299, true}, {300, false}, {199, false}};
    for (const auto& [status, succeeds] : table) {
        Rum::Api::takePendingRecords();
        fs::remove(destination());
        first.on("GET", schemePath, [status = status](const test::RecordedRequest&) {
            return ServerReply::text(status, "body");
        });
        run();
        EXPECT_EQ(fs::exists(destination()), succeeds) << status;
        EXPECT_EQ(failures().size(), succeeds ? 0u : 1u) << status;
    }
}

TEST_F(CLoadSchemesTest, AFailureRecordCarriesOnlyWhatArrived) {
    test::HttpsServer closed;
    const std::string closedUrl = closed.url();
    closed.stop();
    first.on("GET", schemePath, ServerReply::text(404, "missing"));
    struct Case {
        std::string base;
        std::optional<std::string> code;
        bool describes;
    };
    for (const auto& c : {Case{first.url(), "404", false}, Case{closedUrl, std::nullopt, true}}) {
        Rum::Api::takePendingRecords();
        ApiDomains::createLists({"https://api.invalid"}, {c.base});
        run();
        const auto failed = failures();
        ASSERT_EQ(failed.size(), 1u) << c.base;
        EXPECT_EQ(failed[0].dataValue("ErrorCode"), c.code);
        EXPECT_EQ(failed[0].dataValue("ErrorDescription").has_value(), c.describes);
    }
}

TEST_F(CLoadSchemesTest, WhenEveryAttemptFailsItReturnsAndLeavesTheIndicesAndNoStaleScheme) {
    startAt(1);
    fs::create_directories(storagePath());
    std::ofstream(destination()) << "scheme of an earlier run";
    ServerReply cut = ServerReply::text(200, std::string(4000, 'z'));
    cut.dropAfterBytes = 1000;
    first.on("GET", schemePath, cut);
    second.on("GET", schemePath, ServerReply::text(500, "down"));
    EXPECT_NO_THROW(run());
    EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 1);
    EXPECT_EQ(loadedSetting()->setting().cdn_dsa_index, 1);
    EXPECT_EQ(failures().size(), 2u);
    EXPECT_FALSE(fs::exists(destination()));
    // No part of the cut body is left in the storage folder.
    for (const auto& entry : fs::directory_iterator(storagePath()))
        EXPECT_NE(entry.path().filename().string().rfind("." + destination().filename().string(), 0), 0u)
            << entry.path();
}

TEST_F(CLoadSchemesTest, ASuccessReplacesAnEarlierScheme) {
    fs::create_directories(storagePath());
    std::ofstream(destination()) << "old";
    first.on("GET", schemePath, ServerReply::text(200, "new"));
    run();
    EXPECT_EQ(test::readFile(destination()), "new");
    EXPECT_EQ(second.requestCount(), 0u);
}

// The user quits while a file domain holds the scheme back: the transfer is
// stopped at the cancel, no other domain is asked and the worker returns.
TEST_F(CLoadSchemesTest, ACancelDuringAHangingFetchReturnsAtOnceAndAsksNoOtherDomain) {
    test::HttpsServer collector;
    collector.on("PUT", "/", ServerReply::json(200, nlohmann::json::object()));
    test::ScopedEnv collectorRoot("HEXORA_RUM_URL", collector.url("/"));
    ServerReply hanging = ServerReply::text(200, "scheme");
    hanging.delayBeforeHeadersSec = 120;
    first.on("GET", schemePath, hanging);
    second.on("GET", schemePath, ServerReply::text(200, "scheme"));
    std::atomic<std::chrono::steady_clock::rep> returnedAt{0};
    std::vector<std::pair<std::string, std::string>> records;  // before the run's end sends them
    harness.thread->workers().append(std::make_shared<OnTheThread>(harness.thread, [&] {
        run();
        returnedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        records = trail();
    }));

    harness.thread->start();
    ASSERT_TRUE(first.waitForRequests(1, std::chrono::seconds(60)));
    const auto cancelledAt = std::chrono::steady_clock::now();
    harness.thread->cancel();
    harness.thread->join();

    ASSERT_NE(returnedAt.load(), 0);
    const auto returned = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(returnedAt.load()));
    EXPECT_LT(returned - cancelledAt, std::chrono::seconds(1));
    EXPECT_EQ(second.requestCount(), 0u);
    const auto uri = first.url(schemePath);
    EXPECT_EQ(records, (std::vector<std::pair<std::string, std::string>>{{"Start", uri}, {"Failed", uri}}));
    EXPECT_FALSE(fs::exists(destination()));
}

// A hostile file server: an endless scheme, or one that announces more than
// any scheme can be. On a small disk whose reserve lies far below the cap,
// each attempt stops at the scheme's own cap (its record names it), the disk
// gets its space back and no part of the body stays in the storage folder.
TEST_F(CLoadSchemesTest, ASchemeBeyondWhatASchemeCanBeStopsAtItsCap) {
    const test::SmallFileSystem disk(storagePath(), 96u << 20);
    if (!disk.available()) GTEST_SKIP() << disk.reason();
    setFileFetchBounds({.keepFreeBytes = 1u << 20});
    ServerReply endless = ServerReply::text(200, std::string(64 * 1024, 'z'));
    endless.endless = true;
    ServerReply oversized = ServerReply::text(200, "z");
    oversized.announcedLength = std::size_t{1} << 30;
    for (const ServerReply& reply : {endless, oversized}) {
        SCOPED_TRACE(reply.endless ? "endless" : "announced 1 GiB");
        Rum::Api::takePendingRecords();
        const std::uint64_t freeBefore = disk.freeBytes();
        first.on("GET", schemePath, reply);
        second.on("GET", schemePath, reply);

        run();

        const auto failed = failures();
        ASSERT_EQ(failed.size(), 2u);
        for (const auto& record : failed)
            EXPECT_EQ(record.dataValue("ErrorDescription"),
                      "The download is larger than " + std::to_string(Schemes::MaxArchiveBytes) + " bytes");
        EXPECT_EQ(test::pathsOf(test::snapshotTree(storagePath())), std::vector<std::string>{});
        EXPECT_EQ(disk.freeBytes(), freeBefore);
    }
}

TEST_F(CLoadSchemesTest, WithoutFileDomainsNothingIsSent) {
    ApiDomains::resetForTesting();
    EXPECT_NO_THROW(run());
    EXPECT_TRUE(trail().empty());
}

}  // namespace
}  // namespace hexora::Worker::Common
