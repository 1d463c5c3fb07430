// The remote configuration: the AppConfig record read from the table, and
// LLoadAppConfig fetching it from the local file servers and applying it.
#include "services/api/ApiConfig.hpp"
#include "services/api/ApiDomains.hpp"
#include "services/api/AppConfig.hpp"
#include "services/internal/ServiceError.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/LogCapture.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"
#include "workers/launcher/LLoadAppConfig.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace hexora {
namespace {
using test::HttpsServer;
using test::ServerReply;
using Worker::Launcher::LLoadAppConfig;

// A configuration table; `rows` are "key<sep>global<sep>other" lines.
std::string table(const std::vector<std::string>& rows, char separator = ',') {
    std::string text = std::string("Key") + separator + "Global" + separator + "Staging\n";
    for (const auto& row : rows) text += row + "\n";
    return text;
}

std::string row(const std::string& key, const std::string& global, char separator = ',') {
    return key + separator + global + separator + "7";
}

const std::string ApiList = "\"[\"\"https://127.0.0.1:1\"\",\"\"https://127.0.0.1:2\"\",\"\"https://127.0.0.1:3\"\"]\"";

std::vector<std::string> fullRows(char separator = ',') {
    return {row("timeout_sec_web", "30", separator), row("timeout_sec_web_upload", "45", separator),
            row("timeout_sec_web_download", "120", separator), row("url_retry_count_web", "3", separator),
            row("url_api2", ApiList, separator)};
}

TEST(AppConfig, ReadsAllFiveKeysFromTheColumn) {
    const AppConfig config(CSV(table(fullRows())), "Global");
    EXPECT_EQ(config.timeoutSecWeb(), 30);
    EXPECT_EQ(config.timeoutSecWebUpload(), 45);
    EXPECT_EQ(config.timeoutSecWebDownload(), 120);
    EXPECT_EQ(config.urlRetryCountWeb(), 3);
    EXPECT_EQ(config.api2urls(),
              (std::vector<std::string>{"https://127.0.0.1:1", "https://127.0.0.1:2", "https://127.0.0.1:3"}));
}

TEST(AppConfig, OneBadOrMissingKeyFailsTheWhole) {
    auto withoutUpload = fullRows();
    withoutUpload.erase(withoutUpload.begin() + 1);
    try {
        AppConfig(CSV(table(withoutUpload)), "Global");
        ADD_FAILURE() << "built without timeout_sec_web_upload";
    } catch (const ServiceError& error) {
        EXPECT_EQ(error.domain(), "CSV.getValue");
        EXPECT_EQ(error.reason(), "key not found in csv : timeout_sec_web_upload");
    }
    auto badRetry = fullRows();
    badRetry[3] = row("url_retry_count_web", "three");
    EXPECT_THROW(AppConfig(CSV(table(badRetry)), "Global"), ServiceError);
    auto badList = fullRows();
    badList[4] = row("url_api2", "https://127.0.0.1:1");
    EXPECT_THROW(AppConfig(CSV(table(badList)), "Global"), std::exception);
    EXPECT_THROW(AppConfig(CSV(table(fullRows())), "Missing"), ServiceError) << "a missing column reads as empty";
}

class LLoadAppConfigTest : public test::RunStateFixture {
protected:
    void SetUp() override { ApiDomains::createLists(apiUrls_, {primary_.url(), fallback_.url()}); }

    /// Runs the worker, then waits until the requests to both domains have
    /// reported: the one that lost the race is still running on its own
    /// thread when the worker returns.
    void runWorker() {
        LLoadAppConfig worker(harness_.thread);
        worker.work();
        if (!ApiDomains::fileList()) return;
        test::waitForPendingRecords(2);
        EXPECT_EQ(Rum::Api::takePendingRecords().size(), 2u) << "one request per file domain";
    }

    void serve(HttpsServer& server, const std::string& text) {
        server.on("GET", LLoadAppConfig::TablePath, ServerReply::text(200, text));
    }
    void fail(HttpsServer& server) { server.on("GET", LLoadAppConfig::TablePath, ServerReply::text(404, "no")); }

    static void expectDefaults() {
        EXPECT_EQ(ApiConfig::Common::webTimeoutSec.load(), 15.0);
        EXPECT_EQ(ApiConfig::Download::timeoutSec.load(), 60.0);
        EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 1);
    }
    void expectApiListKept() const { EXPECT_EQ(ApiDomains::apiList()->urls(), apiUrls_); }

    const std::vector<std::string> apiUrls_{"https://127.0.0.1:11", "https://127.0.0.1:12"};
    test::ScopedTestClock clock_;
    HttpsServer primary_;
    HttpsServer fallback_;
    test::EngineHarness harness_;
};

TEST_F(LLoadAppConfigTest, AppliesTheTableFromTheFirstDomainThatAnswers) {
    fail(primary_);
    serve(fallback_, table(fullRows()));
    ApiDomains::apiList()->setCurrentIndex(1);
    runWorker();

    EXPECT_EQ(ApiConfig::Common::webTimeoutSec.load(), 30.0);
    EXPECT_EQ(ApiConfig::Download::timeoutSec.load(), 120.0);
    EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 3);
    EXPECT_EQ(ApiDomains::apiList()->urls(),
              (std::vector<std::string>{"https://127.0.0.1:1", "https://127.0.0.1:2", "https://127.0.0.1:3"}));
    EXPECT_EQ(ApiDomains::apiList()->currentIndex(), 1) << "a still valid index stays";
    EXPECT_EQ(primary_.requestsTo(LLoadAppConfig::TablePath).size(), 1u);
    EXPECT_EQ(fallback_.requestsTo(LLoadAppConfig::TablePath).size(), 1u);
    EXPECT_EQ(ApiDomains::fileList()->urls(), (std::vector<std::string>{primary_.url(), fallback_.url()}));
}

TEST_F(LLoadAppConfigTest, NoDomainAnsweringKeepsTheDefaults) {
    fail(primary_);
    fallback_.stop();
    test::LogCapture log;
    runWorker();
    expectDefaults();
    expectApiListKept();
    EXPECT_TRUE(log.contains("LLoadAppConfig: failed to get app config from cdn"));
}

TEST_F(LLoadAppConfigTest, UnusableTablesChangeNothing) {
    auto withoutUpload = fullRows();
    withoutUpload.erase(withoutUpload.begin() + 1);
    auto spacedNumber = fullRows();
    spacedNumber[0] = row("timeout_sec_web", " 30");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"no timeout_sec_web_upload row", table(withoutUpload)},
        {"a number with a blank", table(spacedNumber)},
        {"no Global column", "Key,Staging\ntimeout_sec_web,30\n"},
        {"an unclosed quote", table(fullRows()) + "x,\"open\n"},
        {"a blank table", "  \n"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        serve(primary_, text);
        serve(fallback_, text);
        test::LogCapture log;
        runWorker();
        expectDefaults();
        expectApiListKept();
        EXPECT_TRUE(log.contains("LLoadAppConfig: failed to parse app config csv: "));
    }
}

TEST_F(LLoadAppConfigTest, EmptyApiListAppliesTheNumbersAndKeepsTheList) {
    auto rows = fullRows();
    rows[4] = row("url_api2", "[]");
    serve(primary_, table(rows));
    serve(fallback_, table(rows));
    runWorker();
    EXPECT_EQ(ApiConfig::Common::webTimeoutSec.load(), 30.0);
    EXPECT_EQ(ApiConfig::Download::timeoutSec.load(), 120.0);
    EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 3);
    expectApiListKept();
}

TEST_F(LLoadAppConfigTest, RepeatedKeyTakesTheFirstRow) {
    auto rows = fullRows();
    rows.insert(rows.begin(), row("timeout_sec_web", "21"));
    rows.push_back(row("url_retry_count_web", "9"));
    serve(primary_, table(rows));
    serve(fallback_, table(rows));
    runWorker();
    EXPECT_EQ(ApiConfig::Common::webTimeoutSec.load(), 21.0);
    EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 3);
}

TEST_F(LLoadAppConfigTest, SemicolonsReadLikeCommas) {
    serve(primary_, table(fullRows(';'), ';'));
    serve(fallback_, table(fullRows(';'), ';'));
    runWorker();
    EXPECT_EQ(ApiConfig::Common::webTimeoutSec.load(), 30.0);
    EXPECT_EQ(ApiConfig::Download::timeoutSec.load(), 120.0);
    EXPECT_EQ(ApiConfig::Common::urlRetryCount.load(), 3);
    EXPECT_EQ(ApiDomains::apiList()->length(), 3);
}

TEST_F(LLoadAppConfigTest, NoFileDomainListSendsNothing) {
    ApiDomains::resetForTesting();
    test::LogCapture log;
    runWorker();
    expectDefaults();
    EXPECT_TRUE(log.contains("LLoadAppConfig: failed to get cdn urls"));
    EXPECT_EQ(primary_.requestCount() + fallback_.requestCount(), 0u);
}

}  // namespace
}  // namespace hexora
