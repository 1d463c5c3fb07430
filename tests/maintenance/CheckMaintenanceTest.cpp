#include "workers/road/CCheckMaintenance.hpp"

#include "engine/LauncherError.hpp"
#include "engine/StateMessages.hpp"
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/file/LoadedSetting.hpp"
#include "services/file/SchemeFormat.hpp"
#include "services/internal/Dates.hpp"
#include "services/internal/Paths.hpp"
#include "services/internal/SHA1.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/RunState.hpp"
#include "support/TempDir.hpp"
#include "support/PendingRecords.hpp"
#include "support/TestClock.hpp"
#include "support/WorkerFailure.hpp"
#include "support/server/HttpsServer.hpp"
#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/validate/CValidation.hpp"
#include "workers/common/maintenance/MaintenanceWindow.hpp"
#include "workers/game/GStart.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

constexpr const char* NoticePath = "/config/maintenance.txt";
constexpr const char* Format = "yyyy-MM-dd HH:mm:ss";

std::string utc(Date date) { return formatDate(date, "UTC", Format); }

nlohmann::ordered_json notice(const std::string& start, const std::string& end) {
    return {{"start_dt", start}, {"end_dt", end}, {"eng", ""}};
}

class CheckMaintenanceTest : public test::RunStateFixture {
protected:
    void SetUp() override {
        Paths::useBundleForTesting(launcher);
        fs::create_directories(storagePath());
        ApiDomains::createLists({"https://127.0.0.1:1"}, {first.url(), second.url()});
        setLoadedSetting(std::make_shared<Setting>(".launcher.json"));
    }
    void TearDown() override {
        first.takeUnexpectedRequests();
        second.takeUnexpectedRequests();
    }

    // A bundle with two files and its scheme in the storage folder.
    void installWithScheme(const fs::path& bundle, const std::string& schemeName, const std::string& prefix) {
        SchemeFormat scheme{"1.0.0", "h", {}};
        for (const auto& [folder, name] : {std::pair{"Contents/MacOS", "Hexora"}, std::pair{"Contents", "Info.plist"}}) {
            const fs::path path = bundle / folder / name;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << name << " content";
            scheme.files.push_back({name, prefix + folder, *SHA1::sha1HexOfPath(path)});
        }
        std::ofstream(storagePath() / schemeName) << scheme.encode();
    }

    void serveOpenWindow() {
        const Date now = std::chrono::system_clock::now();
        windowStart = utc(now - std::chrono::hours(1));
        windowEnd = utc(now + std::chrono::hours(1));
        first.on("GET", NoticePath, test::ServerReply::json(200, notice(windowStart, windowEnd)));
    }

    // Takes the next queued worker, which must be of type T.
    template <class T>
    std::shared_ptr<T> next() {
        auto worker = harness.thread->workers().takeFirst();
        EXPECT_TRUE(worker && *worker) << "queue is empty";
        if (!worker || !*worker) return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(*worker);
        EXPECT_TRUE(typed) << "unexpected worker type";
        return typed;
    }

    test::ScopedTestClock clock;
    test::EngineHarness harness;
    test::TempDir dir;
    fs::path launcher = dir / "Applications/Launcher.app";
    test::HttpsServer first;
    test::HttpsServer second;
    std::string windowStart;
    std::string windowEnd;
};

TEST_F(CheckMaintenanceTest, BothFileDomainsDownGivesTwoAttemptsThenFailedApi) {
    ApiDomains::createLists({"https://127.0.0.1:1"}, {"https://127.0.0.1:1", "https://127.0.0.1:2"});
    CCheckMaintenance worker(harness.thread);

    const auto error = test::failureOf([&] { worker.work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to get maintenance info");
    EXPECT_EQ(error->type, "CCheckMaintenance");
    EXPECT_EQ(error->state, LauncherState::Failed_Api);
    EXPECT_EQ(error->terminateWhenAvailable, false);
    ASSERT_TRUE(error->rum);
    EXPECT_EQ(error->rum->Event, "failed to get maintenance info");
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Start", "https://127.0.0.1:1/config/maintenance.txt"},
        {"Failed", "https://127.0.0.1:1/config/maintenance.txt"},
        {"Start", "https://127.0.0.1:2/config/maintenance.txt"},
        {"Failed", "https://127.0.0.1:2/config/maintenance.txt"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].MinorType, "CCheckMaintenance");
        EXPECT_EQ(records[i].Event, "download");
        EXPECT_EQ(records[i].EventState, expected[i].first);
        EXPECT_EQ(records[i].dataValue("Uri"), expected[i].second);
    }
    EXPECT_EQ(records[1].dataValue("ErrorCode"), "0");
    EXPECT_EQ(records[1].LogLevel, "ERROR");
    EXPECT_TRUE(harness.thread->workers().takeFirst() == std::nullopt);
}

TEST_F(CheckMaintenanceTest, NoRequestWhenTheRetryCountIsZero) {
    ApiConfig::Common::urlRetryCount = 0;
    CCheckMaintenance worker(harness.thread);
    const auto error = test::failureOf([&] { worker.work(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "failed to get maintenance info");
    EXPECT_TRUE(Rum::Api::takePendingRecords().empty());
    EXPECT_EQ(first.requestCount() + second.requestCount(), 0u);
}

// A notice that is no notice counts as a failed attempt, and the other
// domain is asked; the one that answers becomes the current file domain.
TEST_F(CheckMaintenanceTest, UnusableNoticeIsAFailedAttemptAndTheNextDomainIsTried) {
    const Date now = std::chrono::system_clock::now();
    const std::string start = utc(now - std::chrono::minutes(5));
    const std::string end = utc(now + std::chrono::minutes(5));
    struct Case {
        const char* label;
        test::ServerReply reply;
        std::string errorCode;
    };
    const Case cases[] = {
        {"no eng", test::ServerReply::json(200, {{"start_dt", start}, {"end_dt", end}}), "200"},
        {"eng not a string", test::ServerReply::json(200, {{"start_dt", start}, {"end_dt", end}, {"eng", 1}}), "200"},
        {"not an object", test::ServerReply::json(200, nlohmann::ordered_json::array({start, end, ""})), "200"},
        {"404 text", test::ServerReply::text(404, "Not Found"), "404"},
    };
    for (const auto& c : cases) {
        test::HttpsServer bad;
        test::HttpsServer good;
        bad.on("GET", NoticePath, c.reply);
        good.on("GET", NoticePath, test::ServerReply::json(200, notice(start, end)));
        ApiDomains::createLists({"https://127.0.0.1:1"}, {bad.url(), good.url()});
        fs::remove(storagePath() / "launcherScheme.json");
        CCheckMaintenance worker(harness.thread);

        EXPECT_NO_THROW(worker.work()) << c.label;

        const auto records = test::withEvent(Rum::Api::takePendingRecords(), "download");
        ASSERT_EQ(records.size(), 4u) << c.label;
        EXPECT_EQ(records[1].EventState, "Failed") << c.label;
        EXPECT_EQ(records[1].dataValue("ErrorCode"), c.errorCode) << c.label;
        EXPECT_FALSE(records[1].dataValue("ErrorDescription").value_or("").empty()) << c.label;
        EXPECT_TRUE(records[1].dataValue("ResponseBody")) << c.label;
        EXPECT_EQ(records[3].EventState, "Succeeded") << c.label;
        EXPECT_EQ(records[3].dataValue("Uri"), good.url(NoticePath)) << c.label;
        EXPECT_EQ(ApiDomains::fileList()->currentIndex(), 1) << c.label;
        EXPECT_EQ(loadedSetting()->setting().cdn_dsa_index, 1) << c.label;
        ASSERT_EQ(good.requestsTo(NoticePath).size(), 1u);
        EXPECT_EQ(good.requestsTo(NoticePath)[0].header("Content-Type"), "application/json");
        harness.thread->workers().removeAll();
    }
}

TEST_F(CheckMaintenanceTest, OnlyAWindowThatHoldsNowLetsTheRoadGoOn) {
    const Date now = std::chrono::system_clock::now();
    const auto hours = [&](int h) { return utc(now + std::chrono::hours(h)); };
    struct Case {
        const char* label;
        std::string start;
        std::string end;
        bool inside;
    };
    const Case cases[] = {
        {"inside", hours(-1), hours(1), true},
        {"starts now (to the second)", utc(now), hours(1), true},
        {"over", hours(-3), hours(-1), false},
        {"not begun", hours(1), hours(3), false},
        {"T between date and time", formatDate(now - std::chrono::hours(1), "UTC", "yyyy-MM-dd'T'HH:mm:ss"), hours(1), false},
        {"empty end", hours(-1), "", false},
    };
    for (const auto& c : cases) {
        test::HttpsServer server;
        server.on("GET", NoticePath, test::ServerReply::json(200, notice(c.start, c.end)));
        ApiDomains::createLists({"https://127.0.0.1:1"}, {server.url()});
        CCheckMaintenance worker(harness.thread);

        const auto error = test::failureOf([&] { worker.work(); });

        if (c.inside) {
            EXPECT_FALSE(error) << c.label;
            EXPECT_TRUE(maintenanceStart() && maintenanceEnd()) << c.label;
        } else {
            ASSERT_TRUE(error) << c.label;
            EXPECT_EQ(error->message, "no maintenance period") << c.label;
            EXPECT_EQ(error->state, LauncherState::Failed_Api) << c.label;
            EXPECT_EQ(error->rum->Event, "no maintenance period") << c.label;
        }
        EXPECT_EQ(maintenanceStart(), parseDate(c.start, Format, "UTC")) << c.label;
        harness.thread->workers().removeAll();
        Rum::Api::takePendingRecords();
    }
}

TEST_F(CheckMaintenanceTest, BothIntactQueuesLauncherThenGameValidationThenGameStart) {
    serveOpenWindow();
    installWithScheme(launcher, "launcherScheme.json", "");
    installWithScheme(storagePath() / "Hexora.app", "gameScheme.json", "Hexora.app/");

    CCheckMaintenance(harness.thread).work();

    auto launcherValidation = next<CValidation>();
    ASSERT_TRUE(launcherValidation);
    EXPECT_EQ(launcherValidation->schemePath, (storagePath() / "launcherScheme.json").string());
    EXPECT_EQ(launcherValidation->targetPath, bundleRootPath());
    EXPECT_EQ(launcherValidation->brokenListPath, storagePath() / "launcherRetry.json");
    auto launcherResult = next<CCheckValidationResult>();
    ASSERT_TRUE(launcherResult);
    EXPECT_EQ(launcherResult->brokenListPath, storagePath() / "launcherRetry.json");
    EXPECT_FALSE(harness.thread->workers().takeFirst());
    launcherValidation->work();
    launcherResult->work();

    auto gameValidation = next<CValidation>();
    ASSERT_TRUE(gameValidation);
    EXPECT_EQ(gameValidation->schemePath, (storagePath() / "gameScheme.json").string());
    EXPECT_EQ(gameValidation->targetPath, storagePath() / "Hexora.app");
    EXPECT_EQ(gameValidation->brokenListPath, storagePath() / "gameRetry.json");
    auto gameResult = next<CCheckValidationResult>();
    ASSERT_TRUE(gameResult);
    EXPECT_EQ(gameResult->brokenListPath, storagePath() / "gameRetry.json");
    gameValidation->work();
    gameResult->work();

    EXPECT_TRUE(next<Hexora::GStart>());
    EXPECT_FALSE(harness.thread->workers().takeFirst());
    EXPECT_FALSE(StateMessages::underMaintenance()->additionalMessage());
}

TEST_F(CheckMaintenanceTest, MissingLauncherSchemeEndsUnderMaintenanceWithTheWindow) {
    serveOpenWindow();
    installWithScheme(storagePath() / "Hexora.app", "gameScheme.json", "Hexora.app/");

    CCheckMaintenance(harness.thread).work();
    next<CValidation>()->work();
    const auto error = test::failureOf([&] { next<CCheckValidationResult>()->work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->type, "CCheckValidationResult");
    EXPECT_EQ(error->message, "integrity check failed during maintenance period (launcher)");
    EXPECT_EQ(error->state, LauncherState::UnderMaintenance);
    ASSERT_TRUE(error->rum);
    EXPECT_EQ(error->rum->MinorType, "CCheckMaintenance");
    EXPECT_EQ(error->rum->Event, "integrity check failed during maintenance period (launcher)");
    const std::string window = formatLocalDate(*parseDate(windowStart, Format, "UTC"), Format) + " ~ " +
                               formatLocalDate(*parseDate(windowEnd, Format, "UTC"), Format);
    EXPECT_EQ(StateMessages::underMaintenance()->additionalMessage(), window);
    EXPECT_THAT(StateMessages::underMaintenance()->getMessage(), testing::EndsWith("\r\n" + window));
    EXPECT_FALSE(harness.thread->workers().takeFirst());  // the game is not validated
}

TEST_F(CheckMaintenanceTest, ChangedGameFileEndsUnderMaintenance) {
    serveOpenWindow();
    installWithScheme(launcher, "launcherScheme.json", "");
    installWithScheme(storagePath() / "Hexora.app", "gameScheme.json", "Hexora.app/");
    std::ofstream(storagePath() / "Hexora.app/Contents/Info.plist") << "changed";

    CCheckMaintenance(harness.thread).work();
    next<CValidation>()->work();
    next<CCheckValidationResult>()->work();
    next<CValidation>()->work();
    const auto error = test::failureOf([&] { next<CCheckValidationResult>()->work(); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "integrity check failed during maintenance period (game)");
    EXPECT_EQ(error->state, LauncherState::UnderMaintenance);
    EXPECT_THAT(StateMessages::underMaintenance()->additionalMessage().value_or(""), HasSubstr(" ~ "));
    EXPECT_FALSE(harness.thread->workers().takeFirst());
}

}  // namespace
}  // namespace hexora::Worker::Common
