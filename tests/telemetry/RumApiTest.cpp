#include "platform/ExitGate.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"
#include "services/rum/RumUploads.hpp"
#include "support/FakeDeviceFacts.hpp"
#include "support/Eventually.hpp"
#include "support/FakePreferenceStore.hpp"
#include "support/LogCapture.hpp"
#include "support/RunState.hpp"
#include "support/ScopedEnv.hpp"
#include "support/TestClock.hpp"
#include "support/server/HttpsServer.hpp"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <thread>

extern char** environ;

namespace hexora {
namespace {
using Rum::LogData;
using Json = nlohmann::ordered_json;
constexpr const char* Stream = "hexora-rum-kinesis-prod";
const std::string StreamPath = std::string("/") + Stream;

class RumApiTest : public test::RunStateFixture {
protected:
    void SetUp() override { Rum::Api::setStreamName(Stream); }

    // Appends a record whose Event is `event`.
    static void appendRecord(const std::string& event) { LogData("RumApiTest", event, "Info", "INFO").append(); }

    std::vector<std::string> errorLines() const {
        std::vector<std::string> lines;
        for (const auto& line : log.lines())
            if (line.level == "error") lines.push_back(line.text);
        return lines;
    }

    // A sync flush's 31 s of bounded waits become under 5 s: enough for a
    // TLS upload to complete on a loaded machine or under a sanitizer.
    test::ScopedTestClock clock{0.15};
    test::ScopedPreferenceStore prefs;
    test::ScopedDeviceFacts device;
    test::HttpsServer collector;
    test::ScopedEnv collectorRoot{"HEXORA_RUM_URL", collector.url("/")};
    test::LogCapture log;
};

TEST_F(RumApiTest, CollectorReceivesTheBatchAtTheStreamWithKeyAndType) {
    collector.on("PUT", StreamPath, test::ServerReply::json(200, Json::object()));
    appendRecord("first");
    LogData("RumApiTest", "second", "Failed", "ERROR").addData("Reason", "x").append();
    const auto queued = Rum::Api::pendingRecords();

    Rum::Api::flushSync();

    const auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_EQ(requests[0].target, StreamPath);
    EXPECT_EQ(requests[0].header("x-api-key"), "Q7mVt2LpX9cRw4KzN8bHy3FsJ6dGe1UaZ5oTi0Pn");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    const Json expected = Json::object({{"Data", Json::array({queued[0].encode(), queued[1].encode()})}});
    EXPECT_EQ(requests[0].body, expected.dump());
    EXPECT_TRUE(errorLines().empty());
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
}

TEST_F(RumApiTest, HeadersGoKeyFirstThenContentType) {
    const Http::Headers headers = Rum::RumUploads::collectorHeaders("KEY");
    EXPECT_EQ(headers, (Http::Headers{{"x-api-key", "KEY"}, {"Content-Type", "application/json"}}));
}

TEST_F(RumApiTest, EmptyStreamNameGoesToTheBareRoot) {
    Rum::Api::setStreamName("");
    collector.on("PUT", "/", test::ServerReply::json(200, Json::object()));
    appendRecord("e");
    Rum::Api::flushSync();
    EXPECT_EQ(collector.requestsTo("/").size(), 1u);
}

TEST_F(RumApiTest, OnlyA2xxReplyWithAJsonBodyIsASuccess) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        bool success;
    };
    const Case cases[] = {
        {"200 {}", 200, "{}", true},
        {"201 []", 201, "[]", true},
        {"200 JSON text", 200, "\"ok\"", true},
        {"200 empty", 200, "", false},
        {"204 empty", 204, "", false},
        {"200 not JSON", 200, "<html>", false},
        {"500 JSON", 500, "{\"e\":1}", false},
        {"404 empty", 404, "", false},
    };
    int index = 0;
    for (const auto& c : cases) {
        test::LogCapture caseLog;
        const std::string stream = "stream-" + std::to_string(index++);
        Rum::Api::setStreamName(stream);
        collector.on("PUT", "/" + stream, test::ServerReply::text(c.status, c.body));
        appendRecord(c.name);
        Rum::Api::flushSync();
        bool logged = false;
        for (const auto& line : caseLog.lines())
            logged = logged || (line.level == "error" && line.text.rfind("Rum.Api.Request.putRumSync: ", 0) == 0);
        EXPECT_EQ(logged, !c.success) << c.name;
    }
    EXPECT_EQ(collector.requestCount(), std::size(cases));
}

TEST_F(RumApiTest, FailureLineCarriesUrlBodyStatusHeadersAndReply) {
    // A JSON reply with a bad status: no error text, only the status tells.
    test::ServerReply reply = test::ServerReply::text(503, "{\"busy\":true}");
    reply.headers = {{"X-Reason", "maintenance"}};
    collector.on("PUT", StreamPath, reply);
    appendRecord("e");
    const std::string body = Json::object({{"Data", Json::array({Rum::Api::pendingRecords()[0].encode()})}}).dump();

    Rum::Api::flushSync();

    const auto lines = errorLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    const std::string head = "Rum.Api.Request.putRumSync: " + collector.url(StreamPath) + "\n\n" + body + "\n503\n";
    EXPECT_EQ(line.substr(0, head.size()), head) << line;
    EXPECT_NE(line.find("\nX-Reason: maintenance\n"), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 14), "\n{\"busy\":true}") << line;
}

TEST_F(RumApiTest, ReplyThatIsNotJsonIsNamedInTheFailureLine) {
    collector.on("PUT", StreamPath, test::ServerReply::text(200, "<html>busy</html>"));
    appendRecord("e");
    Rum::Api::flushSync();
    const auto lines = errorLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Rum.Api.Request.putRumSync: the response body is not JSON\n" + collector.url(StreamPath) + "\n\n", 0), 0u)
        << lines[0];
}

TEST_F(RumApiTest, TransportFailureStartsWithTheErrorText) {
    test::HttpsServer closed;
    const std::string root = closed.url("/");
    closed.stop();
    test::ScopedEnv unreachable("HEXORA_RUM_URL", root);
    appendRecord("e");
    Rum::Api::flushSync();
    const auto lines = errorLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string prefix = "Rum.Api.Request.putRumSync: ";
    ASSERT_EQ(lines[0].rfind(prefix, 0), 0u);
    // "<error>\n<url>\n\n<body>\n0\n\n" with an empty reply.
    const auto urlAt = lines[0].find("\n" + root + Stream + "\n\n");
    EXPECT_NE(urlAt, std::string::npos) << lines[0];
    EXPECT_GT(urlAt, prefix.size()) << "the error text comes first";
    EXPECT_EQ(lines[0].substr(lines[0].size() - 4), "\n0\n\n") << lines[0];
}

TEST_F(RumApiTest, AFailedBatchIsDroppedAndAnEmptyFlushSendsNothing) {
    collector.on("PUT", StreamPath, test::ServerReply::text(500, "{}"));
    Rum::Api::flushSync();
    Rum::Api::flushAsync();
    EXPECT_EQ(collector.requestCount(), 0u);

    appendRecord("lost");
    Rum::Api::flushSync();
    Rum::Api::flushSync();
    Rum::Api::flushAsync();
    EXPECT_EQ(collector.requestCount(), 1u);

    collector.on("PUT", StreamPath, test::ServerReply::json(200, Json::object()));
    appendRecord("next");
    Rum::Api::flushSync();
    const auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto batch = Json::parse(requests[1].body);
    ASSERT_EQ(batch["Data"].size(), 1u);
    EXPECT_EQ(batch["Data"][0]["Event"], "next");
}

TEST_F(RumApiTest, RecordsFromManyThreadsAllArriveEachThreadInOrder) {
    collector.on("PUT", StreamPath, test::ServerReply::json(200, Json::object()));
    constexpr int threads = 6;
    constexpr int perThread = 150;
    std::vector<std::thread> appenders;
    for (int t = 0; t < threads; ++t) {
        appenders.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) appendRecord(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    for (auto& appender : appenders) appender.join();
    Rum::Api::flushSync();

    const auto requests = collector.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto records = Json::parse(requests[0].body)["Data"];
    ASSERT_EQ(records.size(), static_cast<std::size_t>(threads * perThread));
    std::map<int, int> next;
    for (const auto& record : records) {
        const std::string event = record["Event"];
        const int thread = std::stoi(event.substr(0, event.find(':')));
        const int index = std::stoi(event.substr(event.find(':') + 1));
        EXPECT_EQ(index, next[thread]) << event;
        next[thread] = index + 1;
    }
}

TEST_F(RumApiTest, SyncFlushAgainstASilentCollectorReturnsWithinItsBounds) {
    test::ServerReply silent = test::ServerReply::json(200, Json::object());
    silent.delayBeforeHeadersSec = 120;
    collector.on("PUT", StreamPath, silent);
    appendRecord("e");

    const auto started = std::chrono::steady_clock::now();
    Rum::Api::flushSync();
    const auto elapsed = std::chrono::steady_clock::now() - started;

    // 3000 polls of 0.01 s for the request, then 100 for its outcome.
    EXPECT_GE(clock->sleptSeconds(), 30.9);
    EXPECT_LE(clock->sleptSeconds(), 31.05);
    // The bounds run on the test clock: in real time the flush stays below
    // them however slow the machine (each poll sleeps a hundredth of its length).
    EXPECT_LT(elapsed, std::chrono::seconds(30));
    EXPECT_EQ(collector.requestCount(), 1u);
}

// The process is ending: a sync flush told to give up stops waiting at its
// next poll and aborts the upload it waited for, whatever the collector does.
TEST_F(RumApiTest, SyncFlushThatGivesUpAbortsItsUploadAtOnce) {
    test::ServerReply silent = test::ServerReply::json(200, Json::object());
    silent.delayBeforeHeadersSec = 120;
    collector.on("PUT", StreamPath, silent);
    appendRecord("e");

    Rum::Api::flushSync([] { return true; });

    EXPECT_EQ(clock->sleptSeconds(), 0.0) << "the flush waited";
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
    // Long before the collector would answer.
    EXPECT_TRUE(test::eventually([] { return Rum::RumUploads::inFlight().empty(); }, 30))
        << "the upload was not aborted";
}

// The upload's timeout is an idle timeout: a collector that answers in
// pieces, never that far apart but longer than the timeout in all, is heard.
TEST_F(RumApiTest, AReplyInPiecesWithinTheIdleTimeoutIsAnUploadThatSucceeded) {
    // Long enough for the upload thread's TLS handshake on a busy machine.
    constexpr double IdleTimeout = 8.0;
    Rum::Api::uploadTimeoutSec = IdleTimeout;
    collector.on("PUT", StreamPath,
                 test::ServerReply::inPieces(test::ServerReply::json(200, Json::object({{"FailedRecordCount", 0}})),
                                             IdleTimeout));
    appendRecord("pieces");

    Rum::Api::flushAsync();
    ASSERT_TRUE(test::eventually([] { return Rum::RumUploads::inFlight().empty(); }, 120));

    EXPECT_EQ(collector.requestCount(), 1u);
    EXPECT_TRUE(errorLines().empty()) << errorLines().front();
}

TEST_F(RumApiTest, AsyncFlushReturnsAtOnceAndTheUploadStillArrives) {
    test::ServerReply slow = test::ServerReply::json(200, Json::object());
    slow.delayBeforeHeadersSec = 120;  // the collector stops it at the end
    collector.on("PUT", StreamPath, slow);
    appendRecord("async");

    // Far below the collector's delay, however long the upload's thread takes to start.
    const auto started = std::chrono::steady_clock::now();
    Rum::Api::flushAsync();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_TRUE(Rum::Api::pendingRecords().empty());
    ASSERT_TRUE(collector.waitForRequests(1, std::chrono::seconds(10)));
    EXPECT_EQ(Json::parse(collector.requests()[0].body)["Data"][0]["Event"], "async");
    EXPECT_EQ(clock->sleptSeconds(), 0.0);
}

TEST_F(RumApiTest, SyncFlushAlsoWaitsForAnEarlierAsyncUploadStillInFlight) {
    // The earlier batch's collector answers late, the last one at once: the
    // sync flush that ends the process must not leave the earlier one behind.
    test::ServerReply late = test::ServerReply::json(200, Json::object());
    late.delayBeforeHeadersSec = 1;
    collector.on("PUT", "/early", late);
    collector.on("PUT", "/last", test::ServerReply::json(200, Json::object()));
    Rum::Api::setStreamName("early");
    appendRecord("early");
    Rum::Api::flushAsync();
    Rum::Api::setStreamName("last");
    appendRecord("last");

    Rum::Api::flushSync();

    EXPECT_TRUE(Rum::RumUploads::inFlight().empty());
    EXPECT_EQ(collector.requestCount(), 2u);
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(RumApiTest, BatchThatCannotBeEncodedIsDroppedUnsent) {
    LogData record("RumApiTest", "bad", "Failed", "ERROR");
    record.Data = Json::object({{"value", std::nan("")}});
    Rum::Api::enqueue(record);
    Rum::Api::flushSync();
    EXPECT_EQ(collector.requestCount(), 0u);
    const auto lines = errorLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Rum.Api.Request.putRumSync: the batch could not be encoded as JSON\n", 0), 0u)
        << lines[0];
}

// The process ends while the collector sits on the batch: started without
// waiting (async), or by a flush still waiting on a thread of its own when
// main returns (sync), as a worker thread's last flush would be. Either way
// the process exits cleanly and the batch, not answered, is logged as not sent.
TEST_F(RumApiTest, ProcessEndingWithAnUploadInFlightExitsCleanly) {
    struct Case {
        const char* mode;
        const char* errorLine;
    };
    const Case cases[] = {{"async", "Rum.Api.Request.putRum: "}, {"sync", "Rum.Api.Request.putRumSync: "}};
    test::ServerReply stall = test::ServerReply::json(200, Json::object());
    stall.delayBeforeHeadersSec = 120;
    collector.on("PUT", StreamPath, stall);
    test::ScopedEnv ca("HEXORA_CA_FILE", test::HttpsServer::caFile());

    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const auto before = collector.requestCount();
        // The tool starts the upload, then ends once its standard input
        // closes: after the collector has the request and sits on it.
        std::string tool = std::string(HEXORA_TOOLS_BIN_DIR) + "/hexora-rum-exit";
        std::string stream = Stream;
        std::string mode = c.mode;
        char* argv[] = {tool.data(), stream.data(), mode.data(), nullptr};
        int input[2];
        int errors[2];
        ASSERT_EQ(::pipe(input), 0);
        ASSERT_EQ(::pipe(errors), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, input[1]);
        posix_spawn_file_actions_addclose(&actions, errors[0]);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(errors[1]);
        ASSERT_EQ(spawned, 0);
        EXPECT_TRUE(collector.waitForRequests(before + 1, std::chrono::seconds(30)));
        const auto closing = std::chrono::steady_clock::now();
        ::close(input[1]);
        std::string stderrText;
        char buffer[4096];
        for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;) stderrText.append(buffer, got);
        ::close(errors[0]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        EXPECT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << stderrText;
        EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(10));
        EXPECT_EQ(collector.requestCount(), before + 1);
        EXPECT_NE(stderrText.find(c.errorLine), std::string::npos) << stderrText;
    }
}

// Once the process has begun to end no upload starts: the batch is logged
// as not sent. (In a child process: the gate stays shut for good.)
TEST_F(RumApiTest, FlushAfterTheProcessBeganToEndLogsTheBatchAsNotSent) {
    collector.on("PUT", StreamPath, test::ServerReply::json(200, Json::object()));
    EXPECT_EXIT(
        {
            platform::ExitGate::close();
            appendRecord("late");
            Rum::Api::flushSync();
            const auto lines = errorLines();
            const bool logged = lines.size() == 1 &&
                                lines[0].rfind("Rum.Api.Request.putRumSync: the process is ending\n", 0) == 0 &&
                                lines[0].find("\"Event\":\"late\"") != std::string::npos;
            std::_Exit(logged && Rum::RumUploads::inFlight().empty() && Rum::Api::pendingRecords().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(collector.requestCount(), 0u);
}

}  // namespace
}  // namespace hexora
