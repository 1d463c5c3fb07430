// The update-info request of LP22 and GP22: the domain rotation, the index
// kept for the next run, the second-request rule, the cancellation check and
// what is sent.
#include "support/Eventually.hpp"
#include "support/ScopedEnv.hpp"
#include "updateinfo/UpdateInfoFixture.hpp"
#include "workers/road/CCheckMaintenance.hpp"
#include "workers/common/download/CLoadSchemes.hpp"
#include "workers/game/GP22.hpp"
#include "workers/launcher/LP22.hpp"

#include <gmock/gmock.h>

#include <fstream>
#include <mutex>

namespace hexora {
namespace {

using ApiConf::UpdateInfo::Response;
using Worker::Common::CCheckMaintenance;
using Worker::Common::CLoadSchemes;
using Worker::Hexora::GP22;
using Worker::Launcher::LP22;
namespace fs = std::filesystem;

class UpdateInfoRequestTest : public test::UpdateInfoFixture {};

nlohmann::ordered_json sameVersion(const std::string& version, const std::string& hash) {
    return {{"result", 0}, {"version", version}, {"hash", hash}};
}

TEST_F(UpdateInfoRequestTest, StartsAtTheCurrentDomainAndKeepsTheOneThatAnswered) {
    std::mutex mutex;
    std::vector<std::string> order;
    api1.on("POST", "/conf", [&](const test::RecordedRequest&) {
        std::lock_guard lock(mutex);
        order.push_back("second");
        return test::ServerReply::text(503, "busy");
    });
    api0.on("POST", "/conf", [&](const test::RecordedRequest&) {
        std::lock_guard lock(mutex);
        order.push_back("first");
        return test::ServerReply::json(200, sameVersion("1.4.2", "H1"));
    });
    ApiDomains::apiList()->setCurrentIndex(1);
    loadedSetting()->setApiDsaIndex(1);

    LP22 worker(harness.thread);
    worker.work();

    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    }
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 0);
    EXPECT_EQ(loadedSetting()->setting().api_dsa_index, 0);
    const auto written = writtenSettings();
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)["api_dsa_index"], 0);
    const auto body = nlohmann::json::parse(api0.requestsTo("/conf").at(0).body);
    EXPECT_EQ(body, (nlohmann::json{{"p", 22}, {"app_version", "1.4.2"}, {"platform", 32}}));
    const auto queued = harness.takeQueued();
    ASSERT_FALSE(queued.empty());
    const auto load = std::dynamic_pointer_cast<CLoadSchemes>(queued.front());
    ASSERT_TRUE(load);
    EXPECT_EQ(load->hashKey, "H1");
}

TEST_F(UpdateInfoRequestTest, NoDomainsSendsNothingAndQueuesTheMaintenanceCheck) {
    ApiDomains::createLists({}, {"https://127.0.0.1:9"});
    fs::create_directories(tempPath());
    const auto kept = tempPath() / "kept.txt";
    std::ofstream(kept) << "x";

    GP22 worker(harness.thread);
    worker.work();

    EXPECT_EQ(api0.requestCount() + api1.requestCount(), 0u);
    const auto queued = harness.takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<CCheckMaintenance>(queued[0]));
    EXPECT_FALSE(writtenSettings());
    EXPECT_TRUE(fs::exists(kept)) << "temp is cleared only after an answer";
}

TEST_F(UpdateInfoRequestTest, EveryDomainFailingLeavesTheIndexAndQueuesTheMaintenanceCheck) {
    api0.on("POST", "/conf", test::ServerReply::text(500, "down"));
    api1.on("POST", "/conf", test::ServerReply::json(200, {{"version", "2.0.2"}}));  // no "result": undecodable
    ApiDomains::apiList()->setCurrentIndex(1);

    GP22 worker(harness.thread);
    worker.work();

    EXPECT_EQ(api0.requestCount(), 1u);
    EXPECT_EQ(api1.requestCount(), 1u);
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 1);
    const auto queued = harness.takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<CCheckMaintenance>(queued[0]));
    EXPECT_FALSE(writtenSettings());
}

// v_check against the installed game version 3.0.0 / 2.9.9 / 3.0.1: the
// first reply is used while v_check lies above the installed version or is
// no version text; otherwise the request goes once more to v_check_url2, or,
// without it, the reply is not used at all.
TEST_F(UpdateInfoRequestTest, SecondRequestRule) {
    struct Case {
        const char* installed;
        const char* vCheck;
        bool withUrl2;
        // "first", "second" or "none" (maintenance check)
        const char* used;
    };
    const Case cases[] = {
        {"2.9.9", "3.0.0", true, "first"},  {"3.0.0", "3.0.0", true, "second"}, {"3.0.1", "3.0.0", true, "second"},
        {"3.0.0", "3.0.0", false, "none"},  {"3.0.1", "3.0.0", false, "none"},  {"3.0.0", "3.0", true, "first"},
        {"3.0.0", "abc", false, "first"},   {"3.0.0", "", false, "first"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + " v_check " + c.vCheck + (c.withUrl2 ? " with url2" : ""));
        test::HttpsServer first;
        test::HttpsServer second;
        ApiDomains::createLists({first.url()}, {"https://127.0.0.1:9"});
        nlohmann::ordered_json firstReply = sameVersion(c.installed, "FIRST");
        firstReply["v_check"] = c.vCheck;
        firstReply["v_check_url"] = "https://127.0.0.1:9/never";
        if (c.withUrl2) firstReply["v_check_url2"] = second.url();
        first.on("POST", "/conf", test::ServerReply::json(200, firstReply));
        second.on("POST", "/conf", test::ServerReply::json(200, sameVersion(c.installed, "SECOND")));
        setGameVersion(c.installed);

        GP22 worker(harness.thread);
        std::optional<Response> reply;
        const bool usable = worker.requestUpdateInfo(c.installed, 1, reply);

        const std::string used = c.used;
        EXPECT_EQ(usable, used != "none");
        EXPECT_EQ(second.requestCount(), used == "second" ? 1u : 0u);
        if (used == "second") {
            EXPECT_EQ(second.requestsTo("/conf").at(0).body, first.requestsTo("/conf").at(0).body);
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->hash, "SECOND");
        }
        if (used == "first") {
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->hash, "FIRST");
        }
        worker.work();
        const auto queued = harness.takeQueued();
        ASSERT_EQ(queued.size(), used == "none" ? 1u : 4u);
        EXPECT_EQ(static_cast<bool>(std::dynamic_pointer_cast<CCheckMaintenance>(queued[0])), used == "none");
        Rum::Api::takePendingRecords();
    }
}

// The user quits while the post runs: the telemetry is still flushed (without
// a record of the stopped post), nothing is queued and the settings file is
// not written.
TEST_F(UpdateInfoRequestTest, CancellationDuringTheRequestQueuesNothingAndWritesNoSettings) {
    test::HttpsServer collector;
    collector.on("PUT", "/", test::ServerReply::json(200, nlohmann::json::object()));
    test::ScopedEnv collectorRoot("HEXORA_RUM_URL", collector.url("/"));
    api0.on("POST", "/conf", [&](const test::RecordedRequest&) {
        harness.thread->cancel();
        // The reply comes too late: the cancel stops the post first.
        auto late = test::ServerReply::json(200, {{"result", 0}, {"version", "9.9.9"}, {"hash", "H"}});
        late.delayBeforeHeadersSec = 120;
        return late;
    });
    harness.thread->workers().append(std::make_shared<LP22>(harness.thread));

    harness.run();

    EXPECT_TRUE(harness.thread->workers().takeFirst() == std::nullopt);
    EXPECT_FALSE(writtenSettings());
    // The run's end is sent, and the stopped post left no record: a quit is
    // no failure of the API.
    const auto sent = [&] {
        std::vector<nlohmann::json> records;
        for (const auto& put : collector.requestsTo("/")) {
            const auto batch = nlohmann::json::parse(put.body);
            for (const auto& record : batch["Data"]) records.push_back(record);
        }
        return records;
    };
    const auto ended = [&] {
        for (const auto& record : sent())
            if (record["MinorType"] == "WorkerThread" && record["Event"] == "terminated") return true;
        return false;
    };
    ASSERT_TRUE(test::eventually(ended));
    for (const auto& record : sent())
        EXPECT_FALSE(record["MinorType"] == "POST" && record["Event"] == "22") << record.dump();
}

// A version read from a damaged Info.plist is not UTF-8: it is sent with
// replacement characters, and the run goes on to a decision.
TEST_F(UpdateInfoRequestTest, VersionThatIsNotUtf8IsSentWithReplacementCharacters) {
    setGameVersion("2.0\xff.1");
    api0.on("POST", "/conf", test::ServerReply::json(200, {{"result", 0}, {"version", "2.0.2"}}));

    GP22 worker(harness.thread);
    const auto error = test::expectLauncherError([&] { worker.work(); });

    ASSERT_EQ(api0.requestCount(), 1u);
    const auto body = nlohmann::json::parse(api0.requestsTo("/conf").at(0).body);
    EXPECT_EQ(body["app_version"], "2.0\xEF\xBF\xBD.1");
    EXPECT_EQ(error.state, LauncherState::Failed_Api_Unavailable_Version);
}

}  // namespace
}  // namespace hexora
