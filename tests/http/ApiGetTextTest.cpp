#include "services/api/Api.hpp"
#include "services/http/RequestThreads.hpp"
#include "services/http/HttpClient.hpp"
#include "services/rum/RumApi.hpp"
#include "support/LogCapture.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"
#include "support/server/RequestFixture.hpp"

#include "support/PendingRecords.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace hexora {
namespace {
using namespace std::chrono_literals;
using test::HttpsServer;
using test::ServerReply;

constexpr double Timeout = 60.0;  // bounds only a broken test

class ApiGetText : public test::RequestFixture {};

ServerReply withContentType(ServerReply reply, std::string contentType) {
    reply.contentType = std::move(contentType);
    return reply;
}

struct FailureCase {
    const char* name;
    ServerReply reply;
    std::string errorCode;
    std::string descriptionPart;  // "unknown" must match whole
    std::optional<std::string> responseBody;
};

TEST_F(ApiGetText, SucceedsWithTheWholeTextAndReportsIt) {
    const std::string longText = "id,value\n" + std::string(3000, 'v');
    server.on("GET", "/config/table.csv", ServerReply::text(200, longText));
    const std::string url = server.url("/config/table.csv");

    const ApiResult<std::string> result = Api::getText(url, Timeout);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.result, longText);

    const auto record = onlyRecord();
    EXPECT_TRUE(test::recordIs(record, "GET", "api.get", "Succeeded", "INFO"));
    EXPECT_EQ(record.dataValue("Uri"), url);
    ASSERT_TRUE(record.dataValue("Message"));
    EXPECT_EQ(record.dataValue("Message")->size(), 2000u);
    EXPECT_EQ(record.dataValue("Message")->rfind("id,value", 0), 0u);
    EXPECT_FALSE(record.dataValue("ErrorCode"));
}

// The text timeout is an idle timeout: a reply that takes longer than it in
// all, in pieces never that far apart, arrives whole.
TEST_F(ApiGetText, AReplyInPiecesWithinTheIdleTimeoutArrivesWhole) {
    constexpr double IdleTimeout = 2.0;
    const std::string text = "id,value\n1,one\n2,two\n3,three\n";
    const auto slow = connectedServer();
    slow->on("GET", "/config/table.csv", ServerReply::inPieces(ServerReply::text(200, text), IdleTimeout));

    const ApiResult<std::string> result = Api::getText(slow->url("/config/table.csv"), IdleTimeout);

    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(result.result, text);
    EXPECT_EQ(onlyRecord().EventState, "Succeeded");
}

TEST_F(ApiGetText, DecodesTextByTheRepliesCharset) {
    server.on("GET", "/latin", withContentType(ServerReply::text(200, "caf\xe9"), "text/plain; charset=ISO-8859-1"));
    server.on("GET", "/bare", withContentType(ServerReply::text(200, "na\xefve"), "text/csv"));
    server.on("GET", "/utf8", withContentType(ServerReply::text(200, "caf\xc3\xa9"), "text/plain; charset=utf-8"));
    EXPECT_EQ(Api::getText(server.url("/latin"), Timeout).result, "caf\xc3\xa9");
    EXPECT_EQ(Api::getText(server.url("/bare"), Timeout).result, "na\xc3\xafve");
    EXPECT_EQ(Api::getText(server.url("/utf8"), Timeout).result, "caf\xc3\xa9");
}

TEST_F(ApiGetText, FailuresCarryCodeDescriptionAndBody) {
    const std::vector<FailureCase> cases = {
        {"not found with a body", ServerReply::text(404, "missing"), "404", "unknown", "missing"},
        {"server error", ServerReply::text(503, "<html>busy</html>"), "503", "unknown", "<html>busy</html>"},
        {"empty 200", ServerReply::text(200, ""), "0", "no body", std::nullopt},
        {"no content", ServerReply::text(204, ""), "0", "unknown", std::nullopt},
        {"error body not UTF-8", ServerReply::text(500, "bad \xff\xfe end"), "500", "unknown", "bad \xef\xbf\xbd\xef\xbf\xbd end"},
        {"text invalid in its charset", withContentType(ServerReply::text(200, "bad \xff"), "text/plain; charset=utf-8"),
         "0", "not valid text", "bad \xef\xbf\xbd"},
        // What arrived before the cap, cut like every record value.
        {"too large", ServerReply::text(200, std::string(16 * 1024 * 1024 + 1, 'x')), "0", "larger than",
         std::string(2000, 'x')},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string path = "/case" + std::to_string(i);
        server.on("GET", path, c.reply);
        test::LogCapture log;

        const auto result = Api::getText(server.url(path), Timeout);
        EXPECT_FALSE(result.succeeded);
        EXPECT_FALSE(result.result);

        const auto record = onlyRecord();
        EXPECT_TRUE(test::recordIs(record, "GET", "api.get", "Failed", "ERROR"));
        EXPECT_EQ(record.dataValue("Uri"), server.url(path));
        EXPECT_EQ(record.dataValue("ErrorCode"), c.errorCode);
        const std::string description = record.dataValue("ErrorDescription").value_or("");
        if (c.descriptionPart == "unknown") {
            EXPECT_EQ(description, "unknown");
        } else {
            EXPECT_NE(description.find(c.descriptionPart), std::string::npos) << description;
        }
        EXPECT_EQ(record.dataValue("ResponseBody"), c.responseBody);
        EXPECT_FALSE(record.dataValue("Message"));
        bool loggedError = false;
        for (const auto& line : log.lines()) loggedError |= line.level == "error";
        EXPECT_TRUE(loggedError);
    }
}

TEST_F(ApiGetText, BlankUrlSendsNothing) {
    for (const std::string blank : {"", "   ", " \t\r\n ", "\xc2\xa0"}) {
        test::LogCapture log;
        const auto result = Api::getText(blank, Timeout);
        EXPECT_FALSE(result.succeeded);
        expectBlankUrlRecord("Api.get");
        EXPECT_TRUE(log.contains("url is empty"));
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(ApiGetText, TransportFailuresGiveCodeZeroAndTheLibraryText) {
    HttpsServer untrusted(HttpsServer::Config{.trusted = false});
    HttpsServer gone;
    const std::string goneUrl = gone.url("/x");
    gone.stop();
    ServerReply silent = ServerReply::text(200, "late");
    silent.delayBeforeHeadersSec = 5;
    server.on("GET", "/silent", silent);

    const std::vector<std::pair<std::string, double>> urls = {
        {untrusted.url("/x"), Timeout}, {goneUrl, Timeout}, {server.url("/silent"), 0.3}};
    for (const auto& [url, timeout] : urls) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(Api::getText(url, timeout).succeeded);
        const auto record = onlyRecord();
        EXPECT_EQ(record.EventState, "Failed");
        EXPECT_EQ(record.dataValue("ErrorCode"), "0");
        const std::string description = record.dataValue("ErrorDescription").value_or("");
        EXPECT_FALSE(description.empty());
        EXPECT_NE(description, "unknown");
        EXPECT_FALSE(record.dataValue("ResponseBody"));
    }
    EXPECT_TRUE(untrusted.requests().empty());
}

// ---- several URLs ----

class ApiGetTexts : public ApiGetText {
protected:
    HttpsServer second;
};

TEST_F(ApiGetTexts, FastSecondAnswerWinsWithoutWaitingForTheSlowFirst) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    server.on("GET", "/t", [released](const test::RecordedRequest&) {
        released.wait();
        return ServerReply::text(200, "first");
    });
    second.on("GET", "/t", ServerReply::text(200, "second"));

    const auto result = Api::getText({server.url("/t"), second.url("/t")}, Timeout);
    EXPECT_EQ(result, "second");
    EXPECT_GE(clock->sleptSeconds(), 0.1);
    EXPECT_EQ(Rum::Api::pendingRecords().size(), 1u);

    // The first request still runs on its own thread, held for the exit;
    // once answered, it still reports.
    EXPECT_GE(RequestThreads::leftRunning().count(), 1u);
    release.set_value();
    test::waitForPendingRecords(2);
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].dataValue("Uri"), server.url("/t"));
    EXPECT_EQ(records[1].EventState, "Succeeded");
}

// What happens to the requests left running when the process exits: they
// are stopped and joined before the state they use goes away.
TEST(RequestThreadsTest, GoingAwayAbortsAndJoinsTheThreadsItHolds) {
    HttpsServer server;
    ServerReply late = ServerReply::text(200, "late");
    late.delayBeforeHeadersSec = 30;
    server.on("GET", "/late", late);
    Http::Result result;
    {
        RequestThreads threads;
        RequestThreads::Running running;
        running.thread = std::thread([&, abort = running.abort, exited = running.exited] {
            Http::Options options;
            options.timeoutSec = 60;
            options.shouldAbort = [abort] { return abort->load(); };
            result = Http::get(server.url("/late"), options);
            *exited = true;
        });
        std::vector<RequestThreads::Running> handed;
        handed.push_back(std::move(running));
        threads.adopt(std::move(handed));
        ASSERT_TRUE(server.waitForRequests(1, 10s));
        EXPECT_EQ(threads.count(), 1u);
    }
    EXPECT_EQ(result.failure, Http::Failure::Aborted);
}

TEST_F(ApiGetTexts, ChoosesByListOrderAndFallsBackToTheFirst) {
    struct Case {
        const char* name;
        ServerReply first, second;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"first fails: the second", ServerReply::text(500, "no"), ServerReply::text(200, "two"), "two"},
        {"blank first, failing second: the blank", ServerReply::text(200, "   "), ServerReply::text(500, "no"), "   "},
        {"blank first, good second: the second", ServerReply::text(200, "   "), ServerReply::text(200, "two"), "two"},
        {"both fail: nothing", ServerReply::text(404, "a"), ServerReply::text(503, "b"), std::nullopt},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string path = "/case" + std::to_string(i);
        server.on("GET", path, cases[i].first);
        second.on("GET", path, cases[i].second);
        EXPECT_EQ(Api::getText({server.url(path), second.url(path)}, Timeout), cases[i].expected);
        // Every request reports, whichever won.
        test::waitForPendingRecords(2);
        EXPECT_EQ(Rum::Api::takePendingRecords().size(), 2u);
    }
}

TEST_F(ApiGetTexts, AmongDoneSlotsTheFirstInListOrderWins) {
    auto first = std::make_shared<Api::GetTextResult>();
    auto second = std::make_shared<Api::GetTextResult>();
    second->finish({true, "two"});
    first->finish({true, "one"});
    EXPECT_EQ(Api::firstGoodText({first, second}), "one");
}

TEST_F(ApiGetTexts, BlankUrlInTheListFailsAloneAndAnEmptyListYieldsNothing) {
    second.on("GET", "/t", ServerReply::text(200, "two"));
    EXPECT_EQ(Api::getText({"  ", second.url("/t")}, Timeout), "two");
    EXPECT_EQ(Api::getText(std::vector<std::string>{}, Timeout), std::nullopt);
    test::waitForPendingRecords(2);
    const auto records = Rum::Api::takePendingRecords();
    ASSERT_EQ(records.size(), 2u);
    std::vector<std::string> kinds = {records[0].MinorType, records[1].MinorType};
    std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ(kinds, (std::vector<std::string>{"Api.get", "GET"}));
}

}  // namespace
}  // namespace hexora
